// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "search/searchresultslist.h"
#include "searchcore/finding.h"

#include <QAbstractListModel>
#include <QStringList>
#include <QTimer>
#include <QVector>

#include <memory>
#include <vector>

// The rows of the results list as compact records: a match keeps its numbers, and its line text
// is read when the row is shown, from the search's line source.
class SearchResultsModel : public QAbstractListModel
{
    Q_OBJECT

public:
    // What the model stores per row.
    struct Row {
        qint64 lineNumber; // result rows, 1-based; header and summary rows: -1 - their label
        qint64 position;
        qint32 column;
        qint32 length;
    };

    explicit SearchResultsModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    void appendHeader(const QString &text);
    void appendSummary(const QString &text);
    void appendBatch(const FoundBatch &batch);
    void clear();
    // Rows stored but not yet shown go out to the views now.
    void announcePending();

    SearchResultsList::LineType lineType(int row) const;
    int headerRowsBefore(int row) const;
    // Characters of the widest row, the longest line of a two-line header.
    int widestRowCharacters() const { return widestRow; }

private:
    // Rows in blocks of a fixed size: growing never copies the rows or holds twice their room.
    class RowStore
    {
    public:
        int size() const { return count; }
        bool isEmpty() const { return count == 0; }
        const Row &at(int row) const { return blocks[size_t(row) >> blockBits][row & blockMask]; }
        const Row &last() const { return at(count - 1); }
        void append(const Row &row)
        {
            if ((count & blockMask) == 0)
                blocks.emplace_back(new Row[blockMask + 1]);
            blocks.back()[count & blockMask] = row;
            ++count;
        }
        void clear()
        {
            blocks.clear();
            count = 0;
        }

    private:
        static constexpr int blockBits = 14;
        static constexpr int blockMask = (1 << blockBits) - 1;
        std::vector<std::unique_ptr<Row[]>> blocks;
        int count = 0;
    };

    // A header and the rows after it; rows before the first header form a search without one.
    struct Search {
        int firstRow;
        LineTextSource lineText;
        unsigned fieldId;
    };

    void appendLabel(const QString &text, SearchResultsList::LineType type);
    void noteWidth(int characters);
    const Search *searchOf(int row) const;
    QString lineText(int row) const;
    Search &currentSearch();

    RowStore rows;
    int announced = 0;
    QStringList labels;
    QVector<SearchResultsList::LineType> labelTypes;
    QVector<Search> searches;
    QVector<int> headerRows;
    int widestRow = 0;
    QTimer announceTimer;
};
