// SPDX-License-Identifier: GPL-3.0-or-later
#include "telegram/logdecoder.h"
#include "telegram/safetyfaults.h"

#include <QtTest>

class TestSafetyFaults : public QObject
{
    Q_OBJECT

private slots:
    void summary_data();
    void summary();
    void detailsAndSelection();
};

void TestSafetyFaults::summary_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("summary");

    QTest::newRow("input fields") << "EXT FAIL,113,a,0001000000010000,b" << 2
                                  << "External Failure DI1; Safety Input: 1; Host Processor Stable "
                                     "State: 0; Peer Processor Stable State: 1";
    QTest::newRow("self-test fields") << "INT FAIL,75,a,0001000000010000,b" << 2
                                      << "Internal Failure DI2 In Power Up Self Test; Safety "
                                         "Input: 1; Host Processor Statble State: 0; Peer "
                                         "Processor Stable State: 1";
    QTest::newRow("four fields") << "INT FAIL,70,x,05DC0064000000FA,y" << 2
                                 << "Internal Failure Speed Limit SLS A; Monitored Speed high "
                                    "(RPM): 1500; SLS Ramp (RPM): 100; SLS Data[SLS A].time "
                                    "(MSB)(ms): 0; SLS Data[SLS A].time (LSB)(ms): 250";
    QTest::newRow("small hex, word 65535") << "INT FAIL,78,x,ffff0001abcdef00,y" << 2
                                           << "Internal Failure S1S2 Communication Channel; File "
                                              "No.: 65535; Function Number: 1";
    QTest::newRow("field with empty name")
        << "INT FAIL,97,a,0000000000000007,b" << 2 << "Internal Failure MOC S1; : 0";
    QTest::newRow("no fields") << "INT FAIL,79,a,0000000000000007,b" << 2
                               << "Internal Failure No SPI Communication";
    QTest::newRow("without data") << "INT FAIL,74,a,b" << 1
                                  << "Internal Failure Safe Output Switch 2";
    QTest::newRow("four pieces with a data piece")
        << "INT FAIL,70,x,05DC0064000000FA" << 1 << "Internal Failure Speed Limit SLS A";
    QTest::newRow("empty pieces count") << "INT FAIL,78,,0001000200030004," << 2
                                        << "Internal Failure S1S2 Communication Channel; File "
                                           "No.: 1; Function Number: 2";
    QTest::newRow("without data keeps only the name")
        << "EXT FAIL,113,a,b" << 1 << "External Failure DI1";
    QTest::newRow("id not in catalogue") << "INT FAIL,90,a,0000000000000000,b" << 2 << "";
    QTest::newRow("small letters") << "int fail,70,a,05DC0064000000FA,b" << 0 << "";
    QTest::newRow("blank in word") << "INT  FAIL,70,a,05DC0064000000FA,b" << 0 << "";
    QTest::newRow("seventeen characters") << "INT FAIL,70,x,05DC00640000 00FA,y" << 0 << "";
    QTest::newRow("fifteen characters") << "INT FAIL,70,x,05DC0064000000F,y" << 0 << "";
    QTest::newRow("non-hex digit") << "INT FAIL,70,x,05DC0064000000FG,y" << 0 << "";
    QTest::newRow("id not a number") << "INT FAIL,7x,a,05DC0064000000FA,b" << 0 << "";
    QTest::newRow("id not a number without data") << "INT FAIL,,a,b" << 0 << "";
    QTest::newRow("largest id") << "INT FAIL,4294967295,a,b" << 1 << "";
    QTest::newRow("id past 32 bits") << "INT FAIL,4294967366,a,b" << 0 << ""; // 2^32 + 70
    QTest::newRow("word alone") << "INT FAIL" << 0 << "";
    QTest::newRow("word and comma") << "INT FAIL," << 0 << "";
    QTest::newRow("six pieces") << "INT FAIL,70,x,05DC0064000000FA,y,z" << 0 << "";
    QTest::newRow("three pieces") << "INT FAIL,70,x" << 0 << "";
    QTest::newRow("empty") << "" << 0 << "";
}

void TestSafetyFaults::summary()
{
    QFETCH(QString, line);
    QFETCH(int, kind);
    const FaultLine fault = parseFaultLine(line);
    QCOMPARE(fault.kind, kind);
    QFETCH(QString, summary);
    // German drives show the same texts.
    for (const TextLanguage language : {English, German}) {
        const SafetyFaultTexts texts = decodeSafetyFaults({line}, 0, language);
        QCOMPARE(texts.texts, QStringList{summary});
    }
    // The command-line decoder picks its fault lines by a quicker test first.
    const QByteArray cli = decodeLogText(line.toUtf8() + '\n', LogDecodeMode::SafetyFaults);
    QCOMPARE(cli, summary.isEmpty() ? QByteArray() : "Line 1: " + summary.toUtf8() + '\n');
}

void TestSafetyFaults::detailsAndSelection()
{
    const QStringList lines{"noise", "INT FAIL,70,x,05DC0064000000FA,y", "INT FAIL,74,a,b"};
    const QString indent = QStringLiteral("\n             ");
    SafetyFaultTexts texts = decodeSafetyFaults(lines, 1);
    QCOMPARE(texts.texts.size(), 3);
    QVERIFY(texts.texts.at(0).isEmpty());
    QCOMPARE(texts.details,
             "Internal Failure Speed Limit SLS A" + indent + "Monitored Speed high (RPM): 1500" +
                 indent + "SLS Ramp (RPM): 100" + indent + "SLS Data[SLS A].time (MSB)(ms): 0" +
                 indent + "SLS Data[SLS A].time (LSB)(ms): 250");
    QCOMPARE(decodeSafetyFaults(lines, 2).details,
             QStringLiteral("Internal Failure Safe Output Switch 2"));
    for (const int outside : {-1, 0, 3, 100})
        QVERIFY(decodeSafetyFaults(lines, outside).details.isEmpty());
    QVERIFY(decodeSafetyFaults({}, 0).texts.isEmpty());
}

QTEST_APPLESS_MAIN(TestSafetyFaults)
#include "tst_safetyfaults.moc"
