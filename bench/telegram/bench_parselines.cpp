// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding one screen: parseTelegramLines over 60 consecutive lines, as every repaint does.
#include "bench/benchsupport.h"
#include "telegram/logparser.h"

#include <QStringList>

using namespace bench;

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
            QVector<TelegramRecord> records;
            times.push_back(millisecondsOf([&] { records = parseTelegramLines(window); }));
            checksum += records.last().type;
        }
    }
    const double median = bench::median(times);
    std::printf("parseTelegramLines over %d lines: median %.4f ms over %zu windows "
                "(p90 %.4f ms), target <= %.1f ms, ratio %.3f: %s (checksum %d)\n",
                windowLines, median, times.size(), percentile(times, 90), targetMs,
                median / targetMs, verdict(median <= targetMs), checksum);
    return 0;
}
