// Opening a 1,000,000-line log in a panel and showing its end, against the floor of a bare
// QPlainTextEdit doing the same: read the file, setPlainText, cursor to the end, one paint.
// Each case runs in its own child process, so that its peak memory is its own.
#include "app/applicationsettings.h"
#include "bench/benchsupport.h"
#include "ui/field.h"
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
    const int status = measure(field, [&] { return field.openFileAndMoveCursorToEnd(path); });
    // The strip must be on for a telegram log.
    return status == 0 && field.textEdit()->visualizedTextAreaWidth() <= 0 ? 3 : status;
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
    if (!writeLog(path, bigLogLines, 1))
        return 1;

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
    std::printf("open %d-line log (%.1f MB) and show its end; medians of the runs:\n", bigLogLines,
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
                verdict(timeRatio <= allowedRatio && memoryRatio <= allowedRatio));
    return 0;
}
