// Opening a 1,000,000-line log in a panel and showing its end, against the floor of a bare
// QPlainTextEdit doing the same: read the file, setPlainText, cursor to the end, one paint.
// Each case runs in its own child process, so that its peak memory is its own.
#include "app/applicationsettings.h"
#include "tools/loggenerator.h"
#include "ui/field.h"
#include "view/visualizedtextedit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace
{
const int logLines = 1000000;
const int runsPerCase = 3;
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
    if (mode == QLatin1String("bare")) {
        QPlainTextEdit edit;
        edit.setFont(ApplicationSettings::textFont());
        edit.setLineWrapMode(QPlainTextEdit::NoWrap);
        edit.resize(windowSize);
        edit.show();
        if (!QTest::qWaitForWindowExposed(&edit))
            return 2;
        timer.start();
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
    } else {
        Field field(nullptr, QString());
        field.resize(windowSize);
        field.show();
        if (!QTest::qWaitForWindowExposed(&field))
            return 2;
        timer.start();
        if (!field.openFileAndMoveCursorToEnd(path))
            return 2;
        paintOnce();
        elapsed = timer.elapsed();
        if (field.textEdit()->visualizedTextAreaWidth() <= 0)
            return 3; // the strip must be on for a telegram log
    }
    std::printf("%lld %ld\n", elapsed, peakMemoryKib());
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
    // Children keep their settings in the temporary folder, away from the user's.
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
    const QString path = dir.filePath(QStringLiteral("generated.log"));
    if (!writeGeneratedLog(path, logLines, 1)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }

    std::vector<double> times[2];
    std::vector<double> memory[2];
    const QString modes[2] = {QStringLiteral("bare"), QStringLiteral("field")};
    for (int run = 0; run < runsPerCase; ++run) {
        for (int m = 0; m < 2; ++m) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(QCoreApplication::applicationFilePath(), {modes[m], path});
            if (!child.waitForFinished(600000) || child.exitCode() != 0) {
                std::fprintf(stderr, "%s run failed (exit %d)\n", qPrintable(modes[m]),
                             child.exitCode());
                return 1;
            }
            const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
            times[m].push_back(figures.value(0).toDouble());
            memory[m].push_back(figures.value(1).toDouble() / 1024.0);
        }
    }

    const double bareTime = median(times[0]), fieldTime = median(times[1]);
    const double bareMemory = median(memory[0]), fieldMemory = median(memory[1]);
    const double timeRatio = fieldTime / bareTime, memoryRatio = fieldMemory / bareMemory;
    std::printf("open %d-line log (%.1f MB), median of %d runs each:\n", logLines,
                QFileInfo(path).size() / 1e6, runsPerCase);
    std::printf("  time:        bare %.0f ms, field %.0f ms, ratio %.3f (allowed %.2f): %s\n",
                bareTime, fieldTime, timeRatio, allowedRatio,
                timeRatio <= allowedRatio ? "target met" : "TARGET MISSED");
    std::printf("  peak memory: bare %.1f MiB, field %.1f MiB, ratio %.3f (allowed %.2f): %s\n",
                bareMemory, fieldMemory, memoryRatio, allowedRatio,
                memoryRatio <= allowedRatio ? "target met" : "TARGET MISSED");
    return 0;
}
