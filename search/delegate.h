// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStyledItemDelegate>

// Paints result rows with the match highlighted, header and summary rows as coloured blocks.
class Delegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Characters of a row laid out at most: a longer row shows its start, an ellipsis and the
    // match with some text around it, so that a huge line costs no more than this.
    static constexpr int longestShownRow = 2000;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

    // The widest row painted so far, in pixels.
    int widestPaintedRow() const { return widestPainted; }

private:
    mutable int widestPainted = 0;
};
