// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "historycore/historyrow.h"

#include <QAbstractTableModel>

// The rows of a parameter history as a table, in the order they were found.
class HistoryTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // What the columns sort by: numbers for line and time, numbers before texts for values.
    static constexpr int SortRole = Qt::UserRole;

    explicit HistoryTableModel(QObject *parent = nullptr);

    void appendRows(const HistoryRows &rows);
    void clear();
    const HistoryRows &rows() const { return historyRows; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    HistoryRows historyRows;
};
