// SPDX-License-Identifier: GPL-3.0-or-later
// The large-log store on generated logs, each figure against a floor measured in the same run:
// (a) indexing 1,000,000 lines vs a bare chunked memchr pass;
// (b) indexing 10,000,000 lines on an event loop vs chunked memchr: index size, the longest gap
//     between 10 ms timer ticks, the first 100 lines; and the same for a file of only newlines,
//     the index's worst case;
// (c) steps that find nothing, in each search mode, on both logs, vs a bare memmem pass;
// (d) Find All "[Comm]" on both logs until its end vs a bare memmem count, with the longest gap
//     between 10 ms timer ticks on the thread that receives the batches.
#include "bench/benchsupport.h"
#include "logstore/logfindall.h"
#include "logstore/logstore.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace bench;

namespace
{
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
    const bool met = bytesPerLine <= 2 && store.lineCount() == floorLines;
    std::printf("(a) floor: chunked memchr over %lld lines: %.1f ms (median of 5)\n", floorLines,
                floor);
    std::printf("    indexing the 1M-line log: %.1f ms  ratio %.2f; index %.2f bytes/line "
                "(limit 2): %s\n",
                figure, figure / floor, bytesPerLine, verdict(met));
    return met;
}

// Indexing a big log on an event loop, against chunked memchr; `limitMs` bounds the indexing.
bool hugeIndex(const char *label, const QString &path, double limitMs)
{
    std::vector<double> floorTimes, times;
    qint64 floorLines = 0;
    for (int round = 0; round < 3; ++round)
        floorTimes.push_back(millisecondsOf([&] { floorLines = bareLineCount(path); }));
    double bytesPerLine = 0, longestGap = 0, firstLines = -1;
    qint64 lines = 0;
    for (int round = 0; round < 3; ++round) {
        LogStore store;
        QElapsedTimer sinceOpen;
        QObject::connect(&store, &LogStore::linesIndexed, [&](qint64 count) {
            if (firstLines < 0 && count >= 100)
                firstLines = sinceOpen.nsecsElapsed() / 1e6;
        });
        TickWatch ticks;
        sinceOpen.start();
        times.push_back(indexOnce(store, path));
        longestGap = std::max(longestGap, ticks.longestGap());
        bytesPerLine = double(store.indexMemory()) / double(store.lineCount());
        lines = store.lineCount();
    }
    const double floor = median(floorTimes), figure = median(times);
    const bool met = bytesPerLine <= 2 && figure <= limitMs && longestGap <= 100 &&
                     firstLines >= 0 && firstLines <= 500 && lines == floorLines;
    std::printf("(b) %s (%lld lines, %.0f MB): floor: chunked memchr %.1f ms (median of 3)\n",
                label, floorLines, QFileInfo(path).size() / 1e6, floor);
    std::printf("    indexed in %.0f ms (median of 3, limit %.0f)  ratio %.2f; index %.2f "
                "bytes/line (limit 2); longest gap between 10 ms ticks %.1f ms (limit 100); "
                "first 100 lines after %.1f ms (limit 500): %s\n",
                figure, limitMs, figure / floor, bytesPerLine, longestGap, firstLines,
                verdict(met));
    return met;
}

bool steps(const char *label, const QString &path, const LogStore &store)
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
        {"match case, forward from the start", absent, Qt::CaseSensitive, false, false, 0},
        {"match case, forward from the middle", absent, Qt::CaseSensitive, false, false, last / 2},
        {"binary data, whole words", QStringLiteral("DE AD BE EF 00"), Qt::CaseInsensitive, true,
         false, 0},
    };
    std::vector<double> floorTimes;
    for (int round = 0; round < 5; ++round) {
        floorTimes.push_back(millisecondsOf([&] {
            if (bareCount(path, absent.toLatin1()) != 0)
                std::abort();
        }));
    }
    const double floor = fastest(floorTimes);
    std::printf("(c) %s: floor: chunked memmem over the file: %.1f ms (fastest of 5)\n", label,
                floor);
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
    std::printf("    steps: %s\n", verdict(met));
    return met;
}

// A log written with CRLF line ends is searched as bytes all the same.
bool crlfStep(const QString &path)
{
    const QString absent = QStringLiteral("no such text in the log");
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
    QFile::remove(crlfPath);
    const double best = fastest(times);
    const bool met = best <= 100 && !found;
    std::printf("    failing step, %-36s %6.1f ms (limit 100 ms)%s: %s\n",
                "CRLF 1M-line log, forward", best, found ? " FOUND" : "", verdict(met));
    return met;
}

bool findAll(const char *label, const QString &path, const LogStore &store, double limitMs)
{
    const QByteArray keyword = "[Comm]";
    std::vector<double> floorTimes, times;
    qint64 floorMatches = 0;
    for (int round = 0; round < 3; ++round)
        floorTimes.push_back(millisecondsOf([&] { floorMatches = bareCount(path, keyword); }));
    qint64 matches = 0, reported = 0;
    double longestGap = 0;
    for (int round = 0; round < 3; ++round) {
        LogFindAll runner;
        // The receiver keeps the rows, as a results pane would, in the batches they came in.
        std::vector<QVector<LogFinding>> rows;
        qint64 received = 0;
        QObject::connect(&runner, &LogFindAll::found, [&](const QVector<LogFinding> &batch, int) {
            rows.push_back(batch);
            received += batch.size();
        });
        QObject::connect(&runner, &LogFindAll::finished, [&](qint64 count) {
            reported = count;
            QCoreApplication::quit();
        });
        TickWatch ticks;
        times.push_back(millisecondsOf([&] {
            runner.start(store, QString::fromLatin1(keyword), Qt::CaseSensitive);
            QCoreApplication::exec();
        }));
        longestGap = std::max(longestGap, ticks.longestGap());
        matches = received;
    }
    const double floor = median(floorTimes), figure = median(times);
    const bool met =
        figure <= limitMs && longestGap <= 50 && matches == reported && matches == floorMatches;
    std::printf("(d) %s: floor: chunked memmem count of \"[Comm]\", %lld matches: %.1f ms "
                "(median of 3)\n",
                label, floorMatches, floor);
    std::printf("    Find All \"[Comm]\" until its end, %lld matches received: %.1f ms (median of "
                "3, fastest %.1f, limit %.0f)  ratio %.2f; longest gap between 10 ms ticks on the "
                "receiving thread %.1f ms (limit 50); %d bytes a row: %s\n",
                matches, figure, fastest(times), limitMs, figure / floor, longestGap,
                int(sizeof(LogFinding)), verdict(met));
    return met;
}

bool writeNewlines(const QString &path, qint64 count)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray chunk(1 << 20, '\n');
    for (qint64 left = count; left > 0; left -= chunk.size()) {
        const qint64 size = std::min<qint64>(left, chunk.size());
        if (file.write(chunk.constData(), size) != size)
            return false;
    }
    return true;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("generated-1m.log"));
    if (!writeLog(path, bigLogLines, 1))
        return 1;
    bool met = true;
    {
        LogStore store;
        met = indexing(path, store) && met;
        met = steps("1M-line log", path, store) && met;
        met = crlfStep(path) && met;
        met = findAll("1M-line log", path, store, 100) && met;
    }
    QFile::remove(path);

    const QString hugePath = dir.filePath(QStringLiteral("generated-10m.log"));
    if (!writeLog(hugePath, 10 * bigLogLines, 2))
        return 1;
    met = hugeIndex("10M-line log", hugePath, 500) && met;
    {
        LogStore store;
        indexOnce(store, hugePath);
        met = steps("10M-line log", hugePath, store) && met;
        met = findAll("10M-line log", hugePath, store, 1000) && met;
    }
    QFile::remove(hugePath);

    const QString newlinesPath = dir.filePath(QStringLiteral("newlines.log"));
    if (!writeNewlines(newlinesPath, 10 * bigLogLines))
        return 1;
    met = hugeIndex("only newlines", newlinesPath, 500) && met;
    QFile::remove(newlinesPath);
    return met ? 0 : 1;
}
