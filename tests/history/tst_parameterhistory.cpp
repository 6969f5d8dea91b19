// SPDX-License-Identifier: GPL-3.0-or-later
#include "historycore/parameterhistory.h"
#include "tests/history/historyreference.h"
#include "tools/loggenerator.h"

#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

namespace
{
QStringList sampleLines(const QString &name)
{
    QFile file(qEnvironmentVariable("TELVANE_SOURCE_DIR") + QStringLiteral("/samples/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
}

QStringList generatedLines(int lines, quint32 randomSeed)
{
    return QString::fromUtf8(generatedLog(lines, randomSeed)).split(QLatin1Char('\n'));
}

// Whole telegrams and parts of them (orphan fragments, a PPO3 reply split over three lines, echoes
// of writes to parameter 300) strung together at random with stretches of a generated log.
QStringList shuffledLines(quint32 randomSeed)
{
    const QString received = QStringLiteral("[Comm] Received: [%1]");
    const QVector<QStringList> blocks{
        {received.arg("02"), received.arg("06"), received.arg("05 04 7F 00 00 7C")},
        {received.arg("02"), received.arg("06 05"), received.arg("04 7F 00 00 7C")},
        {"[Comm] Sent to COM3: [02 0E 05 E1 2C 00 00 00 00 0B B8 04 7F 00 00 BB]"},
        {received.arg("02"), received.arg("0E"),
         received.arg("05 21 2C 00 00 00 00 0B B8 04 7F 00 00 7B")},
        {received.arg("02"), received.arg("0E 05"),
         received.arg("21 2C 00 00 00 00 0B B8 04 7F 00 00 7B")},
        {"[Comm] DPV1 Request to slave 3: [FF 01 00 01 10 01 01 2C 00 00]"},
        {"[Comm] DPV1 Received from slave 3: [FF 01 00 01 43 01 00 00 01 F4]"},
        {"[Comm] DPV1 Received from slave 3: [FF 81 00 01 44 01 00 00]"},
        {"[Comm] Sent: [02 06 05 00 00 00 00 03]"},
        {"12:00 [Comm] Sent to COM3: [02 0E 05 11 2C 00 00 00 00 00 00 04 7F 00 00 6C]"},
    };
    const QStringList generated = generatedLines(3000, randomSeed);
    QRandomGenerator random(randomSeed);
    QStringList lines;
    while (lines.size() < 2000) {
        if (random.bounded(3) == 0) {
            lines += generated.mid(random.bounded(generated.size() - 8), random.bounded(1, 8));
            continue;
        }
        const QStringList &block = blocks.at(random.bounded(blocks.size()));
        lines +=
            random.bounded(8) == 0 ? QStringList(block.mid(random.bounded(block.size()))) : block;
    }
    return lines;
}

HistoryRows historyOf(const QStringList &lines, quint32 parameter, int batchLines)
{
    ParameterHistory history(parameter);
    HistoryRows rows;
    for (int first = 0; first < lines.size(); first += batchLines)
        history.feed(lines.mid(first, batchLines), rows);
    return rows;
}

} // namespace

Q_DECLARE_METATYPE(QVector<quint32>)

class TestParameterHistory : public QObject
{
    Q_OBJECT

private slots:
    void rowsMatchTheDecodedLog_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<quint32>("parameter");
        QTest::addColumn<int>("batchLines");
        const QStringList dpv1 = sampleLines(QStringLiteral("dpv1-session.log"));
        const QStringList serial = sampleLines(QStringLiteral("serial-session.log"));
        const QStringList envelopes = sampleLines(QStringLiteral("usb-envelopes.log"));
        const QStringList generated = generatedLines(30000, 7);
        const quint32 frequent = mostFrequentParameter(generated);
        QTest::newRow("DP-V1 reads, list read, writes, error") << dpv1 << 1000u << 1000;
        QTest::newRow("DP-V1 volatile write") << dpv1 << 1001u << 1000;
        QTest::newRow("serial: joined responses, description, no response") << serial << 564u << 1;
        QTest::newRow("serial: write echo hidden, error") << serial << 410u << 2;
        QTest::newRow("envelopes") << envelopes << 564u << 3;
        QTest::newRow("generated, most frequent, one batch") << generated << frequent << (1 << 30);
        for (const int batch : {1, 2, 3, 7, 4096})
            QTest::addRow("generated, most frequent, batches of %d", batch)
                << generated << frequent << batch;
        QTest::newRow("generated, a rare parameter") << generated << 1999u << 100;
        for (const quint32 randomSeed : {1u, 2u, 3u}) {
            const QStringList shuffled = shuffledLines(randomSeed);
            QTest::addRow("shuffled %u, batches of 1", randomSeed) << shuffled << 300u << 1;
            QTest::addRow("shuffled %u, batches of 5", randomSeed) << shuffled << 300u << 5;
        }
    }

    // Every row as a walk over one parseTelegramLines call gives it, however the lines come.
    void rowsMatchTheDecodedLog()
    {
        QFETCH(QStringList, lines);
        QFETCH(quint32, parameter);
        QFETCH(int, batchLines);
        QVERIFY(!lines.isEmpty());
        const HistoryRows expected = referenceRows(lines, parameter);
        QVERIFY(!expected.isEmpty());
        const HistoryRows rows = historyOf(lines, parameter, batchLines);
        QCOMPARE(rows.size(), expected.size());
        for (int i = 0; i < rows.size(); ++i)
            QCOMPARE(rowText(rows.at(i)), rowText(expected.at(i)));
    }

    void rowsOfTheSamples_data()
    {
        QTest::addColumn<QString>("log");
        QTest::addColumn<quint32>("parameter");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("DP-V1 responses take the parameter of their request")
            << "dpv1-session.log" << 1004u
            << QStringList{
                   "9 | 2020-12-16 09:12:40.153 | READING REQUEST | Sent | DPV1 |  | 0 |  | ",
                   "10 | 2020-12-16 09:12:40.170 | RESPONSE: OK | Received | DPV1 |  | 0 | [DE AD "
                   "BE] "
                   "| "};
        QTest::newRow("a hidden write echo, an error text")
            << "serial-session.log" << 410u
            << QStringList{
                   "13 | 2020-12-16 10:54:21.225 | WRITING REQUEST | Sent | TL | 5 | 0 | 1500 | ",
                   "16 | 2020-12-16 10:54:21.276 | RESPONSE: OK | Received | TL | 5 | 0 |  | ",
                   "38 | 2020-12-16 10:54:21.650 | WRITING REQUEST | Sent | TL | 5 | 0 | 99999 | ",
                   "41 | 2020-12-16 10:54:21.701 | RESPONSE: ERROR | Received | TL | 5 | 0 |  | "
                   "Error: \"Upper Or Lower Limit Exceeded [0x02]\""};
    }

    void rowsOfTheSamples()
    {
        QFETCH(QString, log);
        QFETCH(quint32, parameter);
        QFETCH(QStringList, rows);
        QStringList shown;
        for (const HistoryRow &row : historyOf(sampleLines(log), parameter, 1 << 20))
            shown << rowText(row);
        QCOMPARE(shown, rows);
    }

    // The nearest unanswered request takes a response; lines without a time take the one above.
    void nearestUnansweredRequest()
    {
        const QString request = QStringLiteral("[Comm] DPV1 Request: [FF 01 00 01 10 01 %1 00 00]");
        const QString response =
            QStringLiteral("[Comm] DPV1 Received: [FF 01 00 01 43 01 00 00 00 %1]");
        const QStringList lines{"2021-03-04 05:06:07.5 [Info] start", request.arg("03 E8"),
                                request.arg("03 E9"), response.arg("07"), response.arg("08")};
        QStringList shown;
        for (const HistoryRow &row : historyOf(lines, 1000, 2))
            shown << rowText(row);
        QCOMPARE(
            shown,
            (QStringList{
                "2 | 2021-03-04 05:06:07.500 | READING REQUEST | Sent | DPV1 |  | 0 |  | ",
                "5 | 2021-03-04 05:06:07.500 | RESPONSE: OK | Received | DPV1 |  | 0 | 8 | "}));
    }

    void parameterNumbersOfALine_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QVector<quint32>>("numbers");
        const QString line = QStringLiteral("[Comm] x: [%1]");
        QTest::newRow("one parameter")
            << QStringList{line.arg("FF 01 00 01 10 01 03 E8 00 05")} << QVector<quint32>{1000};
        QTest::newRow("a list, repeats once")
            << QStringList{line.arg("FF 01 00 03 10 01 03 E8 00 00 10 01 03 E9 00 00 10 01 03 E8 "
                                    "00 02")}
            << QVector<quint32>{1000, 1001};
        QTest::newRow("a DP-V1 response names none")
            << QStringList{line.arg("FF 01 00 01 43 01 00 00 01 F4")} << QVector<quint32>{};
        QTest::newRow("a joined response, on its last fragment")
            << QStringList{line.arg("02"), line.arg("0E"),
                           line.arg("05 12 34 00 00 00 00 01 F4 04 7F 00 00 A1")}
            << QVector<quint32>{564};
        QTest::newRow("a fragment") << QStringList{line.arg("02")} << QVector<quint32>{};
        QTest::newRow("no telegram")
            << QStringList{QStringLiteral("[Info] 1000.0")} << QVector<quint32>{};
    }

    void parameterNumbersOfALine()
    {
        QFETCH(QStringList, lines);
        QFETCH(QVector<quint32>, numbers);
        QCOMPARE(parameterNumbersAt(lines, lines.size() - 1), numbers);
    }
};

QTEST_GUILESS_MAIN(TestParameterHistory)
#include "tst_parameterhistory.moc"
