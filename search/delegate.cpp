#include "search/delegate.h"

#include "search/searchresultslist.h"

#include <QPainter>
#include <QTextLayout>

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

    // The row is laid out once, and both the highlight and the text follow that layout: tabs
    // jump to the same stops in both, and nothing drifts along a long line.
    QTextLayout layout(text, painter->font(), painter->device());
    layout.setTextOption(QTextOption());
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(1e7);
    layout.endLayout();
    const int leftWidth = qRound(line.cursorToX(start));
    const int highlightWidth = qRound(line.cursorToX(start + length)) - leftWidth;
    const QRect &row = option.rect;
    const QRect leftRect(row.left(), row.top(), leftWidth, row.height());
    const QRect midRect(leftRect.right() + 1, row.top(), highlightWidth, row.height());
    QRect rightRect(midRect.right() + 1, row.top(), 0, row.height());
    rightRect.setRight(10000);

    painter->fillRect(leftRect, background);
    painter->fillRect(midRect, QColor(Qt::yellow));
    painter->fillRect(rightRect, background);
    painter->save();
    painter->setClipRect(option.rect, Qt::IntersectClip);
    layout.draw(painter, option.rect.topLeft());
    painter->restore();
}
