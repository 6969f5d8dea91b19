#include "tests/testsupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
using testsupport::ProcessRun;
using testsupport::runDecoder;

QString sample(const char *name)
{
    return qEnvironmentVariable("TELVANE_SOURCE_DIR") + "/samples/" + name;
}

const QByteArray readLine = "2020-12-16 10:54:23.123 [Comm] Sent to COM3: "
                            "[02 0E 05 12 34 00 00 00 00 00 00 04 7F 00 00 54]\n";
const QByteArray readDetails = "TL ADDR=5 \"READING REQUEST\" PARAM=564.0 ";
} // namespace

class TestTelvaneDecode : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void samples_data();
    void samples();
    void standardInput();
    void multipleFilesAndErrors();
    void options_data();
    void options();
    void safetyFaults();

private:
    QTemporaryDir dir;
};

void TestTelvaneDecode::initTestCase()
{
    QVERIFY(QFile::exists(qEnvironmentVariable("TELVANE_BINARY_DIR") + "/bin/telvane-decode"));
    QVERIFY(dir.isValid());
}

void TestTelvaneDecode::samples_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("line");
    // The single features are covered by the library's tests; these follow whole sample files.

    const auto row = [](const char *name, const char *file, const char *line) {
        QTest::newRow(name) << sample(file) << QByteArray(line);
    };
    row("joined read response", "serial-session.log",
        "Line 7 data: TL ADDR=5 \"RESPONSE: OK\" PARAM=564.0 VALUE=500 \n");
    row("raw data", "serial-session.log", "Line 70 data: len = 004 [OK..]\n");
    row("envelope inner length 60", "usb-envelopes.log",
        "Line 21 data: TL ADDR=5 \"RESPONSE: OK\" PARAM=14.0 VALUE=\"Velmora FC-302 drive, 400 V, "
        "15 kW, serial 00412\" \n");
    row("dpv1 volatile write", "dpv1-session.log",
        "Line 20 data: DPV1 \"WRITING TO VOLATILE MEMEORY REQUEST\" PARAM=1001.0 VALUE=1000 \n");
}

void TestTelvaneDecode::samples()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, line);
    const ProcessRun run = runDecoder({file});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.err.isEmpty());
    QVERIFY2(run.out.contains(line), run.out.constData());
    QVERIFY(!run.out.startsWith("==>"));
}

void TestTelvaneDecode::standardInput()
{
    const QByteArray input = "plain\r\n" + readLine + "[Comm] Received: [41 0D 0A]";
    const QByteArray expected = "Line 2 data: " + readDetails + "\nLine 3 data: len = 003 [A..]\n";
    QCOMPARE(runDecoder({}, input).out, expected);
    const ProcessRun dash = runDecoder({"-"}, input);
    QCOMPARE(dash.exitCode, 0);
    QCOMPARE(dash.out, expected);
}

void TestTelvaneDecode::multipleFilesAndErrors()
{
    const QString first = dir.filePath("first.log");
    const QString second = dir.filePath("second.log");
    QVERIFY(testsupport::writeFile(first, "noise\n" + readLine));
    QVERIFY(QFile::copy(first, second));
    const QString missing = dir.filePath("missing.log");

    const ProcessRun run = runDecoder({first, missing, dir.path(), second});
    QCOMPARE(run.exitCode, 1);
    const QByteArray block = "Line 2 data: " + readDetails + "\n";
    QCOMPARE(run.out, "==> " + first.toUtf8() + " <==\n" + block + "==> " + second.toUtf8() +
                          " <==\n" + block);
    QCOMPARE(run.err, "telvane-decode: cannot read " + missing.toUtf8() +
                          ": No such file or directory\ntelvane-decode: cannot read " +
                          dir.path().toUtf8() + ": Is a directory\n");

    QFile locked(dir.filePath("locked.log"));
    QVERIFY(testsupport::writeFile(locked.fileName(), QByteArray()));
    QVERIFY(locked.setPermissions(QFileDevice::WriteOwner));
    QFile probe(locked.fileName());
    if (probe.open(QIODevice::ReadOnly))
        QSKIP("running with privileges that ignore file permissions");
    const ProcessRun denied = runDecoder({locked.fileName()});
    QCOMPARE(denied.exitCode, 1);
    QCOMPARE(denied.err,
             "telvane-decode: cannot read " + locked.fileName().toUtf8() + ": Permission denied\n");
}

void TestTelvaneDecode::options_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<bool>("usageOnStdout");
    QTest::addColumn<bool>("usageOnStderr");

    QTest::newRow("help") << QStringList{"--help"} << 0 << true << false;
    QTest::newRow("help wins over files") << QStringList{"x.log", "--help"} << 0 << true << false;
    QTest::newRow("unknown long") << QStringList{"--fast"} << 2 << false << true;
    QTest::newRow("unknown short")
        << QStringList{"-x", sample("dpv1-session.log")} << 2 << false << true;
}

void TestTelvaneDecode::options()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, usageOnStdout);
    QFETCH(bool, usageOnStderr);
    const ProcessRun run = runDecoder(arguments);
    QTEST(run.exitCode, "exitCode");
    QCOMPARE(run.out.startsWith("Usage: telvane-decode"), usageOnStdout);
    QCOMPARE(run.err.contains("Usage: telvane-decode"), usageOnStderr);
    if (usageOnStderr)
        QVERIFY(run.out.isEmpty());
}

void TestTelvaneDecode::safetyFaults()
{
    const ProcessRun run = runDecoder({"--safety-faults", sample("safety-faults.log")});
    QCOMPARE(run.exitCode, 0);
    const QList<QByteArray> lines = run.out.split('\n');
    QCOMPARE(lines.first(),
             QByteArray("Line 3: Internal Failure Speed Limit SLS A; Monitored Speed "
                        "high (RPM): 1500; SLS Ramp (RPM): 100; SLS Data[SLS "
                        "A].time (MSB)(ms): 0; SLS Data[SLS A].time (LSB)(ms): 250"));
    QVERIFY(run.out.contains("\nLine 4: Internal Failure Safe Output Switch 2\n"));
    QVERIFY(!run.out.contains("Line 1:"));
    QVERIFY(!run.out.contains("Line 17:")); // the 17-character data piece
    // Telegram lines give no fault output, and fault lines no telegram output.
    QVERIFY(runDecoder({"--safety-faults", sample("serial-session.log")}).out.isEmpty());
    QVERIFY(runDecoder({sample("safety-faults.log")}).out.isEmpty());
}

QTEST_GUILESS_MAIN(TestTelvaneDecode)
#include "tst_telvanedecode.moc"
