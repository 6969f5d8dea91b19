// SPDX-License-Identifier: GPL-3.0-or-later
// Compressed logs through the panel: each format in both views, a zip's chooser, damaged and odd
// archives, the byte limit, reload, and the temporary files' lifetime.
#include "archive/unpackedlog.h"
#include "logstore/logstore.h"
#include "logview/logviewcontroller.h"
#include "searchcore/linesource.h"
#include "searchcore/searchoptions.h"
#include "tests/archive/packedarchive.h"
#include "tests/testsupport.h"
#include "tools/loggenerator.h"
#include "ui/archiveentrychooser.h"
#include "ui/field.h"
#include "ui/telvane.h"
#include "view/largelogview.h"

#include <QtTest>
#include <QtWidgets>
#include <memory>

namespace
{
constexpr qint64 ordinaryLimit = qint64(16) << 20;

QByteArray numberedLines(int count, const QByteArray &text)
{
    QByteArray log;
    for (int i = 1; i <= count; ++i)
        log += text + ' ' + QByteArray::number(i) + '\n';
    return log;
}

// What the panel shows, whichever view shows it.
QString shownText(const Field *field)
{
    const LineSource *lines = field->logView()->source();
    return lines->lineTexts(0, lines->lineCount()).join(QLatin1Char('\n'));
}

QString firstDifference(const QString &a, const QString &b)
{
    int i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i])
        ++i;
    return QStringLiteral("at %1 of %2/%3: [%4] vs [%5]")
        .arg(i)
        .arg(a.size())
        .arg(b.size())
        .arg(a.mid(qMax(0, i - 40), 80), b.mid(qMax(0, i - 40), 80));
}

QString asShown(const QByteArray &log)
{
    return QString::fromUtf8(log).remove(QLatin1Char('\r'));
}
} // namespace

class TestCompressed : public QObject
{
    Q_OBJECT

    QTemporaryDir tempRoot;
    std::unique_ptr<Telvane> window;
    int files = 0;

    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = tempRoot.filePath(QStringLiteral("%1-%2").arg(++files).arg(name));
        return testsupport::writeFile(path, bytes) ? path : QString();
    }

    QString writePacked(const QString &name, ArchiveFormat format,
                        const QVector<testsupport::PackedFile> &logs)
    {
        const QByteArray bytes = testsupport::packed(format, logs);
        return bytes.isEmpty() ? QString() : write(name, bytes);
    }

    Field *showWindow()
    {
        window = std::make_unique<Telvane>(false);
        window->resize(900, 640);
        window->show();
        return QTest::qWaitForWindowExposed(window.get()) ? window->panels().first() : nullptr;
    }

    static bool settled(const Field *field)
    {
        return !field->isUnpacking() && !field->logView()->source()->isLoading();
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(testsupport::useTempFolder(tempRoot));
    }

    void cleanup()
    {
        window.reset();
        testsupport::deleteClosed();
        Field::setLargeLogBytes(ordinaryLimit);
        UnpackedLog::setByteLimit(-1);
    }

    // Every format opens under the archive's name, in the ordinary view when small and in the
    // large-log view, unpacked into a file while it shows, when past the large-log limit.
    void formatsInBothViews_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<bool>("large");
        for (const ArchiveFormat format :
             {ArchiveFormat::Gzip, ArchiveFormat::Bzip2, ArchiveFormat::Xz, ArchiveFormat::Zstd,
              ArchiveFormat::Zip}) {
            for (const bool large : {false, true})
                QTest::newRow(qPrintable(archiveFormatName(format) +
                                         (large ? QStringLiteral(", large") : QString())))
                    << int(format) << large;
        }
    }

    void formatsInBothViews()
    {
        QFETCH(int, format);
        QFETCH(bool, large);
        const QByteArray log = generatedLog(3000, 5) + "2020-12-16 last line needle\r\n";
        if (large)
            Field::setLargeLogBytes(log.size() / 10);
        const QString path = writePacked(QStringLiteral("session.log.packed"),
                                         ArchiveFormat(format), {{"session.log", log}});
        QVERIFY(!path.isEmpty());
        Field *field = showWindow();
        QVERIFY(field);
        QVERIFY(field->openFile(path));
        QCOMPARE(field->largeLogView() != nullptr, large);
        QTRY_VERIFY(settled(field));
        // Both views open at the first line, also while the rest is unpacked.
        QCOMPARE(field->view()->caretPosition().line, qint64(0));
        QVERIFY2(shownText(field) == asShown(log),
                 qPrintable(firstDifference(shownText(field), asShown(log))));
        QCOMPARE(field->fileName(), path);
        QCOMPARE(field->logView()->source()->title(), path);
        QCOMPARE(field->noteText(), QString());
        QCOMPARE(field->unpackedFile().isEmpty(), !large);
        QVERIFY(field->unpackedFile().isEmpty() ||
                field->unpackedFile().startsWith(UnpackedLog::folder()));
        QVERIFY(!field->followAction()->isEnabled());
        QCOMPARE(field->followAction()->text(), QStringLiteral("Follow (not for compressed logs)"));
        QVERIFY(field->visualizedTextAreaWidth() > 0);

        // Saving a selection writes the unpacked lines, not the archive's bytes.
        field->view()->select({2998, 0}, {2999, 4}, true);
        const QString saved = tempRoot.filePath(QStringLiteral("saved-%1.log").arg(format));
        QVERIFY(field->logView()->saveSelection(saved));
        QTRY_VERIFY(field->noteText().startsWith(QStringLiteral("Saved 2 lines")));
        QFile savedFile(saved);
        QVERIFY(savedFile.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = log.split('\n');
        QCOMPARE(savedFile.readAll(), lines.at(2998) + '\n' + lines.at(2999) + '\n');

        QSignalSpy answers(field, &Field::searchFinished);
        field->setActive(true);
        field->search(SearchOptions(nullptr, FindNext, PlainText, QStringLiteral("needle")));
        QCOMPARE(answers.takeLast().at(0).toBool(), true);
        QCOMPARE(field->view()->caretPosition().line, qint64(3000));

        // A plain log after it can be followed again.
        QVERIFY(field->openFile(write(QStringLiteral("plain.log"), "plain\n")));
        QVERIFY(field->followAction()->isEnabled());
        QCOMPARE(field->followAction()->text(), QStringLiteral("Follow"));
    }

    void zipWithTwoLogs()
    {
        const QByteArray first = numberedLines(5, "first");
        const QByteArray second = numberedLines(7, "second");
        const QString path = writePacked(QStringLiteral("logs.zip"), ArchiveFormat::Zip,
                                         {{"a.log", first}, {"dir/b.log", second}});
        Field *field = showWindow();
        QVERIFY(field);
        QVERIFY(field->openFile(path));
        ArchiveEntryChooser *chooser = field->archiveEntryChooser();
        QVERIFY(chooser);
        QTRY_VERIFY(chooser->isVisible());
        QTest::keyClick(chooser->entryList(), Qt::Key_Escape);
        QTRY_VERIFY(!field->archiveEntryChooser());
        QCOMPARE(field->noteText(),
                 QStringLiteral("No log of the archive was chosen; Reload lists them again."));

        QVERIFY(field->reload());
        chooser = field->archiveEntryChooser();
        QVERIFY(chooser);
        QListWidget *list = chooser->entryList();
        QCOMPARE(list->count(), 2);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          list->visualItemRect(list->item(1)).center());
        QTest::mouseClick(chooser->openButton(), Qt::LeftButton);
        QTRY_COMPARE(window->panels().size(), 2);
        Field *other = window->panels().at(1);
        QTRY_VERIFY(settled(field) && settled(other));
        QCOMPARE(shownText(field), asShown(first));
        QCOMPARE(shownText(other), asShown(second));
        QCOMPARE(other->fileName(), path);
        QCOMPARE(other->logView()->source()->title(), path + QStringLiteral("/dir/b.log"));

        // Reload keeps to the panel's log without asking again.
        QVERIFY(other->reload());
        QVERIFY(!other->archiveEntryChooser());
        QCOMPARE(shownText(other), asShown(second));
    }

    // Damaged, oversized and odd archives: what could be unpacked shows, with a note saying why.
    void damagedAndOddArchives_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<qint64>("largeLimit");
        QTest::addColumn<qint64>("byteLimit");
        QTest::addColumn<qint64>("shownBytes"); // -1: some, not all, of `log`
        QTest::addColumn<QString>("note");

        // Random letters compress badly, so that half the archive holds a good part of them.
        QByteArray random;
        QRandomGenerator generator(20201216);
        for (int i = 0; i < 20000; ++i) {
            for (int c = 0; c < 60; ++c)
                random += char('a' + generator.bounded(26));
            random += '\n';
        }
        const QByteArray gzip = testsupport::packed(ArchiveFormat::Gzip, {{"log", random}});
        const QByteArray cut = gzip.left(gzip.size() / 2);
        const QString damaged =
            QStringLiteral("Only part of the log could be unpacked. The archive "
                           "could not be read to its end: ");
        QTest::newRow("truncated gzip")
            << cut << random << ordinaryLimit << qint64(-1) << qint64(-1) << damaged;
        QTest::newRow("truncated gzip, large view")
            << cut << random << qint64(100000) << qint64(-1) << qint64(-1) << damaged;

        const QByteArray zeros = QByteArray(99, '0') + '\n';
        const QByteArray bomb =
            testsupport::packed(ArchiveFormat::Zip, {{"bomb.log", zeros.repeated(160000)}});
        const QString limited = QStringLiteral(
            "Only part of the log was unpacked, up to the limit of 20 times the free space of "
            "the temporary folder. The archive unpacks to more than 2000000 bytes; unpacking "
            "stopped there");
        QTest::newRow("zip bomb") << bomb << zeros.repeated(160000) << ordinaryLimit
                                  << qint64(2000000) << qint64(2000000) << limited;
        QTest::newRow("zip bomb, large view") << bomb << zeros.repeated(160000) << qint64(100000)
                                              << qint64(2000000) << qint64(2000000) << limited;

        const QByteArray plain = "plain text in a file named .gz\n";
        QTest::newRow("plain text named .gz")
            << plain << plain << ordinaryLimit << qint64(-1) << qint64(plain.size()) << QString();
        QTest::newRow("empty gzip")
            << testsupport::packed(ArchiveFormat::Gzip, {{"log", {}}}) << QByteArray()
            << ordinaryLimit << qint64(-1) << qint64(0) << QString();
        QTest::newRow("empty zip")
            << testsupport::packed(ArchiveFormat::Zip, {}) << QByteArray() << ordinaryLimit
            << qint64(-1) << qint64(0) << QStringLiteral("The archive holds no files.");
    }

    void damagedAndOddArchives()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, log);
        QFETCH(qint64, largeLimit);
        QFETCH(qint64, byteLimit);
        QFETCH(qint64, shownBytes);
        QFETCH(QString, note);
        Field::setLargeLogBytes(largeLimit);
        UnpackedLog::setByteLimit(byteLimit);
        const QString path = write(QStringLiteral("log.gz"), file);
        Field *field = showWindow();
        QVERIFY(field);
        QVERIFY(field->openFile(path));
        QTRY_VERIFY(settled(field));
        QCOMPARE(field->view()->caretPosition().line, qint64(0));
        QVERIFY2(field->noteText().startsWith(note) &&
                     (note.isEmpty() == field->noteText().isEmpty()),
                 qPrintable(field->noteText()));
        const QString shown = shownText(field);
        if (shownBytes >= 0) {
            QCOMPARE(shown, asShown(log.left(int(shownBytes))));
        } else {
            QVERIFY(shown.size() > 1000);
            QVERIFY(shown.size() < log.size() - 1000);
            QVERIFY(asShown(log).startsWith(shown));
        }
        if (byteLimit >= 0 && !field->unpackedFile().isEmpty())
            QCOMPARE(QFileInfo(field->unpackedFile()).size(), byteLimit);
        QCOMPARE(field->followAction()->isEnabled(), file.startsWith("plain"));
    }

    // The first screen shows while the rest is unpacked; the file goes with its panel.
    void largeLogShowsWhileUnpacking()
    {
        const QByteArray log = generatedLog(100000, 9);
        Field::setLargeLogBytes(1 << 20);
        const QString path =
            writePacked(QStringLiteral("big.log.xz"), ArchiveFormat::Xz, {{"big.log", log}});
        Field *field = showWindow();
        QVERIFY(field);
        QVERIFY(field->openFile(path));
        QVERIFY(field->largeLogView());
        QVERIFY(field->isUnpacking());
        QVERIFY2(field->noteText().startsWith(QStringLiteral("Unpacking... ")),
                 qPrintable(field->noteText()));
        const QString file = field->unpackedFile();
        QVERIFY(QFileInfo(file).fileName().startsWith(
            QString::number(QCoreApplication::applicationPid()) + QLatin1Char('-')));
        QTRY_VERIFY(field->logView()->source()->lineCount() > 1000);
        QTRY_VERIFY(settled(field));
        QCOMPARE(field->view()->caretPosition().line, qint64(0));
        QCOMPARE(field->logView()->source()->lineCount(), qint64(100001));
        QCOMPARE(shownText(field), asShown(log));
        QCOMPARE(field->noteText(), QString());

        QTest::mouseClick(field->closeButton(), Qt::LeftButton);
        testsupport::deleteClosed();
        QVERIFY(!QFile::exists(file));
    }

    void reloadUnpacksAgainWhenChanged()
    {
        Field::setLargeLogBytes(10);
        const QString path = writePacked(QStringLiteral("log.gz"), ArchiveFormat::Gzip,
                                         {{"log", numberedLines(20, "old")}});
        Field *field = showWindow();
        QVERIFY(field);
        QVERIFY(field->openFile(path));
        QTRY_VERIFY(settled(field));
        const QString first = field->unpackedFile();
        QVERIFY(field->reload());
        QCOMPARE(field->unpackedFile(), first);

        QVERIFY(testsupport::writeFile(
            path, testsupport::packed(ArchiveFormat::Gzip, {{"log", numberedLines(30, "new")}})));
        QVERIFY(field->reload());
        QTRY_VERIFY(settled(field));
        QCOMPARE(shownText(field), asShown(numberedLines(30, "new")));
        QVERIFY(field->unpackedFile() != first);
        QVERIFY(!QFile::exists(first));
        const QString second = field->unpackedFile();
        window.reset();
        QVERIFY(!QFile::exists(second));
    }

    // A run that ended without removing its files leaves them to the next start.
    void staleFilesGoAtStart()
    {
        QProcess ended;
        ended.start(QStringLiteral("true"), QStringList());
        QVERIFY(ended.waitForStarted());
        const qint64 deadPid = ended.processId();
        QVERIFY(ended.waitForFinished());
        const QDir folder(UnpackedLog::folder());
        QVERIFY(folder.mkpath(QStringLiteral(".")));
        const QString stale = folder.filePath(QStringLiteral("%1-1-old.log").arg(deadPid));
        const QString live = folder.filePath(
            QStringLiteral("%1-1-open.log").arg(QCoreApplication::applicationPid()));
        const QString other = folder.filePath(QStringLiteral("notes.txt"));
        for (const QString &file : {stale, live, other})
            QVERIFY(testsupport::writeFile(file, "x\n"));

        // Its own settings and display, also when this test runs outside CTest.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("HOME"), tempRoot.filePath(QStringLiteral("home")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           tempRoot.filePath(QStringLiteral("config")));
        QProcess viewer;
        viewer.setProcessEnvironment(environment);
        viewer.start(qEnvironmentVariable("TELVANE_BINARY_DIR") + QStringLiteral("/bin/telvane"),
                     QStringList());
        QVERIFY(viewer.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(stale), 20000);
        viewer.kill();
        viewer.waitForFinished();
        QVERIFY(QFile::exists(live));
        QVERIFY(QFile::exists(other));
    }
};

QTEST_MAIN(TestCompressed)
#include "tst_compressed.moc"
