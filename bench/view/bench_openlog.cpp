// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a 1,000,000-line log in a panel (the large-log view) and showing its end, against the
// floor of a bare chunked memchr pass over the file; peak memory against the same panel showing
// a small log; and, for scale, a bare QPlainTextEdit reading the log as the ordinary view would.
// Each case runs in its own child process, so that its peak memory is its own.
#include "bench/benchsupport.h"
#include "logview/logviewcontroller.h"
#include "settings/applicationsettings.h"
#include "ui/field.h"
#include "view/largelogview.h"
#include "view/visualizedtextedit.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QtWidgets>
#include <cstring>

using namespace bench;

namespace
{
const int runsPerCase = 5;
const double allowedRatio = 1.05;
const QSize windowSize(1200, 900);

// Reads the log through a text stream, as the panel does, and hands the text to `use`.
template <typename Use> bool withLogText(const QString &path, Use use)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    QTextStream stream(&file);
    use(stream.readAll());
    return true;
}

// Shows `widget`, then times `load` and the paints that follow it (the posted ones, then the
// strip repaint queued by the gutter's paint) and prints wall ms, peak KiB and CPU ms.
template <typename Load> int measure(QWidget &widget, Load load)
{
    widget.resize(windowSize);
    widget.show();
    if (!QTest::qWaitForWindowExposed(&widget))
        return 2;
    QElapsedTimer timer;
    timer.start();
    const double cpuStart = processCpuMs();
    if (!load())
        return 2;
    QApplication::processEvents();
    QApplication::processEvents();
    const qint64 elapsed = timer.elapsed();
    std::printf("%lld %ld %.0f\n", elapsed, peakMemoryKib(), processCpuMs() - cpuStart);
    return 0;
}

int runCase(const QString &mode, const QString &path)
{
    if (mode == QLatin1String("bare")) {
        QPlainTextEdit edit;
        edit.setFont(ApplicationSettings::textFont());
        edit.setLineWrapMode(QPlainTextEdit::NoWrap);
        return measure(edit, [&] {
            if (!withLogText(path, [&](const QString &text) { edit.setPlainText(text); }))
                return false;
            edit.moveCursor(QTextCursor::End);
            return true;
        });
    }
    if (mode == QLatin1String("edit")) {
        VisualizedTextEdit edit;
        edit.setVisualizedTextAreaWidth(400);
        return measure(edit, [&] {
            if (!withLogText(path, [&](const QString &text) { edit.setLogText(path, text); }))
                return false;
            edit.moveCursorToEnd();
            return true;
        });
    }
    Field field(nullptr, QString());
    const int status = measure(field, [&] {
        if (!field.openFileAndMoveCursorToEnd(path))
            return false;
        // A large log is shown once its index is complete and its end painted.
        while (field.logView()->source()->isLoading())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return true;
    });
    // The strip must be on for a telegram log.
    const int strip = field.visualizedTextAreaWidth();
    return status == 0 && strip <= 0 ? 3 : status;
}
} // namespace

int main(int argc, char **argv)
{
    prepareGuiRun();
    if (argc == 3) {
        QApplication app(argc, argv);
        return runCase(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    }

    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    // Children keep settings and temporary files here, away from the user's.
    keepSettingsIn(dir.filePath(QStringLiteral("config")));
    const QString listedTemp = dir.filePath(QStringLiteral("listed"));
    const QString emptyTemp = dir.filePath(QStringLiteral("empty"));
    // The panel lists the logs of this folder under the temporary directory.
    const QString logFolder = listedTemp + QStringLiteral("/Velmora Drives/Brantel");
    QDir().mkpath(logFolder);
    QDir().mkpath(emptyTemp);
    const QString path = logFolder + QStringLiteral("/generated.log");
    const QString smallPath = logFolder + QStringLiteral("/small.log");
    if (!writeLog(path, bigLogLines, 1) || !writeLog(smallPath, 200, 2))
        return 1;
    // The floor: one chunked memchr pass for the line ends, as fast as the file can be read.
    std::vector<double> floorTimes;
    for (int run = 0; run < runsPerCase; ++run) {
        floorTimes.push_back(millisecondsOf([&] {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                return;
            QByteArray chunk(1 << 20, Qt::Uninitialized);
            qint64 lines = 0;
            for (qint64 got; (got = file.read(chunk.data(), chunk.size())) > 0;) {
                for (const char *p = chunk.constData(), *end = p + got;
                     (p = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)))); ++p)
                    ++lines;
            }
            if (lines != bigLogLines)
                std::fprintf(stderr, "memchr pass counted %lld lines\n", lines);
        }));
    }

    struct Case {
        const char *mode;
        QString temp;
        int runs;
        const char *label;
        std::vector<double> times, memory, cpu;
    } cases[] = {
        {"bare", listedTemp, runsPerCase, "bare QPlainTextEdit", {}, {}, {}},
        {"field", listedTemp, runsPerCase, "Field, log listed in its folder", {}, {}, {}},
        {"edit", listedTemp, 1, "VisualizedTextEdit alone", {}, {}, {}},
        {"field", emptyTemp, 1, "Field, log folder empty", {}, {}, {}},
        {"small", listedTemp, runsPerCase, "Field with a 200-line log", {}, {}, {}},
    };
    for (int run = 0; run < runsPerCase; ++run) {
        for (Case &c : cases) {
            if (run >= c.runs)
                continue;
            QProcess child;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("TMPDIR"), c.temp);
            child.setProcessEnvironment(environment);
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            const bool small = QLatin1String(c.mode) == QLatin1String("small");
            child.start(QCoreApplication::applicationFilePath(),
                        {QString::fromLatin1(small ? "field" : c.mode), small ? smallPath : path});
            if (!child.waitForFinished(600000) || child.exitCode() != 0) {
                std::fprintf(stderr, "%s run failed (exit %d)\n", c.label, child.exitCode());
                return 1;
            }
            const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
            c.times.push_back(figures.value(0).toDouble());
            c.memory.push_back(figures.value(1).toDouble() / 1024.0);
            c.cpu.push_back(figures.value(2).toDouble());
        }
    }

    // Wall time counts whatever else the machine runs; CPU time of the process much less so.
    const double bareTime = median(cases[0].times), bareCpu = median(cases[0].cpu);
    const double bareMemory = median(cases[0].memory);
    std::printf("open %d-line log (%.1f MB) and show its end; medians of the runs:\n", bigLogLines,
                QFileInfo(path).size() / 1e6);
    for (const Case &c : cases) {
        const double time = median(c.times), cpu = median(c.cpu), memory = median(c.memory);
        std::printf("  %-32s %zu run(s): wall %6.0f ms (ratio %.3f), CPU %6.0f ms (ratio %.3f), "
                    "peak %6.1f MiB (ratio %.3f)\n",
                    c.label, c.times.size(), time, time / bareTime, cpu, cpu / bareCpu, memory,
                    memory / bareMemory);
    }
    const double floorTime = median(floorTimes);
    const double openTime = median(cases[1].times);
    const double extraMemory = median(cases[1].memory) - median(cases[4].memory);
    std::printf("  %-32s %zu run(s): wall %6.1f ms\n", "floor: chunked memchr pass",
                floorTimes.size(), floorTime);
    std::printf("Field (large-log view) against the floor: wall %.0f ms, ratio %.2f, target "
                "<= 300 ms: %s\n",
                openTime, openTime / floorTime, verdict(openTime <= 300));
    std::printf("peak memory above the same panel with a small log: %.1f MiB, target <= 24 MiB: "
                "%s\n",
                extraMemory, verdict(extraMemory <= 24));
    return 0;
}
