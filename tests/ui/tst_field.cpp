#include "app/applicationsettings.h"
#include "tests/testsupport.h"
#include "ui/field.h"
#include "ui/telvane.h"
#include "view/visualizedtextarea.h"
#include "view/visualizedtextedit.h"

#include <QComboBox>
#include <QFrame>
#include <QPlainTextEdit>
#include <QSlider>
#include <QSplitter>
#include <QTemporaryDir>
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

    QString writeFile(const QString &path, const QByteArray &content)
    {
        return testsupport::writeFile(path, content) ? QFileInfo(path).absoluteFilePath()
                                                     : QString();
    }

    QString writeLog(const QString &name, const QByteArray &content)
    {
        return writeFile(folder + name, content);
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
        QDir().mkpath(folder);
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

    void frameShowsActiveState()
    {
        Field field(nullptr, QString());
        auto *frame = field.findChild<QFrame *>(QStringLiteral("frame"));
        QCOMPARE(frame->styleSheet(), QStringLiteral("#frame{ border: 2px solid lightgray; }"));
        QVERIFY(!field.isActive());
        field.show();
        QTest::mouseClick(field.findChild<QWidget *>(QStringLiteral("pushButtonReload")),
                          Qt::LeftButton);
        QVERIFY(field.isActive());
        QCOMPARE(frame->styleSheet(), QStringLiteral("#frame{ border: 2px solid orange; }"));
        field.setActive(false);
        QCOMPARE(frame->styleSheet(), QStringLiteral("#frame{ border: 2px solid lightgray; }"));
    }

    void focusActivates()
    {
        Field field(nullptr, QString());
        field.show();
        QVERIFY(QTest::qWaitForWindowActive(&field));
        field.findChild<QPlainTextEdit *>(QStringLiteral("selectedLineDetailsEdit"))->setFocus();
        QTRY_VERIFY(field.isActive());
    }

    void emptyNameListsFolderWithoutOpening()
    {
        QDir().mkpath(folder);
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

    void unopenableFilesLeaveAnEmptyView_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing") << "missing";
        QTest::newRow("directory") << "directory";
        QTest::newRow("fifo") << "fifo";
        QTest::newRow("empty name") << "empty";
    }

    void unopenableFilesLeaveAnEmptyView()
    {
        QFETCH(QString, kind);
        QDir().mkpath(folder);
        const QString good = writeLog("good.log", "text\n");
        QString path;
        if (kind == "missing")
            path = folder + "missing.log";
        else if (kind == "directory")
            path = folder + "sub";
        else if (kind == "fifo")
            path = folder + "pipe";
        QDir().mkpath(folder + "sub");
        QCOMPARE(mkfifo(QFile::encodeName(folder + "pipe").constData(), 0600), 0);

        Field field(nullptr, good);
        QCOMPARE(field.textEdit()->toPlainText(), QStringLiteral("text\n"));
        // Opening must return at once, even for a FIFO nobody writes to.
        QVERIFY(!field.openFile(path));
        QVERIFY(field.textEdit()->toPlainText().isEmpty());
        QCOMPARE(field.fileName(), good);
        QCOMPARE(field.textEdit()->documentTitle(), path);
    }

    void openingAppendsAndSelects()
    {
        QDir().mkpath(folder);
        const QString listed = writeLog("listed.log", "listed\n");
        QTemporaryDir elsewhere;
        const QString outside = writeFile(elsewhere.filePath("outside.log"), "outside\n");
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
        const QString log = listed ? (QDir().mkpath(folder), writeLog("log.log", "a\n"))
                                   : writeFile(elsewhere.filePath("log.log"), "a\n");
        Field field(nullptr, QString());
        QSignalSpy loads(field.textEdit(), &QPlainTextEdit::textChanged);
        QVERIFY(field.openFile(log));
        QCOMPARE(loads.count(), 1);
        QCOMPARE(field.fileName(), log);
    }

    void reloadKeepsEntriesAndMovesToEnd()
    {
        QDir().mkpath(folder);
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
        QDir().mkpath(folder);
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
        QDir().mkpath(folder);
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
        QDir().mkpath(folder);
        ApplicationSettings::instance().setVisualizedAreaWidth(900);
        Field field(nullptr, writeLog("log.log", "[Comm] x\n"));
        field.resize(500, 600);
        field.show();
        QVERIFY(QTest::qWaitForWindowExposed(&field));
        VisualizedTextEdit *view = field.textEdit();
        QVERIFY(view->viewport()->width() >= VisualizedTextEdit::minimumTextWidth);
        QCOMPARE(view->visualizedTextWidget()->width(),
                 view->shownStripWidth(view->lineNumberAreaWidth()));
        QVERIFY(view->visualizedTextWidget()->width() > 0);
        QCOMPARE(slider(field)->value(), view->visualizedTextWidget()->width());
        QCOMPARE(ApplicationSettings::instance().visualizedAreaWidth(), 900);
    }

    void detailsPaneGetsItsShareOnShow()
    {
        Field field(nullptr, QString());
        field.resize(474, 629);
        field.show();
        QVERIFY(QTest::qWaitForWindowExposed(&field));
        QCOMPARE(field.findChild<QSplitter *>(QStringLiteral("splitter"))->sizes().last(), 150);
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
