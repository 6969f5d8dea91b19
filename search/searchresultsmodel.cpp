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
int prefixLength(int lineNumber)
{
    char number[16];
    return 9 + std::snprintf(number, sizeof number, "%d", lineNumber) + 2;
}

// "    Line %d: %s" with the line passed through the local 8-bit encoding. Lines of printable
// ASCII, nearly all of a log, come out of that round trip unchanged and are copied directly.
QString resultRowText(int lineNumber, const QString &line)
{
    for (const QChar c : line) {
        if (c.unicode() - 1u >= 0x7Fu)
            return QString::asprintf("    Line %d: %s", lineNumber, line.toLocal8Bit().constData());
    }
    char number[16];
    const int digits = std::snprintf(number, sizeof number, "%d", lineNumber);
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
    const auto type = SearchResultsList::LineType(r.lineType);
    switch (role) {
    case Qt::DisplayRole:
        return type == SearchResultsList::ResultLine ? resultRowText(r.lineNumber, lineText(row))
                                                     : labels.at(r.lineNumber);
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
    case SearchResultsList::FieldIdRole:
        return r.fieldId;
    case SearchResultsList::PositionRole:
        return r.position;
    default:
        return QVariant();
    }
}

void SearchResultsModel::appendHeader(const QString &text)
{
    searches.append(Search{rows.size(), LineTextSource()});
    headerRows.append(rows.size());
    appendLabel(text, SearchResultsList::HeaderLine);
}

void SearchResultsModel::appendSummary(const QString &text)
{
    appendLabel(text, SearchResultsList::SummaryLine);
}

void SearchResultsModel::appendFinding(const Finding &finding)
{
    // The findings of one line share its text.
    const bool sameLine = !rows.isEmpty() && rows.last().text >= 0 &&
                          rows.last().lineType == SearchResultsList::ResultLine &&
                          rows.last().lineNumber == finding.lineNumber &&
                          lineTexts.at(rows.last().text) == finding.lineText;
    if (!sameLine) {
        lineTexts.append(finding.lineText);
        noteWidth(prefixLength(finding.lineNumber) + finding.lineText.size());
    }
    rows.append(Row{finding.lineNumber, finding.column, finding.length, finding.position,
                    finding.fieldId, lineTexts.size() - 1, SearchResultsList::ResultLine});
    if (!announceTimer.isActive())
        announceTimer.start();
}

void SearchResultsModel::appendBatch(const FoundBatch &batch)
{
    if (batch.records.isEmpty())
        return;
    Search &search = currentSearch();
    if (!search.lineText)
        search.lineText = batch.lineText;
    for (const FoundRecord &record : batch.records) {
        rows.append(Row{record.lineNumber, record.column, record.length, record.position,
                        record.fieldId, -1, SearchResultsList::ResultLine});
    }
    noteWidth(prefixLength(batch.records.last().lineNumber) + batch.longestLine);
    announcePending();
}

void SearchResultsModel::clear()
{
    announceTimer.stop();
    beginResetModel();
    rows.clear();
    announced = 0;
    labels.clear();
    lineTexts.clear();
    lineTexts.squeeze();
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
    return SearchResultsList::LineType(rows.at(row).lineType);
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
    rows.append(Row{labels.size(), 0, 0, 0, 0, -1, type});
    labels.append(text);
    announcePending();
}

void SearchResultsModel::noteWidth(int characters)
{
    widestRow = qMax(widestRow, characters);
}

QString SearchResultsModel::lineText(int row) const
{
    const Row &r = rows.at(row);
    if (r.text >= 0)
        return lineTexts.at(r.text);
    // The search the row belongs to: the last one that starts at or before it.
    const auto after = std::upper_bound(searches.cbegin(), searches.cend(), row,
                                        [](int at, const Search &s) { return at < s.firstRow; });
    if (after == searches.cbegin())
        return QString();
    const LineTextSource &source = (after - 1)->lineText;
    return source ? source(r.lineNumber) : QString();
}

SearchResultsModel::Search &SearchResultsModel::currentSearch()
{
    if (searches.isEmpty())
        searches.append(Search{0, LineTextSource()});
    return searches.last();
}
