// The large-log store on generated logs, each figure against a floor measured in the same run:
// (a) indexing 1,000,000 lines vs a bare chunked memchr pass; (b) indexing 10,000,000 lines on
// an event loop: index size, the longest gap between 10 ms timer ticks, the first 100 lines;
// (c) a step that finds nothing vs a bare memmem; (d) find-all "[Comm]" vs an indexOf scan.
#include "bench/benchsupport.h"
#include "logstore/logfindall.h"
#include "logstore/logstore.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

using namespace bench;

namespace
{
const qint64 chunkBytes = 1 << 20;

// Reads the file in 1 MiB chunks and hands each to `scan`.
template <typename Scan> void readInChunks(const QString &path, Scan scan)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return;
    std::vector<char> buffer(static_cast<size_t>(chunkBytes));
    for (ssize_t got; (got = ::read(fd, buffer.data(), buffer.size())) > 0;)
        scan(buffer.data(), size_t(got));
    ::close(fd);
}

qint64 bareLineCount(const QString &path)
{
    qint64 lines = 1;
    readInChunks(path, [&](const char *bytes, size_t size) {
        for (const char *at = bytes, *end = bytes + size;
             (at = static_cast<const char *>(std::memchr(at, '\n', size_t(end - at)))); ++at)
            ++lines;
    });
    return lines;
}

// Whether `needle` occurs anywhere: 1 MiB reads placed after the last bytes of the one before,
// each searched with memmem.
bool bareContains(const QString &path, const QByteArray &needle)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return false;
    const size_t keep = size_t(needle.size() - 1);
    std::vector<char> buffer(keep + size_t(chunkBytes));
    size_t held = 0;
    bool found = false;
    for (ssize_t got; !found && (got = ::read(fd, buffer.data() + held, size_t(chunkBytes))) > 0;) {
        const size_t size = held + size_t(got);
        found = memmem(buffer.data(), size, needle.constData(), size_t(needle.size())) != nullptr;
        held = std::min(keep, size);
        std::memmove(buffer.data(), buffer.data() + size - held, held);
    }
    ::close(fd);
    return found;
}

// Opens the log and runs the event loop until the pass is done; ms.
double indexOnce(LogStore &store, const QString &path)
{
    QElapsedTimer timer;
    timer.start();
    QObject::connect(&store, &LogStore::finished, QCoreApplication::instance(),
                     &QCoreApplication::quit);
    if (!store.open(path))
        return -1;
    QCoreApplication::exec();
    QObject::disconnect(&store, &LogStore::finished, nullptr, nullptr);
    return timer.nsecsElapsed() / 1e6;
}

bool indexing(const QString &path, LogStore &store)
{
    std::vector<double> floorTimes, times;
    qint64 floorLines = 0;
    for (int round = 0; round < 5; ++round) {
        floorTimes.push_back(millisecondsOf([&] { floorLines = bareLineCount(path); }));
        LogStore fresh;
        times.push_back(indexOnce(fresh, path));
    }
    indexOnce(store, path);
    const double floor = median(floorTimes), figure = median(times);
    const double bytesPerLine = double(store.indexMemory()) / double(store.lineCount());
    std::printf("(a) floor: chunked memchr over %lld lines: %.1f ms (median of 5)\n", floorLines,
                floor);
    std::printf("    indexing the 1M-line log: %.1f ms  ratio %.2f; index %.2f bytes/line "
                "(limit 16): %s\n",
                figure, figure / floor, bytesPerLine,
                verdict(bytesPerLine <= 16 && store.lineCount() == floorLines));
    return bytesPerLine <= 16 && store.lineCount() == floorLines;
}

bool hugeLog(const QString &path)
{
    LogStore store;
    QElapsedTimer sinceOpen;
    double firstLines = -1;
    QObject::connect(&store, &LogStore::linesIndexed, [&](qint64 count) {
        if (firstLines < 0 && count >= 100)
            firstLines = sinceOpen.nsecsElapsed() / 1e6;
    });
    // The event loop keeps ticking while the worker indexes.
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QElapsedTimer sinceTick;
    double longestGap = 0;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, sinceTick.nsecsElapsed() / 1e6);
        sinceTick.restart();
    });
    QObject::connect(&store, &LogStore::finished, QCoreApplication::instance(),
                     &QCoreApplication::quit);
    ticker.start(10);
    sinceTick.start();
    sinceOpen.start();
    if (!store.open(path))
        return false;
    QCoreApplication::exec();
    const double total = sinceOpen.nsecsElapsed() / 1e6;
    const double bytesPerLine = double(store.indexMemory()) / double(store.lineCount());
    const bool met =
        bytesPerLine <= 16 && longestGap <= 100 && firstLines >= 0 && firstLines <= 500;
    std::printf("(b) 10M-line log (%lld lines, %.0f MB) indexed in %.0f ms: index %.2f "
                "bytes/line (limit 16), longest gap between 10 ms ticks %.1f ms (limit 100), "
                "first 100 lines after %.1f ms (limit 500): %s\n",
                store.lineCount(), store.fileSize() / 1e6, total, bytesPerLine, longestGap,
                firstLines, verdict(met));
    return met;
}

bool steps(const QString &path, const LogStore &store)
{
    struct Case {
        const char *name;
        QString text;
        Qt::CaseSensitivity sensitivity;
        bool wholeWords;
        bool backward;
        qint64 line;
    };
    const qint64 last = store.lineCount() - 1;
    const QString absent = QStringLiteral("no such text in the log");
    const std::vector<Case> cases = {
        {"plain text, forward from the start", absent, Qt::CaseInsensitive, false, false, 0},
        {"plain text, backward from the end", absent, Qt::CaseInsensitive, false, true, last},
        {"match case, forward from the middle", absent, Qt::CaseSensitive, false, false, last / 2},
        {"binary data, whole words", QStringLiteral("DE AD BE EF 00"), Qt::CaseInsensitive, true,
         false, 0},
    };
    std::vector<double> floorTimes;
    for (int round = 0; round < 5; ++round) {
        floorTimes.push_back(millisecondsOf([&] {
            if (bareContains(path, absent.toLatin1()))
                std::abort();
        }));
    }
    const double floor = fastest(floorTimes);
    std::printf("(c) floor: chunked memmem over the file: %.1f ms (fastest of 5)\n", floor);
    bool met = true;
    for (const Case &c : cases) {
        std::vector<double> times;
        bool found = false;
        for (int round = 0; round < 5; ++round) {
            times.push_back(millisecondsOf([&] {
                found = store
                            .find(c.text, c.sensitivity, c.wholeWords, c.line,
                                  c.backward ? store.lineLength(c.line) : 0, c.backward)
                            .isValid();
            }));
        }
        const double best = fastest(times);
        met = met && best <= 100 && !found;
        std::printf("    failing step, %-36s %6.1f ms  ratio %.2f (limit 100 ms)%s\n", c.name, best,
                    best / floor, found ? " FOUND" : "");
    }
    // A log written with CRLF line ends is searched as bytes all the same.
    const QString crlfPath = path + QStringLiteral(".crlf");
    {
        QFile in(path), out(crlfPath);
        if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
            return false;
        out.write(in.readAll().replace("\n", "\r\n"));
    }
    LogStore crlf;
    indexOnce(crlf, crlfPath);
    std::vector<double> times;
    bool found = false;
    for (int round = 0; round < 5; ++round) {
        times.push_back(millisecondsOf(
            [&] { found = crlf.find(absent, Qt::CaseInsensitive, false, 0, 0, false).isValid(); }));
    }
    const double best = fastest(times);
    met = met && best <= 100 && !found;
    std::printf("    failing step, %-36s %6.1f ms  ratio %.2f (limit 100 ms)%s\n",
                "CRLF log, forward from the start", best, best / floor, found ? " FOUND" : "");
    QFile::remove(crlfPath);
    std::printf("    steps: %s\n", verdict(met));
    return met;
}

bool findAll(const QString &path, const LogStore &store)
{
    const QString keyword = QStringLiteral("[Comm]");
    QString text;
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return false;
        text = QTextStream(&file).readAll();
    }
    std::vector<double> floorTimes, times;
    qint64 floorMatches = 0, matches = 0;
    for (int round = 0; round < 3; ++round) {
        floorTimes.push_back(millisecondsOf([&] {
            floorMatches = 0;
            for (int start = 0; start <= text.size();) {
                int end = text.indexOf(QLatin1Char('\n'), start);
                if (end < 0)
                    end = text.size();
                const QString line = text.mid(start, end - start);
                for (int from = 0;;) {
                    const int column = line.indexOf(keyword, from, Qt::CaseSensitive);
                    if (column < 0)
                        break;
                    ++floorMatches;
                    from = column + keyword.size();
                }
                start = end + 1;
            }
        }));
        LogFindAll runner;
        qint64 received = 0;
        QObject::connect(&runner, &LogFindAll::found,
                         [&](const QVector<LogFinding> &batch) { received += batch.size(); });
        QObject::connect(&runner, &LogFindAll::finished, QCoreApplication::instance(),
                         &QCoreApplication::quit);
        times.push_back(millisecondsOf([&] {
            runner.start(store, keyword, Qt::CaseSensitive);
            QCoreApplication::exec();
        }));
        matches = received;
    }
    const double floor = median(floorTimes), figure = median(times);
    const bool met = figure <= 2000 && matches == floorMatches;
    std::printf("(d) floor: line-by-line indexOf scan of the text in memory, %lld matches: "
                "%.1f ms (median of 3)\n",
                floorMatches, floor);
    std::printf("    find-all \"[Comm]\", %lld matches received: %.1f ms  ratio %.2f (limit "
                "2000 ms): %s\n",
                matches, figure, figure / floor, verdict(met));
    return met;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("generated-1m.log"));
    if (!writeLog(path, bigLogLines, 1))
        return 1;
    LogStore store;
    bool met = indexing(path, store);
    met = steps(path, store) && met;
    met = findAll(path, store) && met;

    const QString hugePath = dir.filePath(QStringLiteral("generated-10m.log"));
    if (!writeLog(hugePath, 10 * bigLogLines, 2))
        return 1;
    met = hugeLog(hugePath) && met;
    QFile::remove(hugePath);
    return met ? 0 : 1;
}
