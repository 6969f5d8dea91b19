// SPDX-License-Identifier: GPL-3.0-or-later
#include "searchcore/linesource.h"

QStringList LineSource::lineTexts(qint64 first, qint64 count) const
{
    QStringList texts;
    const qint64 end = qMin(lineCount(), first + count);
    for (qint64 line = qMax<qint64>(0, first); line < end; ++line)
        texts << lineText(line);
    return texts;
}

TextPosition LineSource::positionAt(qint64 position) const
{
    const qint64 line = lineAtPosition(position);
    return {line, int(qBound(qint64(0), position - linePosition(line), lineLength(line)))};
}

TextPosition LineSource::endPosition() const
{
    const qint64 last = qMax<qint64>(0, lineCount() - 1);
    return {last, int(lineLength(last))};
}
