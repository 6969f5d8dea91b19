// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QVector>

class LogViewController;

// Log views linked by time. While it is on, a move of the selected line in the active view moves
// every other view's selected line to the last line whose time is at or before the moved line's
// time, in the middle of the view. Only the active view leads, and moves the link makes do not
// lead in turn, so nothing feeds back.
class TimeLink : public QObject
{
    Q_OBJECT

public:
    explicit TimeLink(QObject *parent = nullptr);

    // Switched on, the other views follow the active one at once.
    void setEnabled(bool on);
    bool isEnabled() const { return enabled; }
    // A view taking part; it drops out when it is destroyed.
    void addView(LogViewController *view);

private:
    void viewMoved(LogViewController *view);
    void follow();
    void lead(LogViewController *leader);

    QVector<QPointer<LogViewController>> views;
    // The views that moved by themselves since the link last followed.
    QVector<QPointer<LogViewController>> moved;
    bool enabled = false;
    bool linking = false;
    bool scheduled = false;
};
