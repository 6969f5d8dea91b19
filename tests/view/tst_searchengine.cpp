#include "searchcore/findallscan.h"
#include "searchcore/finding.h"
#include "searchcore/searchoptions.h"
#include "searchcore/searchstate.h"
#include "searchcore/searchtext.h"
#include "tests/testsupport.h"
#include "view/visualizedtextedit.h"

#include <QRandomGenerator>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTextBlock>
#include <QtTest>
#include <QtWidgets>
#include <memory>

namespace
{
struct Found {
    int lineNumber;
    QString lineText;
    int column;
    int length;
    int position;
    unsigned fieldId;
};
} // namespace

// The steps of a search exactly as the algorithm reads, on a second view of the same size and
// text, with the view's own find.
struct Reference {
    std::unique_ptr<VisualizedTextEdit> view;
    QString notFoundText;
    bool exposed = false;

    explicit Reference(const VisualizedTextEdit *like)
        : view(std::make_unique<VisualizedTextEdit>())
    {
        view->setVisualizedTextAreaWidth(like->visualizedTextAreaWidth());
        view->resize(like->size());
        view->setLogText(QString(), like->toPlainText());
        view->show();
        exposed = QTest::qWaitForWindowExposed(view.get());
    }

    QPair<int, int> selection() const
    {
        return {view->textCursor().selectionStart(), view->textCursor().selectionEnd()};
    }

    bool step(int direction, int mode, const QString &typed)
    {
        const SearchPattern pattern = searchPattern(mode, typed);
        if (!notFoundText.isEmpty() && pattern.text.contains(notFoundText))
            return false;
        QTextDocument::FindFlags flags;
        flags.setFlag(QTextDocument::FindCaseSensitively, pattern.stepCase == Qt::CaseSensitive);
        flags.setFlag(QTextDocument::FindWholeWords, pattern.wholeWords);
        flags.setFlag(QTextDocument::FindBackward, direction == FindPrevious);
        QTextCursor cursor = view->textCursor();
        if (direction == FindFromLineStart) {
            cursor.movePosition(QTextCursor::StartOfBlock);
            view->setTextCursor(cursor);
        }
        const QTextCursor saved = cursor;
        bool found = view->find(pattern.text, flags);
        if (!found) {
            if (direction == FindPrevious) {
                cursor.movePosition(QTextCursor::End);
                cursor.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor);
            } else {
                cursor.movePosition(QTextCursor::Start);
            }
            view->setTextCursor(cursor);
            found = view->find(pattern.text, flags);
        }
        if (!found) {
            view->setTextCursor(saved);
            if (!notFoundText.contains(pattern.text))
                notFoundText = pattern.text;
            return false;
        }
        notFoundText.clear();
        return true;
    }
};

class TestSearchEngine : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<VisualizedTextEdit> edit;
    QList<bool> finished;

    void load(const QString &text)
    {
        edit->setLogText(QStringLiteral("test.log"), text);
        edit->searchStateObject()->clearNotFoundText();
        finished.clear();
    }
    void placeCursor(int position, int anchor = -1)
    {
        QTextCursor cursor(edit->document());
        cursor.setPosition(anchor < 0 ? position : anchor);
        cursor.setPosition(position, QTextCursor::KeepAnchor);
        edit->setTextCursor(cursor);
    }
    void step(int direction, int mode, const QString &text)
    {
        const SearchOptions options(nullptr, direction, mode, text);
        edit->search(options);
    }
    QString notFoundText() const { return edit->searchStateObject()->notFoundText; }
    QPair<int, int> selection() const
    {
        return {edit->textCursor().selectionStart(), edit->textCursor().selectionEnd()};
    }
    // The findings of a find-all, once it has ended.
    QList<Found> findAll(const QString &keyword, Qt::CaseSensitivity sensitivity)
    {
        QList<Found> results;
        QSignalSpy ends(edit.get(), &VisualizedTextEdit::end);
        auto connection =
            connect(edit.get(), &VisualizedTextEdit::found, this, [&results](const Finding &f) {
                results.append(
                    {f.lineNumber, f.lineText, f.column, f.length, f.position, f.fieldId});
            });
        edit->findAll(keyword, sensitivity);
        if (ends.isEmpty())
            ends.wait(10000);
        disconnect(connection);
        return results;
    }
    FindAllScan *scan() const { return FindAllScan::of(edit.get()); }
    // Lines of a few letters, so that short keywords match often, some lines empty.
    static QString generatedDocument(quint32 variant, int lines)
    {
        QRandomGenerator random(variant);
        QStringList text;
        for (int i = 0; i < lines; ++i) {
            QString line;
            const int length = random.bounded(12);
            for (int c = 0; c < length; ++c)
                line += QLatin1Char("abAB x"[random.bounded(6)]);
            text << line;
        }
        return text.join(QLatin1Char('\n'));
    }
    // The matches as a plain scan of the document's lines finds them.
    QList<Found> referenceFindAll(const QString &keyword, Qt::CaseSensitivity sensitivity) const
    {
        QList<Found> results;
        for (QTextBlock block = edit->document()->begin(); block.isValid(); block = block.next()) {
            const QString line = block.text();
            for (int from = 0;;) {
                const int column = line.indexOf(keyword, from, sensitivity);
                if (column < 0 || line.isEmpty())
                    break;
                results.append({block.blockNumber() + 1, line, column, int(keyword.size()),
                                block.position() + column + int(keyword.size()), 42u});
                from = column + keyword.size();
            }
        }
        return results;
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        edit = std::make_unique<VisualizedTextEdit>();
        edit->resize(400, 300);
        edit->show();
        connect(edit.get(), &VisualizedTextEdit::searchFinished, this,
                [this](bool found) { finished.append(found); });
    }

    void cleanupTestCase() { edit.reset(); }

    void init()
    {
        scan()->cancel();
        scan()->setSliceMilliseconds(20);
    }

    void conversions_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("converted");
        const auto row = [](const char *typed, int mode, const char *converted) {
            QTest::addRow("%s \"%s\"", mode == BinaryData ? "binary" : "parameter id", typed)
                << mode << typed << converted;
        };
        row("AB", BinaryData, "41 42");
        row("", BinaryData, "");
        row("\u00e9\u20ac z", BinaryData, "E9 3F 20 7A"); // latin-1 and beyond
        row("258", ParameterId, "1 02 00 00");
        row("258.1", ParameterId, "1 02 00 01");
        row("258.", ParameterId, "1 02 00 00");
        row("100", ParameterId, "0 64 00 00");
        row("65535.65535", ParameterId, "FF FF FF FF");
        for (const char *invalid : {"65536", "65535.65536", ".5", "1.2.3", "abc", ""})
            row(invalid, ParameterId, "");
    }

    void conversions()
    {
        QFETCH(int, mode);
        QFETCH(QString, typed);
        QFETCH(QString, converted);
        const QString result =
            mode == BinaryData ? binaryDataSearchText(typed) : parameterIdSearchText(typed);
        QCOMPARE(result, converted);
        if (!converted.isEmpty())
            return;
        // A text that converts to nothing: not found, cursor to the start of its line, cleared
        // state, for steps and find-all alike.
        load(QStringLiteral("first line\nsecond line"));
        edit->searchStateObject()->notFoundText = QStringLiteral("old");
        for (int direction : {int(FindAll), int(FindNext), int(FindPrevious)}) {
            QSignalSpy starts(edit.get(), &VisualizedTextEdit::start);
            placeCursor(15);
            step(direction, mode, typed);
            QCOMPARE(selection(), qMakePair(11, 11));
            QCOMPARE(finished.takeLast(), false);
            QCOMPARE(starts.count(), 0);
            QVERIFY(notFoundText().isEmpty());
        }
    }

    void steps_data()
    {
        QTest::addColumn<QString>("document");
        QTest::addColumn<int>("anchor");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<int>("direction");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("found");
        QTest::addColumn<int>("start"); // expected selection afterwards
        QTest::addColumn<int>("end");

        const auto row = [](const char *name, const QString &document, int anchor, int cursor,
                            int direction, int mode, const char *text, bool found, int start,
                            int end) {
            QTest::newRow(name) << document << anchor << cursor << direction << mode << text
                                << found << start << end;
        };
        const QString abc = QStringLiteral("abc x\nabc y\nabc z");
        row("next from start", abc, 0, 0, FindNext, PlainText, "abc", true, 0, 3);
        row("next from a match", abc, 0, 3, FindNext, PlainText, "abc", true, 6, 9);
        row("next wraps to the first", abc, 12, 15, FindNext, PlainText, "abc", true, 0, 3);
        row("previous from a match", abc, 12, 15, FindPrevious, PlainText, "abc", true, 6, 9);
        row("previous wraps to the last", abc, 0, 3, FindPrevious, PlainText, "abc", true, 12, 15);
        // The backward wrap starts one character before the end: a surrogate pair is one.
        const char *smiley = "\xF0\x9F\x98\x80";
        row("previous wrap skips a last pair", QString::fromUtf8("x") + QString::fromUtf8(smiley),
            0, 0, FindPrevious, PlainText, smiley, false, 0, 0);
        row("previous wrap finds a pair before it",
            QString::fromUtf8("x") + QString::fromUtf8(smiley) + QStringLiteral("y"), 0, 0,
            FindPrevious, PlainText, smiley, true, 1, 3);
        row("from line start finds the match under the cursor", abc, 8, 8, FindFromLineStart,
            PlainText, "abc", true, 6, 9);
        row("from line start wraps", "abc\nx\ny", 5, 5, FindFromLineStart, PlainText, "abc", true,
            0, 3);
        row("only match is the selected one", "x abc y", 2, 5, FindNext, PlainText, "abc", true, 2,
            5);
        // Blocks are skipped by the text's longest piece without spaces; a no-break space in the
        // document matches a space.
        row("previous finds a match ending past the cursor", "b AB\nb AB", 6, 6, FindPrevious,
            PlainText, "b AB", true, 5, 9);
        row("no-break space matches a space", QStringLiteral("x\nb\u00a0AB"), 0, 0, FindNext,
            PlainText, "b AB", true, 2, 6);
        row("case ignored", "x ABC", 0, 0, FindNext, PlainText, "abc", true, 2, 5);
        row("case matters", "x ABC abc", 0, 0, FindNext, PlainTextMatchCase, "abc", true, 6, 9);
        row("binary data is whole words", "[41 421]\n[41 42]", 0, 0, FindNext, BinaryData, "AB",
            true, 10, 15);
        row("binary data case-insensitive", "[0a 0b]", 0, 0, FindNext, BinaryData, "\n\u000b", true,
            1, 6);
        row("parameter id matches inside other bytes", "[61 02 00 00]", 0, 0, FindNext, ParameterId,
            "258", true, 2, 12);
        row("failed next keeps the selection", abc, 6, 9, FindNext, PlainText, "zzz", false, 6, 9);
        row("failed from line start leaves the line start", abc, 8, 10, FindFromLineStart,
            PlainText, "zzz", false, 6, 6);
        row("failed previous keeps the selection", abc, 6, 9, FindPrevious, PlainText, "zzz", false,
            6, 9);
    }

    void steps()
    {
        QFETCH(QString, document);
        QFETCH(int, anchor);
        QFETCH(int, cursor);
        QFETCH(int, direction);
        QFETCH(int, mode);
        QFETCH(QString, text);
        QFETCH(bool, found);
        QFETCH(int, start);
        QFETCH(int, end);
        load(document);
        placeCursor(cursor, anchor);
        step(direction, mode, text);
        QCOMPARE(finished, QList<bool>{found});
        QCOMPARE(selection(), qMakePair(start, end));
    }

    // Wrapping and failing steps against the literal algorithm: the view's own find, the wrap
    // cursor put on the view, the saved cursor put back. Selection, answer and scrolling agree.
    void wrapAndFailureScrollLikeTheReference_data()
    {
        QTest::addColumn<int>("direction");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("line");   // 0-based line of the cursor
        QTest::addColumn<int>("scroll"); // first line shown before the step
        QTest::newRow("next wraps to the start") << int(FindNext) << "needle" << 960 << 950;
        QTest::newRow("previous wraps to the end") << int(FindPrevious) << "needle" << 40 << 30;
        QTest::newRow("next fails") << int(FindNext) << "absent" << 500 << 489;
        QTest::newRow("from line start fails") << int(FindFromLineStart) << "absent" << 500 << 489;
        QTest::newRow("previous fails") << int(FindPrevious) << "absent" << 500 << 489;
    }

    void wrapAndFailureScrollLikeTheReference()
    {
        QFETCH(int, direction);
        QFETCH(QString, text);
        QFETCH(int, line);
        QFETCH(int, scroll);
        QStringList lines;
        for (int i = 0; i < 1000; ++i)
            lines << (i == 49 || i == 949 ? QStringLiteral("a needle here") : QStringLiteral("x"));
        load(lines.join(QLatin1Char('\n')));
        Reference reference(edit.get());
        QVERIFY(reference.exposed);
        const auto prepare = [&](QPlainTextEdit *view) {
            view->setTextCursor(QTextCursor(view->document()->findBlockByNumber(line)));
            view->verticalScrollBar()->setValue(scroll);
        };
        prepare(edit.get());
        prepare(reference.view.get());
        step(direction, PlainText, text);
        QCOMPARE(finished.takeLast(), reference.step(direction, PlainText, text));
        QCOMPARE(edit->viewport()->height(), reference.view->viewport()->height());
        QCOMPARE(edit->verticalScrollBar()->value(), reference.view->verticalScrollBar()->value());
        QCOMPARE(selection(), reference.selection());
    }

    // Random steps against the reference, with the not-found rule carried from step to step.
    void stepsMatchTheReference()
    {
        QStringList lines;
        QRandomGenerator random(7);
        const QStringList words = {"ab",
                                   "AB",
                                   "41 42",
                                   "x41 42",
                                   "41 42y",
                                   "cab",
                                   " ",
                                   "b",
                                   QStringLiteral("\U0001F600"),
                                   QStringLiteral("a\u00a0b")};
        for (int i = 0; i < 200; ++i) {
            QString line;
            for (int w = random.bounded(5) - (i % 7 ? 0 : 5); w > 0; --w)
                line += words.at(random.bounded(words.size())) + QLatin1Char(' ');
            lines << line;
        }
        lines << QStringLiteral("end \U0001F600");
        load(lines.join(QLatin1Char('\n')));
        Reference reference(edit.get());
        QVERIFY(reference.exposed);
        const int end = edit->document()->characterCount() - 1;
        for (int trial = 0; trial < 400; ++trial) {
            const int direction =
                QList<int>{FindNext, FindPrevious, FindFromLineStart}.at(random.bounded(3));
            const int mode = random.bounded(4) == 0 ? int(BinaryData)
                                                    : int(random.bounded(2)); // plain, any case
            const QString text =
                mode == BinaryData
                    ? QStringLiteral("AB")
                    : QStringList{"ab", "AB", "b a", "abc", "\U0001F600", "a b", " ", "b AB"}.at(
                          random.bounded(8));
            const int a = random.bounded(end + 1);
            const int b = qMin(end, a + random.bounded(4));
            const int scroll = random.bounded(edit->verticalScrollBar()->maximum() + 1);
            for (QPlainTextEdit *view : {static_cast<QPlainTextEdit *>(edit.get()),
                                         static_cast<QPlainTextEdit *>(reference.view.get())}) {
                QTextCursor cursor(view->document());
                cursor.setPosition(a);
                cursor.setPosition(b, QTextCursor::KeepAnchor);
                view->setTextCursor(cursor);
                view->verticalScrollBar()->setValue(scroll);
            }
            if (random.bounded(8) == 0) { // an edit elsewhere clears the not-found text
                edit->searchStateObject()->clearNotFoundText();
                reference.notFoundText.clear();
            }
            step(direction, mode, text);
            QCOMPARE(finished.takeLast(), reference.step(direction, mode, text));
            QCOMPARE(selection(), reference.selection());
            QCOMPARE(notFoundText(), reference.notFoundText);
            QCOMPARE(edit->verticalScrollBar()->value(),
                     reference.view->verticalScrollBar()->value());
        }
    }

    // Steps stay right while the text grows by appends and is edited between them.
    void stepsFollowChangesToTheText()
    {
        load(QStringLiteral("ab one\nab two"));
        const auto next = [&](const QString &text) {
            step(FindNext, PlainText, text);
            return selection();
        };
        placeCursor(0);
        QCOMPARE(next("two"), qMakePair(10, 13));
        edit->appendLogText(QStringLiteral("\nab\u00a0three\nfour"));
        QCOMPARE(next("b three"), qMakePair(15, 22));
        QCOMPARE(next("four"), qMakePair(23, 27));
        edit->appendLogText(QStringLiteral(" five"));
        QCOMPARE(next("five"), qMakePair(28, 32));
        QTextCursor(edit->document()).insertText(QStringLiteral("six "));
        placeCursor(0);
        QCOMPARE(next("four"), qMakePair(27, 31));
        QCOMPARE(next("six"), qMakePair(0, 3));
        QTextCursor cut(edit->document());
        cut.setPosition(4);
        cut.setPosition(7, QTextCursor::KeepAnchor);
        cut.removeSelectedText(); // "six one\n..."
        placeCursor(0);
        QCOMPARE(next("one"), qMakePair(4, 7));
        QCOMPARE(next("five"), qMakePair(29, 33));
    }

    void fromLineStartGrowsTheSelectionWhileTyping()
    {
        load(QStringLiteral("xx Receive\nRe Rec Received"));
        placeCursor(3);
        const QList<QPair<QString, QPair<int, int>>> typing = {
            {"R", {3, 4}},      {"Re", {3, 5}},       {"Rec", {3, 6}},
            {"Receiv", {3, 9}}, {"Receive", {3, 10}}, {"Received", {18, 26}},
        };
        for (const auto &keystroke : typing) {
            step(FindFromLineStart, PlainTextMatchCase, keystroke.first);
            QCOMPARE(selection(), keystroke.second);
        }
        QCOMPARE(finished, QList<bool>({true, true, true, true, true, true}));
    }

    void notFoundTextRules()
    {
        load(QStringLiteral("abcd\nwxyz\nxy"));
        step(FindNext, PlainTextMatchCase, QStringLiteral("ABC"));
        QCOMPARE(notFoundText(), QStringLiteral("ABC"));
        // A longer text holding it fails at once, whatever the mode.
        step(FindNext, PlainText, QStringLiteral("ABCD"));
        QCOMPARE(finished, QList<bool>({false, false}));
        QCOMPARE(notFoundText(), QStringLiteral("ABC"));

        // A shorter failed text keeps the longer one; an unrelated one replaces it.
        edit->searchStateObject()->notFoundText = QStringLiteral("qwxyzq");
        step(FindNext, PlainText, QStringLiteral("wxyzq"));
        QCOMPARE(notFoundText(), QStringLiteral("qwxyzq"));
        step(FindNext, PlainText, QStringLiteral("nothing"));
        QCOMPARE(notFoundText(), QStringLiteral("nothing"));

        // Cleared by success and by an empty text.
        step(FindNext, PlainText, QStringLiteral("xy"));
        QVERIFY(notFoundText().isEmpty());
        step(FindNext, PlainText, QStringLiteral("nothing"));
        step(FindAll, ParameterId, QStringLiteral("abc"));
        QVERIFY(notFoundText().isEmpty());

        // A find-all that runs neither reads nor changes it.
        step(FindNext, PlainText, QStringLiteral("nothing"));
        QSignalSpy ends(edit.get(), &VisualizedTextEdit::end);
        step(FindAll, PlainText, QStringLiteral("nothing more"));
        QTRY_COMPARE(ends.count(), 1);
        QCOMPARE(notFoundText(), QStringLiteral("nothing"));

        // Cleared by an edit and by a click.
        edit->moveCursor(QTextCursor::End);
        edit->insertPlainText(QStringLiteral("d"));
        QVERIFY(notFoundText().isEmpty());
        step(FindNext, PlainText, QStringLiteral("nothing"));
        QCOMPARE(notFoundText(), QStringLiteral("nothing"));
        QTest::mouseClick(edit->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QVERIFY(notFoundText().isEmpty());
    }

    void findAll_data()
    {
        QTest::addColumn<QString>("document");
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<bool>("caseSensitive");
        QTest::addColumn<QList<int>>("lineNumbers");
        QTest::addColumn<QList<int>>("columns");
        const auto row = [](const char *name, const char *document, const char *keyword,
                            bool caseSensitive, const QList<int> &lines,
                            const QList<int> &columns) {
            QTest::newRow(name) << document << keyword << caseSensitive << lines << columns;
        };
        row("no overlap", "aaa", "aa", true, {1}, {0});
        row("two in one line", "\nxa a\n\nab", "a", true, {2, 2, 4}, {1, 3, 0});
        row("case matters", "Abc\nabc", "abc", true, {2}, {0});
        row("case ignored", "Abc\nabc", "abc", false, {1, 2}, {0, 0});
        row("no whole-word rule", "[41 421]", "41 42", true, {1}, {1});
        row("nothing", "abc", "x", true, {}, {});
    }

    void findAll()
    {
        QFETCH(QString, document);
        QFETCH(QString, keyword);
        QFETCH(bool, caseSensitive);
        QFETCH(QList<int>, lineNumbers);
        QFETCH(QList<int>, columns);
        load(document);
        edit->setId(42);
        placeCursor(1, 0);
        QSignalSpy starts(edit.get(), &VisualizedTextEdit::start);
        QSignalSpy ends(edit.get(), &VisualizedTextEdit::end);
        const QList<Found> results =
            findAll(keyword, caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive);
        QCOMPARE(starts.count(), 1);
        QCOMPARE(starts.at(0), QVariantList({QStringLiteral("test.log"), keyword}));
        QCOMPARE(ends.count(), 1);
        QCOMPARE(ends.at(0).at(0).toInt(), results.size());
        QCOMPARE(results.size(), lineNumbers.size());
        for (int i = 0; i < results.size(); ++i) {
            const Found &f = results.at(i);
            const QTextBlock block = edit->document()->findBlockByNumber(f.lineNumber - 1);
            QCOMPARE(f.lineNumber, lineNumbers.at(i));
            QCOMPARE(f.column, columns.at(i));
            QCOMPARE(f.lineText, block.text());
            QCOMPARE(f.length, keyword.length());
            QCOMPARE(f.fieldId, 42u);
            QCOMPARE(f.position, block.position() + f.column + f.length);
            QVERIFY(f.position <= block.position() + block.length() - 1);
        }
        QCOMPARE(finished, QList<bool>{});
        QCOMPARE(selection(), qMakePair(0, 1)); // a find-all leaves the cursor alone
    }

    void findAllThroughSearchUsesTheModesCase()
    {
        load(QStringLiteral("[0a 0B]\n[0A 0B]"));
        QCOMPARE(
            findAll(binaryDataSearchText(QStringLiteral("\n\u000b")), Qt::CaseSensitive).size(), 1);
        int count = -1;
        auto connection =
            connect(edit.get(), &VisualizedTextEdit::end, this, [&count](int n) { count = n; });
        step(FindAll, BinaryData, QStringLiteral("\n\u000b"));
        QTRY_COMPARE(count, 1); // the step would match both lines
        step(FindAll, PlainText, QStringLiteral("0b"));
        QTRY_COMPARE(count, 2);
        step(FindAll, PlainTextMatchCase, QStringLiteral("0b"));
        QTRY_COMPARE(count, 0);
        count = -1;
        edit->findAll(QString(), Qt::CaseSensitive); // would match everywhere without moving on
        QCOMPARE(count, 0);
        disconnect(connection);
    }

    // Slices of 64 lines: the find-all goes on from the event loop, other events run between
    // the slices, and the findings, the batches and the lines they read agree with a plain scan.
    void findAllInSlicesAgreesWithAPlainScan_data()
    {
        QTest::addColumn<quint32>("variant");
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<bool>("caseSensitive");
        QTest::addColumn<int>("firstLineLength"); // of a first line full of matches
        QTest::newRow("one letter") << 1u << "a" << true << 0;
        QTest::newRow("any case") << 2u << "ab" << false << 0;
        QTest::newRow("overlapping text") << 3u << "aa" << true << 0;
        QTest::newRow("with a blank") << 4u << "b " << false << 0;
        // A slice ends in the middle of a line, and the next goes on from there.
        QTest::newRow("long line of matches") << 5u << "a" << true << 5000;
    }

    void findAllInSlicesAgreesWithAPlainScan()
    {
        QFETCH(quint32, variant);
        QFETCH(QString, keyword);
        QFETCH(bool, caseSensitive);
        QFETCH(int, firstLineLength);
        const Qt::CaseSensitivity sensitivity =
            caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
        load(QString(firstLineLength, QLatin1Char('a')) + QLatin1Char('\n') +
             generatedDocument(variant, 3000));
        edit->setId(42);
        scan()->setSliceMilliseconds(0);
        const QList<Found> expected = referenceFindAll(keyword, sensitivity);
        QVERIFY(expected.size() > 100);

        QList<Found> findings;
        QList<FoundRecord> records;
        QList<int> progress;
        QStringList batchLines;
        bool eventRan = false, eventRanBeforeEnd = false;
        QSignalSpy starts(edit.get(), &VisualizedTextEdit::start);
        QSignalSpy ends(edit.get(), &VisualizedTextEdit::end);
        QObject receiver; // the connections end with the test
        connect(edit.get(), &VisualizedTextEdit::found, &receiver, [&](const Finding &f) {
            findings.append({f.lineNumber, f.lineText, f.column, f.length, f.position, f.fieldId});
        });
        connect(scan(), &FindAllScan::foundBatch, &receiver, [&](const FoundBatch &batch) {
            QVERIFY(ends.isEmpty());
            for (const FoundRecord &record : batch.records) {
                records.append(record);
                batchLines.append(batch.lineText(record.lineNumber));
            }
        });
        connect(scan(), &FindAllScan::progress, &receiver, [&](int percent) {
            QVERIFY(ends.isEmpty());
            progress.append(percent);
        });
        connect(edit.get(), &VisualizedTextEdit::end, &receiver,
                [&] { eventRanBeforeEnd = eventRan; });
        edit->findAll(keyword, sensitivity);
        QTimer::singleShot(0, &receiver, [&] { eventRan = true; });
        QCOMPARE(starts.count(), 1);
        QCOMPARE(ends.count(), 0); // the first slice is done, the rest follows
        QVERIFY(!findings.isEmpty());
        QVERIFY(findings.size() < qMax(100, firstLineLength));
        QVERIFY(ends.wait(10000));

        QVERIFY(eventRanBeforeEnd);
        QCOMPARE(ends.at(0).at(0).toInt(), expected.size());
        QCOMPARE(findings.size(), expected.size());
        QCOMPARE(records.size(), expected.size());
        for (int i = 0; i < expected.size(); ++i) {
            const Found &e = expected.at(i);
            const Found &f = findings.at(i);
            const FoundRecord &r = records.at(i);
            QCOMPARE(QVector<int>({f.lineNumber, f.column, f.length, f.position, int(f.fieldId)}),
                     QVector<int>({e.lineNumber, e.column, e.length, e.position, int(e.fieldId)}));
            QCOMPARE(f.lineText, e.lineText);
            QCOMPARE(QVector<int>({r.lineNumber, r.column, r.length, r.position, int(r.fieldId)}),
                     QVector<int>({e.lineNumber, e.column, e.length, e.position, int(e.fieldId)}));
            QCOMPARE(batchLines.at(i), e.lineText);
        }
        QVERIFY(progress.size() > 2);
        QCOMPARE(progress.last(), 100);
        QVERIFY(std::is_sorted(progress.cbegin(), progress.cend()));
        QCOMPARE(QSet<int>(progress.cbegin(), progress.cend()).size(), progress.size());
    }

    // A running find-all ends early, with the number of matches it reported so far: by its
    // cancel, by a change of the text, by the next find-all.
    void findAllEndsEarly_data()
    {
        QTest::addColumn<QString>("how");
        for (const char *how : {"cancel", "text change", "next find-all", "cancel from found"})
            QTest::newRow(how) << how;
    }

    void findAllEndsEarly()
    {
        QFETCH(QString, how);
        load(generatedDocument(7, 3000));
        scan()->setSliceMilliseconds(0);
        int found = 0, ends = 0, endedWith = -1;
        QStringList order;
        QVector<LineTextSource> sources;
        QObject receiver; // the connections end with the test
        connect(edit.get(), &VisualizedTextEdit::found, &receiver, [&](const Finding &) {
            ++found;
            if (how == QLatin1String("cancel from found") && found == 5)
                scan()->cancel();
        });
        connect(edit.get(), &VisualizedTextEdit::end, &receiver, [&](int count) {
            ++ends;
            if (endedWith < 0)
                endedWith = count;
            order << QStringLiteral("end");
        });
        connect(edit.get(), &VisualizedTextEdit::start, &receiver,
                [&] { order << QStringLiteral("start"); });
        connect(scan(), &FindAllScan::foundBatch, &receiver,
                [&](const FoundBatch &batch) { sources.append(batch.lineText); });
        edit->findAll(QStringLiteral("a"), Qt::CaseSensitive);
        const int foundBefore = found;
        QVERIFY(how == QLatin1String("cancel from found") || ends == 0);
        if (how == QLatin1String("cancel"))
            scan()->cancel();
        else if (how == QLatin1String("text change"))
            edit->setLogText(QStringLiteral("other.log"), QStringLiteral("a a a"));
        else if (how == QLatin1String("next find-all"))
            edit->findAll(QStringLiteral("zzz"), Qt::CaseSensitive);
        QCOMPARE(endedWith, foundBefore);
        QTRY_COMPARE(ends, how == QLatin1String("next find-all") ? 2 : 1);
        QCOMPARE(found, foundBefore);
        QVERIFY(!scan()->isRunning());
        QTest::qWait(20); // nothing more comes from the event loop
        QCOMPARE(found, foundBefore);
        QCOMPARE(ends, how == QLatin1String("next find-all") ? 2 : 1);
        if (how == QLatin1String("next find-all"))
            QCOMPARE(order, QStringList({"start", "end", "start", "end"}));
        // After a change of the text the earlier rows have no line to show.
        QVERIFY(!sources.isEmpty());
        QCOMPARE(sources.first()(1).isEmpty(), how == QLatin1String("text change"));
    }

    // Steps and jumps leave a match red on white while the focus is in the search bar.
    void foundPalette()
    {
        load(QStringLiteral("abc\nabc"));
        edit->setPalette(QPalette());
        step(FindNext, PlainText, QStringLiteral("abc"));
        QCOMPARE(edit->palette().color(QPalette::Inactive, QPalette::Highlight), QColor(Qt::red));
        QCOMPARE(edit->palette().color(QPalette::Inactive, QPalette::HighlightedText),
                 QColor(Qt::white));

        edit->setPalette(QPalette());
        const Finding finding(nullptr, 2, QString(), 0, 3, 0, 7);
        edit->goTo(finding);
        QCOMPARE(edit->palette().color(QPalette::Inactive, QPalette::Highlight), QColor(Qt::red));
        QCOMPARE(selection(), qMakePair(4, 7));
    }

    void goTo_data()
    {
        QTest::addColumn<int>("line");
        QTest::newRow("top") << 1;
        QTest::newRow("middle") << 250;
        QTest::newRow("bottom") << 500;
    }

    void goTo()
    {
        QFETCH(int, line);
        QStringList lines;
        for (int i = 1; i <= 500; ++i)
            lines << QStringLiteral("line %1 text").arg(i);
        load(lines.join(QLatin1Char('\n')));
        QCoreApplication::processEvents();
        const QTextBlock block = edit->document()->findBlockByNumber(line - 1);
        const Finding finding(nullptr, line, QString(), 5, 3, 0, block.position() + 5 + 3);
        placeCursor(0);
        edit->goTo(finding);
        QCOMPARE(selection(), qMakePair(block.position() + 5, block.position() + 8));
        QCOMPARE(edit->textCursor().selectedText(), block.text().mid(5, 3));
        QScrollBar *bar = edit->verticalScrollBar();
        if (line == 1)
            QCOMPARE(bar->value(), bar->minimum());
        else if (line == 500)
            QCOMPARE(bar->value(), bar->maximum());
        else
            QVERIFY(qAbs(edit->cursorRect().center().y() - edit->height() / 2) <=
                    3 * edit->cursorRect().height());
    }
};

QTEST_MAIN(TestSearchEngine)
#include "tst_searchengine.moc"
