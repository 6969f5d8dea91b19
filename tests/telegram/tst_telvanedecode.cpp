// SPDX-License-Identifier: GPL-3.0-or-later
#include "searchcore/searchoptions.h"
#include "searchcore/searchtext.h"
#include "telegram/linedetails.h"
#include "telegram/telegramtable.h"
#include "tests/archive/packedarchive.h"
#include "tests/testsupport.h"
#include "tools/loggenerator.h"

#include <QJsonDocument>
#include <QJsonObject>
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

// A log for the table's columns: a telegram before any time, a time inherited by lines without
// one, a response joined from three fragments, a request for several parameters, values with
// quotes and commas, and a line outside ASCII.
const QByteArray tableLog =
    "[Comm] Sent to COM3: [02 0E 05 12 34 00 00 00 00 00 00 04 7F 00 00 54]\n"
    "2020-12-16 10:54:21.072 [Info] Port open\r\n"
    "[Comm] Received: [02]\n"
    "[Comm] Received: [0E]\n"
    "[Comm] Received: [05 12 34 00 00 00 00 01 F4 04 7F 00 00 A1]\n"
    "2020-12-16T10:54:22,5 [Comm] DPV1 Request to slave 3: [FF 01 00 03 10 01 03 E8 00 00 10 01 "
    "03 E9 00 00 10 01 03 EA 00 02]\n"
    "2020-12-16 10:54:23 [Comm] DPV1 Received from slave 3: [FF 01 00 03 06 01 05 DC 05 01 2A 00 "
    "09 05 50 75 6D 70 20 42]\n"
    "Gr\xc3\xb6\xc3\x9f"
    "e, \"quoted\" [Comm] Received: [4F 4B 2C 22 0D 0A]\n";

QString jsonText(const QJsonValue &value)
{
    return value.isDouble() ? QString::number(value.toVariant().toLongLong()) : value.toString();
}

// The lines of a log as the viewer reads it: CR dropped, split at LF, UTF-8.
QStringList viewerLines(const QByteArray &log)
{
    QByteArray text = log;
    text.replace('\r', QByteArray());
    if (text.endsWith('\n'))
        text.chop(1);
    return QString::fromUtf8(text).split(QLatin1Char('\n'));
}

// The rows of the results pane for a Find All: every match of the converted text in each line,
// left to right without overlaps, as "Line N: LINE".
QByteArray referenceFindAll(const QByteArray &log, int searchMode, const QString &typed)
{
    const SearchPattern pattern = searchPattern(searchMode, typed);
    const QStringList lines = viewerLines(log);
    QByteArray rows;
    for (int i = 0; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        for (int from = 0; from < line.size();) {
            const int column = line.indexOf(pattern.text, from, pattern.findAllCase);
            if (column < 0)
                break;
            rows +=
                QString::asprintf("Line %d: %s\n", i + 1, line.toLocal8Bit().constData()).toUtf8();
            from = column + pattern.text.size();
        }
    }
    return rows;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

class TestTelvaneDecode : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString generated; // 20,000 lines from the log generator
    QString table;     // tableLog

private slots:
    void initTestCase()
    {
        QVERIFY(QFile::exists(qEnvironmentVariable("TELVANE_BINARY_DIR") + "/bin/telvane-decode"));
        QVERIFY(dir.isValid());
        generated = dir.filePath("generated.log");
        QVERIFY(writeGeneratedLog(generated, 20000, 20201216));
        table = dir.filePath("table.log");
        QVERIFY(testsupport::writeFile(table, tableLog));
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

    // jsonl and csv hold the text output's rows one for one, and each parses.
    void formatsAgree_data()
    {
        QTest::addColumn<QString>("log");
        QTest::addColumn<QStringList>("options");

        for (const char *name : {"serial-session", "dpv1-session", "usb-envelopes"})
            QTest::newRow(name) << sample(name + QByteArray(".log")) << QStringList();
        QTest::newRow("generated") << generated << QStringList();
        QTest::newRow("quotes, commas, no times") << table << QStringList();
        QTest::newRow("serial-session, context")
            << sample("serial-session.log") << QStringList{"--context"};
        QTest::newRow("generated, context") << generated << QStringList{"--context"};
    }

    void formatsAgree()
    {
        QFETCH(QString, log);
        QFETCH(QStringList, options);
        const ProcessRun text = runDecoder(options + QStringList{log});
        const ProcessRun jsonl = runDecoder(options + QStringList{"--format", "jsonl", log});
        const ProcessRun csv = runDecoder(options + QStringList{"--format=csv", log});
        for (const ProcessRun *run : {&text, &jsonl, &csv}) {
            QCOMPARE(run->exitCode, 0);
            QCOMPARE(run->err, QByteArray());
        }
        QList<QByteArray> jsonLines = jsonl.out.split('\n');
        QCOMPARE(jsonLines.takeLast(), QByteArray());
        QVector<QStringList> csvRows = testsupport::parseCsv(QString::fromUtf8(csv.out));
        QVERIFY(!csvRows.isEmpty());
        const QStringList header = csvRows.takeFirst();
        QCOMPARE(header, telegramtable::columnNames());
        QCOMPARE(csvRows.size(), jsonLines.size());
        QByteArray rebuilt;
        for (int i = 0; i < jsonLines.size(); ++i) {
            QJsonParseError error;
            const QJsonDocument document = QJsonDocument::fromJson(jsonLines.at(i), &error);
            QVERIFY2(error.error == QJsonParseError::NoError && document.isObject(),
                     jsonLines.at(i).constData());
            const QJsonObject object = document.object();
            QCOMPARE(object.size(), header.size());
            QCOMPARE(object.value("file").toString(), log);
            QCOMPARE(csvRows.at(i).size(), header.size());
            for (int column = 0; column < header.size(); ++column)
                QCOMPARE(csvRows.at(i).at(column), jsonText(object.value(header.at(column))));
            rebuilt += telegramDetailsLine(object.value("line").toInt(),
                                           object.value("details").toString())
                           .toUtf8() +
                       '\n';
        }
        QCOMPARE(rebuilt, text.out);
    }

    void tableFields_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("value"); // empty for null

        QTest::newRow("no time above") << 1 << "time"
                                       << "";
        QTest::newRow("time from a line above") << 5 << "time"
                                                << "2020-12-16 10:54:21.072";
        QTest::newRow("T, comma and one digit") << 6 << "time"
                                                << "2020-12-16 10:54:22.500";
        QTest::newRow("whole seconds") << 7 << "time"
                                       << "2020-12-16 10:54:23.000";
        QTest::newRow("sent") << 1 << "direction"
                              << "sent";
        QTest::newRow("received") << 5 << "direction"
                                  << "received";
        QTest::newRow("kind without quotes") << 1 << "kind"
                                             << "READING REQUEST";
        QTest::newRow("raw data has no kind") << 8 << "kind"
                                              << "";
        QTest::newRow("address") << 1 << "address"
                                 << "5";
        QTest::newRow("no address") << 6 << "address"
                                    << "";
        QTest::newRow("one parameter") << 1 << "parameter"
                                       << "564";
        QTest::newRow("its index") << 1 << "index"
                                   << "0";
        QTest::newRow("several parameters") << 6 << "parameter"
                                            << "";
        QTest::newRow("several indexes") << 6 << "index"
                                         << "";
        QTest::newRow("values with quotes") << 7 << "value"
                                            << "3 values { 1500 42 \"Pump \" }";
        QTest::newRow("joined telegram's bytes")
            << 5 << "bytes"
            << "02 0E 05 12 34 00 00 00 00 01 F4 04 7F 00 00 A1";
        QTest::newRow("raw data details") << 8 << "details"
                                          << "len = 006 [OK,\"..]";
    }

    void tableFields()
    {
        QFETCH(int, line);
        QFETCH(QString, column);
        const ProcessRun run = runDecoder({"--format", "jsonl", table});
        QCOMPARE(run.exitCode, 0);
        for (const QByteArray &text : run.out.split('\n')) {
            const QJsonObject object = QJsonDocument::fromJson(text).object();
            if (object.value("line").toInt() != line)
                continue;
            QTEST(object.value(column).isNull() ? QString() : jsonText(object.value(column)),
                  "value");
            return;
        }
        QFAIL("no row for the line");
    }

    // --context prints for every telegram line what the details pane shows when the lines
    // around it are on screen.
    void contextIsThePanesText_data()
    {
        QTest::addColumn<QByteArray>("log");

        QTest::newRow("serial-session") << readAll(sample("serial-session.log"));
        QTest::newRow("usb-envelopes") << readAll(sample("usb-envelopes.log"));
        QTest::newRow("generated") << generatedLog(1200, 7);
        QTest::newRow("raw data runs at both ends")
            << QByteArray("[Comm] Received: [41]\n[Comm] Received: [42 0D 0A]\nx\n"
                          "[Comm] Received: [43]\n[Comm] Recieved: [44]");
    }

    void contextIsThePanesText()
    {
        QFETCH(QByteArray, log);
        const ProcessRun run = runDecoder({"--context", "--format", "jsonl"}, log);
        QCOMPARE(run.exitCode, 0);
        const QStringList lines = viewerLines(log);
        const LineReader read = [&lines](int line) { return lines.at(line); };
        QList<QByteArray> rows = run.out.split('\n');
        rows.removeLast();
        QVERIFY(!rows.isEmpty());
        for (const QByteArray &row : rows) {
            const QJsonObject object = QJsonDocument::fromJson(row).object();
            const int line = object.value("line").toInt();
            QCOMPARE(telegramDetailsLine(line, object.value("details").toString()),
                     selectedLineDetails(read, lines.size(), line - 1, 0, lines.size() - 1,
                                         DecodeMode()));
        }
    }

    void find_data()
    {
        QTest::addColumn<QString>("log");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("searchMode");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("found");

        const QString serial = sample("serial-session.log");
        QTest::newRow("text, any case")
            << serial << QStringList{"--find", "received"} << int(PlainText) << "received" << true;
        QTest::newRow("text, case matched, none")
            << serial << QStringList{"--find", "received", "--match-case"}
            << int(PlainTextMatchCase) << "received" << false;
        QTest::newRow("text, case matched")
            << serial << QStringList{"--match-case", "--mode", "text", "--find", "Received"}
            << int(PlainTextMatchCase) << "Received" << true;
        QTest::newRow("text, matches side by side")
            << serial << QStringList{"--find", "00 00"} << int(PlainText) << "00 00" << true;
        QTest::newRow("text outside ASCII lines")
            << table << QStringList{"--find=QUOTED"} << int(PlainText) << "QUOTED" << true;
        QTest::newRow("hex") << serial << QStringList{"--mode", "hex", "--find", "OK"}
                             << int(BinaryData) << "OK" << true;
        QTest::newRow("hex, case box ignored")
            << serial << QStringList{"--mode=hex", "--match-case", "--find", "ok"}
            << int(BinaryData) << "ok" << false;
        QTest::newRow("param") << serial << QStringList{"--mode", "param", "--find", "564"}
                               << int(ParameterId) << "564" << true;
        QTest::newRow("param with index")
            << serial << QStringList{"--mode", "param", "--find", "564.1"} << int(ParameterId)
            << "564.1" << true;
        QTest::newRow("param, none")
            << serial << QStringList{"--mode", "param", "--find", "65535.65535"} << int(ParameterId)
            << "65535.65535" << false;
        QTest::newRow("generated, text")
            << generated << QStringList{"--find", "drive 5"} << int(PlainText) << "drive 5" << true;
        QTest::newRow("generated, hex")
            << generated << QStringList{"--mode", "hex", "--find", "Pump"} << int(BinaryData)
            << "Pump" << true;
        QTest::newRow("generated, param")
            << generated << QStringList{"--mode", "param", "--find", "410"} << int(ParameterId)
            << "410" << true;
    }

    void find()
    {
        QFETCH(QString, log);
        QFETCH(QStringList, options);
        QFETCH(int, searchMode);
        QFETCH(QString, typed);
        QFETCH(bool, found);
        const ProcessRun run = runDecoder(options + QStringList{log});
        const QByteArray reference = referenceFindAll(readAll(log), searchMode, typed);
        QCOMPARE(!reference.isEmpty(), found);
        QCOMPARE(run.out, reference);
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(run.exitCode, found ? 0 : 1);
    }

    // An unreadable file is an error even when another file has matches, as for grep.
    void findErrors()
    {
        const QString missing = dir.filePath("missing.log");
        const ProcessRun run = runDecoder({"--find", "Comm", sample("dpv1-session.log"), missing});
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.out.contains("Line 3: "));
        QCOMPARE(run.err, "telvane-decode: cannot read " + missing.toUtf8() +
                              ": No such file or directory\n");
        const ProcessRun fromInput = runDecoder({"--find", "Received"}, readLine);
        QCOMPARE(fromInput.exitCode, 1);
        QCOMPARE(fromInput.out, QByteArray());
    }

    // Compressed logs decode as their plain text does, told apart by content, not by name.
    void compressed_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QStringList>("options");

        for (const ArchiveFormat format :
             {ArchiveFormat::Gzip, ArchiveFormat::Bzip2, ArchiveFormat::Xz, ArchiveFormat::Zstd})
            QTest::newRow(archiveFormatName(format).toUtf8()) << int(format) << QStringList();
        QTest::newRow("gzip, jsonl")
            << int(ArchiveFormat::Gzip) << QStringList{"--format", "jsonl"};
        QTest::newRow("xz, find") << int(ArchiveFormat::Xz) << QStringList{"--find", "Received"};
        QTest::newRow("plain named .gz") << int(ArchiveFormat::Plain) << QStringList();
    }

    void compressed()
    {
        QFETCH(int, format);
        QFETCH(QStringList, options);
        const QString plain = sample("serial-session.log");
        const QByteArray log = readAll(plain);
        const QByteArray bytes = format == int(ArchiveFormat::Plain)
                                     ? log
                                     : testsupport::packed(ArchiveFormat(format), {{"log", log}});
        const QString path = dir.filePath("serial-session.log.gz");
        QVERIFY(testsupport::writeFile(path, bytes));
        QByteArray expected = runDecoder(options + QStringList{plain}).out;
        expected.replace(plain.toUtf8(), path.toUtf8());
        const ProcessRun run = runDecoder(options + QStringList{path});
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, expected);
        const ProcessRun piped = runDecoder(options, bytes);
        QCOMPARE(piped.exitCode, 0);
        QCOMPARE(piped.out, expected.replace(path.toUtf8(), "-"));
    }

    // Each log of a zip is one log of its own, named after the archive and the entry.
    void zipOfTwoLogs()
    {
        const QString first = sample("dpv1-session.log");
        const QString second = sample("usb-envelopes.log");
        const QString zip = dir.filePath("logs.zip");
        QVERIFY(testsupport::writeFile(
            zip, testsupport::packed(ArchiveFormat::Zip, {{"dpv1.log", readAll(first)},
                                                          {"usb/usb.log", readAll(second)}})));
        const ProcessRun text = runDecoder({zip});
        QCOMPARE(text.exitCode, 0);
        QCOMPARE(text.out, "==> " + zip.toUtf8() + "/dpv1.log <==\n" + runDecoder({first}).out +
                               "==> " + zip.toUtf8() + "/usb/usb.log <==\n" +
                               runDecoder({second}).out);
        const ProcessRun csv = runDecoder({"--format", "csv", zip});
        QCOMPARE(csv.exitCode, 0);
        QVERIFY(csv.out.contains("\r\n" + zip.toUtf8() + "/usb/usb.log,4,"));
        QCOMPARE(runDecoder({"--find", "RESPONSE"}, readAll(zip)).exitCode, 1);
        QCOMPARE(runDecoder({"--find", "slave 3"}, readAll(zip)).exitCode, 0);
        QCOMPARE(runDecoder({}, testsupport::packed(ArchiveFormat::Zip, {})).out, QByteArray());
    }

    // A cut-off archive: what could be read is decoded, then the reason follows.
    void truncatedGzip()
    {
        const QByteArray log = readLine.repeated(20000);
        const QByteArray whole = testsupport::packed(ArchiveFormat::Gzip, {{"log", log}});
        const QString path = dir.filePath("cut.gz");
        QVERIFY(testsupport::writeFile(path, whole.left(whole.size() * 3 / 4)));
        const ProcessRun run = runDecoder({path});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.out.startsWith("Line 1 data: " + readDetails + "\nLine 2 data: "));
        QVERIFY(run.out.size() < runDecoder({}, log).out.size());
        QVERIFY2(run.err.startsWith("telvane-decode: cannot read " + path.toUtf8() +
                                    ": The archive could not be read to its end: "),
                 run.err.constData());
        QCOMPARE(runDecoder({"--find", "Comm", path}).exitCode, 2);
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
        QTest::addColumn<QByteArray>("message"); // on standard error; empty: usage on stdout

        const QString log = sample("dpv1-session.log");
        QTest::newRow("help") << QStringList{"--help"} << 0 << QByteArray();
        QTest::newRow("help wins over files")
            << QStringList{"x.log", "--help"} << 0 << QByteArray();
        QTest::newRow("unknown long")
            << QStringList{"--fast"} << 2 << QByteArray("unknown option --fast");
        QTest::newRow("unknown short")
            << QStringList{"-x", log} << 2 << QByteArray("unknown option -x");
        QTest::newRow("unknown format")
            << QStringList{"--format", "xml", log} << 2 << QByteArray("unknown format xml");
        QTest::newRow("format without a value")
            << QStringList{log, "--format"} << 2 << QByteArray("option --format needs a value");
        QTest::newRow("unknown search mode") << QStringList{"--find", "x", "--mode=regex", log} << 2
                                             << QByteArray("unknown search mode regex");
        QTest::newRow("mode without find") << QStringList{"--mode", "hex", log} << 2
                                           << QByteArray("--mode and --match-case go with --find");
        QTest::newRow("find with a format")
            << QStringList{"--find", "x", "--format", "csv", log} << 2
            << QByteArray("--find cannot be combined with --format");
        QTest::newRow("safety faults with context")
            << QStringList{"--safety-faults", "--context", log} << 2
            << QByteArray("--safety-faults cannot be combined with --context");
        QTest::newRow("nothing to find")
            << QStringList{"--find=", log} << 2 << QByteArray("--find needs a text");
        QTest::newRow("no parameter id") << QStringList{"--mode", "param", "--find", "12.x", log}
                                         << 2 << QByteArray("--find: 12.x is no parameter id");
    }

    void options()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, message);
        const ProcessRun run = runDecoder(arguments);
        QTEST(run.exitCode, "exitCode");
        if (message.isEmpty()) {
            QVERIFY(run.out.startsWith("Usage: telvane-decode"));
            QCOMPARE(run.err, QByteArray());
        } else {
            QVERIFY2(run.err.startsWith("telvane-decode: " + message), run.err.constData());
            QVERIFY(run.err.contains("Usage: telvane-decode"));
            QCOMPARE(run.out, QByteArray());
        }
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
