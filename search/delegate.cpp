#include "search/delegate.h"

#include "search/searchresultslist.h"

#include <QPainter>

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
    const int length = index.data(SearchResultsList::LengthRole).toInt();
    const int start =
        text.indexOf(QLatin1String(": ")) + 2 + index.data(SearchResultsList::ColumnRole).toInt();
    const QString left = text.left(start);
    const QString mid = text.mid(start, length);

    // Placed by advance widths, the way the text itself is laid out: ink bounding rectangles
    // round every glyph and drift off the match by a character or more along a long line.
    const QFontMetrics metrics = painter->fontMetrics();
    const int leftWidth = metrics.horizontalAdvance(left);
    const int highlightWidth = metrics.horizontalAdvance(left + mid) - leftWidth;
    const QRect &row = option.rect;
    const QRect leftRect(row.left(), row.top(), leftWidth, row.height());
    const QRect midRect(leftRect.right() + 1, row.top(), highlightWidth, row.height());
    QRect rightRect(midRect.right() + 1, row.top(), 0, row.height());
    rightRect.setRight(10000);

    painter->fillRect(leftRect, background);
    painter->fillRect(midRect, QColor(Qt::yellow));
    painter->fillRect(rightRect, background);
    painter->drawText(QRectF(option.rect), text, QTextOption());
}
