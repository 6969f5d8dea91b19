// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "tools/loggenerator.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QtGlobal>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sys/resource.h>
#include <vector>

// What the benchmark programs share: the generated big log, timing and memory readings.
namespace bench
{
// The big log of the speed targets: about 80 MB.
const int bigLogLines = 1000000;

// Writes the generated log to `path`, saying so on standard error when that fails.
inline bool writeLog(const QString &path, int lines, quint32 randomSeed)
{
    if (writeGeneratedLog(path, lines, randomSeed))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

// Keeps the settings a benchmark reads and writes (and those of its children) in `folder`,
// away from the user's own.
inline void keepSettingsIn(const QString &folder)
{
    qputenv("XDG_CONFIG_HOME", folder.toLocal8Bit());
}

// Before the application object: the offscreen platform unless the caller chose one, a private
// runtime folder when none is set, and no platform chatter between the figures.
inline void prepareGuiRun()
{
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qgetenv("XDG_RUNTIME_DIR").isEmpty()) {
        char folder[] = "/tmp/telvane-bench-XXXXXX";
        if (mkdtemp(folder))
            qputenv("XDG_RUNTIME_DIR", folder);
    }
    static const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext &context, const QString &text) {
            if (!text.contains(QLatin1String("propagateSizeHints")))
                previous(type, context, text);
        });
}

// The value `percent` per cent of the way up the sorted values (50: the median).
inline double percentile(std::vector<double> values, int percent)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() * percent / 100);
}

inline double median(const std::vector<double> &values)
{
    return percentile(values, 50);
}

inline double fastest(const std::vector<double> &values)
{
    return *std::min_element(values.begin(), values.end());
}

// Wall time of one call, in ms.
template <typename Function> double millisecondsOf(Function function)
{
    QElapsedTimer timer;
    timer.start();
    function();
    return timer.nsecsElapsed() / 1e6;
}

// CPU time of this thread: on a shared machine it leaves out the time other processes ran.
inline double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// User plus system CPU time of this process so far, in ms.
inline double processCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Peak resident set size of this process, from /proc/self/status, in KiB.
inline long peakMemoryKib()
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

inline const char *verdict(bool met)
{
    return met ? "target met" : "TARGET MISSED";
}
} // namespace bench
