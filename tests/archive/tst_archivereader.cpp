// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/archivereader.h"
#include "tests/archive/packedarchive.h"
#include "tests/testsupport.h"

#include <QBuffer>
#include <QtTest>

namespace
{
const QByteArray sampleLog = "2020-12-16 10:54:21.072 [Comm] Sent to COM3: "
                             "[02 0E 05 12 34 00 00 00 00 00 00 04 7F 00 00 54]\n"
                             "2020-12-16 10:54:21.089 [Comm] Received: [02]\n";
} // namespace

class TestArchiveReader : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;

    QString write(const QString &name, const QByteArray &content)
    {
        const QString path = dir.filePath(name);
        return testsupport::writeFile(path, content) ? path : QString();
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    // The format comes from the content: every name here says something else.
    void formats_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QByteArray>("content");

        const QByteArray big = sampleLog.repeated(5000);
        for (const ArchiveFormat format :
             {ArchiveFormat::Gzip, ArchiveFormat::Bzip2, ArchiveFormat::Xz, ArchiveFormat::Zstd}) {
            const QByteArray name = archiveFormatName(format).toUtf8();
            QTest::newRow(name) << int(format) << sampleLog;
            QTest::newRow(name + ", several chunks") << int(format) << big;
            QTest::newRow(name + ", empty stream") << int(format) << QByteArray();
        }
        QTest::newRow("plain") << int(ArchiveFormat::Plain) << sampleLog;
        QTest::newRow("plain, empty") << int(ArchiveFormat::Plain) << QByteArray();
        QTest::newRow("plain, looks like gzip at first")
            << int(ArchiveFormat::Plain) << QByteArray("\x1f\x8b");
    }

    void formats()
    {
        QFETCH(int, format);
        QFETCH(QByteArray, content);
        const auto expected = ArchiveFormat(format);
        const QByteArray bytes = expected == ArchiveFormat::Plain
                                     ? content
                                     : testsupport::packed(expected, {{"log", content}});
        QVERIFY(expected == ArchiveFormat::Plain || !bytes.isEmpty());
        const QString path = write(QStringLiteral("log.zip"), bytes);
        QCOMPARE(int(detectArchiveFormat(path)), format);
        const QVector<ArchiveEntry> entries = listArchiveEntries(path);
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries.at(0).name, QString());

        QBuffer out;
        out.open(QIODevice::WriteOnly);
        QVector<qint64> progress;
        UnpackOptions options;
        options.progress = [&progress](qint64, qint64 bytesOut) { progress << bytesOut; };
        const UnpackResult result = unpackArchiveEntry(path, 0, out, options);
        QCOMPARE(result.outcome, UnpackResult::Complete);
        QCOMPARE(result.error, QString());
        QCOMPARE(out.data(), content);
        QCOMPARE(result.bytesOut, content.size());
        QCOMPARE(progress.isEmpty() ? 0 : progress.last(), content.size());
        QCOMPARE(result.bytesIn, content.isEmpty() && expected != ArchiveFormat::Plain
                                     ? result.bytesIn
                                     : qint64(bytes.size()));
    }

    void zipWithTwoLogs()
    {
        const QByteArray second = sampleLog.repeated(3);
        const QString path =
            write(QStringLiteral("logs.gz"),
                  testsupport::packed(ArchiveFormat::Zip,
                                      {{"first.log", sampleLog}, {"dir/second.log", second}}));
        QCOMPARE(detectArchiveFormat(path), ArchiveFormat::Zip);
        const QVector<ArchiveEntry> entries = listArchiveEntries(path);
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries.at(0).name, QStringLiteral("first.log"));
        QCOMPARE(entries.at(1).name, QStringLiteral("dir/second.log"));
        QCOMPARE(entries.at(1).size, second.size());
        for (int index : {1, 0}) {
            QBuffer out;
            out.open(QIODevice::WriteOnly);
            QCOMPARE(unpackArchiveEntry(path, index, out).outcome, UnpackResult::Complete);
            QCOMPARE(out.data(), index == 0 ? sampleLog : second);
        }
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        const UnpackResult missing = unpackArchiveEntry(path, 2, out);
        QCOMPARE(missing.outcome, UnpackResult::Unreadable);
        QCOMPARE(missing.error, QStringLiteral("The archive has no file 3: it holds 2"));
    }

    void emptyZip()
    {
        const QString path =
            write(QStringLiteral("empty.zip"), testsupport::packed(ArchiveFormat::Zip, {}));
        QCOMPARE(detectArchiveFormat(path), ArchiveFormat::Zip);
        QString error;
        QVERIFY(listArchiveEntries(path, &error).isEmpty());
        QCOMPARE(error, QString());
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        const UnpackResult result = unpackArchiveEntry(path, 0, out);
        QCOMPARE(result.outcome, UnpackResult::Unreadable);
        QCOMPARE(result.error, QStringLiteral("The archive holds no files"));
    }

    // A cut-off archive gives what could be read, and says why it stopped.
    void damaged_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("cut"); // bytes cut off the end; 0: half of them

        QTest::newRow("gzip without its trailer") << int(ArchiveFormat::Gzip) << 6;
        for (const ArchiveFormat format :
             {ArchiveFormat::Gzip, ArchiveFormat::Bzip2, ArchiveFormat::Xz, ArchiveFormat::Zstd,
              ArchiveFormat::Zip})
            QTest::newRow(archiveFormatName(format).toUtf8() + " cut in the middle")
                << int(format) << 0;
    }

    void damaged()
    {
        QFETCH(int, format);
        QFETCH(int, cut);
        // Random letters compress badly, so that half the archive holds a good part of them.
        QByteArray content(512 << 10, Qt::Uninitialized);
        QRandomGenerator random(20201216);
        for (char &c : content)
            c = char('a' + random.bounded(26));
        const QByteArray whole = testsupport::packed(ArchiveFormat(format), {{"log", content}});
        const QString path = write(QStringLiteral("cut"),
                                   whole.left(cut > 0 ? whole.size() - cut : whole.size() / 2));
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        const UnpackResult result = unpackArchiveEntry(path, 0, out);
        QCOMPARE(result.outcome, UnpackResult::Damaged);
        QVERIFY2(result.error.startsWith("The archive could not be read to its end: "),
                 qPrintable(result.error));
        QVERIFY(!out.data().isEmpty());
        QVERIFY(out.data().size() < content.size());
        QVERIFY(content.startsWith(out.data()));
    }

    // A zip whose log unpacks to far more than it takes stops at the caller's limit.
    void bombStopsAtTheLimit()
    {
        const QByteArray huge(16 << 20, '0');
        const QString path = write(QStringLiteral("bomb.zip"),
                                   testsupport::packed(ArchiveFormat::Zip, {{"bomb.log", huge}}));
        QVERIFY(QFileInfo(path).size() < huge.size() / 100);
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        UnpackOptions options;
        options.byteLimit = 1 << 20;
        const UnpackResult result = unpackArchiveEntry(path, 0, out, options);
        QCOMPARE(result.outcome, UnpackResult::LimitReached);
        QCOMPARE(result.error, QStringLiteral("The archive unpacks to more than 1048576 bytes; "
                                              "unpacking stopped there"));
        QCOMPARE(out.data().size(), options.byteLimit);
        QCOMPARE(result.bytesOut, options.byteLimit);
    }

    void stopFlagAndFailedWrite()
    {
        const QString path =
            write(QStringLiteral("log.xz"),
                  testsupport::packed(ArchiveFormat::Xz, {{"log", sampleLog.repeated(20000)}}));
        std::atomic_bool stop{false};
        UnpackOptions options;
        options.stop = &stop;
        options.progress = [&stop](qint64, qint64) { stop = true; };
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        const UnpackResult stopped = unpackArchiveEntry(path, 0, out, options);
        QCOMPARE(stopped.outcome, UnpackResult::Stopped);
        QCOMPARE(stopped.bytesOut, out.data().size());
        QVERIFY(stopped.bytesOut > 0 && stopped.bytesOut < sampleLog.size() * 20000);

        QBuffer closed;
        const UnpackResult unwritten = unpackArchiveEntry(path, 0, closed);
        QCOMPARE(unwritten.outcome, UnpackResult::WriteFailed);
        QCOMPARE(unwritten.bytesOut, 0);
    }

    // A stopped unpacking goes on where it stopped, without a gap, when called again.
    void resumesAfterStop()
    {
        const QByteArray content = sampleLog.repeated(20000);
        const QString path = write(QStringLiteral("log.gz"),
                                   testsupport::packed(ArchiveFormat::Gzip, {{"log", content}}));
        ArchiveReader reader;
        ArchiveEntry entry;
        QVERIFY(reader.open(path) && reader.nextEntry(&entry));
        QByteArray out;
        const auto collect = [&out](const char *data, qint64 size) {
            out.append(data, int(size));
            return true;
        };
        std::atomic_bool stop{false};
        UnpackOptions options;
        options.stop = &stop;
        options.progress = [&stop](qint64, qint64) { stop = true; };
        QCOMPARE(reader.unpack(collect, options).outcome, UnpackResult::Stopped);
        QVERIFY(out.size() > 0 && out.size() < content.size());
        const UnpackResult rest = reader.unpack(collect);
        QCOMPARE(rest.outcome, UnpackResult::Complete);
        QCOMPARE(out.size(), content.size());
        QVERIFY(out == content);
    }

    void unreadable()
    {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        const UnpackResult missing = unpackArchiveEntry(dir.filePath("missing"), 0, out);
        QCOMPARE(missing.outcome, UnpackResult::Unreadable);
        QCOMPARE(missing.error, QStringLiteral("No such file or directory"));
        QString error;
        QCOMPARE(detectArchiveFormat(dir.path(), &error), ArchiveFormat::Plain);
        QCOMPARE(error, QStringLiteral("Is a directory"));
    }
};

QTEST_GUILESS_MAIN(TestArchiveReader)
#include "tst_archivereader.moc"
