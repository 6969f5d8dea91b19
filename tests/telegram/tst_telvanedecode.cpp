#include "tests/testsupport.h"

#include <QtTest>

namespace
{
using testsupport::ProcessRun;
using testsupport::runDecoder;

QString sample(const char *name)
{
    return qEnvironmentVariable("TELVANE_SOURCE_DIR") + "/samples/" + name;
}

// The output checked line by line against the formats when it was written down.
QByteArray expected(const char *name)
{
    QFile file(qEnvironmentVariable("TELVANE_SOURCE_DIR") + "/tests/telegram/expected/" + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("missing");
}

const QByteArray readLine = "2020-12-16 10:54:23.123 [Comm] Sent to COM3: "
                            "[02 0E 05 12 34 00 00 00 00 00 00 04 7F 00 00 54]\n";
const QByteArray readDetails = "TL ADDR=5 \"READING REQUEST\" PARAM=564.0 ";
} // namespace

class TestTelvaneDecode : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;

private slots:
    void initTestCase()
    {
        QVERIFY(QFile::exists(qEnvironmentVariable("TELVANE_BINARY_DIR") + "/bin/telvane-decode"));
        QVERIFY(dir.isValid());
    }

    void samples_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("output");

        for (const char *name : {"serial-session", "dpv1-session", "usb-envelopes"})
            QTest::newRow(name) << QStringList{sample(name + QByteArray(".log"))}
                                << expected(name + QByteArray(".txt"));
        QTest::newRow("safety faults")
            << QStringList{"--safety-faults", sample("safety-faults.log")}
            << expected("safety-faults.txt");
        // Telegram lines give no fault output, and fault lines no telegram output.
        QTest::newRow("faults of a telegram log")
            << QStringList{"--safety-faults", sample("serial-session.log")} << QByteArray();
        QTest::newRow("telegrams of a fault log")
            << QStringList{sample("safety-faults.log")} << QByteArray();
    }

    void samples()
    {
        QFETCH(QStringList, arguments);
        const ProcessRun run = runDecoder(arguments);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.err, QByteArray());
        QTEST(run.out, "output");
    }

    void standardInput()
    {
        const QByteArray input = "plain\r\n" + readLine + "[Comm] Received: [41 0D 0A]";
        const QByteArray expected =
            "Line 2 data: " + readDetails + "\nLine 3 data: len = 003 [A..]\n";
        QCOMPARE(runDecoder({}, input).out, expected);
        const ProcessRun dash = runDecoder({"-"}, input);
        QCOMPARE(dash.exitCode, 0);
        QCOMPARE(dash.out, expected);
    }

    void multipleFilesAndErrors()
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
        QCOMPARE(denied.err, "telvane-decode: cannot read " + locked.fileName().toUtf8() +
                                 ": Permission denied\n");
    }

    void options_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<bool>("usageOnStdout");
        QTest::addColumn<bool>("usageOnStderr");

        QTest::newRow("help") << QStringList{"--help"} << 0 << true << false;
        QTest::newRow("help wins over files")
            << QStringList{"x.log", "--help"} << 0 << true << false;
        QTest::newRow("unknown long") << QStringList{"--fast"} << 2 << false << true;
        QTest::newRow("unknown short")
            << QStringList{"-x", sample("dpv1-session.log")} << 2 << false << true;
    }

    void options()
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

    void outputErrors_data()
    {
        QTest::addColumn<QString>("script"); // $0 the decoder, $1 a sample, $2 a missing file
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("err");

        const QByteArray full = "telvane-decode: cannot write output: No space left on device\n";
        // Output of about 80 bytes per line: below the stdio buffer, between it and the decoder's
        // own 1 MiB block, and above that block, so each write of the decoder meets the full
        // device.
        QTest::newRow("full device, buffered output")
            << R"("$0" "$1" >/dev/full)" << QByteArray() << full;
        QTest::newRow("full device, last block")
            << R"("$0" >/dev/full)" << readLine.repeated(1000) << full;
        QTest::newRow("full device, a block mid-file")
            << R"("$0" >/dev/full)" << readLine.repeated(20000) << full;
        QTest::newRow("full device, help") << R"("$0" --help >/dev/full)" << QByteArray() << full;
        QTest::newRow("full device before a read error")
            << R"("$0" "$1" "$2" >/dev/full)" << QByteArray() << full;
        // More than a pipe holds, so the write fails however quickly the reader goes away.
        QTest::newRow("closed pipe")
            << R"(("$0"; echo "exit $?" >&2) | true)" << readLine.repeated(2000)
            << QByteArray("telvane-decode: cannot write output: Broken pipe\nexit 1\n");
    }

    void outputErrors()
    {
        QFETCH(QString, script);
        QFETCH(QByteArray, input);
        const ProcessRun run =
            testsupport::runProcess("/bin/sh",
                                    {"-c", script, testsupport::decoderPath(),
                                     sample("serial-session.log"), dir.filePath("missing.log")},
                                    input);
        QTEST(run.err, "err");
        // The pipeline's status is that of its reader; the decoder's own is in "exit N".
        QCOMPARE(run.exitCode, script.endsWith("| true") ? 0 : 1);
    }
};

QTEST_GUILESS_MAIN(TestTelvaneDecode)
#include "tst_telvanedecode.moc"
