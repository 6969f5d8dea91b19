// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/historytablemodel.h"

HistoryTableModel::HistoryTableModel(QObject *parent) : QAbstractTableModel(parent) {}

void HistoryTableModel::appendRows(const HistoryRows &rows)
{
    if (rows.isEmpty())
        return;
    beginInsertRows(QModelIndex(), historyRows.size(), historyRows.size() + rows.size() - 1);
    historyRows += rows;
    endInsertRows();
}

void HistoryTableModel::clear()
{
    beginResetModel();
    historyRows.clear();
    endResetModel();
}

int HistoryTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : historyRows.size();
}

int HistoryTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : historytext::ColumnCount;
}

QVariant HistoryTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= historyRows.size())
        return QVariant();
    const HistoryRow &row = historyRows.at(index.row());
    const int column = index.column();
    if (role == Qt::DisplayRole)
        return historytext::cell(row, column);
    if (role == Qt::TextAlignmentRole && column == historytext::Line)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != SortRole)
        return QVariant();
    switch (column) {
    case historytext::Line:
        return row.line;
    case historytext::Time:
        return row.time;
    case historytext::Value: {
        // One text key for all: ten-digit numbers first in numeric order, then the texts.
        double number = 0;
        if (historytext::numericValue(row.value, &number))
            return QStringLiteral("0%1").arg(qulonglong(number), 10, 10, QLatin1Char('0'));
        return row.value.isEmpty() ? QString() : QLatin1Char('1') + row.value;
    }
    default:
        return historytext::cell(row, column);
    }
}

QVariant HistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return historytext::columnTitle(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}
