// SPDX-License-Identifier: GPL-3.0-or-later
// Whole-log decoding: telvane-decode over a generated 1,000,000-line log against
// grep -c '\[Comm\]' on the same file, best of three runs each.
#include "bench/benchsupport.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <limits>

using namespace bench;

namespace
{
// Wall time in seconds of the best of `runs` runs; the output is read through a pipe unless
// it goes to the null device, so grep really counts every line.
double bestOf(int runs, const QString &program, const QStringList &arguments, bool discardOutput,
              QByteArray *output)
{
    double best = std::numeric_limits<double>::max();
    for (int run = 0; run < runs; ++run) {
        QProcess process;
        if (discardOutput)
            process.setStandardOutputFile(QProcess::nullDevice());
        QElapsedTimer timer;
        timer.start();
        process.start(program, arguments);
        if (!process.waitForFinished(600000) || process.exitStatus() != QProcess::NormalExit) {
            std::fprintf(stderr, "%s failed\n", qPrintable(program));
            return -1;
        }
        if (!discardOutput && output)
            *output = process.readAllStandardOutput();
        best = qMin(best, timer.nsecsElapsed() / 1e9);
    }
    return best;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const double target = 5.0;
    QTemporaryDir dir;
    const QString log = dir.filePath("generated.log");
    if (!dir.isValid() || !writeLog(log, bigLogLines, 20201216))
        return 1;
    const QString decoder = QCoreApplication::applicationDirPath() + "/telvane-decode";
    // Warm the page cache so both programs read from memory.
    QByteArray count;
    bestOf(1, "grep", {"-c", "\\[Comm\\]", log}, false, &count);
    const double grepTime = bestOf(3, "grep", {"-c", "\\[Comm\\]", log}, false, &count);
    const double decodeTime = bestOf(3, decoder, {log}, true, nullptr);
    if (grepTime <= 0 || decodeTime <= 0)
        return 1;
    const double ratio = decodeTime / grepTime;
    std::printf("telvane-decode over %d lines (%.1f MB, %d marker lines): %.3f s; "
                "grep -c: %.3f s; ratio %.2f, target <= %.0fx: %s\n",
                bigLogLines, QFileInfo(log).size() / 1e6, count.trimmed().toInt(), decodeTime,
                grepTime, ratio, target, verdict(ratio <= target));
    return 0;
}
