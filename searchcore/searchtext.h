// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What a request searches for once the typed text is converted, and by which rules.
struct SearchPattern {
    QString text; // empty: nothing to search for
    Qt::CaseSensitivity stepCase = Qt::CaseInsensitive;
    bool wholeWords = false; // steps in Binary Data mode
    Qt::CaseSensitivity findAllCase = Qt::CaseSensitive;
};

// The pattern for a typed text in a SearchMode.
SearchPattern searchPattern(int searchMode, const QString &typed);

// Typed characters as upper-case hex byte pairs separated by blanks ("ab" -> "61 62").
QString binaryDataSearchText(const QString &text);

// "number" or "number.index" (decimal, each at most 65535) as telegram bytes "N NN NN NN";
// empty when the text does not convert.
QString parameterIdSearchText(const QString &text);
QString parameterIdPattern(const QString &number, const QString &index);
