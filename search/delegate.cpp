#include "search/delegate.h"

// Placeholder until the results pane is built.
void Delegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                     const QModelIndex &index) const
{
    QStyledItemDelegate::paint(painter, option, index);
}
