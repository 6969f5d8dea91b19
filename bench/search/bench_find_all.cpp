// Find All with about 500,000 matches, results pane filled and laid out, against a bare
// QString::indexOf scan of all text blocks; then scrolling and a double-click in the results.
#include "benchwindow.h"

#include "search/searchbar.h"
#include "search/searchresultslist.h"
#include "search/searchresultwindow.h"
#include "view/visualizedtextedit.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QtWidgets>

using namespace bench;

int main(int argc, char *argv[])
{
    bench::prepareGuiRun();
    QApplication application(argc, argv);
    BigLogWindow big;
    if (!big.open())
        return 1;
    Telvane *window = big.window.get();
    VisualizedTextEdit *edit = big.edit;
    QTextDocument *document = edit->document();
    SearchBar *bar = window->searchBar();
    SearchResultsList *list = window->searchResultWindow()->resultsList();
    const QString keyword = QStringLiteral("Received");
    bar->findChild<QCheckBox *>(QStringLiteral("checkBoxMatchCase"))->setChecked(true);
    bar->findChild<QLineEdit *>(QStringLiteral("lineEditSearchText"))->setText(keyword);

    std::vector<double> floorTimes, findAllTimes, clearTimes, searchTimes, layoutTimes;
    int matches = 0;
    for (int round = 0; round < 3; ++round) {
        floorTimes.push_back(millisecondsOf([&] {
            matches = 0;
            for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
                const QString line = block.text();
                for (int from = 0;;) {
                    const int column = line.indexOf(keyword, from, Qt::CaseSensitive);
                    if (column < 0)
                        break;
                    ++matches;
                    from = column + keyword.length();
                }
            }
        }));
        clearTimes.push_back(millisecondsOf([&] {
            window->searchResultWindow()->onPushButtonClearPressed();
            QApplication::processEvents();
        }));
        QElapsedTimer timer;
        timer.start();
        bar->searchAll();
        searchTimes.push_back(timer.nsecsElapsed() / 1e6);
        // Laying out the last row lays out all; then one round of events paints the pane.
        list->visualItemRect(list->item(list->count() - 1));
        layoutTimes.push_back(timer.nsecsElapsed() / 1e6 - searchTimes.back());
        QApplication::processEvents();
        findAllTimes.push_back(timer.nsecsElapsed() / 1e6);
    }
    if (list->count() != matches + 2) {
        std::printf("expected %d rows, have %d\n", matches + 2, list->count());
        return 1;
    }
    const double floor = median(floorTimes);
    const double findAll = median(findAllTimes);
    const double ratio = findAll / floor;
    std::printf("floor: indexOf scan of %d lines, %d matches: %.1f ms (median of 3)\n",
                document->blockCount(), matches, floor);
    std::printf("find all, pane filled and laid out: %.1f ms  ratio %.2f (limit 3.00)\n", findAll,
                ratio);
    std::printf("  of which the search and the filling of the list %.1f ms, the layout %.1f ms\n",
                median(searchTimes), median(layoutTimes));
    std::printf("clearing %d rows: %.1f ms\n", matches + 2, median(clearTimes));

    QListWidgetItem *middle = list->item(list->count() / 2);
    const double scroll = millisecondsOf([&] {
        list->scrollToItem(middle, QAbstractItemView::PositionAtCenter);
        QApplication::processEvents();
    });
    const double wheel = millisecondsOf([&] {
        for (int step = 0; step < 20; ++step) {
            list->verticalScrollBar()->setValue(list->verticalScrollBar()->value() + 3);
            list->viewport()->repaint();
        }
    });
    const QRect rect = list->visualItemRect(middle);
    edit->moveCursor(QTextCursor::Start);
    const double doubleClick = millisecondsOf([&] {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
        QApplication::processEvents();
    });
    const bool selected = edit->textCursor().selectedText() == keyword &&
                          edit->textCursor().blockNumber() + 1 ==
                              middle->data(SearchResultsList::LineNumberRole).toInt();
    std::printf("scroll to the middle row: %.1f ms; 20 scroll steps with repaint: %.1f ms; "
                "double-click to the match: %.1f ms (%s)\n",
                scroll, wheel, doubleClick, selected ? "match selected" : "NOT SELECTED");
    return ratio <= 3.0 && selected ? 0 : 1;
}
