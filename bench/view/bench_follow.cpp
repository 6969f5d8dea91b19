// SPDX-License-Identifier: GPL-3.0-or-later
// Following a 1,000,000-line log: the GUI-thread CPU time that 1,000 appended telegram lines
// cost until they are shown and painted, in the large-log view (through a panel, the file is
// over 16 MiB) and in the ordinary view (VisualizedTextEdit::appendLogText with the text as the
// tail delivers it); floors: reading those lines' bytes from the file, and a bare
// QPlainTextEdit holding the same log appending the same text. Then the CPU time a followed
// file that does not change costs over 5 s, in both views.
#include "bench/benchsupport.h"
#include "logstore/logstore.h"
#include "logview/errormarks.h"
#include "logview/logviewcontroller.h"
#include "settings/applicationsettings.h"
#include "ui/field.h"
#include "view/largelogview.h"
#include "view/visualizedtextedit.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QTimer>

using namespace bench;

namespace
{
const int appendedLines = 1000;
const int rounds = 7;
const double targetMs = 20;
const int quietSeconds = 5;
const double quietTargetMs = 20;
const QSize windowSize(1200, 900);

bool appendTo(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::Append) && file.write(bytes) == bytes.size();
}

// Runs the event loop without spinning until `done`, or `timeoutMs` passed.
template <typename Done> bool waitFor(Done done, int timeoutMs = 60000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

// The posted paints, then the strip repaint queued by the gutter's paint.
void paintNow()
{
    QApplication::processEvents();
    QApplication::processEvents();
}

// Process CPU time of `seconds` of a plain event loop.
double idleCpuMs(int seconds)
{
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    const double before = processCpuMs();
    loop.exec();
    return processCpuMs() - before;
}

// What following a file that does not change costs: the idle window's CPU time with follow on,
// less the same with follow off (a caret that blinks costs some either way).
double quietCpuMs(Field &field, int seconds)
{
    field.followAction()->setChecked(false);
    const double off = idleCpuMs(seconds);
    field.followAction()->setChecked(true);
    const double on = idleCpuMs(seconds);
    return on - off;
}

void printFigure(const char *label, const std::vector<double> &figures, double floor)
{
    const double figure = median(figures);
    std::printf("  %-44s median %7.2f ms (max %7.2f), floor %7.3f ms, ratio %7.1f, target <= "
                "%.0f ms: %s\n",
                label, figure, *std::max_element(figures.begin(), figures.end()), floor,
                figure / floor, targetMs, verdict(figure <= targetMs));
}
} // namespace

int main(int argc, char **argv)
{
    prepareGuiRun();
    QApplication app(argc, argv);
    QTemporaryDir dir;
    keepSettingsIn(dir.filePath(QStringLiteral("config")));
    qputenv("TMPDIR", QFile::encodeName(dir.path())); // the panel lists nothing of the user's
    const QString path = dir.filePath(QStringLiteral("followed.log"));
    if (!writeLog(path, bigLogLines, 1))
        return 1;
    // Each round appends other lines, as a writer would.
    std::vector<QByteArray> batches;
    for (int round = 0; round < rounds; ++round)
        batches.push_back(generatedLog(appendedLines, quint32(100 + round)));

    std::printf("append %d lines to a followed %d-line log (%.1f MB), GUI-thread CPU until shown "
                "and painted, %d rounds:\n",
                appendedLines, bigLogLines, QFileInfo(path).size() / 1e6, rounds);

    // The floor of both views: the appended bytes read from the file.
    std::vector<double> readTimes;
    std::vector<double> largeTimes;
    double largeQuiet = 0;
    {
        Field field(nullptr, QString());
        field.resize(windowSize);
        field.show();
        if (!QTest::qWaitForWindowExposed(&field) || !field.openFileAndMoveCursorToEnd(path) ||
            !field.largeLogView() ||
            !waitFor([&] { return !field.largeLogView()->isIndexing(); })) {
            std::fprintf(stderr, "the panel did not open the log in the large-log view\n");
            return 1;
        }
        field.followAction()->setChecked(true);
        paintNow();
        const LogStore &store = field.largeLogView()->store();
        for (const QByteArray &batch : batches) {
            const qint64 before = QFileInfo(path).size();
            const qint64 expected = store.lineCount() + appendedLines;
            if (!appendTo(path, batch))
                return 1;
            const double start = threadCpuMs();
            if (!waitFor([&] { return store.lineCount() == expected && !store.isIndexing(); })) {
                std::fprintf(stderr, "the appended lines did not arrive (%lld of %lld lines)\n",
                             store.lineCount(), expected);
                return 1;
            }
            paintNow();
            largeTimes.push_back(threadCpuMs() - start);
            if (field.largeLogView()->caretPosition().line != expected - 1) {
                std::fprintf(stderr, "the large-log view did not keep to the end\n");
                return 1;
            }
            readTimes.push_back(millisecondsOf([&] {
                QFile file(path);
                if (file.open(QIODevice::ReadOnly) && file.seek(before) &&
                    file.read(batch.size()).size() != batch.size())
                    std::fprintf(stderr, "short read\n");
            }));
        }
        largeQuiet = quietCpuMs(field, quietSeconds);
    }
    const double readFloor = median(readTimes);
    printFigure("large-log view through a Field", largeTimes, readFloor);

    // The ordinary view: the whole log's text, then the tail's text of each batch.
    QString logText;
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return 1;
        QTextStream stream(&file);
        logText = stream.readAll();
    }
    const auto appendTimes = [&](QPlainTextEdit &edit, auto load, auto append) {
        std::vector<double> times;
        edit.resize(windowSize);
        edit.show();
        if (!QTest::qWaitForWindowExposed(&edit))
            return times;
        load();
        edit.moveCursor(QTextCursor::End);
        paintNow();
        for (const QByteArray &batch : batches) {
            const QString text = QString::fromLocal8Bit(batch);
            const double start = threadCpuMs();
            append(text);
            paintNow();
            times.push_back(threadCpuMs() - start);
        }
        return times;
    };
    const int loadedLines = int(logText.count(QLatin1Char('\n')));
    std::vector<double> ordinaryTimes, bareTimes;
    int shownBlocks = 0;
    {
        VisualizedTextEdit edit;
        edit.setVisualizedTextAreaWidth(400);
        // The error marks' pass over the loaded log runs in slices of the event loop; it ends
        // before the appends are measured, which then cost a pass over the new lines only.
        ordinaryTimes = appendTimes(
            edit,
            [&] {
                edit.setLogText(path, logText);
                waitFor([&] { return edit.controller()->errorMarks()->isComplete(); });
            },
            [&](const QString &text) { edit.appendLogText(text); });
        shownBlocks = edit.blockCount();
    }
    {
        QPlainTextEdit bare;
        bare.setFont(ApplicationSettings::textFont());
        bare.setLineWrapMode(QPlainTextEdit::NoWrap);
        bareTimes = appendTimes(
            bare, [&] { bare.setPlainText(logText); },
            [&](const QString &text) { bare.appendPlainText(text.chopped(1)); });
    }
    logText.clear();
    if (ordinaryTimes.size() != size_t(rounds) || bareTimes.size() != size_t(rounds))
        return 1;
    if (shownBlocks != loadedLines + rounds * appendedLines + 1) {
        std::fprintf(stderr, "the ordinary view shows %d lines\n", shownBlocks);
        return 1;
    }
    printFigure("ordinary view, appendLogText", ordinaryTimes, readFloor);
    const double bareFloor = median(bareTimes);
    std::printf("  %-44s median %7.2f ms; the ordinary view against it: ratio %.2f\n",
                "floor: bare QPlainTextEdit::appendPlainText", bareFloor,
                median(ordinaryTimes) / bareFloor);

    // A quiet small log in the ordinary view as well.
    double ordinaryQuiet = 0;
    {
        const QString small = dir.filePath(QStringLiteral("quiet.log"));
        if (!writeLog(small, 2000, 5))
            return 1;
        Field field(nullptr, small);
        field.resize(windowSize);
        field.show();
        if (!QTest::qWaitForWindowExposed(&field) || field.largeLogView())
            return 1;
        paintNow();
        ordinaryQuiet = quietCpuMs(field, quietSeconds);
    }
    std::printf("a followed file that does not change, process CPU over %d s with follow on less "
                "off (target < %.0f ms):\n",
                quietSeconds, quietTargetMs);
    std::printf("  %-44s %7.1f ms: %s\n", "large-log view, 1M-line log", largeQuiet,
                verdict(largeQuiet < quietTargetMs));
    std::printf("  %-44s %7.1f ms: %s\n", "ordinary view, 2,000-line log", ordinaryQuiet,
                verdict(ordinaryQuiet < quietTargetMs));
    return 0;
}
