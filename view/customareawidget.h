// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class VisualizedTextEdit;

// A side area of the log view; it paints through its edit and hands input on to it.
class CustomAreaWidget : public QWidget
{
    Q_OBJECT

public:
    explicit CustomAreaWidget(VisualizedTextEdit *textEdit);
    ~CustomAreaWidget() override;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

    VisualizedTextEdit *textEdit;
};
