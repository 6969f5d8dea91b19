// SPDX-License-Identifier: GPL-3.0-or-later
#include "searchcore/linesource.h"

#include <climits>

QStringList LineSource::lineTexts(qint64 first, qint64 count) const
{
    QStringList texts;
    const qint64 end = qMin(lineCount(), first + count);
    for (qint64 line = qMax<qint64>(0, first); line < end; ++line)
        texts << lineText(line);
    return texts;
}

QString LineSource::lineSlice(qint64 line, qint64 column, qint64 count) const
{
    if (column < 0 || count <= 0)
        return QString();
    return lineText(line).mid(int(qMin<qint64>(column, INT_MAX)),
                              int(qMin<qint64>(count, INT_MAX)));
}

QStringList LineSource::lineHeads(qint64 first, qint64 count, qint64 limit) const
{
    QStringList texts = lineTexts(first, count);
    for (QString &text : texts)
        text.truncate(int(qMin<qint64>(limit, INT_MAX)));
    return texts;
}

QString LineSource::shownLineText(qint64 line) const
{
    return shownLineText(lineSlice(line, 0, shownLineLimit), lineLength(line));
}

QString LineSource::shownLineText(const QString &head, qint64 length)
{
    if (length <= shownLineLimit)
        return head;
    return head.left(shownLineLimit) +
           QStringLiteral(" [... %1 more characters]").arg(length - shownLineLimit);
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
