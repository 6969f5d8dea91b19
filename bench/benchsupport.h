// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "tools/loggenerator.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QTimer>
#include <QtGlobal>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>
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

// A size a benchmark takes from the environment variable `name` when it is set.
inline int sizeFromEnvironment(const char *name, int fallback)
{
    return qEnvironmentVariableIsSet(name) ? qEnvironmentVariableIntValue(name) : fallback;
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

// A "Vm..." line of /proc/self/status, in KiB; -1 when it cannot be read.
inline long memoryStatusKib(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(std::strlen(field))).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// Peak resident set size of this process, in KiB.
inline long peakMemoryKib()
{
    return memoryStatusKib("VmHWM:");
}

// Resident size of this process now, in KiB.
inline long residentMemoryKib()
{
    return memoryStatusKib("VmRSS:");
}

constexpr qint64 chunkBytes = 1 << 20;

// Reads the file in 1 MiB chunks, each after the last `keep` bytes of the one before, and hands
// each to `scan`.
template <typename Scan> void readInChunks(const QString &path, size_t keep, Scan scan)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return;
    std::vector<char> buffer(keep + size_t(chunkBytes));
    size_t held = 0;
    for (ssize_t got; (got = ::read(fd, buffer.data() + held, size_t(chunkBytes))) > 0;) {
        const size_t size = held + size_t(got);
        scan(buffer.data(), size, held);
        held = std::min(keep, size);
        std::memmove(buffer.data(), buffer.data() + size - held, held);
    }
    ::close(fd);
}

inline qint64 bareLineCount(const QString &path)
{
    qint64 lines = 1;
    readInChunks(path, 0, [&](const char *bytes, size_t size, size_t) {
        for (const char *at = bytes, *end = bytes + size;
             (at = static_cast<const char *>(std::memchr(at, '\n', size_t(end - at)))); ++at)
            ++lines;
    });
    return lines;
}

// Occurrences of `needle` in the file (none overlapping): memmem over each chunk, with what
// an occurrence across two chunks needs kept from the one before.
inline qint64 bareCount(const QString &path, const QByteArray &needle)
{
    qint64 count = 0;
    const size_t length = size_t(needle.size());
    size_t skip = 0; // bytes of the kept tail that the last occurrence covered
    readInChunks(path, length - 1, [&](const char *bytes, size_t size, size_t held) {
        const char *end = bytes + size;
        const char *at = bytes + std::min(skip, held);
        skip = 0;
        while (const void *hit = memmem(at, size_t(end - at), needle.constData(), length)) {
            ++count;
            at = static_cast<const char *>(hit) + length;
        }
        // An occurrence that ends in the tail covers the start of the next chunk's kept bytes.
        const char *tail = end - std::min(length - 1, size);
        skip = at > tail ? size_t(at - tail) : 0;
    });
    return count;
}

// The longest gap between the ticks of a 10 ms timer on this thread while it runs.
class TickWatch
{
public:
    TickWatch()
    {
        ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker, &QTimer::timeout, [this] {
            longest = std::max(longest, sinceTick.nsecsElapsed() / 1e6);
            sinceTick.restart();
        });
        ticker.start(10);
        sinceTick.start();
    }
    double longestGap() const { return std::max(longest, sinceTick.nsecsElapsed() / 1e6); }

private:
    QTimer ticker;
    QElapsedTimer sinceTick;
    double longest = 0;
};

// Free memory goes back to the system, so that what comes next must grow the resident size;
// then the peak resident size starts again from the current one (Linux 4.0 and later).
inline bool resetPeakMemory()
{
    malloc_trim(0);
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

inline const char *verdict(bool met)
{
    return met ? "target met" : "TARGET MISSED";
}
} // namespace bench
