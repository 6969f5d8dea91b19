// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

enum SearchDirection { FindAll = 0, FindPrevious = 1, FindFromLineStart = 2, FindNext = 3 };

enum SearchMode { PlainTextMatchCase = 0, PlainText = 1, BinaryData = 2, ParameterId = 3 };

// One search request, built on the stack by the search bar and passed by reference.
class SearchOptions : public QObject
{
    Q_OBJECT

public:
    SearchOptions(QObject *parent, int searchDirection, int searchMode, const QString &text);

    const int searchDirection; // a SearchDirection
    const QString text;        // exactly as typed
    const int searchMode;      // a SearchMode

private:
    Q_DISABLE_COPY(SearchOptions)
};
