// SPDX-License-Identifier: GPL-3.0-or-later
#include "logreference.h"
#include "logstore/logindex.h"
#include "logstore/logstore.h"
#include "tests/testsupport.h"
#include "tools/loggenerator.h"

#include <QtTest>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace
{
QByteArray xs(int count)
{
    return QByteArray(count, 'x');
}

// `count` bytes of text with characters above ASCII.
QByteArray aboveAscii(int count)
{
    return QByteArray("a\xC3\xA9\xE2\x82\xAC").repeated(count / 6 + 1).left(count);
}

QByteArray utf16(const QString &text, bool bigEndian = false)
{
    QByteArray bytes;
    for (const QChar c : text)
        bytes.append(char(bigEndian ? c.row() : c.cell()))
            .append(char(bigEndian ? c.cell() : c.row()));
    return bytes;
}

// Random files are made of line ends of every kind, sequences that are cut, invalid or special
// to the stream and the document, plain text and runs of one letter.
QByteArray randomLog(QRandomGenerator &random, int size)
{
    static const char all[] =
        "\n|\r\n|\r|abc|[Comm] |xyz 12| |\xC3\xA9|\xE2\x82\xAC|\xF0\x9F\x98\x80|"
        "\xE2\x80\xA9|\xEF\xB7\x90|\xEF\xBB\xBF|\xC2\xA0|\x80|\xFF|\xE2\x82|"
        "\xF0\x9F|\xC3|\0|\xED\xA0\x80|\xC0\xAF";
    static const QList<QByteArray> pieces = QByteArray(all, sizeof all - 1).split('|');
    QByteArray bytes;
    while (bytes.size() < size) {
        if (random.bounded(8) == 0)
            bytes += QByteArray(random.bounded(1, 300), 'a' + char(random.bounded(26)));
        else
            bytes += pieces.at(random.bounded(pieces.size()));
    }
    return bytes;
}
// Line starts (byte offset, document position) of `count` lines of a kind.
QList<QPair<qint64, qint64>> lineStarts(const QString &kind, int count, QRandomGenerator &random)
{
    QList<QPair<qint64, qint64>> starts;
    qint64 byte = 0, position = 0;
    for (int line = 0; line < count; ++line) {
        starts.append({byte, position});
        QString lineKind = kind;
        if (kind == "mixed") {
            static const QStringList kinds = {"ASCII", "ASCII",       "ASCII",
                                              "CRLF",  "above ASCII", "long lines"};
            lineKind = kinds.at(random.bounded(kinds.size()));
        }
        const int length = random.bounded(1, 200);
        qint64 bytes = length + 1, units = length + 1;
        if (lineKind == "CRLF") {
            ++bytes;
        } else if (lineKind == "above ASCII") {
            bytes += random.bounded(length + 1); // each extra byte one character shorter
        } else if (lineKind == "only line feeds") {
            bytes = units = 1;
        } else if (lineKind == "long lines") {
            bytes = units = random.bounded(200, 70000);
        } else if (lineKind == "lines of gigabytes") {
            // Beyond 32-bit distances, with their positions apart from their bytes.
            bytes = line % 1000 == 999 ? (qint64(5) << 30) : line % 7 + 1;
            units = bytes / 2 + 1;
        } else if (lineKind == "another codec") {
            // Lines are found again from the chunk that holds them: many start at one offset.
            bytes = random.bounded(20) == 0 ? 16384 : 0;
        }
        byte += bytes;
        position += units;
    }
    return starts;
}
} // namespace

class TestLogStore : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    LogFiles logs;

    // The store holds what the ordinary view shows for the file at `path`.
    void compareWithReference(const LogStore &store, const QString &path)
    {
        const QString text = testsupport::referenceText(path);
        QTextDocument document;
        document.setPlainText(text);
        QCOMPARE(store.lineCount(), qint64(document.blockCount()));
        QCOMPARE(store.characterCount(), qint64(document.characterCount()));
        QCOMPARE(store.containsCommMarker(), text.contains(QLatin1String("[Comm]")));
        const QStringList texts = store.lineTexts(0, store.lineCount());
        QCOMPARE(texts.size(), document.blockCount());
        qint64 longest = 0;
        for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
            const int line = block.blockNumber();
            QCOMPARE(texts.at(line), block.text());
            QCOMPARE(store.linePosition(line), qint64(block.position()));
            QCOMPARE(store.lineLength(line), qint64(block.length() - 1));
            QCOMPARE(store.lineAtPosition(block.position()), qint64(line));
            longest = std::max<qint64>(longest, block.length() - 1);
        }
        for (int line : {0, document.blockCount() / 2, document.blockCount() - 1})
            QCOMPARE(store.lineText(line), document.findBlockByNumber(line).text());
        QCOMPARE(store.longestLineLength(), longest);
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid() && logs.isValid()); }

    // Edge cases the random files do not reach: chunk and window boundaries, byte-order marks,
    // separators, long lines and other encodings.
    void text_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const auto row = [](const char *name, const QByteArray &bytes) {
            QTest::newRow(name) << bytes;
        };
        const QByteArray bom = "\xEF\xBB\xBF";
        const int chunk = 16384;
        row("empty", QByteArray());
        row("one line feed", "\n");
        row("only line feeds", QByteArray(100000, '\n'));
        row("CRLF, some lines above ASCII or over 255 bytes",
            ("ab\r\n" + xs(300) + "\r\n\xC3\xA9\r\n").repeated(200));
        row("CR inside a sequence", "x\xC3\r\xA9y\n\xE2\r\x82\xAC");
        row("sequence open at the end", "abc\xE2\x82");
        row("sequence open before a line feed", "abc\xF0\x9F\x98\nd");
        row("byte-order mark", bom + "first\nsecond");
        row("byte-order mark alone", bom);
        row("byte-order mark in mid-file", "a\n" + bom + "b\n" + bom);
        row("byte-order mark starting the second chunk", xs(chunk - 1) + "\n" + bom + "y\n");
        row("byte-order mark at a chunk start after text above ASCII",
            "\xC3\xA9" + xs(chunk - 3) + "\n" + bom + "y");
        row("byte-order mark across chunks", xs(chunk - 1) + bom + "z");
        row("byte-order mark starting the third chunk", xs(2 * chunk - 1) + "\n" + bom + "y");
        row("marker split by a dropped byte-order mark", xs(chunk - 3) + "[Co" + bom + "mm]");
        row("marker split by CR", "[Co\rmm]\n");
        row("invalid sequence cut by a chunk", xs(chunk - 2) + "\xE2\x82" + "A\n");
        row("four-byte prefix cut by a chunk", xs(chunk - 3) + "\xF0\x9F\x98" + "A\n");
        row("valid sequence cut by a chunk", xs(chunk - 1) + "\xC3\xA9\n");
        row("cut at the second chunk, CRs before",
            QByteArray(5, '\r') + xs(2 * chunk - 7) + "\xE2\x82" + "A\n");
        row("paragraph and other separators",
            QStringLiteral("a\u2029b\u2028c\uFDD0d\uFDD1e\ff\u2029\u2029").toUtf8());
        row("separator across a chunk", xs(chunk - 1) + "\xE2\x80\xA9" + "y\n");
        row("separator across a window", xs((1 << 20) - 2) + "\xE2\x80\xA9" + "y\n");
        row("long line", QByteArray(3 << 20, 'q') + "\nend");
        row("long line above ASCII", QByteArray("\xC3\xA9").repeated(700000) + "\r\nzzzzz");
        row("UTF-16LE", "\xFF\xFE" + utf16(QStringLiteral("a\r\nb\nc [Comm]\u2029d")));
        row("UTF-16BE", "\xFE\xFF" + utf16(QStringLiteral("x\ny\n"), true));
        row("UTF-32LE", QByteArray("\xFF\xFE\0\0x\0\0\0\n\0\0\0y\0\0\0", 16));
        QString wide;
        for (int i = 0; i < 30000; ++i)
            wide += i % 97 == 0   ? QStringLiteral("\n")
                    : i % 13 == 0 ? QStringLiteral("\U0001F600")
                                  : QString(QChar('a' + i % 26));
        row("UTF-16 over many chunks", "\xFF\xFE" + utf16(wide));

        QRandomGenerator random(20240611);
        for (int i = 0; i < 40; ++i) {
            const int size =
                i % 4 == 0 ? random.bounded(chunk - 200, 2 * chunk + 200) : random.bounded(1, 3000);
            QTest::addRow("random %d", i) << randomLog(random, size);
        }
    }

    void text()
    {
        QFETCH(QByteArray, bytes);
        const QString path = logs.write(bytes);
        LogStore store;
        QVERIFY(openAndWait(store, path));
        QVERIFY(!store.isIndexing());
        QCOMPARE(store.fileSize(), qint64(bytes.size()));
        compareWithReference(store, path);
    }

    // A long line is read in parts through its map: each part is what decoding the whole line
    // gives, wherever the map's checkpoints fall among awkward bytes.
    void slicesOfLongLines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const int chunk = 16384;
        const QByteArray mixed = "[Comm] caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 x";
        QTest::newRow("characters across chunks") << xs(5) + mixed.repeated(9000) + "\nend";
        QTest::newRow("invalid UTF-8")
            << (mixed + "\xFF\xE2\x82 \xC3\xF0\x9F\x98\xED\xA0\x80\xC0\xAF").repeated(5000);
        QTest::newRow("sequence cut at a chunk's end")
            << "a\n" + xs(chunk - 3) + "\xE2\x82" + xs(chunk - 1) + "\xF0\x9F" + xs(90000) + "\n";
        QTest::newRow("NUL bytes, CRs inside, CRLF end")
            << QByteArray("ab\0\0c\r\rd\xC3\xA9", 10).repeated(20000) + "\r\n";
        QTest::newRow("byte-order marks and noncharacters")
            << ("\xEF\xBB\xBF" + xs(chunk - 4) + "\xEF\xBF\xBE\xEF\xB7\xA0").repeated(6);
        // More long lines than the store keeps maps of: the first are mapped again.
        QTest::newRow("many long lines") << (mixed.repeated(2000) + "\r\n").repeated(6);
        QTest::newRow("UTF-16") << "\xFF\xFE" +
                                       utf16(QStringLiteral("a\u00E9\r\U0001F600").repeated(40000));
        QRandomGenerator random(20240612);
        // Without the line ends and separators of the random pieces: a few long lines.
        QTest::newRow("random") << randomLog(random, 400000)
                                       .replace('\n', 'n')
                                       .replace("\xE2\x80\xA9", "p")
                                       .replace("\xEF\xB7\x90", "q");
    }

    void slicesOfLongLines()
    {
        QFETCH(QByteArray, bytes);
        const QString path = logs.write(bytes);
        LogStore store;
        QVERIFY(openAndWait(store, path));
        QRandomGenerator random(7);
        for (int round = 0; round < 2; ++round) {
            for (qint64 line = 0; line < store.lineCount(); ++line) {
                const QString text = store.lineText(line);
                QCOMPARE(store.lineLength(line), qint64(text.size()));
                QCOMPARE(store.lineHeads(line, 1, 5000), QStringList(text.left(5000)));
                const int length = int(text.size());
                QList<int> columns = {0, 1, 16383, 16385, length / 2, length - 1};
                for (int i = 0; i < 20; ++i)
                    columns << random.bounded(length + 1);
                for (const int column : columns) {
                    for (const int count : {1, 2, 300, 40000}) {
                        QCOMPARE(store.lineSlice(line, column, count), text.mid(column, count));
                    }
                }
            }
            // A followed line that grows is mapped anew.
            QFile file(path);
            QVERIFY(file.open(QIODevice::Append) && file.write(aboveAscii(200)) > 0);
            file.close();
            QSignalSpy finished(&store, &LogStore::finished);
            if (store.refresh() != LogStore::Refresh::Indexing)
                break;
            QVERIFY(finished.wait(60000));
        }
    }

    void signalsWhileIndexing()
    {
        const QString path = dir.filePath(QStringLiteral("generated.log"));
        QVERIFY(writeGeneratedLog(path, 60000, 3));
        LogStore store;
        QList<qint64> counts;
        QList<int> percents;
        connect(&store, &LogStore::linesIndexed, this, [&](qint64 count) {
            // What a view reads along the way is already final.
            counts.append(count);
            QCOMPARE(store.lineCount(), count);
            if (count > 0)
                QVERIFY(!store.lineText(count - 1).contains(QLatin1Char('\n')));
        });
        connect(&store, &LogStore::progress, this, [&](int percent) { percents.append(percent); });
        QSignalSpy finished(&store, &LogStore::finished);
        QVERIFY(store.open(path));
        QVERIFY(store.isIndexing());
        QVERIFY(finished.wait(60000));
        QCOMPARE(finished.count(), 1);
        QVERIFY(!counts.isEmpty());
        QVERIFY(std::is_sorted(counts.cbegin(), counts.cend()));
        QCOMPARE(counts.last(), qint64(60001)); // the file ends in a line break
        QVERIFY(std::is_sorted(percents.cbegin(), percents.cend()));
        QCOMPARE(percents.last(), 100);
        QVERIFY(store.indexMemory() <= 2 * store.lineCount() + 32768);
        compareWithReference(store, path);
    }

    void refresh_data()
    {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("appended");
        const QByteArray bom = "\xEF\xBB\xBF";
        QTest::newRow("whole lines") << QByteArray("a\nb\n") << QByteArray("c\nd\n");
        QTest::newRow("onto the last line") << QByteArray("a\nbc") << QByteArray("de\nf");
        QTest::newRow("completing a cut sequence")
            << QByteArray("a\n\xE2\x82") << QByteArray("\xAC!");
        QTest::newRow("after an empty file") << QByteArray() << QByteArray("x\ny");
        QTest::newRow("UTF-16") << "\xFF\xFE" + utf16(QStringLiteral("a\nb"))
                                << utf16(QStringLiteral("c\nd").repeated(5000));
        QTest::newRow("CR then LF") << QByteArray("a\r") << QByteArray("\nb");
        QTest::newRow("many windows")
            << QByteArray("start\n") << QByteArray("0123456789abcdef\n").repeated(80000);
        // The text tail of the short last chunk settled the header flag; the grown chunk no
        // longer does, so a mark starting the chunk after it is dropped.
        QTest::newRow("header settled by a short chunk")
            << xs(16384 + 5) << QByteArray(16384 - 5, 'y') + bom + "z\n";
    }

    void refresh()
    {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, appended);
        const QString path = logs.write(first);
        LogStore store;
        QVERIFY(openAndWait(store, path));
        QCOMPARE(store.refresh(), LogStore::Refresh::Unchanged);
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::Append));
            QCOMPARE(file.write(appended), qint64(appended.size()));
        }
        QSignalSpy finished(&store, &LogStore::finished);
        QSignalSpy indexed(&store, &LogStore::linesIndexed);
        QCOMPARE(store.refresh(), LogStore::Refresh::Indexing);
        QVERIFY(finished.wait(60000));
        QVERIFY(!indexed.isEmpty());
        compareWithReference(store, path);
    }

    void refreshAfterChange_data()
    {
        QTest::addColumn<QString>("change");
        for (const char *change : {"shrink", "replace", "remove", "codec"})
            QTest::newRow(change) << change;
    }

    void refreshAfterChange()
    {
        QFETCH(QString, change);
        const QString path = logs.write(change == "codec" ? "\xFF" : "a\nb\nc\n");
        LogStore store;
        QVERIFY(openAndWait(store, path));
        if (change == "shrink") {
            QVERIFY(QFile::resize(path, 2));
        } else if (change == "replace") {
            const QString other = logs.write("a\nb\nc\nd\n");
            QVERIFY(::rename(QFile::encodeName(other), QFile::encodeName(path)) == 0);
        } else if (change == "remove") {
            QVERIFY(QFile::remove(path));
        } else {
            // A byte-order mark makes the stream pick UTF-16 once the file has two bytes.
            QFile file(path);
            QVERIFY(file.open(QIODevice::Append) && file.write("\xFE"
                                                               "a",
                                                               3) == 3);
        }
        QCOMPARE(store.refresh(), LogStore::Refresh::Reopen);
    }

    void unopenable_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char *kind :
             {"missing", "empty name", "directory", "fifo", "symlink loop", "device", "unreadable"})
            QTest::newRow(kind) << kind;
    }

    void unopenable()
    {
        QFETCH(QString, kind);
        QString path = dir.filePath(kind);
        if (kind == "empty name") {
            path.clear();
        } else if (kind == "directory") {
            QVERIFY(QDir().mkpath(path));
        } else if (kind == "fifo") {
            QVERIFY(mkfifo(QFile::encodeName(path), 0600) == 0);
        } else if (kind == "symlink loop") {
            QVERIFY(QFile::link(path, path));
        } else if (kind == "device") {
            path = QStringLiteral("/dev/zero");
        } else if (kind == "unreadable") {
            if (geteuid() == 0)
                QSKIP("root reads every file");
            QVERIFY(testsupport::writeFile(path, "secret\n"));
            QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
        }
        LogStore store;
        QSignalSpy failed(&store, &LogStore::failed);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!store.open(path));
        QVERIFY(timer.elapsed() < 2000);
        QCOMPARE(failed.count(), 1);
        QVERIFY(!store.isOpen());
        QVERIFY(!store.isIndexing());
        // As the ordinary view: one empty line.
        QCOMPARE(store.lineCount(), qint64(1));
        QCOMPARE(store.lineText(0), QString());
        QCOMPARE(store.characterCount(), qint64(1));
        QVERIFY(!store.find(QStringLiteral("x"), Qt::CaseSensitive, false, 0, 0, false).isValid());
        QCOMPARE(store.refresh(), LogStore::Refresh::Unchanged);
    }

    void fileChangedWhileIndexing_data()
    {
        QTest::addColumn<QString>("change");
        for (const char *change : {"truncate", "remove", "reopen"})
            QTest::newRow(change) << change;
    }

    void fileChangedWhileIndexing()
    {
        QFETCH(QString, change);
        const QString path = dir.filePath(QStringLiteral("changing-%1.log").arg(change));
        QVERIFY(writeGeneratedLog(path, 120000, 5));
        const qint64 size = QFileInfo(path).size();
        LogStore store;
        QSignalSpy finished(&store, &LogStore::finished);
        QVERIFY(store.open(path));
        if (change == "truncate") {
            QVERIFY(QFile::resize(path, size / 3));
        } else if (change == "remove") {
            QVERIFY(QFile::remove(path));
        } else {
            QVERIFY(store.open(path));
            QCOMPARE(finished.count(), 0);
        }
        QVERIFY(finished.wait(60000));
        QVERIFY(!store.isIndexing());
        QVERIFY(store.indexedBytes() <= size);
        if (change == "remove") {
            // The open file keeps its bytes until the store lets it go.
            QCOMPARE(store.indexedBytes(), size);
            QCOMPARE(store.refresh(), LogStore::Refresh::Reopen);
        }
        if (change == "reopen")
            compareWithReference(store, path);
        const qint64 last = store.lineCount() - 1;
        QVERIFY(store.lineText(last).size() <= store.longestLineLength());
    }

    void index_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char *kind : {"ASCII", "CRLF", "above ASCII", "only line feeds", "long lines",
                                 "lines of gigabytes", "another codec", "mixed"})
            QTest::newRow(kind) << kind;
    }

    // Each kind of line start the index keeps, through blocks, block edges and the block being
    // filled.
    void index()
    {
        QFETCH(QString, kind);
        QRandomGenerator random(7);
        const QList<QPair<qint64, qint64>> starts = lineStarts(kind, 3000, random);
        LogIndex index;
        for (const auto &start : starts)
            index.append(start.first, start.second);
        QCOMPARE(index.count(), qint64(starts.size()));
        const qint64 limit = index.count();
        for (int line = 0; line < starts.size(); ++line) {
            const qint64 byte = starts.at(line).first;
            const qint64 position = starts.at(line).second;
            QCOMPARE(index.byteOffset(line), byte);
            QCOMPARE(index.position(line), position);
            // Lines that start where they do are the last of those.
            const auto lastAt = [&](int from, auto value) {
                while (from + 1 < starts.size() && value(from + 1) == value(from))
                    ++from;
                return qint64(from);
            };
            QCOMPARE(index.lineAtByte(byte, limit),
                     lastAt(line, [&](int i) { return starts.at(i).first; }));
            QCOMPARE(index.lineAtPosition(position, limit),
                     lastAt(line, [&](int i) { return starts.at(i).second; }));
        }
        QCOMPARE(index.lineAtByte(starts.at(100).first + 1, 100), qint64(99)); // `limit` holds
        for (int round = 0; round < 200; ++round) {
            const int first = random.bounded(starts.size());
            const int count = random.bounded(1, std::min(200, int(starts.size()) - first + 1));
            QVector<qint64> bytes(count), positions(count);
            index.read(first, count, bytes.data(), positions.data());
            for (int i = 0; i < count; ++i) {
                QCOMPARE(bytes.at(i), starts.at(first + i).first);
                QCOMPARE(positions.at(i), starts.at(first + i).second);
            }
        }
    }

    // A reader sees every published line as appended while the next ones come.
    void indexReadWhileAppending()
    {
        QRandomGenerator random(11);
        const QList<QPair<qint64, qint64>> starts = lineStarts("mixed", 1000000, random);
        LogIndex index;
        std::thread writer([&] {
            for (const auto &start : starts)
                index.append(start.first, start.second);
        });
        int mismatches = 0;
        for (qint64 seen = 0; seen < starts.size();) {
            seen = index.count();
            if (seen == 0)
                continue;
            // The newest lines, most of them still in the block being filled, and any other.
            const int count = int(std::min<qint64>(seen, 70));
            QVector<qint64> bytes(count), positions(count);
            index.read(seen - count, count, bytes.data(), positions.data());
            for (int i = 0; i < count; ++i) {
                if (bytes.at(i) != starts.at(int(seen) - count + i).first ||
                    positions.at(i) != starts.at(int(seen) - count + i).second)
                    ++mismatches;
            }
            const int line = random.bounded(int(seen));
            if (index.byteOffset(line) != starts.at(line).first ||
                index.position(line) != starts.at(line).second)
                ++mismatches;
        }
        writer.join();
        QCOMPARE(mismatches, 0);
    }
};

QTEST_MAIN(TestLogStore)
#include "tst_logstore.moc"
