// SPDX-License-Identifier: GPL-3.0-or-later
// One full repaint of the visualization strip with 60 visible telegram lines, as every scroll
// step and cursor move causes; the decoding of the visible lines is part of it.
#include "bench/benchsupport.h"
#include "telegram/telegramrecord.h"
#include "view/visualizedtextarea.h"
#include "view/visualizedtextedit.h"

#include <QApplication>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QtWidgets>

using namespace bench;

int main(int argc, char **argv)
{
    QTemporaryDir home;
    keepSettingsIn(home.path());
    prepareGuiRun();
    QApplication app(argc, argv);

    const int visibleLines = 60;
    const double targetMs = 0.5;

    QStringList telegramLines;
    const QStringList generated =
        QString::fromUtf8(generatedLog(20000, 20201216)).split(QLatin1Char('\n'));
    for (const QString &line : generated) {
        if (line.contains(commMarker))
            telegramLines << line;
    }

    VisualizedTextEdit view;
    view.setPlainText(telegramLines.join(QLatin1Char('\n')));
    view.setVisualizedTextAreaWidth(500);
    view.resize(1400, 200);
    view.show();
    QApplication::processEvents();
    // Size the view so that exactly 60 lines are on screen.
    QWidget *strip = view.visualizedTextWidget();
    const int estimate = visibleLines * view.fontMetrics().height();
    for (int height = estimate - 20; height < estimate + 200; ++height) {
        view.resize(1400, height);
        QApplication::processEvents();
        if (view.visibleRows(strip->rect()).size() >= visibleLines)
            break;
    }
    const int shown = view.visibleRows(strip->rect()).size();

    std::vector<double> times;
    std::vector<double> cpuTimes;
    QScrollBar *scrollBar = view.verticalScrollBar();
    for (int step = 0; step < 600; ++step) {
        // A different screen each time, with the selected line on it.
        scrollBar->setValue((step * 37) % (scrollBar->maximum() - visibleLines));
        view.setTextCursor(QTextCursor(view.document()->findBlockByNumber(scrollBar->value() + 5)));
        QApplication::processEvents();
        const double cpuStart = threadCpuMs();
        times.push_back(millisecondsOf([&] { strip->repaint(); }));
        cpuTimes.push_back(threadCpuMs() - cpuStart);
    }
    const double wall = median(times);
    std::printf("strip repaint with %d visible telegram lines: median %.4f ms over %zu repaints "
                "(p90 %.4f ms, median thread CPU time %.4f ms), target <= %.1f ms, ratio %.3f: "
                "%s\n",
                shown, wall, times.size(), percentile(times, 90), median(cpuTimes), targetMs,
                wall / targetMs, verdict(wall <= targetMs));
    return 0;
}
