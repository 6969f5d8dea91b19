// SPDX-License-Identifier: GPL-3.0-or-later
#include "telegram/linetime.h"

#include <QtTest>

class TestLineTime : public QObject
{
    Q_OBJECT

private slots:
    void lineTime_data();
    void lineTime();
};

void TestLineTime::lineTime_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("time"); // empty: none

    QTest::newRow("tool log") << "2020-12-16 09:12:40.017 [Info] Fieldbus: connecting"
                              << "2020-12-16 09:12:40.017";
    QTest::newRow("no fraction") << "2020-12-16 09:12:40 [Info]" << "2020-12-16 09:12:40.000";
    QTest::newRow("T, long fraction") << "x 2021-01-02T03:04:05.123456Z" << "2021-01-02 03:04:05.123";
    QTest::newRow("one fraction digit") << "2021-01-02 03:04:05.5 a" << "2021-01-02 03:04:05.500";
    QTest::newRow("fault CSV row") << "INT FAIL,70,2020-12-16 10:41:07.512,05DC0064000000FA,S1"
                                   << "2020-12-16 10:41:07.512";
    QTest::newRow("first of two") << "2020-01-01 00:00:01 then 2020-01-01 00:00:02"
                                  << "2020-01-01 00:00:01.000";
    QTest::newRow("starts at column 21") << QString(21, QLatin1Char('.')) + "2020-01-01 00:00:01"
                                         << "2020-01-01 00:00:01.000";
    QTest::newRow("past 40 characters") << QString(22, QLatin1Char('.')) + "2020-01-01 00:00:01"
                                        << QString();
    QTest::newRow("invalid month") << "2020-13-01 00:00:01" << QString();
    QTest::newRow("invalid hour") << "2020-12-01 24:00:01" << QString();
    QTest::newRow("inside a longer number") << "12020-12-01 10:00:01" << QString();
    QTest::newRow("time only") << "10:00:01.123 [Info]" << QString();
    QTest::newRow("empty") << QString() << QString();
}

void TestLineTime::lineTime()
{
    QFETCH(QString, line);
    QFETCH(QString, time);
    const qint64 value = linetime::lineTime(line);
    QCOMPARE(value == linetime::none ? QString() : linetime::format(value), time);
}

QTEST_APPLESS_MAIN(TestLineTime)
#include "tst_linetime.moc"
