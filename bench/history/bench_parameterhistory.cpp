// SPDX-License-Identifier: GPL-3.0-or-later
// The history of the most frequent parameter of a generated 10,000,000-line log, read through
// the large-log store as a panel would feed it: with the slice driver alone and with the window
// shown, on the GUI thread. Figures: wall and CPU time until the last row, the longest time the
// event loop waited, and as the floor a memmem count of "[Comm]" over the file's bytes.
// Usage: bench_parameterhistory [--log FILE] [--parameter N]
#include "bench/benchsupport.h"
#include "history/historytablemodel.h"
#include "history/parameterhistorywindow.h"
#include "logstore/logstore.h"

#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>
#include <QTimer>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <unistd.h>

using namespace bench;

namespace
{
const int logLines = 10000000;
const quint32 logRandomSeed = 7;
const double targetSeconds = 3.0;
const double targetStallMs = 50;
const qint64 readerBatch = 8192;

// Marker lines of the file, counted over its raw bytes; false when it cannot be read.
bool countMarkers(const QString &path, qint64 *count)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return false;
    std::vector<char> buffer(1 << 20);
    size_t kept = 0;
    *count = 0;
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data() + kept, buffer.size() - kept);
        if (got <= 0)
            break;
        const char *end = buffer.data() + kept + got;
        const char *p = buffer.data();
        while (const void *found = memmem(p, size_t(end - p), "[Comm]", 6)) {
            ++*count;
            p = static_cast<const char *>(found) + 6;
        }
        // A marker may straddle two reads.
        kept = size_t(qMin<ptrdiff_t>(5, end - buffer.data()));
        std::memmove(buffer.data(), end - kept, kept);
    }
    ::close(fd);
    return true;
}

// The parameter number that the most decoded lines name (the whole log decoded in order).
quint32 mostFrequentParameter(const LogStore &store)
{
    QHash<quint32, int> counts;
    TelegramLineDecoder decoder(false);
    std::deque<TelegramRecord> held;
    const auto count = [&counts](const TelegramRecord &record) {
        for (quint32 number : parameterNumbers(record))
            ++counts[number];
    };
    for (qint64 first = 0; first < store.lineCount(); first += readerBatch) {
        for (const QString &line : store.lineTexts(first, readerBatch)) {
            held.emplace_back();
            decoder.decode(line, held.back());
            if (decoder.holdsFragments())
                continue;
            for (const TelegramRecord &record : held)
                count(record);
            held.clear();
        }
    }
    quint32 best = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > counts.value(best))
            best = it.key();
    }
    return best;
}

// Measures the gaps between turns of the event loop while it runs.
class StallProbe : public QObject
{
public:
    StallProbe()
    {
        timer.setInterval(0);
        connect(&timer, &QTimer::timeout, this, [this] {
            longestMs = qMax(longestMs, clock.nsecsElapsed() / 1e6);
            clock.restart();
        });
    }
    void start()
    {
        longestMs = 0;
        clock.start();
        timer.start();
    }
    void stop() { timer.stop(); }
    double longestMs = 0;

private:
    QTimer timer;
    QElapsedTimer clock;
};

struct Run {
    double wallSeconds = 0;
    double cpuSeconds = 0;
    double longestStallMs = 0;
    int rows = 0;
};

// Runs the event loop until `finished` fires once.
template <typename Sender, typename Signal, typename Start>
Run timeRun(Sender *sender, Signal finished, Start start, const std::function<int()> &rows)
{
    QEventLoop loop;
    QObject::connect(sender, finished, &loop, &QEventLoop::quit);
    StallProbe probe;
    Run run;
    const double cpu = threadCpuMs();
    QElapsedTimer wall;
    wall.start();
    probe.start();
    start();
    loop.exec();
    probe.stop();
    run.wallSeconds = wall.nsecsElapsed() / 1e9;
    run.cpuSeconds = (threadCpuMs() - cpu) / 1e3;
    run.longestStallMs = probe.longestMs;
    run.rows = rows();
    return run;
}

void print(const char *what, const Run &run, double floorSeconds)
{
    std::printf("%s: %.3f s wall (%.3f s CPU on the GUI thread), %d rows; ratio to the floor "
                "%.1f; longest event-loop wait %.1f ms; target <= %.0f s and <= %.0f ms: %s\n",
                what, run.wallSeconds, run.cpuSeconds, run.rows, run.wallSeconds / floorSeconds,
                run.longestStallMs, targetSeconds, targetStallMs,
                verdict(run.wallSeconds <= targetSeconds && run.longestStallMs <= targetStallMs));
}
} // namespace

int main(int argc, char *argv[])
{
    prepareGuiRun();
    QApplication application(argc, argv);
    QString log;
    quint32 parameter = 0;
    const QStringList arguments = QCoreApplication::arguments();
    for (int i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments.at(i) == QLatin1String("--log"))
            log = arguments.at(i + 1);
        else if (arguments.at(i) == QLatin1String("--parameter"))
            parameter = arguments.at(i + 1).toUInt();
    }
    QTemporaryDir dir;
    if (log.isEmpty()) {
        log = dir.filePath(QStringLiteral("generated.log"));
        if (!dir.isValid() || !writeLog(log, logLines, logRandomSeed))
            return 1;
    }
    LogStore store;
    {
        QEventLoop loop;
        QObject::connect(&store, &LogStore::finished, &loop, &QEventLoop::quit);
        if (!store.open(log)) {
            std::fprintf(stderr, "cannot open %s\n", qPrintable(log));
            return 1;
        }
        loop.exec();
    }
    if (parameter == 0)
        parameter = mostFrequentParameter(store);
    const LineBatchReader reader = [&store](qint64 first, qint64 count) {
        return store.lineTexts(first, count);
    };

    qint64 markers = 0;
    std::vector<double> floors;
    for (int i = 0; i < 3; ++i)
        floors.push_back(millisecondsOf([&] { countMarkers(log, &markers); }) / 1e3);
    const double floorSeconds = fastest(floors);
    std::printf("%lld lines (%.0f MB, %lld marker lines), parameter %u; floor (memmem count of "
                "[Comm]): %.3f s\n",
                store.lineCount(), QFileInfo(log).size() / 1e6, markers, parameter, floorSeconds);

    ParameterHistoryScan scan(parameter);
    print("slice driver alone",
          timeRun(
              &scan, &ParameterHistoryScan::finished,
              [&] { scan.start(reader, store.lineCount()); }, [&] { return scan.rows().size(); }),
          floorSeconds);

    ParameterHistoryWindow window(parameter, log);
    window.resize(1000, 800);
    window.show();
    QApplication::processEvents();
    print("window shown",
          timeRun(
              &window, &ParameterHistoryWindow::scanFinished,
              [&] { window.scan(reader, store.lineCount()); },
              [&] { return window.model()->rowCount(); }),
          floorSeconds);
    return 0;
}
