#include "logreference.h"
#include "logstore/logfindall.h"
#include "logstore/logstore.h"
#include "tests/testsupport.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
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
    static const QStringList needles = {QStringLiteral("ab"),
                                        QStringLiteral("AB"),
                                        QStringLiteral("k"),
                                        QStringLiteral("\u212A"),
                                        QStringLiteral("S"),
                                        QStringLiteral("x y"),
                                        QStringLiteral("x\u00A0y"),
                                        QStringLiteral(" "),
                                        QStringLiteral("1 02"),
                                        QStringLiteral("[Comm]"),
                                        QStringLiteral("\u00E9"),
                                        QStringLiteral("\u00C9"),
                                        QStringLiteral("ab\nab"),
                                        QStringLiteral("\uFFFD"),
                                        QStringLiteral("STRASSE"),
                                        QStringLiteral("\u03C3"),
                                        QStringLiteral("b a"),
                                        QStringLiteral("ab ab"),
                                        QStringLiteral("nothing like it")};
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
            findings.append({block.blockNumber() + 1, column, int(keyword.size()), text,
                             block.position() + column + keyword.size()});
            from = column + keyword.size();
        }
    }
    return findings;
}

QList<LogFinding> runFindAll(const LogStore &store, const QString &keyword,
                             Qt::CaseSensitivity sensitivity, qint64 *reported = nullptr)
{
    LogFindAll runner;
    QList<LogFinding> findings;
    QObject::connect(&runner, &LogFindAll::found, [&](const QVector<LogFinding> &batch) {
        for (const LogFinding &finding : batch)
            findings.append(finding);
    });
    QSignalSpy finished(&runner, &LogFindAll::finished);
    runner.start(store, keyword, sensitivity);
    if (!finished.wait(60000))
        return {};
    if (reported)
        *reported = finished.at(0).at(0).toLongLong();
    return findings;
}
} // namespace

class TestLogSearch : public QObject
{
    Q_OBJECT

private:
    LogFiles logs;
    QString writeLog(const QByteArray &bytes) { return logs.write(bytes); }

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
            const Hit expected = referenceFind(document, needle, position, flags);
            const QTextBlock block = document.findBlock(position);
            const LogMatch match =
                store.find(needle, caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive,
                           wholeWords, block.blockNumber(), position - block.position(), backward);
            const Hit actual{match.line, match.column};
            QVERIFY2(actual == expected,
                     qPrintable(QStringLiteral("\"%1\" from %2 %3%4%5: %6:%7 instead of %8:%9")
                                    .arg(needle)
                                    .arg(position)
                                    .arg(backward ? "backward" : "forward",
                                         caseSensitive ? ", case" : "",
                                         wholeWords ? ", whole words" : "")
                                    .arg(actual.line)
                                    .arg(actual.column)
                                    .arg(expected.line)
                                    .arg(expected.column)));
            if (match.isValid())
                QCOMPARE(match.length, needle.size());
        }
    }

    void compareFindAll(const LogStore &store, const QTextDocument &document,
                        const QString &keyword, Qt::CaseSensitivity sensitivity)
    {
        qint64 reported = -1;
        const QList<LogFinding> actual = runFindAll(store, keyword, sensitivity, &reported);
        const QList<LogFinding> expected = referenceFindAll(document, keyword, sensitivity);
        QCOMPARE(actual.size(), expected.size());
        QCOMPARE(reported, qint64(expected.size()));
        for (int i = 0; i < actual.size(); ++i) {
            const LogFinding &a = actual.at(i);
            const LogFinding &e = expected.at(i);
            QVERIFY2(a.lineNumber == e.lineNumber && a.column == e.column && a.length == e.length &&
                         a.lineText == e.lineText && a.position == e.position,
                     qPrintable(QStringLiteral("\"%1\" finding %2: %3:%4 instead of %5:%6")
                                    .arg(keyword)
                                    .arg(i)
                                    .arg(a.lineNumber)
                                    .arg(a.column)
                                    .arg(e.lineNumber)
                                    .arg(e.column)));
        }
    }

private slots:
    void initTestCase() { QVERIFY(logs.isValid()); }

    void steps_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("needle");
        QTest::addColumn<bool>("caseSensitive");
        QTest::addColumn<bool>("wholeWords");
        QTest::addColumn<bool>("backward");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("expectedLine"); // -1: not found
        QTest::addColumn<int>("expectedColumn");
        const auto row = [](const char *name, const QByteArray &bytes, const QString &needle,
                            bool caseSensitive, bool wholeWords, bool backward, int line,
                            int column, int expectedLine, int expectedColumn) {
            QTest::newRow(name) << bytes << needle << caseSensitive << wholeWords << backward
                                << line << column << expectedLine << expectedColumn;
        };
        row("Kelvin sign folds to k", "plain\n\xE2\x84\xAA", "k", false, false, false, 0, 0, 1, 0);
        row("Kelvin sign, case-sensitive", "plain\n\xE2\x84\xAA", "k", true, false, false, 0, 0, -1,
            -1);
        row("blank matches a no-break space",
            "a\xC2\xA0"
            "b",
            "a b", true, false, false, 0, 0, 0, 0);
        row("no-break space never matches",
            "a\xC2\xA0"
            "b",
            "a\u00A0b", true, false, false, 0, 0, -1, -1);
        row("carriage returns are not text", "ab\rc\n", "abc", true, false, false, 0, 0, 0, 0);
        row("a line break never matches", "ab\nab", "ab\nab", true, false, false, 0, 0, -1, -1);
        row("whole word after a failed one", "xab ab", "ab", true, true, false, 0, 0, 0, 4);
        row("backward from a line's end", "ab\nab ab", "ab", true, false, true, 1, 5, 1, 3);
        row("backward from a line start", "ab\nab", "ab", true, false, true, 1, 0, 0, 0);
        row("forward from past the text", "ab", "ab", true, false, false, 0, 3, -1, -1);
        row("across a paragraph separator",
            "ab\xE2\x80\xA9"
            "cd",
            "bc", true, false, false, 0, 0, -1, -1);
        // The stream drops a byte-order mark that starts its second chunk.
        row("across a dropped byte-order mark",
            "first\n" + QByteArray(16375, 'x') + "[Co\xEF\xBB\xBFmm]", "[Comm]", true, false, false,
            0, 0, 1, 16375);
        row("after a paragraph separator",
            "ab\xE2\x80\xA9"
            "cd",
            "cd", true, false, false, 0, 0, 1, 0);
    }

    void steps()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, needle);
        QFETCH(bool, caseSensitive);
        QFETCH(bool, wholeWords);
        QFETCH(bool, backward);
        QFETCH(int, line);
        QFETCH(int, column);
        QFETCH(int, expectedLine);
        QFETCH(int, expectedColumn);
        LogStore store;
        QVERIFY(openAndWait(store, writeLog(bytes)));
        const LogMatch match =
            store.find(needle, caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive, wholeWords,
                       line, column, backward);
        QCOMPARE(match.line, qint64(expectedLine));
        QCOMPARE(match.column, expectedColumn);
    }

    void stepsAgainstDocument_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("queries");
        QTest::newRow("small logs") << 60 << 400;
        QTest::newRow("over several windows") << 120000 << 60;
    }

    void stepsAgainstDocument()
    {
        QFETCH(int, lines);
        QFETCH(int, queries);
        QRandomGenerator random{quint32(lines)};
        for (int round = 0; round < (lines < 1000 ? 10 : 1); ++round) {
            const QString path = writeLog(randomLog(random, lines));
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
        QVERIFY(openAndWait(store, writeLog("ab\ncd\nab\ncd\n")));
        QCOMPARE(store.find(QStringLiteral("ab"), Qt::CaseSensitive, false, 1, 0, false, 1).line,
                 qint64(-1));
        QCOMPARE(store.find(QStringLiteral("ab"), Qt::CaseSensitive, false, 1, 0, false, 2).line,
                 qint64(2));
        // Backwards from inside line 3 (from its start the search would begin in line 2).
        QCOMPARE(store.find(QStringLiteral("ab"), Qt::CaseSensitive, false, 3, 1, true, 3).line,
                 qint64(-1));
        QCOMPARE(store.find(QStringLiteral("ab"), Qt::CaseSensitive, false, 3, 1, true, 2).line,
                 qint64(2));
    }

    void findAllAgainstDocument()
    {
        QRandomGenerator random(99);
        for (int round = 0; round < 6; ++round) {
            const QString path = writeLog(randomLog(random, round == 0 ? 60000 : 200));
            LogStore store;
            QVERIFY(openAndWait(store, path));
            const auto document = referenceDocument(path);
            for (int i = 0; i < 8; ++i) {
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

    void findAllSignals()
    {
        QByteArray bytes;
        for (int line = 0; line < 100000; ++line)
            bytes += line % 3 ? "plain line\n" : "x [Comm] [Comm]\n";
        LogStore store;
        QVERIFY(openAndWait(store, writeLog(bytes)));
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
        qint64 lastLine = 0;
        for (const QList<QVariant> &batch : found) {
            for (const LogFinding &finding : batch.at(0).value<QVector<LogFinding>>()) {
                QVERIFY(finding.lineNumber >= lastLine);
                lastLine = finding.lineNumber;
            }
        }
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
