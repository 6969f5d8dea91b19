// SPDX-License-Identifier: GPL-3.0-or-later
#include "logreference.h"
#include "logstore/logfindall.h"
#include "logstore/logstore.h"
#include "tests/testsupport.h"

#include <QtTest>

namespace
{
struct Hit {
    qint64 line;
    int column;
    bool operator==(const Hit &other) const { return line == other.line && column == other.column; }
};

// Words random logs are made of: plain ASCII, letters that fold across ASCII's edge (Kelvin
// sign, long s), no-break spaces, text above ASCII, invalid bytes and carriage returns.
const QList<QByteArray> &words()
{
    static const QList<QByteArray> list = {
        "ab",  "AB",       "aB",           "abab",         "k",    "K",        "\xE2\x84\xAA",
        "s",   "\xC5\xBF", "x\xC2\xA0y",   "\xC2\xA0",     "1 02", "01 02",    "[Comm]",
        "x",   "\xC3\xA9", "\xC3\x89",     "stra\xC3\x9F", "\xFF", "a\rb",     "\t",
        "b a", "12",       "\xE2\x82\xAC", "ab1",          "_ab",  "\xCE\xA3", "\xCF\x83"};
    return list;
}

QByteArray randomLog(QRandomGenerator &random, int lines)
{
    QByteArray bytes;
    for (int line = 0; line < lines; ++line) {
        for (int w = random.bounded(8); w > 0; --w) {
            bytes += words().at(random.bounded(words().size()));
            bytes += random.bounded(6) == 0 ? "\xC2\xA0" : " ";
        }
        if (line + 1 < lines)
            bytes += random.bounded(10) == 0 ? "\r\n" : "\n";
    }
    return bytes;
}

QString randomNeedle(QRandomGenerator &random, const QTextDocument &document)
{
    if (random.bounded(3) == 0) {
        // A piece of a line, so that most searches find something.
        const QString line =
            document.findBlockByNumber(random.bounded(document.blockCount())).text();
        if (!line.isEmpty()) {
            const int start = random.bounded(line.size());
            return line.mid(start, random.bounded(1, 6));
        }
    }
    static const QStringList needles = {"ab",     "AB",       "k",      "\u212A",         "S",
                                        "x y",    "x\u00A0y", " ",      "1 02",           "[Comm]",
                                        "\u00E9", "\u00C9",   "ab\nab", "\uFFFD",         "STRASSE",
                                        "\u03C3", "b a",      "ab ab",  "nothing like it"};
    return needles.at(random.bounded(needles.size()));
}

// QTextDocument::find from `position`, as line and column.
Hit referenceFind(const QTextDocument &document, const QString &needle, int position,
                  QTextDocument::FindFlags flags)
{
    const QTextCursor cursor = document.find(needle, position, flags);
    if (cursor.isNull())
        return {-1, -1};
    const QTextBlock block = document.findBlock(cursor.selectionStart());
    return {block.blockNumber(), cursor.selectionStart() - block.position()};
}

// The ordinary view's find-all, line by line.
QList<LogFinding> referenceFindAll(const QTextDocument &document, const QString &keyword,
                                   Qt::CaseSensitivity sensitivity)
{
    QList<LogFinding> findings;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QString text = block.text();
        for (int from = 0; from < text.size();) {
            const int column = text.indexOf(keyword, from, sensitivity);
            if (column < 0)
                break;
            findings.append({block.blockNumber() + 1, column, int(keyword.size()),
                             block.position() + column + keyword.size()});
            from = column + keyword.size();
        }
    }
    return findings;
}

// A find-all's matches; `batches` gets, for each batch, the longest line it reported and the
// lines it named.
QList<LogFinding> runFindAll(const LogStore &store, const QString &keyword,
                             Qt::CaseSensitivity sensitivity, qint64 *reported = nullptr,
                             QList<QPair<int, QList<qint64>>> *batches = nullptr)
{
    LogFindAll runner;
    QList<LogFinding> findings;
    QObject::connect(&runner, &LogFindAll::found,
                     [&](const QVector<LogFinding> &batch, int longestLine) {
                         QList<qint64> lines;
                         for (const LogFinding &finding : batch) {
                             findings.append(finding);
                             lines.append(finding.lineNumber - 1);
                         }
                         if (batches)
                             batches->append({longestLine, lines});
                     });
    QSignalSpy finished(&runner, &LogFindAll::finished);
    runner.start(store, keyword, sensitivity);
    if (!finished.wait(60000))
        return {};
    if (reported)
        *reported = finished.at(0).at(0).toLongLong();
    return findings;
}

// The ordinary view's find-all on a file of ASCII lines without carriage returns, whose lines
// are its blocks.
QList<LogFinding> referenceFindAllInAscii(const QByteArray &bytes, const QByteArray &keyword)
{
    QList<LogFinding> findings;
    qint64 position = 0;
    int lineNumber = 0;
    for (const QByteArray &line : bytes.split('\n')) {
        ++lineNumber;
        for (int from = 0; (from = line.indexOf(keyword, from)) >= 0; from += keyword.size())
            findings.append(
                {lineNumber, from, int(keyword.size()), position + from + keyword.size()});
        position += line.size() + 1;
    }
    return findings;
}

bool sameFindings(const QList<LogFinding> &a, const QList<LogFinding> &b)
{
    return std::equal(a.cbegin(), a.cend(), b.cbegin(), b.cend(),
                      [](const LogFinding &x, const LogFinding &y) {
                          return x.lineNumber == y.lineNumber && x.column == y.column &&
                                 x.length == y.length && x.position == y.position;
                      });
}

// Lines of about 80 bytes, a third of them with a match of "[Comm]".
QByteArray commLog(int lines)
{
    QByteArray bytes;
    for (int line = 0; line < lines; ++line) {
        bytes += line % 3 ? "2020-12-16 10:54:23.155 [Info] Scheduler: cycle finished, next poll "
                            "in 100 ms\n"
                          : "2020-12-16 10:54:23.159 [Comm] Received: [0E 05 71 2D 00 00 00 00 "
                            "05 AC 04 7F 00 00 87]\n";
    }
    return bytes;
}
} // namespace

class TestLogSearch : public QObject
{
    Q_OBJECT

private:
    LogFiles logs;

    void compareSteps(const LogStore &store, const QTextDocument &document,
                      QRandomGenerator &random, int queries)
    {
        for (int query = 0; query < queries; ++query) {
            const QString needle = randomNeedle(random, document);
            const bool caseSensitive = random.bounded(2);
            const bool wholeWords = random.bounded(3) == 0;
            const bool backward = random.bounded(2);
            const int position = random.bounded(document.characterCount());
            QTextDocument::FindFlags flags;
            flags.setFlag(QTextDocument::FindCaseSensitively, caseSensitive);
            flags.setFlag(QTextDocument::FindWholeWords, wholeWords);
            flags.setFlag(QTextDocument::FindBackward, backward);
            compareStep(store, document, needle, position, flags);
            if (QTest::currentTestFailed())
                return;
        }
    }

    void compareFindAll(const LogStore &store, const QTextDocument &document,
                        const QString &keyword, Qt::CaseSensitivity sensitivity)
    {
        qint64 reported = -1;
        QList<QPair<int, QList<qint64>>> batches;
        const QList<LogFinding> actual =
            runFindAll(store, keyword, sensitivity, &reported, &batches);
        const QList<LogFinding> expected = referenceFindAll(document, keyword, sensitivity);
        QCOMPARE(reported, qint64(expected.size()));
        QCOMPARE(actual.size(), expected.size());
        for (int i = 0; i < actual.size(); ++i) {
            const LogFinding &a = actual.at(i), &e = expected.at(i);
            QVERIFY2(a.lineNumber == e.lineNumber && a.column == e.column && a.length == e.length &&
                         a.position == e.position,
                     qPrintable(QStringLiteral("\"%1\" finding %2").arg(keyword).arg(i)));
        }
        // A batch says how wide its lines' rows are without handing over their text.
        for (const auto &batch : batches) {
            int longest = 0;
            for (const qint64 line : batch.second)
                longest = std::max(longest, document.findBlockByNumber(int(line)).length() - 1);
            QCOMPARE(batch.first, longest);
        }
    }

    // A step from `position` as the document finds it.
    void compareStep(const LogStore &store, const QTextDocument &document, const QString &needle,
                     int position, QTextDocument::FindFlags flags)
    {
        const Hit expected = referenceFind(document, needle, position, flags);
        const QTextBlock block = document.findBlock(position);
        const LogMatch match = store.find(
            needle,
            flags & QTextDocument::FindCaseSensitively ? Qt::CaseSensitive : Qt::CaseInsensitive,
            flags & QTextDocument::FindWholeWords, block.blockNumber(), position - block.position(),
            flags & QTextDocument::FindBackward);
        QVERIFY2((Hit{match.line, match.column} == expected),
                 qPrintable(QStringLiteral("\"%1\" from %2, flags %3: %4:%5 instead of %6:%7")
                                .arg(needle)
                                .arg(position)
                                .arg(int(flags))
                                .arg(match.line)
                                .arg(match.column)
                                .arg(expected.line)
                                .arg(expected.column)));
    }

private slots:
    void initTestCase() { QVERIFY(logs.isValid()); }

    // What the random logs do not hold: a start past the text, a separator that ends a line
    // without a line feed, and a byte-order mark that the stream drops.
    void steps_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("needle");
        QTest::addColumn<int>("from"); // column in the first line
        QTest::addColumn<int>("line"); // -1: not found
        QTest::addColumn<int>("column");
        const QByteArray separated = "ab\xE2\x80\xA9"
                                     "cd";
        QTest::newRow("forward from past the text") << QByteArray("ab") << "ab" << 3 << -1 << -1;
        QTest::newRow("across a paragraph separator") << separated << "bc" << 0 << -1 << -1;
        QTest::newRow("after a paragraph separator") << separated << "cd" << 0 << 1 << 0;
        // Qt 5's stream drops a byte-order mark at a chunk start when only plain ASCII came
        // before; Qt 6's keeps it, and then the ordinary view shows no marker there either.
        const bool dropsMark = QT_VERSION < QT_VERSION_CHECK(6, 0, 0);
        QTest::newRow("across a byte-order mark at a chunk start")
            << "first\n" + QByteArray(16375, 'x') + "[Co\xEF\xBB\xBFmm]"
            << "[Comm]" << 0 << (dropsMark ? 1 : -1) << (dropsMark ? 16375 : -1);
    }

    void steps()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, needle);
        QFETCH(int, from);
        LogStore store;
        QVERIFY(openAndWait(store, logs.write(bytes)));
        const LogMatch match = store.find(needle, Qt::CaseSensitive, false, 0, from, false);
        QTEST(int(match.line), "line");
        QTEST(match.column, "column");
    }

    void stepsAgainstDocument_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("queries");
        QTest::newRow("small logs") << 60 << 400;
        QTest::newRow("over several windows") << 120000 << 60;
        QTest::newRow("over several spans") << 600000 << 30;
    }

    void stepsAgainstDocument()
    {
        QFETCH(int, lines);
        QFETCH(int, queries);
        QRandomGenerator random{quint32(lines)};
        for (int round = 0; round < (lines < 1000 ? 10 : 1); ++round) {
            const QString path = logs.write(randomLog(random, lines));
            LogStore store;
            QVERIFY(openAndWait(store, path));
            const auto document = referenceDocument(path);
            compareSteps(store, *document, random, queries);
            if (QTest::currentTestFailed())
                return;
        }
    }

    void stopLine()
    {
        LogStore store;
        QVERIFY(openAndWait(store, logs.write("ab\ncd\nab\ncd\n")));
        const auto find = [&store](int line, int column, bool backward, int stopLine) {
            return int(
                store.find("ab", Qt::CaseSensitive, false, line, column, backward, stopLine).line);
        };
        QCOMPARE(find(1, 0, false, 1), -1);
        QCOMPARE(find(1, 0, false, 2), 2);
        // Backwards from inside line 3 (from its start the search would begin in line 2).
        QCOMPARE(find(3, 1, true, 3), -1);
        QCOMPARE(find(3, 1, true, 2), 2);
    }

    void findAllAgainstDocument_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("rounds");
        QTest::addColumn<int>("keywords");
        QTest::newRow("small logs") << 200 << 5 << 8;
        QTest::newRow("over several windows") << 60000 << 1 << 8;
        QTest::newRow("over several spans") << 600000 << 1 << 4;
    }

    void findAllAgainstDocument()
    {
        QFETCH(int, lines);
        QFETCH(int, rounds);
        QFETCH(int, keywords);
        QRandomGenerator random(quint32(99 + lines));
        for (int round = 0; round < rounds; ++round) {
            const QString path = logs.write(randomLog(random, lines));
            LogStore store;
            QVERIFY(openAndWait(store, path));
            const auto document = referenceDocument(path);
            for (int i = 0; i < keywords; ++i) {
                QString keyword = randomNeedle(random, *document);
                if (i == 0)
                    keyword = QStringLiteral("x\u00A0y"); // no blank-for-no-break here
                compareFindAll(store, *document, keyword,
                               i % 2 ? Qt::CaseSensitive : Qt::CaseInsensitive);
                if (QTest::currentTestFailed())
                    return;
            }
        }
    }

    // Where lines are searched as bytes or decoded, and where windows and spans end.
    void edges_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("needle");
        const int window = 1 << 20;
        QByteArray longLine = QByteArray(window + 500, 'x');
        for (const int at : {10, window - 3, window + 100})
            longLine.replace(at, 6, "[Comm]");
        QTest::newRow("matches in a line longer than a window") << longLine + "\n[Comm] x\n"
                                                                << "[Comm]";
        QByteArray lengths;
        for (int line = 0; lengths.size() < 3 * window; ++line)
            lengths += "ab" + QByteArray(line % 300, 'x') + "ab\n";
        QTest::newRow("lines of every length across windows") << lengths << "ab";
        QTest::newRow("NUL bytes")
            << QByteArray("a\0[Comm]\0\n\0\0[Comm]\n\0", 20).repeated(5000) << "[Comm]";
        QTest::newRow("invalid UTF-8")
            << QByteArray("\xFF[Comm] \xC3[Comm]\n\xE2\x82[Comm]\n\xC0\xAF [comm]\n").repeated(5000)
            << "[Comm]";
        QTest::newRow("CRLF and carriage returns inside lines")
            << QByteArray("[Comm]\r\n[Co\rmm] [Comm]\r\r\nx\r[Comm]\r\n").repeated(5000)
            << "[Comm]";
        QTest::newRow("only line feeds") << QByteArray(300000, '\n') << "x";
        QTest::newRow("only line feeds, then a match") << QByteArray(300000, '\n') + "[Comm]"
                                                       << "[Comm]";
        QTest::newRow("a line above ASCII longer than a window")
            << QByteArray("\xC3\xA9").repeated(600000) + "[Comm]\xC3\xA9[Comm]\n[Comm]"
            << "[Comm]";
        // Longer than a window, so read a stretch at a time through the line's map.
        static const char piece[] = "ab\xC3\xA9 [Comm] \xFF\xE2\x82 [Co\rmm] x\xC2\xA0z "
                                    "\xF0\x9F\x98\x80[comm]\xE2\x84\xAA x z \0\xC3";
        const QByteArray awkward = QByteArray(piece, sizeof piece - 1).repeated(window / 40);
        QTest::newRow("a long line with awkward bytes") << "a\n" + awkward + "\r\nb"
                                                        << "[Comm]";
        QTest::newRow("a long line, a blank or a no-break space") << awkward << "x z";
        QTest::newRow("a long line, matches apart")
            << QByteArray(window - 7, 'x') + "\xC3\xA9[Comm]" + QByteArray(window, 'x') +
                   "[Comm]\xC3\xA9" + QByteArray(300000, 'x')
            << "[comm]";
        QTest::newRow("Kelvin signs")
            << QByteArray("k \xE2\x84\xAA K\nkk\n").repeated(20000) << "K";
        // Fixed-length lines put matches next to where the spans of 4 MiB end.
        QByteArray sparse;
        const int lineLength = 20;
        const int atSpanEnd = (4 << 20) / lineLength;
        for (int line = 0; line < 3 * atSpanEnd; ++line) {
            const bool match = line == 3 || std::abs(line - atSpanEnd) < 2 ||
                               std::abs(line - 2 * atSpanEnd) < 2 || line == 3 * atSpanEnd - 5;
            sparse += (match ? QByteArray("line zqx ") : QByteArray("line azqx")) +
                      QByteArray::number(line).rightJustified(10, '0') + "\n";
        }
        QTest::newRow("matches where spans end") << sparse << "zqx";
    }

    void edges()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, needle);
        const QString path = logs.write(bytes);
        LogStore store;
        QVERIFY(openAndWait(store, path));
        const auto document = referenceDocument(path);
        for (const auto sensitivity : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
            compareFindAll(store, *document, needle, sensitivity);
            if (QTest::currentTestFailed())
                return;
        }
        // Steps from both ends, and from the start and the end of each of the first matches,
        // every way.
        QList<int> positions = {0, document->characterCount() - 1};
        const QList<LogFinding> matches =
            referenceFindAll(*document, needle, Qt::CaseInsensitive).mid(0, 5);
        for (const LogFinding &match : matches)
            positions << int(match.position) - needle.size() << int(match.position);
        for (const int position : positions) {
            for (int way = 0; way < 8; ++way) {
                compareStep(
                    store, *document, needle, position,
                    QTextDocument::FindFlags((way & 1 ? QTextDocument::FindBackward : 0) |
                                             (way & 2 ? QTextDocument::FindCaseSensitively : 0) |
                                             (way & 4 ? QTextDocument::FindWholeWords : 0)));
                if (QTest::currentTestFailed())
                    return;
            }
        }
    }

    void findAllWhileFileChanges_data()
    {
        QTest::addColumn<QString>("change");
        for (const char *change : {"grows", "shrinks"})
            QTest::newRow(change) << change;
    }

    // The lines of the snapshot the search started from are searched; lines lost under it end
    // the search with what was found before them.
    void findAllWhileFileChanges()
    {
        QFETCH(QString, change);
        const QByteArray bytes = commLog(150000);
        const QString path = logs.write(bytes);
        LogStore store;
        QVERIFY(openAndWait(store, path));
        const QList<LogFinding> expected = referenceFindAllInAscii(bytes, "[Comm]");
        LogFindAll runner;
        QList<LogFinding> findings;
        connect(&runner, &LogFindAll::found, this,
                [&](const QVector<LogFinding> &batch) { findings += batch.toList(); });
        QSignalSpy finished(&runner, &LogFindAll::finished);
        runner.start(store, QStringLiteral("[Comm]"), Qt::CaseSensitive);
        if (change == "grows") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::Append));
            QVERIFY(file.write(commLog(30000)) > 0);
        } else {
            QVERIFY(QFile::resize(path, bytes.size() / 3));
        }
        QVERIFY(finished.wait(60000));
        QCOMPARE(finished.at(0).at(0).toLongLong(), qint64(findings.size()));
        if (change == "grows")
            QVERIFY(sameFindings(findings, expected));
        else
            QVERIFY(sameFindings(findings, expected.mid(0, findings.size())));
    }

    // A search that waits for the receiving thread to take its batches gives way to the next.
    void cancelWhileBatchesWait()
    {
        const QByteArray bytes = commLog(300000);
        LogStore store;
        QVERIFY(openAndWait(store, logs.write(bytes)));
        LogFindAll runner;
        QList<qint64> counts;
        connect(&runner, &LogFindAll::finished, this, [&](qint64 count) { counts.append(count); });
        runner.start(store, QStringLiteral("[Comm]"), Qt::CaseSensitive);
        QTest::qSleep(300); // no event loop: the search fills the queue and waits
        runner.start(store, QStringLiteral("Scheduler"), Qt::CaseSensitive);
        QTRY_COMPARE_WITH_TIMEOUT(counts.size(), 1, 60000);
        QCOMPARE(counts.first(), qint64(200000));
        QTest::qWait(100);
        QCOMPARE(counts.size(), 1); // nothing of the first search
        // Nor does a waiting search hold up the end of its runner.
        auto doomed = std::make_unique<LogFindAll>();
        doomed->start(store, QStringLiteral("[Comm]"), Qt::CaseSensitive);
        QTest::qSleep(300);
        QElapsedTimer ending;
        ending.start();
        doomed.reset();
        QVERIFY(ending.elapsed() < 5000);
    }

    void findAllSignals()
    {
        QByteArray bytes;
        for (int line = 0; line < 100000; ++line)
            bytes += line % 3 ? "plain line\n" : "x [Comm] [Comm]\n";
        LogStore store;
        QVERIFY(openAndWait(store, logs.write(bytes)));
        LogFindAll runner;
        QSignalSpy found(&runner, &LogFindAll::found);
        QSignalSpy progress(&runner, &LogFindAll::progress);
        QSignalSpy finished(&runner, &LogFindAll::finished);
        runner.start(store, QStringLiteral("[Comm]"), Qt::CaseSensitive);
        QVERIFY(runner.isRunning());
        QVERIFY(finished.wait(60000));
        QVERIFY(!runner.isRunning());
        QCOMPARE(finished.at(0).at(0).toLongLong(), qint64(2 * 33334));
        QVERIFY(found.count() > 1); // in batches
        QCOMPARE(progress.last().at(0).toInt(), 100);
        // Nothing of a cancelled search comes afterwards.
        runner.start(store, QStringLiteral("line"), Qt::CaseSensitive);
        runner.cancel();
        found.clear();
        finished.clear();
        QTest::qWait(300);
        QCOMPARE(found.count(), 0);
        QCOMPARE(finished.count(), 0);
        QVERIFY(!runner.isRunning());
    }
};

QTEST_MAIN(TestLogSearch)
#include "tst_logsearch.moc"
