// SPDX-License-Identifier: GPL-3.0-or-later
// Compare and navigate on 10,000,000-line logs (about 830 MB each) in the main window:
//  - the error marks' background pass over an indexed log: time until complete and the longest
//    stall of the event loop meanwhile (a 10 ms timer's gaps), against the floor of reading the
//    same lines from the store on one thread;
//  - a move of the selected line in one of two panels linked by time, until the other panel has
//    moved and painted, against the same move with the link off;
//  - a repaint of the mark column, against the same column over a 100-line log.
// TELVANE_BENCH_LINES overrides the line count.
#include "bench/benchsupport.h"
#include "logview/errormarks.h"
#include "logview/logviewcontroller.h"
#include "searchcore/linesource.h"
#include "settings/applicationsettings.h"
#include "ui/field.h"
#include "ui/telvane.h"
#include "view/logviewwidget.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace bench;

namespace
{
bool settled(const QList<Field *> &panels)
{
    for (const Field *field : panels) {
        if (field->logView()->source()->isLoading() ||
            !field->logView()->errorMarks()->isComplete())
            return false;
    }
    return true;
}

std::unique_ptr<Telvane> showPanels(const QStringList &paths)
{
    ApplicationSettings::instance().setValue("FileNames", paths.join(QLatin1Char(';')));
    auto window = std::make_unique<Telvane>(false);
    window->resize(1600, 900);
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window.get()))
        return nullptr;
    while (!settled(window->panels()))
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return window;
}

// The longest gap between the ticks of a 10 ms timer while `until` is false.
template <typename Until> double longestGapWhile(Until until)
{
    QElapsedTimer sinceTick;
    double longest = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longest = std::max(longest, sinceTick.nsecsElapsed() / 1e6);
        sinceTick.restart();
    });
    ticker.start(10);
    sinceTick.start();
    while (!until())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    return std::max(longest, sinceTick.nsecsElapsed() / 1e6);
}

double repaintMs(QWidget *column)
{
    std::vector<double> times;
    for (int i = 0; i < 200; ++i)
        times.push_back(millisecondsOf([&] { column->repaint(); }));
    return median(times);
}
} // namespace

int main(int argc, char *argv[])
{
    prepareGuiRun();
    QApplication application(argc, argv);
    QTemporaryDir dir;
    keepSettingsIn(dir.filePath(QStringLiteral("config")));
    const int lines = sizeFromEnvironment("TELVANE_BENCH_LINES", 10000000);
    const QString first = dir.filePath(QStringLiteral("first.log"));
    const QString second = dir.filePath(QStringLiteral("second.log"));
    const QString small = dir.filePath(QStringLiteral("small.log"));
    if (!writeLog(first, lines, 3) || !writeLog(second, lines, 5) || !writeLog(small, 100, 3))
        return 1;

    std::unique_ptr<Telvane> window = showPanels({first, second});
    if (!window || window->panels().size() != 2)
        return 1;
    Field *leader = window->panels().at(0);
    Field *follower = window->panels().at(1);

    // The marks' pass over the whole indexed log, and the floor of reading its lines.
    ErrorMarks *marks = leader->logView()->errorMarks();
    QElapsedTimer pass;
    pass.start();
    marks->restart();
    const double stall = longestGapWhile([&] { return marks->isComplete(); });
    const double passMs = pass.nsecsElapsed() / 1e6;
    const LineSource *source = leader->logView()->source();
    const double readMs = millisecondsOf([&] {
        for (qint64 line = 0; line < source->lineCount(); line += 4096)
            source->lineTexts(line, 4096);
    });
    std::printf("error marks of the %d-line log (%.0f MB): %zu error lines, %zu tagged; pass "
                "complete after %.0f ms (limit 5000), longest event-loop gap %.1f ms (limit 50); "
                "floor: reading its lines on one thread %.0f ms, ratio %.2f: %s\n",
                lines, QFileInfo(first).size() / 1e6, marks->errorLines().size(),
                marks->taggedLines().size(), passMs, stall, readMs, passMs / readMs,
                verdict(passMs <= 5000 && stall <= 50));
    std::fflush(stdout);

    // Moves of the leader's selected line to places all over its log.
    leader->setActive(true);
    window->linkPanelsButton()->setChecked(true);
    QApplication::processEvents();
    QRandomGenerator random(7);
    int followed = 0;
    const auto moveOnce = [&](bool linked) {
        const qint64 before = follower->logView()->selectedLine();
        const qint64 to = random.bounded(int(leader->logView()->source()->lineCount()));
        const double ms = millisecondsOf([&] {
            leader->logView()->showLine(to);
            // The link follows once the event loop runs, the details of both views after it.
            QApplication::processEvents();
            QApplication::processEvents();
            if (linked) {
                follower->view()->widget()->repaint();
                follower->view()->visualizedTextWidget()->repaint();
            }
            leader->view()->widget()->repaint();
            leader->view()->visualizedTextWidget()->repaint();
        });
        followed += follower->logView()->selectedLine() != before;
        return ms;
    };
    std::vector<double> linkedMoves, aloneMoves;
    for (int i = 0; i < 50; ++i)
        linkedMoves.push_back(moveOnce(true));
    const int linkedFollowed = followed;
    window->linkPanelsButton()->setChecked(false);
    for (int i = 0; i < 50; ++i)
        aloneMoves.push_back(moveOnce(false));
    const double linkedMedian = median(linkedMoves), linkedWorst = percentile(linkedMoves, 95);
    const double alone = median(aloneMoves);
    std::printf("a move in one of two linked %d-line logs until the other has moved and painted "
                "(%d of 50 moved it): median %.2f ms, p95 %.2f ms (limit 20); floor: the move "
                "alone %.2f ms, ratio %.2f: %s\n",
                lines, linkedFollowed, linkedMedian, linkedWorst, alone, linkedMedian / alone,
                verdict(linkedWorst <= 20 && linkedFollowed > 40));
    std::fflush(stdout);

    // The mark column, over the big log and over a short one.
    QWidget *bigColumn = leader->view()->errorMarkWidget();
    const double bigRepaint = repaintMs(bigColumn);
    follower->openFile(small);
    while (!settled(window->panels()))
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double smallRepaint = repaintMs(follower->view()->errorMarkWidget());
    std::printf("a repaint of the mark column (%d px) over the %d-line log: median %.3f ms "
                "(limit 1); floor: over a 100-line log %.3f ms, ratio %.2f: %s\n",
                bigColumn->height(), lines, bigRepaint, smallRepaint, bigRepaint / smallRepaint,
                verdict(bigRepaint <= 1));
    return 0;
}
