// SPDX-License-Identifier: GPL-3.0-or-later
// A log that is one line of 50 MB in the large-log view, each figure against a floor measured in
// the same run: the first screen painted after opening (vs a chunked memchr pass over the file),
// the slowest of a set of keys with the repaints and details they cause (vs the same keys on a
// log of one 100-character line), and a step that finds nothing and one that finds a needle near
// the end (vs a chunked memmem pass over the file). The same for the line with NUL bytes, with
// invalid UTF-8 and with a CRLF end. TELVANE_BENCH_MB overrides the size, TELVANE_BENCH_VARIANT
// picks one of the four.
#include "bench/benchsupport.h"
#include "logstore/logstore.h"
#include "logview/logviewcontroller.h"
#include "searchcore/searchoptions.h"
#include "view/largelogview.h"

#include <QApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

using namespace bench;

namespace
{
const QByteArray needle = "NEEDLE-NEAR-THE-END";
const QByteArray absent = "no such text in the log";

// One line of about `size` bytes of telegram-like text; `variant` mixes in NUL bytes, invalid
// and valid UTF-8 above ASCII, or ends it with CRLF. The needle stands 1,000 bytes before the end.
QByteArray longLine(const QString &variant, qint64 size)
{
    QByteArray piece = "2020-12-16 10:54:21.021 [Comm] Sent to COM3 [01 02 03 04 05] motor speed "
                       "1500 rpm; ";
    if (variant == QLatin1String("NUL bytes"))
        piece += QByteArray("\0\0 ", 3);
    else if (variant == QLatin1String("invalid UTF-8"))
        piece += "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xFF\xE2\x82 ";
    QByteArray bytes;
    bytes.reserve(int(size + piece.size() + 2));
    while (bytes.size() < size - 1000)
        bytes += piece;
    bytes += needle;
    while (bytes.size() < size)
        bytes += piece;
    bytes.truncate(int(size));
    bytes += variant == QLatin1String("CRLF") ? "\r\n" : "\n";
    return bytes;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size())
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

// Reads the file in 1 MiB chunks and hands each to `scan`, with the last `keep` bytes of the
// chunk before it in front.
template <typename Scan> void readInChunks(const QString &path, size_t keep, Scan scan)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return;
    std::vector<char> buffer(keep + (size_t(1) << 20));
    size_t held = 0;
    for (ssize_t got; (got = ::read(fd, buffer.data() + held, size_t(1) << 20)) > 0;) {
        const size_t size = held + size_t(got);
        scan(buffer.data(), size);
        held = std::min(keep, size);
        std::memmove(buffer.data(), buffer.data() + size - held, held);
    }
    ::close(fd);
}

double memchrPass(const QString &path)
{
    return millisecondsOf([&] {
        qint64 lines = 0;
        readInChunks(path, 0, [&](const char *bytes, size_t size) {
            for (const char *at = bytes, *end = bytes + size;
                 (at = static_cast<const char *>(std::memchr(at, '\n', size_t(end - at)))); ++at)
                ++lines;
        });
        if (lines != 1)
            std::abort();
    });
}

double memmemPass(const QString &path)
{
    return millisecondsOf([&] {
        bool found = false;
        readInChunks(path, size_t(absent.size()), [&](const char *bytes, size_t size) {
            found = found || memmem(bytes, size, absent.constData(), size_t(absent.size()));
        });
        if (found)
            std::abort();
    });
}

// Runs what a key or a step left for the event loop (the details) and paints the view.
void settle(LargeLogView &view)
{
    QApplication::processEvents();
    view.viewport()->repaint();
    view.lineNumberWidget()->repaint();
    view.visualizedTextWidget()->repaint();
    QApplication::processEvents();
}

// Opens `path` and waits for its first screen: the line is whole once the index is complete.
double openAndPaint(LargeLogView &view, const QString &path)
{
    QElapsedTimer timer;
    timer.start();
    if (!view.openLog(path))
        std::abort();
    while (view.isIndexing())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    settle(view);
    return timer.nsecsElapsed() / 1e6;
}

struct Key {
    const char *name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
};
const Key keys[] = {
    {"Right", Qt::Key_Right, Qt::NoModifier},
    {"End", Qt::Key_End, Qt::NoModifier},
    {"Left", Qt::Key_Left, Qt::NoModifier},
    {"Home", Qt::Key_Home, Qt::NoModifier},
    {"Right", Qt::Key_Right, Qt::NoModifier},
    {"Down", Qt::Key_Down, Qt::NoModifier},
    {"Up", Qt::Key_Up, Qt::NoModifier},
    {"Shift+End", Qt::Key_End, Qt::ShiftModifier},
    {"Page Down", Qt::Key_PageDown, Qt::NoModifier},
    {"Ctrl+Home", Qt::Key_Home, Qt::ControlModifier},
};

// The slowest of the keys (each pressed three times, its slowest press counted), and its name.
double slowestKey(LargeLogView &view, const char **slowest)
{
    double worst = 0;
    for (int round = 0; round < 3; ++round) {
        for (const Key &key : keys) {
            const double ms = millisecondsOf([&] {
                QTest::keyClick(&view, key.key, key.modifiers);
                settle(view);
            });
            if (ms > worst) {
                worst = ms;
                *slowest = key.name;
            }
        }
    }
    return worst;
}

double step(LargeLogView &view, const QByteArray &text, bool *found)
{
    QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
    settle(view);
    bool result = false;
    const auto connection = QObject::connect(view.controller(), &LogViewController::searchFinished,
                                             [&](bool ok) { result = ok; });
    const double ms = millisecondsOf([&] {
        view.controller()->search(
            SearchOptions(nullptr, FindNext, PlainText, QString::fromLatin1(text)));
        settle(view);
    });
    QObject::disconnect(connection);
    *found = result;
    return ms;
}

void report(const char *what, double figure, double floor, double target)
{
    std::printf("    %-34s %8.1f ms  floor %7.1f ms  ratio %6.2f  target <= %3.0f ms: %s\n", what,
                figure, floor, figure / qMax(0.01, floor), target, verdict(figure <= target));
}
} // namespace

int main(int argc, char *argv[])
{
    prepareGuiRun();
    QApplication application(argc, argv);
    QTemporaryDir dir;
    keepSettingsIn(dir.filePath(QStringLiteral("config")));
    const qint64 size = qint64(sizeFromEnvironment("TELVANE_BENCH_MB", 50)) * 1000 * 1000;

    LargeLogView view;
    view.resize(1200, 900);
    view.setVisualizedTextAreaWidth(400);
    view.show();
    view.activateWindow();
    view.setFocus();
    if (!QTest::qWaitForWindowExposed(&view))
        return 1;

    // The floor of the keys: the same keys on a log of one short line.
    const QString shortPath = dir.filePath(QStringLiteral("short.log"));
    if (!writeFile(shortPath, QByteArray(100, 'x') + "\n"))
        return 1;
    openAndPaint(view, shortPath);
    const char *ignored = nullptr;
    slowestKey(view, &ignored); // warms up fonts and caches
    const double keyFloor = slowestKey(view, &ignored);

    bool allMet = true;
    const QByteArray only = qgetenv("TELVANE_BENCH_VARIANT");
    for (const char *variant : {"plain", "NUL bytes", "invalid UTF-8", "CRLF"}) {
        if (!only.isEmpty() && only != variant)
            continue;
        const QString path = dir.filePath(QStringLiteral("long.log"));
        if (!writeFile(path, longLine(QString::fromLatin1(variant), size)))
            return 1;
        std::printf("one line of %.0f MB, %s:\n", QFileInfo(path).size() / 1e6, variant);
        std::vector<double> opens, memchrs;
        for (int round = 0; round < 3; ++round) {
            memchrs.push_back(memchrPass(path));
            opens.push_back(openAndPaint(view, path));
        }
        const double open = median(opens);
        const char *slowest = nullptr;
        const double key = slowestKey(view, &slowest);
        std::vector<double> memmems;
        for (int round = 0; round < 3; ++round)
            memmems.push_back(memmemPass(path));
        const double memmem = fastest(memmems);
        bool missed = false, hit = false;
        double failing = 0, finding = 0;
        for (int round = 0; round < 3; ++round) {
            bool found = false;
            failing = qMax(failing, step(view, absent, &found));
            missed = missed || found;
            finding = qMax(finding, step(view, needle, &found));
            hit = found;
        }
        if (missed || !hit) {
            std::fprintf(stderr, "the steps found the wrong things\n");
            return 1;
        }
        report("first screen painted (median of 3)", open, median(memchrs), 200);
        report(qPrintable(QStringLiteral("slowest key (%1)").arg(QLatin1String(slowest))), key,
               keyFloor, 50);
        report("step that finds nothing (slowest)", failing, memmem, 100);
        report("step to the needle near the end", finding, memmem, 100);
        allMet = allMet && open <= 200 && key <= 50 && failing <= 100 && finding <= 100;
        view.openLog(shortPath);
        QFile::remove(path);
    }
    QFile::remove(shortPath);
    std::printf("%s\n", verdict(allMet));
    return 0;
}
