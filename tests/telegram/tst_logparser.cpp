// SPDX-License-Identifier: GPL-3.0-or-later
#include "telegram/logdecoder.h"
#include "telegram/logparser.h"
#include "telegram/recordtext.h"
#include "tests/testsupport.h"
#include "tools/loggenerator.h"

#include <QtTest>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace
{
const char readTl[] = "[Comm] Sent to COM3: [02 0E 05 12 34 00 00 00 00 00 00 04 7F 00 00 54]";
const char frag1[] = "[Comm] Received: [02]";
const char frag2[] = "[Comm] Received: [0E]";
// 14 bytes completing a TL read response for 564.0 with value 500.
const char frag3[] = "[Comm] Received: [05 12 34 00 00 00 00 01 F4 04 7F 00 00 E3]";

// "type" or "type:value" per line, to compare whole lists in one row.
QString describe(const QVector<TelegramRecord> &records)
{
    QStringList parts;
    for (const TelegramRecord &record : records) {
        QString part = QString::number(record.type);
        if (record.type == Data)
            part += QLatin1Char('[') + record.data + QLatin1Char(']');
        else if (!record.value.isEmpty())
            part += QLatin1Char('=') + record.value;
        parts << part;
    }
    return parts.join(QLatin1Char(' '));
}
} // namespace

class TestLogParser : public QObject
{
    Q_OBJECT

private slots:
    void hexBytes_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("start");
        QTest::addColumn<QByteArray>("bytes");

        QTest::newRow("three bytes") << "x [02 0E 01]" << 0 << QByteArray::fromHex("020E01");
        // The pairs stand at 0, 3, 6, ...: a text of 1, 2, 3, 4, 5 characters.
        QTest::newRow("one digit") << "[0]" << 0 << QByteArray();
        QTest::newRow("one pair") << "[02]" << 0 << QByteArray::fromHex("02");
        QTest::newRow("one pair and a blank") << "[02 ]" << 0 << QByteArray::fromHex("02");
        QTest::newRow("one pair and a digit") << "[02 0]" << 0 << QByteArray();
        QTest::newRow("two pairs") << "[02 0E]" << 0 << QByteArray::fromHex("020E");
        QTest::newRow("trailing blank") << "[02 0E 01 ]" << 0 << QByteArray::fromHex("020E01");
        QTest::newRow("dangling digit") << "[02 0E 0]" << 0 << QByteArray();
        QTest::newRow("empty bracket") << "[]" << 0 << QByteArray();
        QTest::newRow("small letters") << "[02 0e ff]" << 0 << QByteArray::fromHex("020EFF");
        QTest::newRow("bad digit") << "[02 0G]" << 0 << QByteArray();
        QTest::newRow("separator not examined")
            << "[02-0E_01]" << 0 << QByteArray::fromHex("020E01");
        QTest::newRow("no closing bracket") << "[02 0E" << 0 << QByteArray();
        QTest::newRow("bracket at start") << "x [02]" << 2 << QByteArray::fromHex("02");
        QTest::newRow("bracket just before start") << "x [02]" << 3 << QByteArray();
        QTest::newRow("bracket before start") << "[02] x" << 2 << QByteArray();
        QTest::newRow("second bracket after start")
            << "[02] [03]" << 2 << QByteArray::fromHex("03");
        QTest::newRow("start past end") << "[02]" << 10 << QByteArray();
        // The walk is over UTF-8 bytes: the two-byte letter shifts the next pair by one.
        QTest::newRow("non-ascii separator") << QString::fromUtf8("[02\xc3\xa9"
                                                                  "0E]")
                                             << 0 << QByteArray();
        QTest::newRow("non-ascii at the end")
            << QString::fromUtf8("[02 \xc3\xa9]") << 0 << QByteArray();
    }

    void hexBytes()
    {
        QFETCH(QString, line);
        QFETCH(int, start);
        QTEST(parseHexBytes(line, start), "bytes");
    }

    void lines_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("expected");

        // A received fragment, and the 14 bytes after "02 0E 05" of a TL read response for 564.0.
        const auto in = [](const QString &bytes) { return "[Comm] Received: [" + bytes + "]"; };
        const QString tail = "12 34 00 00 00 00 01 F4 04 7F 00 00 E3";
        const QString read = QString::fromLatin1(readTl),
                      write = "[Comm] Sent: [02 0E 05 20 0A 00 00 00 00 00 07 04 7F 00 00 00]";
        QTest::newRow("marker in small letters") << QStringList{"[comm] Sent: [02]"} << "0";
        QTest::newRow("marker without bytes") << QStringList{"[Comm] Port open"} << "0";
        QTest::newRow("bracket right after the marker")
            << QStringList{"[Comm][FF 02 00 01]"} << "8";
        QTest::newRow("three fragments join")
            << QStringList{frag1, frag2, frag3} << "0 0 8"; // no request before: value hidden
        QTest::newRow("joined response after its read keeps value")
            << QStringList{read, frag1, frag2, frag3} << "4 0 0 8=500";
        QTest::newRow("length with first byte, three saved")
            << QStringList{read, frag1, in("0E 05"), in(tail)} << "4 0 0 8=500";
        QTest::newRow("unrelated lines between")
            << QStringList{read, frag1, "plain line", frag2, "[Comm] Port open", frag3}
            << "4 0 0 0 0 8=500";
        QTest::newRow("one-line telegram between")
            << QStringList{frag1, frag2, read, frag3} << "1[.] 1[.] 4 1[..4...........]";
        // Three saved bytes want L - 1 more, two want L; with L = 0x0E:
        QTest::newRow("three saved, third fragment one byte short")
            << QStringList{frag1, in("0E 05"), in(tail.left(35))} << "1[.] 1[..] 1[.4..........]";
        QTest::newRow("three saved, third fragment one byte long")
            << QStringList{frag1, in("0E 05"), in(tail + " 00")} << "1[.] 1[..] 1[.4............]";
        QTest::newRow("third fragment one byte short")
            << QStringList{frag1, frag2, in("05 " + tail.left(35))} << "1[.] 1[.] 1[..4..........]";
        QTest::newRow("third fragment one byte long")
            << QStringList{frag1, frag2, in("05 " + tail + " 00")}
            << "1[.] 1[.] 1[..4............]";
        QTest::newRow("assembler reset after a failed third")
            << QStringList{frag1, frag2, in("05"), frag3} << "1[.] 1[.] 1[.] 1[..4...........]";
        QTest::newRow("second fragment of three bytes")
            << QStringList{frag1, in("0E 05 12"), in(tail.mid(3))} << "1[.] 1[...] 1[4...........]";
        QTest::newRow("first fragment of two bytes is no start")
            << QStringList{in("02 0E"), in("05"), in(tail)} << "1[..] 1[.] 1[.4...........]";
        QTest::newRow("first fragment 04 is no start")
            << QStringList{in("04"), frag2, frag3} << "1[.] 1[.] 1[..4...........]";
        QTest::newRow("tlrx in three lines")
            << QStringList{"[Comm] Sent: [03 0F 05 80 FF 00 00 01 10 01 01 F4 00 00 07 01 95]",
                           in("03"), in("13"),
                           in("05 80 FF 00 00 01 10 01 01 F4 00 00 07 01 00 00 05 AA 26")}
            << "4 0 0 8=1450";
        QTest::newRow("list starts mid-telegram")
            << QStringList{frag2, frag3} << "1[.] 1[..4...........]";
        QTest::newRow("joined bytes that decode to nothing keep the assembler")
            << QStringList{frag1, in("02"), in("01 02"), in("FF FF")} << "1[.] 1[.] 1[..] 1[..]";
        const QString echo = in("05 10 0A 00 00 00 00 00 07 04 7F 00 00 00");
        QTest::newRow("write echo hidden") << QStringList{write, frag1, frag2, echo} << "6=7 0 0 8";
        QTest::newRow("write echo of another parameter kept")
            << QStringList{write, frag1, frag2, in("05 10 0B 00 00 00 00 00 07 04 7F 00 00 00")}
            << "6=7 0 0 8=7";
        QTest::newRow("echo of another protocol kept")
            << QStringList{"[Comm] x: [FF 42 00 01 10 01 00 0A 00 00 07 01 00 00 00 07]", frag1,
                           frag2, echo}
            << "6=7 0 0 8=7";
        QTest::newRow("dpv1 response on one line keeps value")
            << QStringList{"[Comm] x: [FF 01 00 01 43 01 00 00 01 F4]"} << "8=500";
        QTest::newRow("enveloped tl response without request hides value")
            << QStringList{"[Comm] x: [03 10 02 0E 05 " + tail + QString(" 00").repeated(46) + "]"}
            << "8";
        QTest::newRow("line breaks in data shown as dots")
            << QStringList{in("41 0D 0A FF")} << "1[A...]";
        // Which kinds count as the request a response's value is paired with
        QTest::newRow("one-line read description is a request")
            << QStringList{"[Comm] x: [02 0E 05 42 34 00 01 00 00 00 00 04 7F 00 00 00]", frag1,
                           frag2, frag3}
            << "5 0 0 8=500";
        QTest::newRow("one-line ppo3 response is no request")
            << QStringList{"[Comm] x: [02 06 05 04 7F 00 00 7C]", frag1, frag2, frag3} << "3 0 0 8";
        QTest::newRow("joined ppo3 response is a request")
            << QStringList{frag1, in("06"), in("05 04 7F 00 00 7C"), frag1, frag2, frag3}
            << "0 0 3 0 0 8=500";
        QTest::newRow("write then read: the echo keeps its value")
            << QStringList{write, "[Comm] Sent: [02 0E 05 10 0A 00 00 00 00 00 00 04 7F 00 00 00]",
                           frag1, frag2, echo}
            << "6=7 4 0 0 8=7";
    }

    void lines()
    {
        QFETCH(QStringList, lines);
        QTEST(describe(parseTelegramLines(lines)), "expected");
    }

    // One line alone, as the details pane decodes it: no value hiding, line ends kept in data.
    void singleLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("expected");

        QTest::newRow("fragment") << frag1 << "1[.]";
        QTest::newRow("tl response has no request")
            << "[Comm] x: [02 0E 05 12 34 00 00 00 00 01 F4 04 7F 00 00 00]"
            << "4";
        QTest::newRow("tl write") << "[Comm] x: [02 0E 05 20 0A 00 00 00 00 00 07 04 7F 00 00 00]"
                                  << "6=7";
        QTest::newRow("enveloped response has no request")
            << "[Comm] x: [03 10 02 0E 05 12 34 00 00 00 00 01 F4 04 7F 00 00 E3" +
                   QString(" 00").repeated(46) + "]"
            << "8";
        QTest::newRow("no marker") << "Sent: [02 0E]"
                                   << "0";
        QTest::newRow("line breaks in data") << "[Comm] Received: [41 0D 0A FF]"
                                             << "1[A\r\n.]";
    }

    void singleLine()
    {
        QFETCH(QString, line);
        QTEST(describe({parseTelegramLine(line)}), "expected");
    }

    void cliMatchesParseTelegramLines_data()
    {
        QTest::addColumn<QByteArray>("log");
        const QString samples = qEnvironmentVariable("TELVANE_SOURCE_DIR") + "/samples/";
        QList<QByteArray> pool; // the samples' lines
        for (const char *name : {"serial-session.log", "usb-envelopes.log", "dpv1-session.log"}) {
            QFile file(samples + name);
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
            QByteArray log = file.readAll();
            pool += log.split('\n');
            QTest::newRow(name) << log;
            QTest::newRow(QByteArray(name) + " with CRLF") << log.replace("\n", "\r\n");
        }
        QTest::newRow("generated") << generatedLog(20000, 7);
        // The CLI walks UTF-8 bytes, the viewer text: both must find the same bytes.
        const char nul[] = "a\0b [Comm] [FF 02 00 01]\n[Comm] [FF 01 00 01]\n";
        QTest::newRow("NUL bytes") << QByteArray(nul, sizeof nul - 1);
        QTest::newRow("hex-list boundaries") << QByteArray(
            "[Comm] [0]\n[Comm] [41]\n[Comm] [41 ]\n[Comm] [41 4]\n[Comm] [41 42]\n"
            "[Comm][41 42]\n[Comm] [41 42\n[Comm] 41 42]\nx [Comm]\n[Comm\n[Comm] []\n");
        QTest::newRow("long data, text outside ascii")
            << "[Comm] [" + QByteArray(" 41").repeated(600).mid(1) + "]\n" +
                   "[Comm] [02 0E 05 F0 01 00 00 00 00 00 00 04 7F 00 00 83]\n" + frag1 + "\n" +
                   "[Comm] [0D]\n[Comm] [05 F0 01 00 00 C3 A9 00 04 7F 00 00 CD]\n";
        // Sample lines in a random order: fragments meet strangers, requests other responses.
        QByteArray shuffled;
        QRandomGenerator random(20201216);
        for (int i = 0; i < 5000; ++i)
            shuffled += pool.at(random.bounded(pool.size())) + '\n';
        QTest::newRow("shuffled sample lines") << shuffled;
        QTest::newRow("no final line end")
            << QByteArray(readTl) + "\n" + frag1 + "\n" + frag2 + "\n" + frag3;
        QTest::newRow("non-ascii lines")
            << QByteArray("Gr\xc3\xb6\xc3\x9f"
                          "e [Comm] Sent: [02 0E 05 12 34 00 00 00 00 00 00 04 7F 00 00 54]\n"
                          "[Comm] \xc3\xa9: [02\xc3\xa9"
                          "0E]\n[Comm] R\xff: [41 42]\n\xff[Co\rmm] [02]\n");
    }

    void cliMatchesParseTelegramLines()
    {
        QFETCH(QByteArray, log);
        const QByteArray expected = testsupport::listDecoderOutput(log);
        QVERIFY(!expected.isEmpty());
        QCOMPARE(decodeLogText(log, LogDecodeMode::Telegrams), expected);
    }

    void chunkedFeedMatches()
    {
        const QByteArray log = generatedLog(3000, 11).replace("\n", "\r\n");
        const QByteArray whole = decodeLogText(log, LogDecodeMode::Telegrams);
        for (const int chunk : {1, 7, 4096}) {
            LogDecoder decoder(LogDecodeMode::Telegrams);
            for (int at = 0; at < log.size(); at += chunk)
                decoder.feed(log.constData() + at, qMin(chunk, log.size() - at));
            decoder.finish();
            QCOMPARE(QByteArray::fromStdString(decoder.output()), whole);
        }
    }

    // A read that fails (here on a directory) still writes what was decoded and says why.
    void logFileReadError()
    {
        QTemporaryDir dir;
        const int fd = open(QFile::encodeName(dir.path()).constData(), O_RDONLY);
        QVERIFY(fd >= 0);
        QTemporaryFile out;
        QVERIFY(out.open());
        std::FILE *file = fdopen(dup(out.handle()), "w");
        errno = 0;
        QCOMPARE(decodeLogFile(fd, LogDecodeMode::Telegrams, file), LogFileResult::ReadFailed);
        QCOMPARE(errno, EISDIR);
        std::fclose(file);
        close(fd);
    }

    void generatorIsDeterministic()
    {
        const QByteArray log = generatedLog(5000, 3);
        QCOMPARE(log.count('\n'), 5000);
        QCOMPARE(generatedLog(5000, 3), log);
        // Every kind of telegram occurs, so that the logs made from it test them all.
        const QByteArray out = decodeLogText(log, LogDecodeMode::Telegrams);
        for (int type = PPO3Request; type <= ResponseError; ++type)
            QVERIFY2(out.contains(telegramTypeName(type).toUtf8()),
                     qPrintable(QString::number(type)));
        QVERIFY(out.contains("data: len = "));
    }
};

QTEST_APPLESS_MAIN(TestLogParser)
#include "tst_logparser.moc"
