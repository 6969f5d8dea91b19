#pragma once

#include <QStyledItemDelegate>

// Paints result rows with the match highlighted, header and summary rows as coloured blocks.
class Delegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
};
