#include "search/searchresultwindow.h"

#include "search/finding.h"
#include "search/searchresultslist.h"

#include <QSignalBlocker>

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

void addRow(SearchResultsList *list, const QString &text, SearchResultsList::LineType lineType,
            const QVariant &background)
{
    auto *item = new QListWidgetItem(text);
    item->setData(Qt::BackgroundRole, background);
    item->setData(SearchResultsList::LineTypeRole, QVariant::fromValue(lineType));
    list->addItem(item);
}

} // namespace

SearchResultWindow::SearchResultWindow(QWidget *parent) : QWidget(parent)
{
    ui.setupUi(this);
}

void SearchResultWindow::onSearchStarted(const QString &fileName, const QString &searchText)
{
    if (!isVisible())
        show();
    appendPendingRows();
    const QString header =
        QString::asprintf("Text to search: %s\nFilename: %s", searchText.toLocal8Bit().constData(),
                          fileName.toLocal8Bit().constData());
    addRow(ui.resultsList, header, SearchResultsList::HeaderLine, headerBackground());
    collecting = true;
}

void SearchResultWindow::onResultFound(const Finding &finding)
{
    pendingTexts.append(QString::asprintf("    Line %d: %s", finding.lineNumber,
                                          finding.lineText.toLocal8Bit().constData()));
    pendingRows.append(PendingRow{finding.lineNumber, finding.column, finding.length,
                                  finding.fieldId, finding.position});
    if (!collecting)
        appendPendingRows();
}

void SearchResultWindow::onSearchEnd(int results)
{
    appendPendingRows();
    collecting = false;
    addRow(ui.resultsList, QString::asprintf("Summary: Found %d matches", results),
           SearchResultsList::SummaryLine, summaryBackground());
}

void SearchResultWindow::onPushButtonClearPressed()
{
    pendingTexts.clear();
    pendingRows.clear();
    ui.resultsList->clear();
}

void SearchResultWindow::appendPendingRows()
{
    if (pendingRows.isEmpty())
        return;
    SearchResultsList *list = ui.resultsList;
    const int first = list->count();
    // One insertion for all rows; their data is then set without a change signal per role,
    // as the view lays the new rows out later anyway.
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

    const QVariant lineType = QVariant::fromValue(SearchResultsList::ResultLine);
    {
        const QSignalBlocker blocker(list->model());
        for (int i = 0; i < pendingRows.size(); ++i) {
            const PendingRow &row = pendingRows.at(i);
            QListWidgetItem *item = list->item(first + i);
            item->setData(Qt::BackgroundRole, resultBackground(first + i));
            item->setData(SearchResultsList::ColumnRole, row.column);
            item->setData(SearchResultsList::LengthRole, row.length);
            item->setData(SearchResultsList::LineTypeRole, lineType);
            item->setData(SearchResultsList::LineNumberRole, row.lineNumber);
            item->setData(SearchResultsList::FieldIdRole, row.fieldId);
            item->setData(SearchResultsList::PositionRole, row.position);
            item->setData(Qt::SizeHintRole, sizeHint);
        }
    }
    pendingTexts.clear();
    pendingRows.clear();
}
