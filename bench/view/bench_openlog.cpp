// Opening a 1,000,000-line log in a panel and showing its end, against the floor of a bare
// QPlainTextEdit doing the same: read the file, setPlainText, cursor to the end, one paint.
// Each case runs in its own child process, so that its peak memory is its own.
#include "app/applicationsettings.h"
#include "tools/loggenerator.h"
#include "ui/field.h"
#include "view/visualizedtextedit.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace
{
const int logLines = 1000000;
const int runsPerCase = 5;
const double allowedRatio = 1.05;
const QSize windowSize(1200, 900);

// Peak resident set size of this process, from /proc/self/status, in KiB.
long peakMemoryKib()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// User plus system CPU time of this process so far, in ms.
double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Lets the posted paints run, and then the strip repaint queued by the gutter's paint.
void paintOnce()
{
    QApplication::processEvents();
    QApplication::processEvents();
}

int runCase(const QString &mode, const QString &path)
{
    QElapsedTimer timer;
    qint64 elapsed = 0;
    double cpuStart = 0;
    if (mode == QLatin1String("bare")) {
        QPlainTextEdit edit;
        edit.setFont(ApplicationSettings::textFont());
        edit.setLineWrapMode(QPlainTextEdit::NoWrap);
        edit.resize(windowSize);
        edit.show();
        if (!QTest::qWaitForWindowExposed(&edit))
            return 2;
        timer.start();
        cpuStart = cpuMs();
        {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
                return 2;
            QTextStream stream(&file);
            edit.setPlainText(stream.readAll());
        }
        edit.moveCursor(QTextCursor::End);
        paintOnce();
        elapsed = timer.elapsed();
    } else if (mode == QLatin1String("edit")) {
        VisualizedTextEdit edit;
        edit.setVisualizedTextAreaWidth(400);
        edit.resize(windowSize);
        edit.show();
        if (!QTest::qWaitForWindowExposed(&edit))
            return 2;
        timer.start();
        cpuStart = cpuMs();
        {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
                return 2;
            QTextStream stream(&file);
            edit.setLogText(path, stream.readAll());
        }
        edit.moveCursorToEnd();
        paintOnce();
        elapsed = timer.elapsed();
    } else {
        Field field(nullptr, QString());
        field.resize(windowSize);
        field.show();
        if (!QTest::qWaitForWindowExposed(&field))
            return 2;
        timer.start();
        cpuStart = cpuMs();
        if (!field.openFileAndMoveCursorToEnd(path))
            return 2;
        paintOnce();
        elapsed = timer.elapsed();
        if (field.textEdit()->visualizedTextAreaWidth() <= 0)
            return 3; // the strip must be on for a telegram log
    }
    std::printf("%lld %ld %.0f\n", elapsed, peakMemoryKib(), cpuMs() - cpuStart);
    return 0;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}
} // namespace

int main(int argc, char **argv)
{
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 3) {
        QApplication app(argc, argv);
        return runCase(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    }

    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    // Children keep settings and temporary files here, away from the user's.
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
    const QString listedTemp = dir.filePath(QStringLiteral("listed"));
    const QString emptyTemp = dir.filePath(QStringLiteral("empty"));
    // The panel lists the logs of this folder under the temporary directory.
    const QString logFolder = listedTemp + QStringLiteral("/Velmora Drives/Brantel");
    QDir().mkpath(logFolder);
    QDir().mkpath(emptyTemp);
    const QString path = logFolder + QStringLiteral("/generated.log");
    if (!writeGeneratedLog(path, logLines, 1)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
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
            child.start(QCoreApplication::applicationFilePath(),
                        {QString::fromLatin1(c.mode), path});
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
    std::printf("open %d-line log (%.1f MB) and show its end; medians of the runs:\n", logLines,
                QFileInfo(path).size() / 1e6);
    for (const Case &c : cases) {
        const double time = median(c.times), cpu = median(c.cpu), memory = median(c.memory);
        std::printf("  %-32s %zu run(s): wall %6.0f ms (ratio %.3f), CPU %6.0f ms (ratio %.3f), "
                    "peak %6.1f MiB (ratio %.3f)\n",
                    c.label, c.times.size(), time, time / bareTime, cpu, cpu / bareCpu, memory,
                    memory / bareMemory);
    }
    const double timeRatio = median(cases[1].cpu) / bareCpu;
    const double memoryRatio = median(cases[1].memory) / bareMemory;
    std::printf("Field against bare: CPU time ratio %.3f (wall %.3f), peak memory ratio %.3f, "
                "allowed %.2f: %s\n",
                timeRatio, median(cases[1].times) / bareTime, memoryRatio, allowedRatio,
                timeRatio <= allowedRatio && memoryRatio <= allowedRatio ? "target met"
                                                                         : "TARGET MISSED");
    return 0;
}
