// SPDX-License-Identifier: GPL-3.0-or-later
// Find All for "[Comm]" in the generated 1M-line log (about 690,000 matches) in the ordinary view
// through the main window: the longest stall of the event loop while it runs, the time until its
// end against a bare indexOf scan of all blocks, and the memory each result row adds; then
// scrolling and a double-click in the results.
#include "benchwindow.h"

#include "logview/logviewcontroller.h"
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
#include <malloc.h>

using namespace bench;

namespace
{

struct Round {
    double untilEnd = 0;   // ms from the press of Find All to the view's end
    double untilShown = 0; // ms until the pane has painted the last rows too
    double longestStall = 0;
    double bytesPerRow = 0;
    int rows = 0;
};

// One Find All started from the event loop as a press of the button would, with a 10 ms timer
// measuring the gaps between its ticks until the pane has shown the end.
Round findAllRound(Telvane *window, VisualizedTextEdit *edit)
{
    SearchResultWindow *pane = window->searchResultWindow();
    SearchResultsList *list = pane->resultsList();
    pane->onPushButtonClearPressed();
    QApplication::processEvents();
    const bool peakReset = resetPeakMemory();
    const long memoryBefore = peakMemoryKib();

    Round round;
    QElapsedTimer clock;
    clock.start();
    double lastTick = 0;
    bool running = false;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const double now = clock.nsecsElapsed() / 1e6;
        if (running)
            round.longestStall = std::max(round.longestStall, now - lastTick);
        lastTick = now;
    });
    QEventLoop loop;
    double pressed = 0;
    const auto ended = QObject::connect(edit->controller(), &LogViewController::end, [&] {
        round.untilEnd = clock.nsecsElapsed() / 1e6 - pressed;
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
    });
    ticker.start();
    QTimer::singleShot(30, [&] {
        pressed = clock.nsecsElapsed() / 1e6;
        running = true;
        window->searchBar()->searchAll();
    });
    loop.exec();
    list->scrollToBottom();
    QApplication::processEvents();
    round.untilShown = clock.nsecsElapsed() / 1e6 - pressed;
    const double now = clock.nsecsElapsed() / 1e6;
    round.longestStall = std::max(round.longestStall, now - lastTick);
    running = false;
    ticker.stop();
    QObject::disconnect(ended);
    list->scrollToTop();
    QApplication::processEvents();

    round.rows = list->count();
    const long memoryAfter = peakMemoryKib();
    round.bytesPerRow =
        peakReset && round.rows ? (memoryAfter - memoryBefore) * 1024.0 / round.rows : -1;
    return round;
}

struct Figures {
    double untilEnd, untilShown, longestStall, bytesPerRow;
    int rows;
};

Figures medianOf(const std::vector<Round> &rounds)
{
    std::vector<double> ends, shown, stalls, bytes;
    for (const Round &r : rounds) {
        ends.push_back(r.untilEnd);
        shown.push_back(r.untilShown);
        stalls.push_back(r.longestStall);
        bytes.push_back(r.bytesPerRow);
    }
    return {median(ends), median(shown), median(stalls), median(bytes), rounds.front().rows};
}

} // namespace

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
    SearchResultWindow *pane = window->searchResultWindow();
    SearchResultsList *list = pane->resultsList();
    const QString keyword = QStringLiteral("[Comm]");
    SearchBar *bar = window->searchBar();
    bar->findChild<QCheckBox *>(QStringLiteral("checkBoxMatchCase"))->setChecked(true);
    bar->findChild<QLineEdit *>(QStringLiteral("lineEditSearchText"))->setText(keyword);
    const int rounds = 3;

    std::vector<double> floorTimes;
    int matches = 0;
    for (int round = 0; round < rounds; ++round) {
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
    }
    const double floor = median(floorTimes);
    std::printf("floor: indexOf scan of %d lines, %d matches: %.1f ms (median of %d)\n",
                document->blockCount(), matches, floor, rounds);

    // As the main window wires it: the pane on the scan's batches, progress and cancel, reading
    // a row's line when it shows.
    std::vector<Round> batchRounds;
    for (int round = 0; round < rounds; ++round)
        batchRounds.push_back(findAllRound(window, edit));

    bool rowsRight = true;
    for (const Round &r : batchRounds)
        rowsRight = rowsRight && r.rows == matches + 2;
    if (!rowsRight) {
        std::printf("expected %d rows, have %d\n", matches + 2, batchRounds.front().rows);
        return 1;
    }

    const Figures batches = medianOf(batchRounds);
    std::printf("%d rows; medians of %d rounds        until end   ratio  until shown  longest "
                "stall  bytes/row\n",
                batches.rows, rounds);
    std::printf("  batches (scan -> pane)            %7.1f ms  %5.2f  %8.1f ms  %9.1f ms  %9.1f\n",
                batches.untilEnd, batches.untilEnd / floor, batches.untilShown,
                batches.longestStall, batches.bytesPerRow);
    const bool timeMet = batches.untilEnd <= 2000;
    const bool stallMet = batches.longestStall <= 100;
    const bool memoryMet = batches.bytesPerRow >= 0 && batches.bytesPerRow <= 150;
    std::printf("batches: until end %.0f ms (limit 2000): %s; longest stall %.0f ms (limit 100): "
                "%s; %.0f bytes per row (limit 150): %s\n",
                batches.untilEnd, verdict(timeMet), batches.longestStall, verdict(stallMet),
                batches.bytesPerRow, verdict(memoryMet));

    const QModelIndex middle = list->index(list->count() / 2);
    const double scroll = millisecondsOf([&] {
        list->scrollTo(middle, QAbstractItemView::PositionAtCenter);
        QApplication::processEvents();
    });
    const double wheel = millisecondsOf([&] {
        for (int step = 0; step < 20; ++step) {
            list->verticalScrollBar()->setValue(list->verticalScrollBar()->value() + 3 * 17);
            list->viewport()->repaint();
        }
    });
    list->scrollTo(middle, QAbstractItemView::PositionAtCenter);
    QApplication::processEvents();
    const QRect rect = list->visualRect(middle);
    edit->moveCursor(QTextCursor::Start);
    const double doubleClick = millisecondsOf([&] {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
        QApplication::processEvents();
    });
    const bool selected = edit->textCursor().selectedText() == keyword &&
                          edit->textCursor().blockNumber() + 1 ==
                              middle.data(SearchResultsList::LineNumberRole).toInt();
    std::printf("scroll to the middle row: %.1f ms; 20 scroll steps with repaint: %.1f ms; "
                "double-click to the match: %.1f ms (%s)\n",
                scroll, wheel, doubleClick, selected ? "match selected" : "NOT SELECTED");
    return timeMet && stallMet && memoryMet && selected ? 0 : 1;
}
