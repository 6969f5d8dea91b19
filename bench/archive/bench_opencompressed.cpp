// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a gzip-compressed 1,000,000-line log in a panel: the time until its first screen is
// painted and until it is unpacked and indexed whole, against `zcat FILE > /dev/null` of the
// same file in the same run.
#include "bench/benchsupport.h"
#include "logview/logviewcontroller.h"
#include "searchcore/linesource.h"
#include "ui/field.h"
#include "view/largelogview.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <archive.h>
#include <archive_entry.h>

using namespace bench;

namespace
{
const int runs = 5;
const QSize panelSize(1200, 900);

// `source` gzipped at the default level (as gzip does) by libarchive, read in chunks.
bool gzipFile(const QString &source, const QString &target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    struct archive *writer = archive_write_new();
    archive_write_add_filter_gzip(writer);
    archive_write_set_format_raw(writer);
    bool ok =
        archive_write_open_filename(writer, QFile::encodeName(target).constData()) == ARCHIVE_OK;
    struct archive_entry *entry = archive_entry_new();
    archive_entry_set_pathname(entry, "log");
    archive_entry_set_filetype(entry, AE_IFREG);
    archive_entry_set_size(entry, in.size());
    ok = ok && archive_write_header(writer, entry) == ARCHIVE_OK;
    archive_entry_free(entry);
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    for (qint64 got; ok && (got = in.read(chunk.data(), chunk.size())) > 0;)
        ok = archive_write_data(writer, chunk.constData(), size_t(got)) == got;
    ok = archive_write_close(writer) == ARCHIVE_OK && ok;
    archive_write_free(writer);
    return ok;
}

struct Opening {
    double firstScreen = 0;
    double complete = 0;
    qint64 lines = 0;
};

// Opens `path` in `field`: the first screen is painted once the large-log view has a screen of
// lines; complete once unpacking and indexing are done.
Opening open(Field &field, const QString &path)
{
    Opening result;
    QElapsedTimer timer;
    timer.start();
    field.openFile(path);
    const LineSource *lines = field.logView()->source();
    LogViewWidget *view = field.view();
    while (lines->lineCount() < view->visibleLineCount() + 1 && field.isUnpacking())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    view->widget()->repaint();
    result.firstScreen = timer.nsecsElapsed() / 1e6;
    while (field.isUnpacking() || lines->isLoading())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    result.complete = timer.nsecsElapsed() / 1e6;
    result.lines = lines->lineCount();
    return result;
}
// A gzipped 10M-line log (about 830 MB unpacked) in the large-log view, once: it opens, ends
// with the log's own last line, and Ctrl+End shows that line.
bool tenMillionLines(Field &field, const QTemporaryDir &dir, const QString &small)
{
    const int lines = 10 * bigLogLines;
    const QString plain = dir.filePath(QStringLiteral("generated-10m.log"));
    const QString packed = plain + QStringLiteral(".gz");
    if (!writeLog(plain, lines, 3) || !gzipFile(plain, packed))
        return false;
    QByteArray lastLine;
    {
        QFile file(plain);
        if (!file.open(QIODevice::ReadOnly) || !file.seek(file.size() - 4096))
            return false;
        const QList<QByteArray> tail = file.read(4096).split('\n');
        lastLine = tail.at(tail.size() - 2);
    }
    QFile::remove(plain);
    const double zcat = millisecondsOf([&] {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(QStringLiteral("zcat"), {packed});
        process.waitForFinished(600000);
    });
    const Opening opening = open(field, packed);
    LogViewWidget *view = field.view();
    view->widget()->setFocus();
    QTest::keyClick(view->widget(), Qt::Key_End, Qt::ControlModifier);
    const qint64 caretLine = view->caretPosition().line;
    const QString shown = field.logView()->source()->lineText(caretLine);
    const bool met =
        field.largeLogView() && opening.lines == lines + 1 && caretLine == lines &&
        field.logView()->source()->lineText(lines - 1) == QString::fromUtf8(lastLine) &&
        shown.isEmpty() && opening.firstScreen <= 500;
    std::printf("10M-line log gzipped (%.0f MB): first screen %.0f ms (limit 500), unpacked and "
                "indexed whole %.0f ms, floor: zcat %.0f ms, ratio %.2f; %lld lines, the last "
                "as written, Ctrl+End on line %lld: %s\n",
                QFileInfo(packed).size() / 1e6, opening.firstScreen, opening.complete, zcat,
                opening.complete / zcat, opening.lines, caretLine + 1, verdict(met));
    field.openFile(small);
    QFile::remove(packed);
    return met;
}
} // namespace

int main(int argc, char **argv)
{
    prepareGuiRun();
    QTemporaryDir dir;
    // The unpacked file and the settings stay in this folder.
    qputenv("TMPDIR", QFile::encodeName(dir.path()));
    keepSettingsIn(dir.filePath(QStringLiteral("config")));
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);

    const QString plain = dir.filePath(QStringLiteral("generated.log"));
    const QString packed = plain + QStringLiteral(".gz");
    const QString small = dir.filePath(QStringLiteral("small.log"));
    if (!writeLog(plain, bigLogLines, 1) || !writeLog(small, 10, 2))
        return 1;
    if (!gzipFile(plain, packed)) {
        std::fprintf(stderr, "cannot gzip %s\n", qPrintable(plain));
        return 1;
    }
    std::printf("%d-line log: %.1f MB, gzipped %.1f MB\n", bigLogLines,
                QFileInfo(plain).size() / 1e6, QFileInfo(packed).size() / 1e6);
    QFile::remove(plain);

    std::vector<double> zcatTimes, firstTimes, completeTimes;
    Field field(nullptr, QString());
    field.resize(panelSize);
    field.show();
    if (!QTest::qWaitForWindowExposed(&field))
        return 2;
    for (int run = 0; run < runs; ++run) {
        zcatTimes.push_back(millisecondsOf([&] {
            QProcess zcat;
            zcat.setStandardOutputFile(QProcess::nullDevice());
            zcat.start(QStringLiteral("zcat"), {packed});
            if (!zcat.waitForFinished(600000) || zcat.exitCode() != 0)
                std::fprintf(stderr, "zcat failed\n");
        }));
        const Opening opening = open(field, packed);
        if (!field.largeLogView() || opening.lines != bigLogLines + 1) {
            std::fprintf(stderr, "the panel shows %lld lines in the %s view\n", opening.lines,
                         field.largeLogView() ? "large-log" : "ordinary");
            return 3;
        }
        firstTimes.push_back(opening.firstScreen);
        completeTimes.push_back(opening.complete);
        // The unpacked file goes with the next log.
        field.openFile(small);
    }

    const double zcat = median(zcatTimes), first = median(firstTimes);
    const double complete = median(completeTimes);
    std::printf("open the .gz in a panel (large-log view), medians of %d runs:\n", runs);
    std::printf("  %-36s %7.0f ms\n", "floor: zcat > /dev/null", zcat);
    std::printf("  %-36s %7.0f ms (ratio to zcat %.2f)\n", "first screen painted", first,
                first / zcat);
    std::printf("  %-36s %7.0f ms (ratio to zcat %.2f)\n", "unpacked and indexed whole", complete,
                complete / zcat);
    std::printf("first screen: %.0f ms, target <= 500 ms: %s\n", first, verdict(first <= 500));
    QFile::remove(packed);
    return tenMillionLines(field, dir, small) && first <= 500 ? 0 : 1;
}
