// Decoding one screen: parseTelegramLines over 60 consecutive lines, as every repaint does.
#include "telegram/logparser.h"
#include "tools/loggenerator.h"

#include <QElapsedTimer>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <vector>

int main()
{
    const int windowLines = 60;
    const double targetMs = 0.5;
    const QStringList lines =
        QString::fromUtf8(generatedLog(30000, 20201216)).split(QLatin1Char('\n'));
    std::vector<double> times;
    int checksum = 0;
    for (int repeat = 0; repeat < 3; ++repeat) {
        for (int start = 0; start + windowLines <= lines.size(); start += 37) {
            const QStringList window = lines.mid(start, windowLines);
            QElapsedTimer timer;
            timer.start();
            const QVector<TelegramRecord> records = parseTelegramLines(window);
            times.push_back(timer.nsecsElapsed() / 1e6);
            checksum += records.last().type;
        }
    }
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    std::printf("parseTelegramLines over %d lines: median %.4f ms over %zu windows "
                "(p90 %.4f ms), target <= %.1f ms, ratio %.3f: %s (checksum %d)\n",
                windowLines, median, times.size(), times[times.size() * 9 / 10], targetMs,
                median / targetMs, median <= targetMs ? "target met" : "TARGET MISSED", checksum);
    return 0;
}
