// One full repaint of the visualization strip with 60 visible telegram lines, as every scroll
// step and cursor move causes; the decoding of the visible lines is part of it.
#include "app/applicationsettings.h"
#include "telegram/telegramrecord.h"
#include "tools/loggenerator.h"
#include "view/visualizedtextarea.h"
#include "view/visualizedtextedit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace
{
// CPU time of this thread: on a shared machine it leaves out the time other processes ran.
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
} // namespace

int main(int argc, char **argv)
{
    // Keep the settings the view reads and writes away from the user's own.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
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
    VisualizedTextArea *strip = view.visualizedTextWidget();
    const int estimate = visibleLines * view.fontMetrics().height();
    for (int height = estimate - 20; height < estimate + 200; ++height) {
        view.resize(1400, height);
        QApplication::processEvents();
        if (view.visibleLineTexts(strip->rect()).size() >= visibleLines)
            break;
    }
    const int shown = view.visibleLineTexts(strip->rect()).size();

    std::vector<double> times;
    std::vector<double> cpuTimes;
    QScrollBar *scrollBar = view.verticalScrollBar();
    for (int step = 0; step < 600; ++step) {
        // A different screen each time, with the selected line on it.
        scrollBar->setValue((step * 37) % (scrollBar->maximum() - visibleLines));
        view.setTextCursor(QTextCursor(view.document()->findBlockByNumber(scrollBar->value() + 5)));
        QApplication::processEvents();
        const double cpuStart = threadCpuMs();
        QElapsedTimer timer;
        timer.start();
        strip->repaint();
        times.push_back(timer.nsecsElapsed() / 1e6);
        cpuTimes.push_back(threadCpuMs() - cpuStart);
    }
    const double wall = median(times);
    std::sort(times.begin(), times.end());
    std::printf("strip repaint with %d visible telegram lines: median %.4f ms over %zu repaints "
                "(p90 %.4f ms, median thread CPU time %.4f ms), target <= %.1f ms, ratio %.3f: "
                "%s\n",
                shown, wall, times.size(), times[times.size() * 9 / 10], median(cpuTimes), targetMs,
                wall / targetMs, wall <= targetMs ? "target met" : "TARGET MISSED");
    return 0;
}
