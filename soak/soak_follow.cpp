// SPDX-License-Identifier: GPL-3.0-or-later
// Soak run of follow in the real main window: a writer process appends generated telegram lines
// at 2,000 a second for SOAK_SECONDS (default 60), truncating the log twice and renaming it away
// and back once, while a scripted user searches, steps, runs Find All, double-clicks results and
// opens and closes panels. It fails (non-zero) when the window stalls over 100 ms, when the
// panel's lines differ from the final file's once follow settled, or when memory at the end is
// more than 30 MiB above what it was before the truncations with as many lines shown.
// SOAK_VIEW=large starts with a log over 16 MiB whose first line is overlong, so that the panel
// stays in the large-log view throughout.
#include "logstore/logstore.h"
#include "logview/logviewcontroller.h"
#include "search/searchbar.h"
#include "search/searchresultslist.h"
#include "search/searchresultwindow.h"
#include "tools/loggenerator.h"
#include "ui/field.h"
#include "ui/telvane.h"
#include "view/largelogview.h"
#include "view/visualizedtextedit.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTextStream>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#ifdef __SANITIZE_ADDRESS__
extern "C" size_t __sanitizer_get_current_allocated_bytes(); // the ASan runtime's interface
#endif
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{
const int linesPerSecond = 2000;
const int tickMs = 10;
const double allowedStallMs = 100;
const double allowedGrowthMib = 30;
const int largeStartLines = 220000; // about 17.6 MB
// Keeps a truncated log in the large-log view.
const QByteArray overlongLine = QByteArray(12000, 'x') + '\n';

double seconds(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e9;
}

// The writer: appends whole lines through one descriptor, so that writes made while the file is
// renamed away land in it and come back with it.
int runWriter(const QString &path, int runSeconds, bool large)
{
    const QByteArray pool = generatedLog(linesPerSecond * std::max(runSeconds, 1), 7);
    std::vector<int> lineEnds;
    for (int at = 0; (at = pool.indexOf('\n', at)) >= 0; ++at)
        lineEnds.push_back(at + 1);
    const QByteArray name = QFile::encodeName(path);
    const QByteArray away = name + ".away";
    const int fd = ::open(name.constData(), O_WRONLY | O_APPEND);
    if (fd < 0 || lineEnds.empty()) {
        std::fprintf(stderr, "writer: cannot open %s\n", name.constData());
        return 1;
    }
    const auto writeAll = [fd](const char *data, qint64 size) {
        while (size > 0) {
            const ssize_t done = ::write(fd, data, size_t(size));
            if (done <= 0)
                return false;
            data += done;
            size -= done;
        }
        return true;
    };
    const auto announce = [](const char *event) {
        std::printf("%s\n", event);
        std::fflush(stdout);
    };
    // The run starts when the window says so, not while this process is still preparing.
    announce("ready");
    char go[8];
    if (!std::fgets(go, sizeof go, stdin))
        return 1;
    const double firstTruncation = runSeconds * 0.40, secondTruncation = runSeconds * 0.75;
    const double renameAway = runSeconds * 0.55, renameBack = renameAway + 1.5;
    int events = 0;
    qint64 written = 0;
    size_t next = 0;
    QElapsedTimer timer;
    timer.start();
    while (seconds(timer) < runSeconds) {
        const double now = seconds(timer);
        if ((events == 0 && now >= firstTruncation) || (events == 3 && now >= secondTruncation)) {
            if (::ftruncate(fd, 0) != 0 ||
                (large && !writeAll(overlongLine.constData(), overlongLine.size())))
                return 1;
            announce("truncated");
            ++events;
        } else if (events == 1 && now >= renameAway) {
            if (::rename(name.constData(), away.constData()) != 0)
                return 1;
            announce("renamed away");
            ++events;
        } else if (events == 2 && now >= renameBack) {
            if (::rename(away.constData(), name.constData()) != 0)
                return 1;
            announce("renamed back");
            ++events;
        }
        const qint64 due = qint64(now * linesPerSecond);
        if (due > written) {
            const int count = int(std::min<qint64>(due - written, qint64(lineEnds.size() - next)));
            const int from = next == 0 ? 0 : lineEnds[next - 1];
            const int to = lineEnds[next + size_t(count) - 1];
            if (!writeAll(pool.constData() + from, to - from))
                return 1;
            written += count;
            next = (next + size_t(count)) % lineEnds.size();
        }
        ::usleep(tickMs * 1000);
    }
    ::close(fd);
    std::printf("wrote %lld lines\n", written);
    return events == 4 ? 0 : 1;
}

// A private home, settings and temp folder for the whole run, under the caller's temp folder.
QString makeSandbox()
{
    const QByteArray base = qEnvironmentVariableIsSet("TMPDIR") ? qgetenv("TMPDIR") : "/tmp";
    QByteArray pattern = base + "/telvane-soak-XXXXXX";
    if (!mkdtemp(pattern.data()))
        return {};
    const QString root = QFile::decodeName(pattern);
    for (const char *folder : {"home", "config", "tmp", "runtime"}) {
        const QString path = root + QLatin1Char('/') + QLatin1String(folder);
        QDir().mkpath(path);
        qputenv(folder == QByteArray("home")     ? "HOME"
                : folder == QByteArray("config") ? "XDG_CONFIG_HOME"
                : folder == QByteArray("tmp")    ? "TMPDIR"
                                                 : "XDG_RUNTIME_DIR",
                QFile::encodeName(path));
    }
    ::chmod(QFile::encodeName(root + QStringLiteral("/runtime")).constData(), 0700);
    return root;
}

struct Memory {
    long rssKib = 0;
    long heapKib = -1; // what the program holds allocated, where the allocator tells
};

Memory memoryNow()
{
    Memory memory;
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return memory;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            memory.rssKib = line.mid(6).trimmed().split(' ').first().toLong();
    }
#ifdef __SANITIZE_ADDRESS__
    // Under ASan the resident size mostly measures its quarantine of freed blocks.
    memory.heapKib = long(__sanitizer_get_current_allocated_bytes() / 1024);
#endif
    return memory;
}

QStringList fileLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QTextStream stream(&file);
    return stream.readAll().split(QLatin1Char('\n'));
}

QStringList shownLines(const Field &field)
{
    const LineSource *lines = field.logView()->source();
    return lines->lineTexts(0, lines->lineCount());
}

void dropFile(QWidget *target, const QString &path)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    const QPoint at(5, 5);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

// Times every outermost event delivery, so that the longest gap can be traced to what filled it.
class TimedApplication : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject *receiver, QEvent *event) override
    {
        if (depth > 0) {
            if (event->type() != QEvent::Paint)
                return QApplication::notify(receiver, event);
            // A window's paint sends one to each widget in it; name the slowest widget.
            const double wall0 = clock.nsecsElapsed() / 1e6;
            const bool result = QApplication::notify(receiver, event);
            const double wall = clock.nsecsElapsed() / 1e6 - wall0;
            if (wall > sinceTick.slowestPaintMs) {
                sinceTick.slowestPaintMs = wall;
                sinceTick.slowestPaint = receiver->metaObject()->className() + QByteArray(" ") +
                                         receiver->objectName().toLatin1();
            }
            return result;
        }
        ++depth;
        const int type = event->type();
        const char *className = receiver->metaObject()->className();
        const double wall0 = clock.nsecsElapsed() / 1e6, cpu0 = cpuMs();
        const bool result = QApplication::notify(receiver, event);
        const double wall = clock.nsecsElapsed() / 1e6 - wall0, cpu = cpuMs() - cpu0;
        --depth;
        ++sinceTick.events;
        sinceTick.cpuMs += cpu;
        if (wall > sinceTick.slowestMs) {
            sinceTick.slowestMs = wall;
            sinceTick.slowest = QByteArray::number(type) + " to " + className;
        }
        return result;
    }

    // What the events since the last call cost.
    QByteArray takeSinceTick()
    {
        const QByteArray text =
            QByteArray::number(sinceTick.events) + " events, " +
            QByteArray::number(sinceTick.cpuMs, 'f', 1) + " ms of CPU; slowest: event " +
            sinceTick.slowest + ", " + QByteArray::number(sinceTick.slowestMs, 'f', 1) + " ms" +
            (sinceTick.slowestPaint.isEmpty()
                 ? QByteArray()
                 : "; slowest paint: " + sinceTick.slowestPaint + ", " +
                       QByteArray::number(sinceTick.slowestPaintMs, 'f', 1) + " ms");
        sinceTick = {};
        return text;
    }

private:
    static double cpuMs()
    {
        timespec now;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
    }

    struct {
        int events = 0;
        double cpuMs = 0;
        double slowestMs = 0;
        QByteArray slowest;
        double slowestPaintMs = 0;
        QByteArray slowestPaint;
    } sinceTick;
    QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    int depth = 0;
};

// The scripted user: one step per call, round and round.
class User
{
public:
    User(Telvane &window, Field &followed, const QString &otherLog)
        : window(window), followed(followed), otherLog(otherLog)
    {
    }

    void step()
    {
        SearchBar *bar = window.searchBar();
        static const char *const texts[] = {"Sent to COM3", "PPO3", "Received",
                                            "0x1F",         "DPV1", "no such text"};
        QElapsedTimer timer;
        timer.start();
        const unsigned kind = counter++ % 9;
        switch (kind) {
        case 0:
            typeSearchText(QLatin1String(texts[(counter / 9) % std::size(texts)]));
            break;
        case 1:
        case 2:
            bar->requestNext();
            break;
        case 3:
            bar->requestPrevious();
            break;
        case 4:
            bar->requestFindAll();
            break;
        case 5:
        case 6:
            doubleClickResult();
            break;
        case 7:
            openPanel();
            break;
        case 8:
            closePanel();
            break;
        }
        ++actions;
        static const char *const names[] = {"type",         "next",       "next",
                                            "previous",     "find all",   "double-click",
                                            "double-click", "open panel", "close panel"};
        const double took = timer.nsecsElapsed() / 1e6;
        lastName = names[kind];
        if (took > slowest) {
            slowest = took;
            slowestName = names[kind];
        }
    }

    int actions = 0;
    double slowest = 0;
    const char *slowestName = "";
    const char *lastName = "none";

private:
    // A key every 25 ms, as a fast typist types, and done before the next step; each key searches.
    void typeSearchText(const QString &text)
    {
        QLineEdit *edit = window.searchBar()->searchTextEdit();
        edit->clear();
        for (int i = 0; i < text.size(); ++i) {
            QTimer::singleShot(25 * i, edit,
                               [edit, key = text.at(i)] { QTest::keyClicks(edit, QString(key)); });
        }
    }

    void doubleClickResult()
    {
        SearchResultsList *list = window.searchResultWindow()->resultsList();
        std::vector<QModelIndex> rows;
        for (int row = 0; row < list->count() && rows.size() < 4096; ++row) {
            const QModelIndex index = list->index(row);
            if (index.data(SearchResultsList::LineTypeRole).toInt() ==
                SearchResultsList::ResultLine)
                rows.push_back(index);
        }
        if (rows.empty())
            return;
        const QModelIndex index = rows[size_t(counter * 7919) % rows.size()];
        list->scrollTo(index);
        const QRect place = list->visualRect(index);
        if (place.isValid()) {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, place.center());
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, place.center());
        }
    }

    void openPanel()
    {
        const QList<Field *> before = window.findChildren<Field *>();
        dropFile(&window, otherLog);
        for (Field *field : window.findChildren<Field *>()) {
            if (!before.contains(field))
                extra = field;
        }
    }

    void closePanel()
    {
        if (extra && window.findChildren<Field *>().contains(extra))
            extra->closeButton()->click();
        extra = nullptr;
        // The followed panel runs the searches.
        followed.onFieldClicked();
        followed.view()->widget()->setFocus();
    }

    Telvane &window;
    Field &followed;
    const QString otherLog;
    Field *extra = nullptr;
    unsigned counter = 0;
};

int runSoak(int argc, char **argv)
{
    const QString sandbox = makeSandbox();
    if (sandbox.isEmpty()) {
        std::fprintf(stderr, "cannot make the sandbox folder\n");
        return 2;
    }
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform says once per window that it cannot pass on size hints.
    static const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext &context, const QString &text) {
            if (!text.contains(QLatin1String("propagateSizeHints")))
                previous(type, context, text);
        });
    TimedApplication app(argc, argv);
    const int runSeconds = qEnvironmentVariableIsSet("SOAK_SECONDS")
                               ? std::max(5, qEnvironmentVariableIntValue("SOAK_SECONDS"))
                               : 60;
    const bool large = qgetenv("SOAK_VIEW") == "large";
    const QString folder = Field::logFolder();
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("soak.log");
    const QString otherLog = folder + QStringLiteral("other.log");
    {
        QFile log(path), other(otherLog);
        if (!log.open(QIODevice::WriteOnly) || !other.open(QIODevice::WriteOnly))
            return 2;
        if (large)
            log.write(overlongLine + generatedLog(largeStartLines, 3));
        else
            log.write(generatedLog(2000, 3));
        other.write(generatedLog(3000, 4));
    }
    std::printf("soak: %d s, %s view, %d lines a second\n", runSeconds,
                large ? "large-log" : "ordinary", linesPerSecond);

    int status = 0;
    {
        Telvane window(false);
        window.resize(1400, 900);
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            return 2;
        Field *followed = window.activeField();
        if (!followed || !followed->openFileAndMoveCursorToEnd(path))
            return 2;
        followed->followAction()->setChecked(true);
        if ((followed->largeLogView() != nullptr) != large) {
            std::fprintf(stderr, "the log opened in the wrong view\n");
            return 2;
        }

        QElapsedTimer clock, sinceTick;
        double longestGap = 0, longestGapAt = 0;
        const char *stepBeforeGap = "";
        QByteArray gapContents;
        User user(window, *followed, otherLog);
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const double gap = sinceTick.nsecsElapsed() / 1e6;
            const QByteArray contents = app.takeSinceTick();
            if (gap > longestGap) {
                longestGap = gap;
                longestGapAt = seconds(clock);
                stepBeforeGap = user.lastName;
                gapContents = contents;
            }
            sinceTick.restart();
        });

        QTimer script;
        QObject::connect(&script, &QTimer::timeout, [&] { user.step(); });

        struct Sample {
            double at;
            qint64 lines;
            Memory memory;
        };
        // Once a second until the first truncation, then 2 s after each truncation and at the end.
        std::vector<Sample> before, after;
        bool usedLargeThroughout = true;
        const auto sample = [&](std::vector<Sample> *into) {
            const qint64 lines = followed->logView()->source()->lineCount();
            into->push_back({seconds(clock), lines, memoryNow()});
            usedLargeThroughout =
                usedLargeThroughout && (followed->largeLogView() != nullptr) == large;
        };
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, [&] { sample(&before); });

        QProcess writer;
        bool writerReady = false;
        writer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&writer, &QProcess::readyReadStandardOutput, [&] {
            while (writer.canReadLine()) {
                const QByteArray event = writer.readLine().trimmed();
                if (event == "ready") {
                    writerReady = true;
                    continue;
                }
                std::printf("  %5.1f s  writer: %s\n", seconds(clock), event.constData());
                // Memory once the panel has read the truncated file anew.
                if (event == "truncated") {
                    sampler.stop();
                    QTimer::singleShot(2000, [&] { sample(&after); });
                }
            }
        });
        bool writerDone = false;
        QObject::connect(&writer, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished),
                         [&] { writerDone = true; });
        // The clock starts once the writer is ready and the window has shown the log.
        const auto startRun = [&] {
            clock.start();
            sinceTick.start();
            app.takeSinceTick();
            ticker.start(tickMs);
            script.start(300);
            sampler.start(1000);
            writer.write("go\n");
        };
        QElapsedTimer sinceLaunch;
        sinceLaunch.start();
        writer.start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--writer"), path, QString::number(runSeconds),
                      QLatin1String(large ? "large" : "ordinary")});
        while (!writerDone && sinceLaunch.elapsed() < (runSeconds + 120) * 1000) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            if (!clock.isValid() && writerReady)
                startRun();
        }
        ticker.stop();
        script.stop();
        if (!writerDone || writer.exitStatus() != QProcess::NormalExit || writer.exitCode() != 0) {
            std::fprintf(stderr, "the writer failed\n");
            writer.kill();
            writer.waitForFinished();
            status = 1;
        }
        std::printf("  slowest user step: %s, %.1f ms\n", user.slowestName, user.slowest);
        std::printf("  %d user steps; longest gap between %d ms ticks: %.1f ms at %.1f s (last "
                    "user step: %s), allowed %.0f ms: %s\n",
                    user.actions, tickMs, longestGap, longestGapAt, stepBeforeGap, allowedStallMs,
                    longestGap <= allowedStallMs ? "ok" : "FAILED");
        std::printf("  in that gap: %s\n", gapContents.constData());
        if (longestGap > allowedStallMs)
            status = 1;

        // Follow settles: the panel shows exactly the final file.
        const QStringList expected = fileLines(path);
        QElapsedTimer settling;
        settling.start();
        QStringList shown = shownLines(*followed);
        while (shown != expected && settling.elapsed() < 15000) {
            QTest::qWait(250);
            shown = shownLines(*followed);
        }
        sample(&after);
        if (shown == expected) {
            std::printf("  final comparison: %lld lines shown equal the file's, settled in %.1f "
                        "s: ok\n",
                        qint64(shown.size()), settling.elapsed() / 1e3);
        } else {
            int first = 0;
            while (first < std::min(shown.size(), expected.size()) &&
                   shown.at(first) == expected.at(first))
                ++first;
            std::printf("  final comparison FAILED: %lld lines shown, the file has %lld; first "
                        "difference at line %d\n",
                        qint64(shown.size()), qint64(expected.size()), first + 1);
            status = 1;
        }
        if (!usedLargeThroughout) {
            std::printf("  the panel left the %s view: FAILED\n", large ? "large-log" : "ordinary");
            status = 1;
        }
        // Memory stays flat: at the end it is no higher than it was before the truncations with
        // as many lines shown. Under ASan it is the bytes allocated, since its quarantine of
        // freed blocks fills the resident size.
        const bool heapKnown = memoryNow().heapKib >= 0;
        const auto measure = [heapKnown](const Sample &s) {
            return (heapKnown ? s.memory.heapKib : s.memory.rssKib) / 1024.0;
        };
        std::printf("  memory 2 s after each truncation and at the end (%s, MiB):\n",
                    heapKnown ? "allocated" : "resident");
        for (const Sample &s : after)
            std::printf("    %5.1f s  %7lld lines  %7.1f\n", s.at, s.lines, measure(s));
        if (after.size() < 3 || before.empty()) {
            std::printf("  fewer memory samples than truncations: FAILED\n");
            status = 1;
        } else {
            const Sample &end = after.back();
            auto reference = std::find_if(before.begin(), before.end(),
                                          [&](const Sample &s) { return s.lines >= end.lines; });
            if (reference == before.end())
                reference = before.end() - 1;
            const double growth = measure(end) - measure(*reference);
            std::printf("  before the truncations, at %.1f s with %lld lines: %.1f MiB; growth to "
                        "the end: %.1f MiB, allowed %.0f: %s\n",
                        reference->at, reference->lines, measure(*reference), growth,
                        allowedGrowthMib, growth <= allowedGrowthMib ? "ok" : "FAILED");
            if (growth > allowedGrowthMib)
                status = 1;
        }
    }
    QDir(sandbox).removeRecursively();
    std::printf("soak %s\n", status == 0 ? "passed" : "FAILED");
    return status;
}
} // namespace

int main(int argc, char **argv)
{
    if (argc == 5 && qstrcmp(argv[1], "--writer") == 0)
        return runWriter(QFile::decodeName(argv[2]), std::atoi(argv[3]),
                         qstrcmp(argv[4], "large") == 0);
    return runSoak(argc, argv);
}
