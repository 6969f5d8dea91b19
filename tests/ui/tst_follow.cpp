// SPDX-License-Identifier: GPL-3.0-or-later
// Following a log while it is written, in both views: appends, the end kept or not, edits,
// truncation, replacement and a file that vanishes and comes back.
#include "logstore/logstore.h"
#include "logview/logviewcontroller.h"
#include "settings/applicationsettings.h"
#include "tests/testsupport.h"
#include "ui/field.h"
#include "view/largelogview.h"
#include "view/logviewwidget.h"
#include "view/visualizedtextedit.h"

#include <QAction>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <QtWidgets>

namespace
{
// A line long enough to send the log to the large-log view.
const QByteArray longLine = QByteArray(12000, 'x') + '\n';

bool append(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::Append) && file.write(bytes) == bytes.size();
}
} // namespace

class TestFollow : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    // The lines the panel shows, as text, whichever view shows them.
    static QStringList shownLines(const Field &field)
    {
        const LineSource *lines = field.logView()->source();
        return lines->lineTexts(0, lines->lineCount());
    }
    static void selectStartOfFirstLine(Field &field) { field.view()->select({0, 0}, {0, 3}, true); }
    static bool hasSelection(const Field &field)
    {
        return field.view()->anchorPosition() != field.view()->caretPosition();
    }
    static qint64 caretLine(const Field &field) { return field.view()->caretPosition().line; }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(testsupport::useTempFolder(dir));
    }

    void follows_data()
    {
        QTest::addColumn<bool>("large");
        QTest::addColumn<bool>("atEnd");
        QTest::newRow("ordinary view, caret at the end") << false << true;
        QTest::newRow("ordinary view, caret above") << false << false;
        QTest::newRow("large-log view, caret at the end") << true << true;
        QTest::newRow("large-log view, caret above") << true << false;
    }

    void follows()
    {
        QFETCH(bool, large);
        QFETCH(bool, atEnd);
        const QString path = dir.filePath(QStringLiteral("follow.log"));
        const QByteArray start = (large ? longLine : QByteArray()) + "one\ntwo\n";
        QVERIFY(testsupport::writeFile(path, start));
        Field field(nullptr, QString());
        field.resize(600, 400);
        field.show();
        QVERIFY(field.openFileAndMoveCursorToEnd(path));
        QCOMPARE((field.largeLogView() != nullptr), large);
        if (large)
            QTRY_VERIFY(!field.largeLogView()->isIndexing());
        if (!atEnd) {
            if (large)
                field.view()->select({0, 0}, {0, 0}, true);
            else
                field.textEdit()->setTextCursor(QTextCursor(field.textEdit()->document()));
        }
        QVERIFY(!field.isFollowing());
        field.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&field)); // F10 is a shortcut of the window's panel
        QTest::keyClick(&field, Qt::Key_F10);
        QVERIFY2(field.isFollowing(), qPrintable(field.noteText()));

        // A line in two writes, then a received telegram whose three lines come one by one.
        QVERIFY(append(path, "thr"));
        QVERIFY(append(path, "ee\n"));
        QTRY_COMPARE(shownLines(field).mid(shownLines(field).size() - 2),
                     (QStringList{"three", ""}));
        QVERIFY(shownLines(field).contains(QStringLiteral("two")));
        QCOMPARE(caretLine(field), atEnd ? shownLines(field).size() - 1 : 0);

        // Shrinking reads the file anew.
        QVERIFY(testsupport::writeFile(path, start.left(start.size() - 4)));
        const auto lastTwo = [&] { return shownLines(field).mid(shownLines(field).size() - 2); };
        QTRY_COMPARE(lastTwo(), (QStringList{"one", ""}));
        // Gone: the lines stay. Back as the same file: only what it gained meanwhile comes, so
        // a selection survives (reading anew would drop it).
        if (!atEnd)
            selectStartOfFirstLine(field);
        QVERIFY(QFile::rename(path, path + ".away"));
        QTRY_VERIFY(!field.noteText().isEmpty());
        QCOMPARE(lastTwo(), (QStringList{"one", ""}));
        QVERIFY(append(path + ".away", "again\n"));
        QVERIFY(QFile::rename(path + ".away", path));
        QTRY_COMPARE(lastTwo(), (QStringList{"again", ""}));
        QVERIFY(field.noteText().isEmpty());
        QCOMPARE(hasSelection(field), !atEnd);
        // Another file of that name: read anew.
        QVERIFY(QFile::remove(path));
        QVERIFY(testsupport::writeFile(path, start + "back\n"));
        QTRY_VERIFY_WITH_TIMEOUT(shownLines(field).contains(QStringLiteral("back")), 5000);
        QVERIFY(!shownLines(field).contains(QStringLiteral("again")));

        // Off: nothing more arrives.
        field.followAction()->setChecked(false);
        QVERIFY(append(path, "later\n"));
        QTest::qWait(1200);
        QVERIFY(!shownLines(field).contains(QStringLiteral("later")));
    }

    // A log read anew with a gutter of other width is no edit: following goes on.
    void shrinkToFewerDigitsKeepsFollowing()
    {
        const QString path = dir.filePath(QStringLiteral("shrunk.log"));
        QVERIFY(testsupport::writeFile(path, QByteArray("line\n").repeated(1000)));
        Field field(nullptr, path);
        field.show();
        field.followAction()->setChecked(true);
        QVERIFY(testsupport::writeFile(path, "one\n"));
        QTRY_COMPARE(shownLines(field), (QStringList{"one", ""}));
        QVERIFY2(field.isFollowing(), qPrintable(field.noteText()));
        QVERIFY(append(path, "two\n"));
        QTRY_COMPARE(shownLines(field), (QStringList{"one", "two", ""}));
    }

    // Typing into the ordinary view stops following and says so.
    void editStopsFollowing()
    {
        const QString path = dir.filePath(QStringLiteral("edited.log"));
        QVERIFY(testsupport::writeFile(path, "one\n"));
        Field field(nullptr, path);
        field.show();
        field.followAction()->setChecked(true);
        QTest::keyClicks(field.textEdit(), QStringLiteral("x"));
        QVERIFY(!field.isFollowing());
        QVERIFY(!field.noteText().isEmpty());
        QVERIFY(append(path, "two\n"));
        QTest::qWait(1200);
        QVERIFY(!field.textEdit()->toPlainText().contains(QStringLiteral("two")));
    }
};

QTEST_MAIN(TestFollow)
#include "tst_follow.moc"
