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
    const QString right = text.right(text.length() - length - start);

    const QFontMetrics metrics = painter->fontMetrics();
    QRect leftRect = metrics.boundingRect(left);
    QRect midRect = metrics.boundingRect(mid);
    QRect rightRect = metrics.boundingRect(right);
    const int highlightWidth = metrics.boundingRect(left + mid).width() - leftRect.width();

    const QPoint topLeft = option.rect.topLeft();
    leftRect.moveTopLeft(topLeft);
    midRect.moveTopLeft(topLeft);
    rightRect.moveTopLeft(topLeft);
    midRect.moveLeft(leftRect.right() + 3);
    midRect.setWidth(highlightWidth);
    rightRect.moveLeft(midRect.right() + 1);
    rightRect.setRight(10000);

    painter->fillRect(leftRect, background);
    painter->fillRect(midRect, QColor(Qt::yellow));
    painter->fillRect(rightRect, background);
    painter->drawText(QRectF(option.rect), text, QTextOption());
}
