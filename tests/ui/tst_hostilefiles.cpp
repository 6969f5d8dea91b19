// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/applicationsettings.h"
#include "logstore/logstore.h"
#include "tests/testsupport.h"
#include "ui/field.h"
#include "ui/telvane.h"
#include "view/largelogview.h"
#include "view/visualizedtextedit.h"

#include <QtTest>
#include <QtWidgets>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
QComboBox *comboBox(const Field &field)
{
    return field.findChild<QComboBox *>(QStringLiteral("fileNameInput"));
}

void writeFile(const QString &path, const QByteArray &content)
{
    QVERIFY(testsupport::writeFile(path, content));
}

QByteArray binaryDump()
{
    QByteArray bytes;
    for (int i = 0; i < 4096; ++i)
        bytes += char((i * 37) & 0xFF);
    bytes += QByteArray("\0\0[Comm] [02 0E\0 05]\n", 22);
    return bytes;
}
} // namespace

class TestHostileFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir tempRoot;
    QString folder;

    // Makes one hostile entry in the log folder and returns its path.
    QString makeEntry(const QString &kind)
    {
        const QString path = folder + kind;
        if (kind == "binary")
            writeFile(path, binaryDump());
        else if (kind == "invalid-utf8")
            writeFile(path, "caf\xe9 \xff\xfe [Comm] \xc3\x28 [01 02]\n\xed\xa0\x80 end\n");
        else if (kind == "empty")
            writeFile(path, QByteArray());
        else if (kind == "directory")
            QDir().mkpath(path);
        else if (kind == "fifo")
            mkfifo(QFile::encodeName(path).constData(), 0600);
        else if (kind == "symlink-loop")
            QFile::link(path, path);
        else if (kind == "dangling-symlink")
            QFile::link(folder + "nowhere", path);
        else if (kind == "unreadable")
            writeFile(path, "secret\n"), QFile::setPermissions(path, QFileDevice::WriteOwner);
        return path;
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(testsupport::useTempFolder(tempRoot));
        folder = Field::logFolder();
    }

    void init()
    {
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        ApplicationSettings::instance().clear();
        if (QTest::currentDataTag() == QByteArray("unreadable") && geteuid() == 0)
            QSKIP("running as root: a file without read permission is still readable");
    }

    void entriesOfTheLogFolder_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("opens");
        QTest::newRow("binary with NUL bytes") << "binary" << true;
        QTest::newRow("invalid UTF-8") << "invalid-utf8" << true;
        QTest::newRow("empty file") << "empty" << true;
        QTest::newRow("directory") << "directory" << false;
        QTest::newRow("fifo") << "fifo" << false;
        QTest::newRow("symlink loop") << "symlink-loop" << false;
        QTest::newRow("dangling symlink") << "dangling-symlink" << false;
        QTest::newRow("missing") << "missing" << false;
        QTest::newRow("unreadable") << "unreadable" << false;
    }

    // Every path a panel has to a file: the constructor, openFile, the combo box and Reload.
    void entriesOfTheLogFolder()
    {
        QFETCH(QString, kind);
        QFETCH(bool, opens);
        const QString path = makeEntry(kind);
        const QString plain = folder + "plain.log";
        writeFile(plain, "plain\n");

        Field field(nullptr, path);
        field.resize(500, 500);
        field.show();
        QVERIFY(QTest::qWaitForWindowExposed(&field));
        QCOMPARE(field.openFile(path), opens);
        QCOMPARE(field.reload(), field.fileName() == path ? opens : true);

        comboBox(field)->setCurrentIndex(comboBox(field)->findData(plain));
        QCOMPARE(field.textEdit()->toPlainText(), QStringLiteral("plain\n"));
        const int entry = comboBox(field)->findData(path);
        if (entry >= 0) {
            comboBox(field)->setCurrentIndex(entry);
            if (!opens)
                QVERIFY(field.textEdit()->toPlainText().isEmpty());
        }
        // Painting the result must not fail either.
        field.textEdit()->moveCursorToEnd();
        QVERIFY(!field.grab().isNull());

        // The same entry in the large-log view: an empty view or its lines, and it paints.
        LargeLogView large;
        large.resize(400, 300);
        large.show();
        QCOMPARE(large.openLog(path), opens);
        QTRY_VERIFY(!large.isIndexing());
        large.moveCursorToEnd();
        QVERIFY(large.store().lineCount() >= 1);
        QVERIFY(!large.grab().isNull());
    }

    void fileDeletedBetweenListingAndOpening()
    {
        const QString doomed = folder + "doomed.log";
        writeFile(doomed, "short-lived\n");
        Field field(nullptr, QString());
        QCOMPARE(field.fileName(), doomed);
        QFile::remove(doomed);
        QVERIFY(!field.reload());
        QVERIFY(field.textEdit()->toPlainText().isEmpty());
        QCOMPARE(field.fileName(), doomed);
    }

    void oneHugeLineOpensQuickly()
    {
        const QString path = folder + "one-line.log";
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            const QByteArray block = QByteArray("[Comm] [02 0E 05] ").repeated(1000);
            while (file.size() < 50 * 1024 * 1024)
                file.write(block);
            file.write("needle");
        }
        Field field(nullptr, QString());
        field.resize(600, 400);
        field.show();
        QVERIFY(QTest::qWaitForWindowExposed(&field));
        QElapsedTimer timer;
        timer.start();
        QVERIFY(field.openFileAndMoveCursorToEnd(path));
        QVERIFY(field.largeLogView());
        QVERIFY(!field.grab().isNull()); // painted while indexing runs
        LargeLogView *view = field.largeLogView();
        QTRY_VERIFY(!view->isIndexing());
        // One line, as in the file, with the caret at its end and the end in view; a search
        // reaches that end.
        const LogStore &store = view->store();
        const int length = int(QFileInfo(path).size());
        QCOMPARE(store.lineCount(), 1);
        QCOMPARE(store.lineLength(0), length);
        QCOMPARE(store.longestLineLength(), length);
        QCOMPARE(store.lineText(0).size(), length);
        QCOMPARE(view->caretPosition().column, length);
        QCOMPARE(store.find("NEEDLE", Qt::CaseInsensitive, false, 0, 0, false).column, length - 6);
        QVERIFY(!field.grab().isNull());
        QVERIFY2(timer.elapsed() < 20000, // a guard against hangs, also under the sanitizers
                 qPrintable(QString::number(timer.elapsed())));
        QFile::remove(path);
    }

    void hostileSettingsStillStart_data()
    {
        QTest::addColumn<QVariant>("width");
        QTest::addColumn<QByteArray>("geometry");
        QTest::addColumn<int>("sessionSize");
        QTest::newRow("words") << QVariant("wide") << QByteArray("garbage") << 3;
        QTest::newRow("negative") << QVariant(-300) << QByteArray(1000, '\xff') << 3;
        QTest::newRow("huge") << QVariant(1000000000) << QByteArray() << 200;
    }

    void hostileSettingsStillStart()
    {
        QFETCH(QVariant, width);
        QFETCH(QByteArray, geometry);
        QFETCH(int, sessionSize);
        const QString log = folder + "telegrams.log";
        writeFile(log, "line [Comm] [FF 01 00 01 10 01 03 E8 00 00]\n");
        QStringList session{log, folder, QString()};
        while (session.size() < sessionSize)
            session << (session.size() % 2 ? folder : log);

        ApplicationSettings &settings = ApplicationSettings::instance();
        settings.setValue("VisualizedAreaWidth", width);
        settings.setValue("mainWindowGeometry", geometry);
        settings.setValue("FileNames", session.join(';'));
        settings.setValue("LastFileDialogPath", "/somewhere/else");
        {
            Telvane window(false);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QCOMPARE(window.findChildren<Field *>().size(), sessionSize);
            QVERIFY(!window.grab().isNull());
            QVERIFY(testsupport::closeInEventLoop(window));
        }
        // The stored session names what the panels show; the other values are left alone.
        const QStringList stored = settings.fileNames();
        QCOMPARE(stored.size(), sessionSize);
        QCOMPARE(stored.first(), log);
        QCOMPARE(settings.lastFileDialogPath(), QStringLiteral("/somewhere/else"));
        QVERIFY(!settings.mainWindowGeometry().isEmpty());
    }

    void decoderOnHostileFiles_data() { entriesOfTheLogFolder_data(); }

    // The decoder reads what a panel opens, and a FIFO as cat would; it names what it cannot.
    void decoderOnHostileFiles()
    {
        QFETCH(QString, kind);
        QFETCH(bool, opens);
        const QString path = makeEntry(kind);
        QProcess writer;
        if (kind == "fifo")
            writer.start("sh", {"-c", "printf 'x [Comm] [FF 02 00 01]\\n' > \"$0\"", path});
        const testsupport::ProcessRun result = testsupport::runDecoder({path});
        const bool read = opens || kind == "fifo";
        QCOMPARE(result.exitCode, read ? 0 : 1);
        QVERIFY2(read
                     ? result.err.isEmpty()
                     : result.err.startsWith("telvane-decode: cannot read " + path.toUtf8() + ": "),
                 result.err.constData());
        if (kind == "fifo") {
            QVERIFY(writer.waitForFinished(10000));
            QVERIFY2(result.out.startsWith("Line 1 data: DPV1 "), result.out.constData());
        }
    }
};

QTEST_MAIN(TestHostileFiles)
#include "tst_hostilefiles.moc"
