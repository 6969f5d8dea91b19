#include "search/searchresultwindow.h"

#include "search/searchresultslist.h"
#include "searchcore/finding.h"
#include "ui_searchresultwindow.h"

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

void addRow(SearchResultsList *list, const QString &text, SearchResultsList::LineType lineType,
            const QVariant &background)
{
    auto *item = new QListWidgetItem(text);
    item->setData(Qt::BackgroundRole, background);
    item->setData(SearchResultsList::LineTypeRole, QVariant::fromValue(lineType));
    list->addItem(item);
}

} // namespace

SearchResultWindow::SearchResultWindow(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::searchResults>())
{
    ui->setupUi(this);
}

SearchResultWindow::~SearchResultWindow() = default;

SearchResultsList *SearchResultWindow::resultsList() const
{
    return ui->resultsList;
}

void SearchResultWindow::onSearchStarted(const QString &fileName, const QString &searchText)
{
    if (!isVisible())
        show();
    appendPendingRows();
    const QString header =
        QString::asprintf("Text to search: %s\nFilename: %s", searchText.toLocal8Bit().constData(),
                          fileName.toLocal8Bit().constData());
    addRow(ui->resultsList, header, SearchResultsList::HeaderLine, headerBackground());
    collecting = true;
}

void SearchResultWindow::onResultFound(const Finding &finding)
{
    pendingTexts.append(resultRowText(finding.lineNumber, finding.lineText));
    pendingRows.append(PendingRow{finding.lineNumber, finding.column, finding.length,
                                  finding.fieldId, finding.position});
    if (!collecting)
        appendPendingRows();
}

void SearchResultWindow::onSearchEnd(int results)
{
    appendPendingRows();
    collecting = false;
    addRow(ui->resultsList, QString::asprintf("Summary: Found %d matches", results),
           SearchResultsList::SummaryLine, summaryBackground());
}

void SearchResultWindow::onPushButtonClearPressed()
{
    pendingTexts.clear();
    pendingRows.clear();
    ui->resultsList->clear();
}

void SearchResultWindow::appendPendingRows()
{
    if (pendingRows.isEmpty())
        return;
    SearchResultsList *list = ui->resultsList;
    const int first = list->count();
    // One insertion for all rows.
    list->insertItems(first, pendingTexts);

    // Every result row is one text line high; the longest text gives the common width, so
    // the view need not measure each row.
    int longest = 0;
    for (int i = 1; i < pendingTexts.size(); ++i) {
        if (pendingTexts.at(i).size() > pendingTexts.at(longest).size())
            longest = i;
    }
    const int height = list->sizeHintForIndex(list->model()->index(first, 0)).height();
    const int width = list->sizeHintForIndex(list->model()->index(first + longest, 0)).width();
    const QVariant sizeHint = QSize(width, height);

    // The row data is assembled in a detached item and assigned, which shares it with the row
    // and tells no one: the view lays the new rows out later anyway.
    QListWidgetItem prototype;
    prototype.setData(Qt::SizeHintRole, sizeHint); // first, as the layout asks every row for it
    prototype.setData(SearchResultsList::LineTypeRole,
                      QVariant::fromValue(SearchResultsList::ResultLine));
    for (int i = 0; i < pendingRows.size(); ++i) {
        const PendingRow &row = pendingRows.at(i);
        prototype.setData(Qt::DisplayRole, pendingTexts.at(i));
        prototype.setData(Qt::BackgroundRole, resultBackground(first + i));
        prototype.setData(SearchResultsList::ColumnRole, row.column);
        prototype.setData(SearchResultsList::LengthRole, row.length);
        prototype.setData(SearchResultsList::LineNumberRole, row.lineNumber);
        prototype.setData(SearchResultsList::FieldIdRole, row.fieldId);
        prototype.setData(SearchResultsList::PositionRole, row.position);
        *list->item(first + i) = prototype;
    }
    pendingTexts.clear();
    pendingRows.clear();
}
