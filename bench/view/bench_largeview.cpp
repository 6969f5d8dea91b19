// SPDX-License-Identifier: GPL-3.0-or-later
// The large-log view on a 10,000,000-line log (about 830 MB): time until the first screen is
// painted, the longest stall of the event loop while the index is built (a 10 ms timer's
// gaps), and Page Down repaints of text, gutter and strip at five places in the log, against
// the floor of painting the same screen's texts with plain QPainter::drawText calls.
// TELVANE_BENCH_LINES overrides the line count.
#include "bench/benchsupport.h"
#include "logstore/logstore.h"
#include "view/largelogview.h"

#include <QApplication>
#include <QPainter>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace bench;

int main(int argc, char *argv[])
{
    prepareGuiRun();
    QApplication application(argc, argv);
    QTemporaryDir dir;
    keepSettingsIn(dir.filePath(QStringLiteral("config")));
    const int lines = sizeFromEnvironment("TELVANE_BENCH_LINES", 10000000);
    const QString path = dir.filePath(QStringLiteral("huge.log"));
    if (!writeLog(path, lines, 3))
        return 1;

    LargeLogView view;
    view.resize(1200, 900);
    view.setVisualizedTextAreaWidth(400);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view))
        return 1;

    QElapsedTimer sinceOpen, sinceTick;
    double longestGap = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, sinceTick.nsecsElapsed() / 1e6);
        sinceTick.restart();
    });
    sinceOpen.start();
    if (!view.openLog(path))
        return 1;
    ticker.start(10);
    sinceTick.start();
    double firstScreen = -1;
    while (view.isIndexing() || firstScreen < 0) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        if (firstScreen < 0 && view.store().lineCount() >= view.visibleLineCount()) {
            view.viewport()->repaint();
            view.visualizedTextWidget()->repaint();
            firstScreen = sinceOpen.nsecsElapsed() / 1e6;
        }
    }
    const double indexed = sinceOpen.nsecsElapsed() / 1e6;
    ticker.stop();
    const double bytesPerLine = double(view.store().indexMemory()) / view.store().lineCount();

    std::vector<double> pageDowns, floors;
    QScrollBar *bar = view.verticalScrollBar();
    QImage canvas(view.viewport()->size(), QImage::Format_RGB32);
    for (const int percent : {0, 25, 50, 75, 99}) {
        view.select({qint64(bar->maximum()) * percent / 100, 0},
                    {qint64(bar->maximum()) * percent / 100, 0}, true);
        QApplication::processEvents();
        for (int i = 0; i < 20; ++i) {
            pageDowns.push_back(millisecondsOf([&] {
                QTest::keyClick(&view, Qt::Key_PageDown);
                view.viewport()->repaint();
                view.lineNumberWidget()->repaint();
                view.visualizedTextWidget()->repaint();
            }));
            const QStringList texts =
                view.store().lineTexts(view.firstVisibleLine(), view.visibleLineCount());
            floors.push_back(millisecondsOf([&] {
                QPainter painter(&canvas);
                painter.setFont(view.font());
                painter.fillRect(canvas.rect(), Qt::white);
                for (int row = 0; row < texts.size(); ++row)
                    painter.drawText(4, row * view.lineHeight(), canvas.width(), view.lineHeight(),
                                     Qt::AlignLeft, texts.at(row));
            }));
        }
    }
    const double pageDown = median(pageDowns), worst = percentile(pageDowns, 95);
    const double floor = median(floors);
    std::printf("%d-line log (%.0f MB): first screen painted after %.0f ms (limit 500), index "
                "complete after %.0f ms, %.2f bytes/line (limit 16), longest event-loop gap "
                "%.1f ms (limit 100): %s\n",
                lines, view.store().fileSize() / 1e6, firstScreen, indexed, bytesPerLine,
                longestGap, verdict(firstScreen <= 500 && bytesPerLine <= 16 && longestGap <= 100));
    std::printf("Page Down repaint with gutter and strip: median %.2f ms, p95 %.2f ms (limit 5); "
                "floor: drawText of the screen's lines %.2f ms, ratio %.2f: %s\n",
                pageDown, worst, floor, pageDown / floor, verdict(worst <= 5));
    return 0;
}
