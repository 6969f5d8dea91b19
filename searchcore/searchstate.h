// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

// What a text view remembers between searches.
class SearchState : public QObject
{
    Q_OBJECT

public:
    explicit SearchState(QObject *parent);

    // The last converted text that a step found nowhere; a longer text holding it cannot match.
    QString notFoundText;

    // Whether a step for `text` is known to fail: it holds a text already found nowhere.
    bool rulesOut(const QString &text) const
    {
        return !notFoundText.isEmpty() && text.contains(notFoundText);
    }
    // A step found `text` nowhere; the longer of the two failed texts is kept.
    void rememberNotFound(const QString &text)
    {
        if (!notFoundText.contains(text))
            notFoundText = text;
    }

public slots:
    void clearNotFoundText();
};
