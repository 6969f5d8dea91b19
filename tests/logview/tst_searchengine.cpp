// SPDX-License-Identifier: GPL-3.0-or-later
#include "logview/logviewcontroller.h"
#include "searchcore/findallscan.h"
#include "searchcore/finding.h"
#include "searchcore/searchoptions.h"
#include "searchcore/searchstate.h"
#include "searchcore/searchtext.h"
#include "tests/testsupport.h"
#include "view/visualizedtextedit.h"

#include <QtTest>
#include <QtWidgets>
#include <memory>

// A find-all match: line number, column, length, position, field id; and its line's text.
using Match = QPair<QVector<int>, QString>;

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
        // Only Match Case steps with case; Binary Data steps by whole words.
        const QString text = mode == BinaryData    ? binaryDataSearchText(typed)
                             : mode == ParameterId ? parameterIdSearchText(typed)
                                                   : typed;
        if (!notFoundText.isEmpty() && text.contains(notFoundText))
            return false;
        QTextDocument::FindFlags flags;
        flags.setFlag(QTextDocument::FindCaseSensitively, mode == PlainTextMatchCase);
        flags.setFlag(QTextDocument::FindWholeWords, mode == BinaryData);
        flags.setFlag(QTextDocument::FindBackward, direction == FindPrevious);
        QTextCursor cursor = view->textCursor();
        if (direction == FindFromLineStart) {
            cursor.movePosition(QTextCursor::StartOfBlock);
            view->setTextCursor(cursor);
        }
        const QTextCursor saved = cursor;
        bool found = view->find(text, flags);
        if (!found) {
            if (direction == FindPrevious) {
                cursor.movePosition(QTextCursor::End);
                cursor.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor);
            } else {
                cursor.movePosition(QTextCursor::Start);
            }
            view->setTextCursor(cursor);
            found = view->find(text, flags);
        }
        if (!found) {
            view->setTextCursor(saved);
            if (!notFoundText.contains(text))
                notFoundText = text;
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
        edit->controller()->searchState()->clearNotFoundText();
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
        edit->controller()->search(options);
    }
    QString notFoundText() const { return edit->controller()->searchState()->notFoundText; }
    QPair<int, int> selection() const
    {
        return {edit->textCursor().selectionStart(), edit->textCursor().selectionEnd()};
    }
    FindAllScan *scan() const { return edit->findChild<FindAllScan *>(); }
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
    QList<Match> referenceFindAll(const QString &keyword, Qt::CaseSensitivity sensitivity) const
    {
        QList<Match> results;
        const int length = keyword.size();
        for (QTextBlock block = edit->document()->begin(); block.isValid(); block = block.next()) {
            const QString line = block.text();
            for (int column = 0; (column = line.indexOf(keyword, column, sensitivity)) >= 0;) {
                const int position = block.position() + column + length;
                results.append({{block.blockNumber() + 1, column, length, position, 42}, line});
                column += length;
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
        connect(edit->controller(), &LogViewController::searchFinished, this,
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
        edit->controller()->searchState()->notFoundText = QStringLiteral("old");
        for (int direction : {int(FindAll), int(FindNext), int(FindPrevious)}) {
            QSignalSpy starts(edit->controller(), &LogViewController::start);
            placeCursor(15);
            step(direction, mode, typed);
            QCOMPARE(selection(), qMakePair(11, 11));
            QCOMPARE(finished.takeLast(), false);
            QCOMPARE(starts.count(), 0);
            QVERIFY(notFoundText().isEmpty());
        }
    }

    // Edge cases the random steps below seldom meet.
    void stepEdgeCases()
    {
        // The backward wrap starts one character before the end, and a surrogate pair is one.
        const QString smiley = QStringLiteral("\U0001F600");
        load("x" + smiley);
        step(FindPrevious, PlainText, smiley);
        QCOMPARE(finished, QList<bool>{false});
        QCOMPARE(selection(), qMakePair(0, 0));
        load("x" + smiley + "y");
        step(FindPrevious, PlainText, smiley);
        QCOMPARE(finished, QList<bool>{true});
        QCOMPARE(selection(), qMakePair(1, 3));
        // Blocks are skipped by the text's longest piece without blanks: a match that ends past
        // the cursor is still found backwards.
        load(QStringLiteral("b AB\nb AB"));
        placeCursor(6);
        step(FindPrevious, PlainText, QStringLiteral("b AB"));
        QCOMPARE(selection(), qMakePair(5, 9));
        // ... and a no-break space in the document matches a blank.
        load(QStringLiteral("x\nb\u00a0AB"));
        step(FindNext, PlainText, QStringLiteral("b AB"));
        QCOMPARE(selection(), qMakePair(2, 6));
        // The only match, selected, is found again, red on white for the unfocused view.
        load(QStringLiteral("x abc y"));
        placeCursor(5, 2);
        edit->setPalette(QPalette());
        step(FindNext, PlainText, QStringLiteral("abc"));
        QCOMPARE(finished, QList<bool>{true});
        QCOMPARE(selection(), qMakePair(2, 5));
        QCOMPARE(edit->palette().color(QPalette::Inactive, QPalette::Highlight), QColor(Qt::red));
        QCOMPARE(edit->palette().color(QPalette::Inactive, QPalette::HighlightedText),
                 QColor(Qt::white));
    }

    // Random steps against the reference, with the not-found rule carried from step to step:
    // selection, answer, not-found text and scrolling agree, on wraps and failures too.
    void stepsMatchTheReference()
    {
        QStringList lines;
        QRandomGenerator random(7);
        // Bytes in both cases for Binary Data, a parameter id inside other bytes, a no-break
        // space that a blank matches.
        const QStringList words = {"ab",       "AB",    "41 42",     "x41 42", "41 42y",
                                   "cab",      "0a 0b", " ",         "0A 0B",  "61 02 00 00",
                                   "a\u00a0b", "b",     "\U0001F600"};
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
        // "aB" is found only without case, and "bc" and "abc" nowhere: the not-found text holds
        // across modes and keeps the longer of two failed texts.
        const QStringList texts = {"ab", "AB",         "aB",  "b a", "abc",
                                   "bc", "\U0001F600", "a b", " ",   "b AB"};
        for (int trial = 0; trial < 400; ++trial) {
            const int direction =
                QList<int>{FindNext, FindPrevious, FindFromLineStart}.at(random.bounded(3));
            const int mode = random.bounded(6) % 4; // mostly plain text, with case or without
            const QString text = mode == BinaryData    ? (random.bounded(2) ? "AB" : "\n\u000b")
                                 : mode == ParameterId ? "258"
                                                       : texts.at(random.bounded(texts.size()));
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
                edit->controller()->searchState()->clearNotFoundText();
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

    // A find-all neither reads nor changes the not-found text; an edit and a click clear it.
    void notFoundTextRules()
    {
        load(QStringLiteral("abcd\nwxyz\nxy"));
        step(FindNext, PlainTextMatchCase, QStringLiteral("ABC"));
        step(FindNext, PlainText, QStringLiteral("ABCD")); // fails at once, whatever the mode
        QCOMPARE(finished, QList<bool>({false, false}));
        QSignalSpy ends(edit->controller(), &LogViewController::end);
        step(FindAll, PlainText, QStringLiteral("ABCD"));
        QTRY_COMPARE(ends.count(), 1);
        QCOMPARE(ends.at(0).at(0).toInt(), 1);
        QCOMPARE(notFoundText(), QStringLiteral("ABC"));
        edit->moveCursor(QTextCursor::End);
        edit->insertPlainText(QStringLiteral("d"));
        QVERIFY(notFoundText().isEmpty());
        step(FindNext, PlainText, QStringLiteral("nothing"));
        QCOMPARE(notFoundText(), QStringLiteral("nothing"));
        QTest::mouseClick(edit->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QVERIFY(notFoundText().isEmpty());
    }

    void findAllThroughSearchUsesTheModesCase()
    {
        load(QStringLiteral("[0a 0B]\n[0A 0B]"));
        int count = -1;
        QObject receiver; // the connection ends with the test
        connect(edit->controller(), &LogViewController::end, &receiver,
                [&count](qint64 n) { count = int(n); });
        step(FindAll, BinaryData, QStringLiteral("\n\u000b"));
        QTRY_COMPARE(count, 1); // the step would match both lines
        step(FindAll, PlainText, QStringLiteral("0b"));
        QTRY_COMPARE(count, 2);
        step(FindAll, PlainTextMatchCase, QStringLiteral("0b"));
        QTRY_COMPARE(count, 0);
        count = -1;
        edit->controller()->findAll(QString(), Qt::CaseSensitive); // would match everywhere without moving on
        QCOMPARE(count, 0);
    }

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
        edit->controller()->setId(42);
        placeCursor(1, 0);
        scan()->setSliceMilliseconds(0);
        const QList<Match> expected = referenceFindAll(keyword, sensitivity);
        QVERIFY(expected.size() > 100);

        QList<Match> records;
        QList<int> progress;
        bool eventRan = false, eventRanBeforeEnd = false;
        QSignalSpy starts(edit->controller(), &LogViewController::start);
        QSignalSpy ends(edit->controller(), &LogViewController::end);
        QObject receiver; // the connections end with the test
        connect(edit->controller(), &LogViewController::foundBatch, &receiver,
                [&](const FoundBatch &batch) {
                    QVERIFY(ends.isEmpty());
                    for (const Finding &f : batch.findings)
                        records.append({{int(f.lineNumber), f.column, f.length, int(f.position),
                                         int(f.fieldId)},
                                        batch.lineText(f.lineNumber)});
                });
        connect(edit->controller(), &LogViewController::findAllProgress, &receiver, [&](int percent) {
            QVERIFY(ends.isEmpty());
            progress.append(percent);
        });
        connect(edit->controller(), &LogViewController::end, &receiver,
                [&] { eventRanBeforeEnd = eventRan; });
        edit->controller()->findAll(keyword, sensitivity);
        QTimer::singleShot(0, &receiver, [&] { eventRan = true; });
        QCOMPARE(starts, QList<QVariantList>({{QStringLiteral("test.log"), keyword}}));
        QCOMPARE(ends.count(), 0); // the first slice is done, the rest follows
        QVERIFY(!records.isEmpty());
        QVERIFY(records.size() < qMax(100, firstLineLength));
        QVERIFY(ends.wait(10000));

        QVERIFY(eventRanBeforeEnd);
        QVERIFY(finished.isEmpty());
        QCOMPARE(selection(), qMakePair(0, 1)); // a find-all leaves the cursor alone
        QCOMPARE(ends.at(0).at(0).toInt(), expected.size());
        QCOMPARE(records, expected);
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
        connect(edit->controller(), &LogViewController::foundBatch, &receiver,
                [&](const FoundBatch &batch) {
                    found += batch.findings.size();
                    sources.append(batch.lineText);
                    if (how == QLatin1String("cancel from found") && sources.size() == 1)
                        edit->controller()->cancelFindAll();
                });
        connect(edit->controller(), &LogViewController::end, &receiver,
                [&](qint64 count, bool cancelled) {
                    ++ends;
                    if (endedWith < 0)
                        endedWith = int(count);
                    order << (cancelled ? QStringLiteral("cancelled") : QStringLiteral("end"));
                });
        connect(edit->controller(), &LogViewController::start, &receiver,
                [&] { order << QStringLiteral("start"); });
        edit->controller()->findAll(QStringLiteral("a"), Qt::CaseSensitive);
        const int foundBefore = found;
        QVERIFY(how == QLatin1String("cancel from found") || ends == 0);
        if (how == QLatin1String("cancel"))
            edit->controller()->cancelFindAll();
        else if (how == QLatin1String("text change"))
            edit->setLogText(QStringLiteral("other.log"), QStringLiteral("a a a"));
        else if (how == QLatin1String("next find-all"))
            edit->controller()->findAll(QStringLiteral("zzz"), Qt::CaseSensitive);
        QCOMPARE(endedWith, foundBefore);
        QTRY_COMPARE(ends, how == QLatin1String("next find-all") ? 2 : 1);
        QCOMPARE(found, foundBefore);
        QVERIFY(!scan()->isRunning());
        QTest::qWait(20); // nothing more comes from the event loop
        QCOMPARE(found, foundBefore);
        QCOMPARE(ends, how == QLatin1String("next find-all") ? 2 : 1);
        if (how == QLatin1String("next find-all"))
            QCOMPARE(order, QStringList({"start", "cancelled", "start", "end"}));
        // After a change of the text the earlier rows have no line to show.
        QVERIFY(!sources.isEmpty());
        QCOMPARE(sources.first()(1).isEmpty(), how == QLatin1String("text change"));
    }

    void goTo_data()
    {
        QTest::addColumn<int>("line");
        for (const int line : {1, 250, 500})
            QTest::addRow("line %d", line) << line;
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
        const Finding finding{line, block.position() + 5 + 3, 5, 3, 0};
        placeCursor(0);
        edit->setPalette(QPalette());
        edit->controller()->goTo(finding);
        QCOMPARE(edit->palette().color(QPalette::Inactive, QPalette::Highlight), QColor(Qt::red));
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
