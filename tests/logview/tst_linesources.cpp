// SPDX-License-Identifier: GPL-3.0-or-later
// The two line sources of a log view on the same files: the ordinary view's document and the
// large-log view's file store give the same lines, step matches, find-all matches and copies.
#include "logstore/logstore.h"
#include "logview/logviewcontroller.h"
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
using Match = QVector<qint64>; // line number, column, length, position, hash of the line

QList<Match> findAllOf(LogViewController *view, const QString &keyword,
                       Qt::CaseSensitivity sensitivity)
{
    QList<Match> matches;
    bool ended = false;
    QObject receiver; // the connections end here
    QObject::connect(view, &LogViewController::foundBatch, &receiver, [&](const FoundBatch &batch) {
        for (const Finding &f : batch.findings)
            matches.append(Match{f.lineNumber, f.column, f.length, f.position,
                                 qint64(qHash(batch.lineText(f.lineNumber)))});
    });
    QObject::connect(view, &LogViewController::end, &receiver, [&] { ended = true; });
    view->findAll(keyword, sensitivity);
    if (!QTest::qWaitFor([&] { return ended; }, 10000))
        matches.append(Match{-1}); // never ended: differs from any real answer
    return matches;
}
} // namespace

class TestLineSources : public QObject
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

    void sameTextStepsFindAllAndCopy_data()
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
    // and answers the same in both views; find-all reports the same matches, and a copy of the
    // whole text is the same.
    void sameTextStepsFindAllAndCopy()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(load(bytes));
        QCOMPARE(large->store().lineCount(), qint64(edit->blockCount()));
        for (int line = 0; line < edit->blockCount(); ++line)
            QCOMPARE(large->store().lineText(line),
                     edit->document()->findBlockByNumber(line).text());

        QRandomGenerator random(11);
        const int end = edit->document()->characterCount() - 1;
        large->controller()->searchState()->clearNotFoundText();
        edit->controller()->searchState()->clearNotFoundText();
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
            large->select(place, place, true);

            QSignalSpy editAnswer(edit->controller(), &LogViewController::searchFinished);
            QSignalSpy largeAnswer(large->controller(), &LogViewController::searchFinished);
            const SearchOptions options(nullptr, direction, mode, text);
            edit->controller()->search(options);
            large->controller()->search(options);
            QCOMPARE(largeAnswer.at(0).at(0).toBool(), editAnswer.at(0).at(0).toBool());
            QCOMPARE(position(qMin(large->anchorPosition(), large->caretPosition())),
                     qint64(edit->textCursor().selectionStart()));
            QCOMPARE(position(qMax(large->anchorPosition(), large->caretPosition())),
                     qint64(edit->textCursor().selectionEnd()));
            QCOMPARE(large->controller()->searchState()->notFoundText,
                     edit->controller()->searchState()->notFoundText);
        }
        for (const QString keyword : {"ab", "AB", "\u00e4", "x "}) {
            for (const auto sensitivity : {Qt::CaseSensitive, Qt::CaseInsensitive})
                QCOMPARE(findAllOf(large->controller(), keyword, sensitivity),
                         findAllOf(edit->controller(), keyword, sensitivity));
        }
        for (QWidget *view :
             {static_cast<QWidget *>(edit.get()), static_cast<QWidget *>(large.get())}) {
            QApplication::clipboard()->clear();
            QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
            QCOMPARE(QApplication::clipboard()->text(), edit->toPlainText());
        }
    }

    // Caret keys along a line that the large view reads in parts, with surrogate pairs: the
    // caret and the selection land where the ordinary view puts them.
    void caretKeysAlongALongLine_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::newRow("over pairs from the start")
            << QStringList{"Right", "Right", "Right", "Left", "Left", "Left"};
        QTest::newRow("to the end and back") << QStringList{"End", "Left", "Left", "Right", "Home"};
        QTest::newRow("selecting to the end")
            << QStringList{"Right", "Shift+End", "Shift+Left", "Left", "Shift+Home"};
    }

    void caretKeysAlongALongLine()
    {
        QFETCH(QStringList, keys);
        const QByteArray line = QByteArray("\xF0\x9F\x98\x80word \xC3\xA9 ").repeated(7000);
        QVERIFY(load("short\n" + line + "\xF0\x9F\x98\x80\nend\n"));
        QTextCursor cursor(edit->document()->findBlockByNumber(1));
        edit->setTextCursor(cursor);
        large->select({1, 0}, {1, 0}, true);
        for (const QString &key : keys) {
            for (QWidget *view :
                 {static_cast<QWidget *>(edit.get()), static_cast<QWidget *>(large.get())})
                QTest::keySequence(view, QKeySequence::fromString(key));
            QCOMPARE(position(large->caretPosition()), qint64(edit->textCursor().position()));
            QCOMPARE(position(large->anchorPosition()), qint64(edit->textCursor().anchor()));
        }
    }

    void typingLeavesALargeLogAlone()
    {
        QVERIFY(load("line1\nline 2\n"));
        QTest::keyClicks(large.get(), QStringLiteral("ab"));
        QTest::keyClick(large.get(), Qt::Key_Backspace);
        QTest::keyClick(large.get(), Qt::Key_Delete);
        QCOMPARE(large->store().lineText(0), QStringLiteral("line1"));
        QCOMPARE(large->caretPosition(), TextPosition());
    }
};

QTEST_MAIN(TestLineSources)
#include "tst_linesources.moc"
