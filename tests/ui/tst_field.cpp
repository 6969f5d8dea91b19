// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/applicationsettings.h"
#include "tests/testsupport.h"
#include "ui/field.h"
#include "ui/telvane.h"
#include "view/visualizedtextarea.h"
#include "view/visualizedtextedit.h"

#include <QtTest>
#include <QtWidgets>
#include <sys/stat.h>

namespace
{
QComboBox *comboBox(const Field &field)
{
    return field.findChild<QComboBox *>(QStringLiteral("fileNameInput"));
}

QSlider *slider(const Field &field)
{
    return field.findChild<QSlider *>(QStringLiteral("visualizedAreaWidthSlider"));
}

QStringList comboEntries(const Field &field)
{
    QStringList entries;
    for (int i = 0; i < comboBox(field)->count(); ++i)
        entries << comboBox(field)->itemData(i).toString();
    return entries;
}
} // namespace

class TestField : public QObject
{
    Q_OBJECT

    QTemporaryDir tempRoot;
    QString folder;

    // A file in the log folder, or under `dir` when given; its absolute path.
    QString writeLog(const QString &name, const QByteArray &content,
                     const QTemporaryDir *dir = nullptr)
    {
        const QString path = dir ? dir->filePath(name) : folder + name;
        QDir().mkpath(QFileInfo(path).path());
        return testsupport::writeFile(path, content) ? QFileInfo(path).absoluteFilePath()
                                                     : QString();
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(testsupport::useTempFolder(tempRoot));
        folder = Field::logFolder();
        QVERIFY(folder.startsWith(QDir::tempPath()));
        QVERIFY(folder.endsWith(QStringLiteral("/Velmora Drives/Brantel/")));
    }

    void init()
    {
        QDir(folder).removeRecursively();
        ApplicationSettings::instance().clear();
    }

    // The details pane follows the log shown, also one without telegrams and thus no strip.
    void detailsFollowTheShownLog()
    {
        const QString telegrams =
            writeLog(QStringLiteral("a.log"), "x\n[Comm] Request to slave 3: [FF 01 00 01 10 01 03 "
                                              "E8 00 00]\ny\n");
        const QString plain = writeLog(QStringLiteral("b.log"), "one\ntwo\nthree\nfour\n");
        Field field(nullptr, telegrams);
        field.resize(700, 500);
        field.show();
        QVERIFY(QTest::qWaitForWindowExposed(&field));
        auto *details =
            field.findChild<QPlainTextEdit *>(QStringLiteral("selectedLineDetailsEdit"));
        VisualizedTextEdit *view = field.textEdit();
        view->setTextCursor(QTextCursor(view->document()->findBlockByNumber(1)));
        QTRY_VERIFY(details->toPlainText().startsWith(QStringLiteral("Line 2 data: DPV1 ")));

        comboBox(field)->setCurrentIndex(comboBox(field)->findData(plain));
        QCOMPARE(view->visualizedTextAreaWidth(), 0);
        const QRect row = view->cursorRect(QTextCursor(view->document()->findBlockByNumber(2)));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
        QTRY_COMPARE(details->toPlainText(), QStringLiteral("Line 3: three"));
    }

    // A click on the panel's controls or the focus in it makes it active; the frame shows it.
    void activation()
    {
        Field field(nullptr, QString());
        auto *frame = field.findChild<QFrame *>(QStringLiteral("frame"));
        QVERIFY(!field.isActive() && frame->styleSheet().contains("lightgray"));
        field.show();
        QTest::mouseClick(field.findChild<QWidget *>("pushButtonReload"), Qt::LeftButton);
        QVERIFY(field.isActive() && frame->styleSheet().contains("orange"));
        field.setActive(false);
        QVERIFY(!field.isActive() && frame->styleSheet().contains("lightgray"));
        field.findChild<QPlainTextEdit *>("selectedLineDetailsEdit")->setFocus();
        QVERIFY(QTest::qWaitForWindowActive(&field));
        QTRY_VERIFY(field.isActive());
    }

    void emptyNameListsFolderWithoutOpening()
    {
        writeLog("a.log", "alpha\n");
        writeLog("b.log", "beta\n");
        Field field(nullptr, QString());
        const QFileInfoList listed =
            QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::NoSort);
        QCOMPARE(comboEntries(field).size(), 2);
        QCOMPARE(field.fileName(), listed.first().absoluteFilePath());
        QVERIFY(field.textEdit()->toPlainText().isEmpty());
    }

    void emptyFolderGivesEmptyName()
    {
        Field field(nullptr, QStringLiteral("/nonexistent/file.log"));
        QCOMPARE(comboBox(field)->count(), 0);
        QCOMPARE(field.fileName(), QString());
    }

    // A file that does not open leaves an empty view under its name; the panel keeps its file.
    void unopenableFileLeavesAnEmptyView()
    {
        const QString good = writeLog("good.log", "text\n");
        Field field(nullptr, good);
        QCOMPARE(field.textEdit()->toPlainText(), QStringLiteral("text\n"));
        for (const QString &path : {folder + "missing.log", QString()}) {
            QVERIFY(!field.openFile(path));
            QVERIFY(field.textEdit()->toPlainText().isEmpty());
            QCOMPARE(field.fileName(), good);
            QCOMPARE(field.textEdit()->documentTitle(), path);
        }
    }

    void openingAppendsAndSelects()
    {
        const QString listed = writeLog("listed.log", "listed\n");
        QTemporaryDir elsewhere;
        const QString outside = writeLog("outside.log", "outside\n", &elsewhere);
        Field field(nullptr, QString());
        QCOMPARE(comboEntries(field), QStringList{listed});
        QVERIFY(field.openFile(outside));
        QCOMPARE(comboEntries(field), (QStringList{listed, outside}));
        QCOMPARE(field.fileName(), outside);
        QCOMPARE(field.textEdit()->toPlainText(), QStringLiteral("outside\n"));

        // Choosing an entry opens it.
        comboBox(field)->setCurrentIndex(0);
        QCOMPARE(field.textEdit()->toPlainText(), QStringLiteral("listed\n"));
        QCOMPARE(field.textEdit()->documentTitle(), listed);
    }

    void openingLoadsTheFileOnce_data()
    {
        QTest::addColumn<bool>("listed");
        QTest::newRow("first entry of an empty list") << false;
        QTest::newRow("already listed") << true;
    }

    // Selecting the file's entry must not make the combo box load it a second time.
    void openingLoadsTheFileOnce()
    {
        QFETCH(bool, listed);
        QTemporaryDir elsewhere;
        const QString log = writeLog("log.log", "a\n", listed ? nullptr : &elsewhere);
        Field field(nullptr, QString());
        QSignalSpy loads(field.textEdit(), &QPlainTextEdit::textChanged);
        QVERIFY(field.openFile(log));
        QCOMPARE(loads.count(), 1);
        QCOMPARE(field.fileName(), log);
    }

    void reloadKeepsEntriesAndMovesToEnd()
    {
        const QString first = writeLog("first.log", "1\n2\n3\n");
        Field field(nullptr, first);
        writeLog("second.log", "new\n");
        QVERIFY(field.reload());
        QCOMPARE(comboEntries(field).size(), 2);
        QCOMPARE(field.fileName(), first);
        QVERIFY(field.textEdit()->textCursor().atEnd());

        // Entries never go away, even when their file does.
        QFile::remove(folder + "second.log");
        QVERIFY(field.reload());
        QCOMPARE(comboEntries(field).size(), 2);
        QVERIFY(field.textEdit()->textCursor().atEnd());
    }

    void openAndMoveToEndOnlyOnSuccess()
    {
        const QString log = writeLog("log.log", "a\nb\n");
        Field field(nullptr, QString());
        QVERIFY(field.openFileAndMoveCursorToEnd(log));
        QVERIFY(field.textEdit()->textCursor().atEnd());
        QVERIFY(!field.openFileAndMoveCursorToEnd(folder + "gone.log"));
    }

    void stripOnlyForTelegramLogs_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("telegramLog");
        QTest::newRow("telegram log") << QByteArray("x [Comm] [01 02]\n") << true;
        QTest::newRow("marker anywhere") << QByteArray("plain\nthen[Comm]") << true;
        QTest::newRow("other case") << QByteArray("x [comm] [01 02]\n") << false;
        QTest::newRow("plain text") << QByteArray("hello\n") << false;
    }

    void stripOnlyForTelegramLogs()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, telegramLog);
        ApplicationSettings::instance().setVisualizedAreaWidth(150);
        const QString log = writeLog("log.log", content);
        Field field(nullptr, QString());
        field.resize(600, 600);
        field.show();
        QVERIFY(QTest::qWaitForWindowExposed(&field));
        QVERIFY(field.openFile(log));
        QCOMPARE(field.textEdit()->visualizedTextAreaWidth(), telegramLog ? 150 : 0);
        QCOMPARE(slider(field)->value(), telegramLog ? 150 : slider(field)->minimum());
    }

    void sliderStoresPositiveWidths()
    {
        Field field(nullptr, QString());
        field.resize(600, 600);
        field.show();
        QVERIFY(QTest::qWaitForWindowExposed(&field));
        slider(field)->setValue(220);
        QCOMPARE(field.textEdit()->visualizedTextAreaWidth(), 220);
        QCOMPARE(ApplicationSettings::instance().visualizedAreaWidth(), 220);
        QCOMPARE(slider(field)->maximum(), field.textEdit()->width());
        slider(field)->setValue(0);
        QCOMPARE(field.textEdit()->visualizedTextAreaWidth(), 220);
        QCOMPARE(ApplicationSettings::instance().visualizedAreaWidth(), 220);
    }

    // A width stored by a wider view leaves some text visible, and stays stored.
    void storedWidthNeverHidesAllText()
    {
        ApplicationSettings::instance().setVisualizedAreaWidth(900);
        Field field(nullptr, writeLog("log.log", "[Comm] x\n"));
        field.resize(500, 600);
        field.show();
        QVERIFY(QTest::qWaitForWindowExposed(&field));
        VisualizedTextEdit *view = field.textEdit();
        QVERIFY(view->viewport()->width() >= VisualizedTextEdit::minimumTextWidth);
        QCOMPARE(view->visualizedTextWidget()->width(), view->shownStripWidth());
        QVERIFY(view->visualizedTextWidget()->width() > 0);
        QCOMPARE(slider(field)->value(), view->visualizedTextWidget()->width());
        QCOMPARE(ApplicationSettings::instance().visualizedAreaWidth(), 900);
    }

    void faultModeStripTakesHalfTheView()
    {
        ApplicationSettings::instance().setValue("FileNames", "a.log;b.log");
        Telvane window(true);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *field = window.findChild<Field *>();
        const int half = field->textEdit()->width() / 2;
        QTRY_COMPARE(field->textEdit()->visualizedTextAreaWidth(), half);
        QCOMPARE(ApplicationSettings::instance().visualizedAreaWidth(), half);
        window.resize(window.width() + 200, window.height());
        QTRY_COMPARE(field->textEdit()->visualizedTextAreaWidth(), field->textEdit()->width() / 2);
    }
};

QTEST_MAIN(TestField)
#include "tst_field.moc"
