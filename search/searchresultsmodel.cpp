// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/searchresultsmodel.h"

#include "searchcore/finding.h"

#include <QColor>

#include <algorithm>
#include <cstdio>

namespace
{

const QVariant &headerBackground()
{
    static const QVariant colour = QColor(QStringLiteral("#C8FDC6"));
    return colour;
}

const QVariant &summaryBackground()
{
    static const QVariant colour = QColor(QStringLiteral("#FEC7C9"));
    return colour;
}

const QVariant &resultBackground(int rowsBefore)
{
    static const QVariant odd = QColor(QStringLiteral("#E1FFFC"));
    static const QVariant even = QColor(QStringLiteral("#FFFFFF"));
    return rowsBefore % 2 ? odd : even;
}

// "    Line " + digits + ": ", the part of a result row before the log line.
int prefixLength(qint64 lineNumber)
{
    char number[24];
    return 9 + std::snprintf(number, sizeof number, "%lld", lineNumber) + 2;
}

// "    Line %d: %s" with the line passed through the local 8-bit encoding. Lines of printable
// ASCII, nearly all of a log, come out of that round trip unchanged and are copied directly.
QString resultRowText(qint64 lineNumber, const QString &line)
{
    for (const QChar c : line) {
        if (c.unicode() - 1u >= 0x7Fu)
            return QString::asprintf("    Line %lld: %s", lineNumber,
                                     line.toLocal8Bit().constData());
    }
    char number[24];
    const int digits = std::snprintf(number, sizeof number, "%lld", lineNumber);
    static const char prefix[] = "    Line ";
    const int prefixLength = int(sizeof prefix) - 1;
    QString text(prefixLength + digits + 2 + line.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (int i = 0; i < prefixLength; ++i)
        *out++ = QLatin1Char(prefix[i]);
    for (int i = 0; i < digits; ++i)
        *out++ = QLatin1Char(number[i]);
    *out++ = QLatin1Char(':');
    *out++ = QLatin1Char(' ');
    std::copy(line.constBegin(), line.constEnd(), out);
    return text;
}

} // namespace

SearchResultsModel::SearchResultsModel(QObject *parent) : QAbstractListModel(parent)
{
    announceTimer.setSingleShot(true);
    announceTimer.setInterval(0);
    connect(&announceTimer, &QTimer::timeout, this, &SearchResultsModel::announcePending);
}

int SearchResultsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : announced;
}

QVariant SearchResultsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= announced)
        return QVariant();
    const int row = index.row();
    const Row &r = rows.at(row);
    const SearchResultsList::LineType type = lineType(row);
    switch (role) {
    case Qt::DisplayRole:
        return type == SearchResultsList::ResultLine ? resultRowText(r.lineNumber, lineText(row))
                                                     : labels.at(int(-1 - r.lineNumber));
    case Qt::BackgroundRole:
        return type == SearchResultsList::HeaderLine    ? headerBackground()
               : type == SearchResultsList::SummaryLine ? summaryBackground()
                                                        : resultBackground(row);
    case SearchResultsList::LineTypeRole:
        return QVariant::fromValue(type);
    default:
        break;
    }
    if (type != SearchResultsList::ResultLine)
        return QVariant();
    switch (role) {
    case SearchResultsList::ColumnRole:
        return r.column;
    case SearchResultsList::LengthRole:
        return r.length;
    case SearchResultsList::LineNumberRole:
        return r.lineNumber;
    case SearchResultsList::FieldIdRole: {
        const Search *search = searchOf(row);
        return search ? search->fieldId : 0u;
    }
    case SearchResultsList::PositionRole:
        return r.position;
    default:
        return QVariant();
    }
}

void SearchResultsModel::appendHeader(const QString &text)
{
    searches.append(Search{rows.size(), LineTextSource(), 0});
    headerRows.append(rows.size());
    appendLabel(text, SearchResultsList::HeaderLine);
}

void SearchResultsModel::appendSummary(const QString &text)
{
    appendLabel(text, SearchResultsList::SummaryLine);
}

void SearchResultsModel::appendBatch(const FoundBatch &batch)
{
    if (batch.findings.isEmpty())
        return;
    Search &search = currentSearch();
    if (!search.lineText) {
        search.lineText = batch.lineText;
        search.fieldId = batch.findings.first().fieldId;
    }
    for (const Finding &finding : batch.findings)
        rows.append(Row{finding.lineNumber, finding.position, finding.column, finding.length});
    noteWidth(prefixLength(batch.findings.last().lineNumber) + batch.longestLine);
    announcePending();
}

void SearchResultsModel::clear()
{
    announceTimer.stop();
    beginResetModel();
    rows.clear();
    announced = 0;
    labels.clear();
    labelTypes.clear();
    searches.clear();
    headerRows.clear();
    widestRow = 0;
    endResetModel();
}

void SearchResultsModel::announcePending()
{
    announceTimer.stop();
    if (announced == rows.size())
        return;
    beginInsertRows(QModelIndex(), announced, rows.size() - 1);
    announced = rows.size();
    endInsertRows();
}

SearchResultsList::LineType SearchResultsModel::lineType(int row) const
{
    const qint64 number = rows.at(row).lineNumber;
    return number >= 0 ? SearchResultsList::ResultLine : labelTypes.at(int(-1 - number));
}

int SearchResultsModel::headerRowsBefore(int row) const
{
    return int(std::lower_bound(headerRows.cbegin(), headerRows.cend(), row) - headerRows.cbegin());
}

void SearchResultsModel::appendLabel(const QString &text, SearchResultsList::LineType type)
{
    for (int from = 0; from <= text.size();) {
        int to = text.indexOf(QLatin1Char('\n'), from);
        if (to < 0)
            to = text.size();
        noteWidth(to - from);
        from = to + 1;
    }
    rows.append(Row{-1 - labels.size(), 0, 0, 0});
    labels.append(text);
    labelTypes.append(type);
    announcePending();
}

void SearchResultsModel::noteWidth(int characters)
{
    widestRow = qMax(widestRow, characters);
}

const SearchResultsModel::Search *SearchResultsModel::searchOf(int row) const
{
    // The last search that starts at or before the row.
    const auto after = std::upper_bound(searches.cbegin(), searches.cend(), row,
                                        [](int at, const Search &s) { return at < s.firstRow; });
    return after == searches.cbegin() ? nullptr : &*(after - 1);
}

QString SearchResultsModel::lineText(int row) const
{
    const Search *search = searchOf(row);
    return search && search->lineText ? search->lineText(rows.at(row).lineNumber) : QString();
}

SearchResultsModel::Search &SearchResultsModel::currentSearch()
{
    if (searches.isEmpty())
        searches.append(Search{0, LineTextSource(), 0});
    return searches.last();
}
