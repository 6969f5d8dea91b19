// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/delegate.h"

#include "search/searchresultslist.h"

#include <QPainter>
#include <QTextLayout>
#include <QtMath>

namespace
{

// The text of a result row as it is laid out, with the match's place in it.
struct ShownRow {
    QString text;
    int matchStart;
    int matchLength;
};

ShownRow shownRow(const QString &text, int start, int length)
{
    const int limit = Delegate::longestShownRow;
    start = qBound(0, start, text.size());
    length = qBound(0, length, text.size() - start);
    if (text.size() <= limit)
        return {text, start, length};
    const QChar ellipsis(0x2026);
    length = qMin(length, limit / 2);
    if (start + length < limit)
        return {text.left(limit - 1) + ellipsis, start, length};
    // The row's start, then the match a little further on, so that it shows without scrolling.
    const int head = 64;
    const int before = 64;
    const int from = qMax(head, start - before);
    const int to = qMin(text.size(), from + limit - head - 2);
    QString shown;
    shown.reserve(limit);
    shown.append(text.constData(), head)
        .append(ellipsis)
        .append(text.constData() + from, to - from);
    if (to < text.size())
        shown.append(ellipsis);
    return {shown, head + 1 + start - from, length};
}

} // namespace

void Delegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                     const QModelIndex &index) const
{
    const QString text = index.data(Qt::DisplayRole).toString();
    const int lineType = index.data(SearchResultsList::LineTypeRole).toInt();
    const QColor background = qvariant_cast<QColor>(index.data(Qt::BackgroundRole));

    if (lineType != SearchResultsList::ResultLine) {
        painter->fillRect(option.rect, background);
        painter->drawText(QRectF(option.rect), text, QTextOption());
        return;
    }

    // The first ": " always follows the line number, whatever the log line holds.
    const ShownRow row = shownRow(text,
                                  text.indexOf(QLatin1String(": ")) + 2 +
                                      index.data(SearchResultsList::ColumnRole).toInt(),
                                  index.data(SearchResultsList::LengthRole).toInt());

    // The row is laid out once, and both the highlight and the text follow that layout: tabs
    // jump to the same stops in both, and nothing drifts along a long line.
    QTextLayout layout(row.text, painter->font(), painter->device());
    layout.setTextOption(QTextOption());
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(1e7);
    layout.endLayout();
    widestPainted = qMax(widestPainted, qCeil(line.naturalTextWidth()));
    const int leftWidth = qRound(line.cursorToX(row.matchStart));
    const int highlightWidth = qRound(line.cursorToX(row.matchStart + row.matchLength)) - leftWidth;
    const QRect &rect = option.rect;
    const QRect leftRect(rect.left(), rect.top(), leftWidth, rect.height());
    const QRect midRect(leftRect.right() + 1, rect.top(), highlightWidth, rect.height());
    const QRect rightRect(midRect.right() + 1, rect.top(), qMax(0, rect.right() - midRect.right()),
                          rect.height());

    painter->fillRect(leftRect, background);
    painter->fillRect(midRect, QColor(Qt::yellow));
    painter->fillRect(rightRect, background);
    painter->save();
    painter->setClipRect(rect, Qt::IntersectClip);
    layout.draw(painter, rect.topLeft());
    painter->restore();
}
