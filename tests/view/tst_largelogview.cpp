// The large-log view against the ordinary view on the same files: lines, search steps,
// find-all and details agree; and the reader's keys, mouse and clipboard.
#include "logstore/logstore.h"
#include "searchcore/finding.h"
#include "searchcore/searchoptions.h"
#include "searchcore/searchstate.h"
#include "tests/testsupport.h"
#include "view/largelogview.h"
#include "view/visualizedtextedit.h"

#include <QtTest>
#include <QtWidgets>
#include <memory>

namespace
{
using Match = QVector<qint64>; // line number, column, length, position

// A find-all's matches, each with a hash of its line's text.
template <typename View>
QList<Match> findAllOf(View *view, const QString &keyword, Qt::CaseSensitivity sensitivity)
{
    QList<Match> matches;
    bool ended = false;
    QObject receiver; // the connections end here
    QObject::connect(view, &View::found, &receiver, [&](const Finding &f) {
        matches.append({f.lineNumber, f.column, f.length, f.position, qHash(f.lineText)});
    });
    QObject::connect(view, &View::end, &receiver, [&] { ended = true; });
    view->findAll(keyword, sensitivity);
    if (!QTest::qWaitFor([&] { return ended; }, 10000))
        matches.append({-1}); // never ended: differs from any real answer
    return matches;
}
} // namespace

class TestLargeLogView : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<VisualizedTextEdit> edit;
    std::unique_ptr<LargeLogView> large;

    // Both views show `bytes`, read from a file as a panel reads it.
    bool load(const QByteArray &bytes)
    {
        const QString path = dir.filePath(QStringLiteral("log.log"));
        if (!testsupport::writeFile(path, bytes))
            return false;
        edit->setLogText(path, testsupport::referenceText(path));
        edit->searchStateObject()->clearNotFoundText();
        large->openLog(path);
        return QTest::qWaitFor([&] { return !large->isIndexing(); }, 10000);
    }

    qint64 position(const TextPosition &at) const
    {
        return large->store().linePosition(at.line) + at.column;
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        edit = std::make_unique<VisualizedTextEdit>();
        large = std::make_unique<LargeLogView>();
        for (QWidget *view :
             {static_cast<QWidget *>(edit.get()), static_cast<QWidget *>(large.get())}) {
            view->resize(700, 300);
            view->show();
        }
    }

    void sameTextStepsAndFindAll_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("plain") << QByteArray("ab x\nAB ab\n\nxab\nend ab");
        QTest::newRow("CRLF and a lone CR") << QByteArray("ab\r\nx\rab\r\nab AB\r\n");
        QTest::newRow("tabs and NBSP") << QByteArray("a\tb ab\n\xC2\xA0"
                                                     "ab\n41 42 x41 42\n");
        QTest::newRow("non-ASCII and invalid UTF-8")
            << QByteArray("\xC3\xA4"
                          "ab\n\xFF\xFE"
                          "ab\n\xF0\x9F\x98\x80 ab \xF0\x9F\x98\x80\n");
        QTest::newRow("NUL bytes") << QByteArray("a\0b ab\n\0\0ab\n", 13);
        QTest::newRow("no final line end") << QByteArray("ab\nab");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("long line") << QByteArray("x ").repeated(6000) + "ab\nab\n";
    }

    // Every step from random places, in every direction and mode, selects the same characters
    // and answers the same in both views; find-all reports the same matches.
    void sameTextStepsAndFindAll()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(load(bytes));
        QCOMPARE(large->store().lineCount(), qint64(edit->blockCount()));
        for (int line = 0; line < edit->blockCount(); ++line)
            QCOMPARE(large->store().lineText(line),
                     edit->document()->findBlockByNumber(line).text());

        QRandomGenerator random(11);
        const int end = edit->document()->characterCount() - 1;
        large->searchStateObject()->clearNotFoundText();
        for (int trial = 0; trial < 120; ++trial) {
            const int direction =
                QList<int>{FindNext, FindPrevious, FindFromLineStart}.at(random.bounded(3));
            const int mode = random.bounded(5) == 0 ? int(BinaryData) : int(random.bounded(2));
            const QString text =
                mode == BinaryData
                    ? QStringLiteral("AB")
                    : QStringList{"ab", "AB", "b a", "x", "\u00e4ab"}.at(random.bounded(5));
            const int at = random.bounded(end + 1);
            QTextCursor cursor(edit->document());
            cursor.setPosition(at);
            edit->setTextCursor(cursor);
            const qint64 line = large->store().lineAtPosition(at);
            const TextPosition place{line, int(at - large->store().linePosition(line))};
            large->setSelection(place, place);

            QSignalSpy editAnswer(edit.get(), &VisualizedTextEdit::searchFinished);
            QSignalSpy largeAnswer(large.get(), &LargeLogView::searchFinished);
            const SearchOptions options(nullptr, direction, mode, text);
            edit->search(options);
            large->search(options);
            QCOMPARE(largeAnswer.at(0).at(0).toBool(), editAnswer.at(0).at(0).toBool());
            QCOMPARE(position(qMin(large->anchorPosition(), large->caretPosition())),
                     qint64(edit->textCursor().selectionStart()));
            QCOMPARE(position(qMax(large->anchorPosition(), large->caretPosition())),
                     qint64(edit->textCursor().selectionEnd()));
            QCOMPARE(large->searchStateObject()->notFoundText,
                     edit->searchStateObject()->notFoundText);
        }
        for (const QString keyword : {"ab", "AB", "\u00e4", "x "}) {
            for (const auto sensitivity : {Qt::CaseSensitive, Qt::CaseInsensitive})
                QCOMPARE(findAllOf(large.get(), keyword, sensitivity),
                         findAllOf(edit.get(), keyword, sensitivity));
        }
    }

    // The details of a selected line read the same, joined received data included.
    void sameDetails()
    {
        QByteArray log;
        for (int i = 0; i < 40; ++i)
            log += i % 3 ? "[Comm] Received from COM3: [41 42]\n"
                         : "[Comm] DPV1 Request to slave 3: [FF 01 00 01 10 01 03 E8 00 00]\n";
        QVERIFY(load(log));
        QCoreApplication::processEvents();
        QSignalSpy editDetails(edit.get(), &VisualizedTextEdit::visualizeLineSelected);
        QSignalSpy largeDetails(large.get(), &LargeLogView::visualizeLineSelected);
        for (const int line : {1, 2, 5, 38, 0}) {
            edit->setTextCursor(QTextCursor(edit->document()->findBlockByNumber(line)));
            large->setSelection({line, 0}, {line, 0});
            QTRY_VERIFY(!editDetails.isEmpty() && !largeDetails.isEmpty());
            QCOMPARE(largeDetails.takeLast().at(0).toString(),
                     editDetails.takeLast().at(0).toString());
        }
    }

    void keysMoveAndSelect_data()
    {
        QTest::addColumn<QList<int>>("keys"); // key | modifiers
        QTest::addColumn<qint64>("line");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("selected");
        const int shift = int(Qt::ShiftModifier);
        QTest::newRow("right and down")
            << QList<int>{Qt::Key_Right, Qt::Key_Down} << qint64(1) << 1 << QString();
        QTest::newRow("end of line") << QList<int>{Qt::Key_End} << qint64(0) << 5 << QString();
        QTest::newRow("shift selects")
            << QList<int>{Qt::Key_Right | shift, Qt::Key_Right | shift} << qint64(0) << 2 << "li";
        QTest::newRow("left wraps to the line above")
            << QList<int>{Qt::Key_Down, Qt::Key_Left} << qint64(0) << 5 << QString();
        QTest::newRow("ctrl+end") << QList<int>{Qt::Key_End | int(Qt::ControlModifier)} << qint64(2)
                                  << 6 << QString();
        QTest::newRow("page down stops at the end")
            << QList<int>{Qt::Key_PageDown, Qt::Key_PageDown} << qint64(2) << 0 << QString();
        QTest::newRow("typing changes nothing")
            << QList<int>{Qt::Key_A, Qt::Key_Backspace} << qint64(0) << 0 << QString();
    }

    void keysMoveAndSelect()
    {
        QFETCH(QList<int>, keys);
        QFETCH(qint64, line);
        QFETCH(int, column);
        QFETCH(QString, selected);
        QVERIFY(load("line1\nline 2\nline3x"));
        large->setSelection({}, {});
        for (const int key : keys)
            QTest::keyClick(large.get(), Qt::Key(key & ~Qt::KeyboardModifierMask),
                            Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask));
        QCOMPARE(large->caretPosition().line, line);
        QCOMPARE(large->caretPosition().column, column);
        QCOMPARE(large->selectedText(), selected);
        QCOMPARE(large->store().lineText(0), QStringLiteral("line1"));
    }

    void mouseSelectsAndCopies()
    {
        QVERIFY(load("alpha beta\ngamma delta\n"));
        QWidget *viewport = large->viewport();
        const int height = large->lineHeight();
        const QFontMetrics metrics(large->font());
        const int x = 4 + metrics.horizontalAdvance(QStringLiteral("alpha b"));
        QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(x, height / 2));
        QCOMPARE(large->selectedText(), QStringLiteral("beta"));
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(2, height / 2));
        QTest::mouseClick(
            viewport, Qt::LeftButton, Qt::ShiftModifier,
            QPoint(4 + metrics.horizontalAdvance(QStringLiteral("gam")), height + height / 2));
        QCOMPARE(large->selectedText(), QStringLiteral("alpha beta\ngam"));
        QTest::keyClick(large.get(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("alpha beta\ngam"));
        QTest::keyClick(large.get(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(large->selectedText(), QStringLiteral("alpha beta\ngamma delta\n"));
    }

    // A press in a side area selects the line beside it and asks to make the panel active.
    void sideAreaPressSelectsLine()
    {
        QVERIFY(load("a\nb\nc\n"));
        large->setVisualizedTextAreaWidth(200);
        QSignalSpy activated(large.get(), &LargeLogView::activated);
        QTest::mouseClick(large->visualizedTextWidget(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(10, large->lineHeight() * 2 + 2));
        QCOMPARE(large->caretPosition().line, qint64(2));
        QCOMPARE(activated.count(), 1);
    }
};

QTEST_MAIN(TestLargeLogView)
#include "tst_largelogview.moc"
