// SPDX-License-Identifier: GPL-3.0-or-later
#include "logview/errormarks.h"

#include "logview/logviewcontroller.h"
#include "searchcore/linesource.h"
#include "telegram/logparser.h"

#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <deque>
#include <string_view>

namespace
{
enum Mark { NoMark, ErrorMark, TaggedMark };

// Lines read together, and how often a worker hands over what it found.
constexpr qint64 batchLines = 4096;
constexpr int reportIntervalMs = 50;
// Slices of the event loop, where the source cannot be read from a worker.
constexpr qint64 sliceLines = 1024;
constexpr int sliceMs = 8;
// How far from a press the nearest mark is still taken.
constexpr int pressReach = 3;

const QString warnTag = QStringLiteral("[Warn]");
const QString errorTag = QStringLiteral("[Error]");

const char commBytes[] = "[Comm]";
constexpr int commBytesLength = sizeof(commBytes) - 1;

// A line's tag is its first bracketed word.
bool isTagged(const QString &text)
{
    const int open = text.indexOf(QLatin1Char('['));
    if (open < 0)
        return false;
    const QStringView rest = QStringView(text).mid(open);
    return rest.startsWith(warnTag) || rest.startsWith(errorTag);
}

// The offset of "[Comm]" in a line of UTF-8 bytes (-1: none) and whether the line is tagged, in
// one walk over its brackets.
int readBrackets(const char *line, int length, bool *tagged)
{
    const std::string_view text(line, size_t(length));
    *tagged = false;
    const size_t first = text.find('[');
    for (size_t open = first; open != std::string_view::npos; open = text.find('[', open + 1)) {
        const std::string_view rest = text.substr(open);
        if (rest.substr(0, commBytesLength) == commBytes)
            return int(open);
        if (open == first)
            *tagged = rest.substr(0, 6) == "[Warn]" || rest.substr(0, 7) == "[Error]";
    }
    return -1;
}

bool isError(const TelegramRecord &record)
{
    return record.type == ResponseError || !record.error.isEmpty();
}

// Line i of a block, without its line break.
std::string_view lineOf(const LineSource::Utf8Lines &lines, int i)
{
    const char *line = lines.bytes.constData() + lines.starts.at(i);
    int length = lines.starts.at(i + 1) - lines.starts.at(i);
    while (length > 0 && (line[length - 1] == '\n' || line[length - 1] == '\r'))
        --length;
    return std::string_view(line, size_t(length));
}

void dropLast(std::vector<qint64> &lines, qint64 line)
{
    if (!lines.empty() && lines.back() == line)
        lines.pop_back();
}
} // namespace

// The pass's place in the log and the decoder's state from line to line, which it reads as the
// strip does (of a long line only its start). Records the decoder may still rewrite (fragments of
// a received telegram) are kept at their address until it is done with them.
struct ErrorMarks::Scan {
    TelegramLineDecoder decoder{false};
    std::deque<TelegramRecord> held;
    qint64 next = 0;

    int mark(const QString &line)
    {
        const int limit = LogViewController::decodedLineLimit;
        return mark(line.contains(commMarker), isTagged(line), [&](TelegramRecord &record) {
            decoder.decode(line.size() > limit ? line.left(limit) : line, record);
        });
    }

    // A line of UTF-8 bytes, without its line break.
    int mark(std::string_view line)
    {
        const int length = int(qMin<size_t>(line.size(), LogViewController::decodedLineLimit));
        bool tagged = false;
        const int marker = readBrackets(line.data(), length, &tagged);
        return mark(marker >= 0, tagged, [&](TelegramRecord &record) {
            decoder.decodeUtf8(line.data(), length, marker, record);
        });
    }

    // The mark of a line that may still grow, without taking it in. The decoder's copy may
    // rewrite held fragments as the decoder itself would; only what it says of this line counts.
    template <typename Line> int peek(const Line &line) const
    {
        Scan probe;
        probe.decoder = decoder;
        return probe.mark(line);
    }

private:
    template <typename Decode> int mark(bool telegram, bool tagged, Decode decode)
    {
        if (telegram) {
            held.emplace_back();
            TelegramRecord &record = held.back();
            decode(record);
            const bool error = isError(record);
            // Only raw data can become a fragment the decoder comes back to.
            if (record.type != Data)
                held.pop_back();
            if (!decoder.holdsFragments())
                held.clear();
            if (error)
                return ErrorMark;
        }
        return tagged ? TaggedMark : NoMark;
    }
};

struct ErrorMarks::Found {
    explicit Found(const Scan &scan) : readLines(scan.next) {}

    std::vector<qint64> errors;
    std::vector<qint64> tagged;
    qint64 readLines;
    qint64 provisionalLine = -1;
    int provisionalMark = NoMark;
    bool done = false;

    void add(Scan &scan, int mark)
    {
        if (mark == ErrorMark)
            errors.push_back(scan.next);
        else if (mark == TaggedMark)
            tagged.push_back(scan.next);
        readLines = ++scan.next;
    }

    void read(Scan &scan, const QStringList &texts)
    {
        for (const QString &text : texts)
            add(scan, scan.mark(text));
    }

    void read(Scan &scan, const LineSource::Utf8Lines &lines)
    {
        for (int i = 0; i + 1 < lines.starts.size(); ++i)
            add(scan, scan.mark(lineOf(lines, i)));
    }

    // The last line, as it stands: its mark is provisional.
    template <typename Line> void readLast(const Scan &scan, const Line &line)
    {
        provisionalLine = scan.next;
        provisionalMark = scan.peek(line);
    }
};

ErrorMarks::ErrorMarks(QObject *parent)
    : QObject(parent), scan(std::make_shared<Scan>()),
      halt(std::make_shared<std::atomic<bool>>(false)), slices(new QTimer(this))
{
    worker.setMaxThreadCount(1);
    worker.setExpiryTimeout(-1);
    slices->setSingleShot(true);
    slices->setInterval(0);
    connect(slices, &QTimer::timeout, this, &ErrorMarks::runSlice);
}

ErrorMarks::~ErrorMarks()
{
    stop();
    worker.waitForDone(); // the pass posts to this object
}

void ErrorMarks::setSource(LineSource *source)
{
    if (lines)
        disconnect(lines, nullptr, this, nullptr);
    lines = source;
    if (lines) {
        connect(lines, &LineSource::changed, this, &ErrorMarks::sourceChanged);
        connect(lines, &LineSource::changedFrom, this, &ErrorMarks::sourceChangedFrom);
    }
    restart();
}

void ErrorMarks::setEnabled(bool on)
{
    if (enabled == on)
        return;
    enabled = on;
    restart();
}

void ErrorMarks::stop()
{
    ++generation; // whatever a running pass posts is dropped on arrival
    halt->store(true);
    halt = std::make_shared<std::atomic<bool>>(false);
    running = false;
    slices->stop();
}

void ErrorMarks::restart()
{
    stop();
    errors.clear();
    tagged.clear();
    provisionalLine = -1;
    readLines = 0;
    scan = std::make_shared<Scan>();
    stale = true;
    summaryValid = false;
    schedule();
    emit changed();
}

bool ErrorMarks::isComplete() const
{
    return !running && !stale && (!lines || !lines->isLoading());
}

void ErrorMarks::sourceChanged()
{
    stale = true;
    summaryValid = false;
    schedule();
    emit changed();
}

void ErrorMarks::sourceChangedFrom(qint64 line)
{
    // The decoder's state at an edited line is not kept: the pass starts again from the top.
    if (line < readLines)
        restart();
}

void ErrorMarks::schedule()
{
    if (!enabled || !lines || running || !stale)
        return;
    stale = false;
    running = true;
    const LineSource::LineReader reader = lines->concurrentReader();
    if (!reader) {
        slices->start();
        return;
    }
    // The last line may still grow (a followed log): it is read again by the next pass.
    const qint64 end = lines->lineCount() - 1;
    const auto post = [this, current = generation](const Found &found) {
        QMetaObject::invokeMethod(
            this,
            [this, current, found] {
                if (current == generation)
                    take(found);
            },
            Qt::QueuedConnection);
    };
    worker.start([scan = scan, reader, end, stopped = halt, post] {
        // Marks wait for whatever else wants the processor: above all the index of the log.
        QThread::currentThread()->setPriority(QThread::IdlePriority);
        Found found(*scan);
        QElapsedTimer sinceReport;
        sinceReport.start();
        while (scan->next < end && !stopped->load()) {
            const qint64 count = qMin(batchLines, end - scan->next);
            const LineSource::Utf8Lines block = reader(scan->next, count);
            found.read(*scan, block);
            if (block.starts.size() <= count)
                break; // the file changed under the pass; the view reads it anew
            if (sinceReport.elapsed() >= reportIntervalMs) {
                post(found);
                found = Found(*scan);
                sinceReport.restart();
            }
        }
        if (stopped->load())
            return;
        const LineSource::Utf8Lines last = reader(end, 1);
        if (scan->next == end && last.starts.size() == 2)
            found.readLast(*scan, lineOf(last, 0));
        found.done = true;
        post(found);
    });
}

void ErrorMarks::runSlice()
{
    if (!running || !lines)
        return;
    QElapsedTimer timer;
    timer.start();
    const qint64 end = lines->lineCount() - 1;
    Found found(*scan);
    bool read = true;
    while (scan->next < end && read && timer.elapsed() < sliceMs) {
        const QStringList texts = lines->lineTexts(scan->next, qMin(sliceLines, end - scan->next));
        found.read(*scan, texts);
        read = !texts.isEmpty();
    }
    if (scan->next < end && read) {
        slices->start();
    } else {
        if (scan->next == end)
            found.readLast(*scan, lines->lineText(end));
        found.done = true;
    }
    take(found);
}

void ErrorMarks::take(const Found &found)
{
    // A provisional mark is of the first line the pass reads anew.
    if (provisionalLine >= 0) {
        dropLast(errors, provisionalLine);
        dropLast(tagged, provisionalLine);
        provisionalLine = -1;
    }
    errors.insert(errors.end(), found.errors.begin(), found.errors.end());
    tagged.insert(tagged.end(), found.tagged.begin(), found.tagged.end());
    readLines = found.readLines;
    if (found.provisionalLine >= 0 && found.provisionalMark != NoMark) {
        provisionalLine = found.provisionalLine;
        (found.provisionalMark == ErrorMark ? errors : tagged).push_back(provisionalLine);
    }
    summaryValid = false;
    if (found.done) {
        running = false;
        schedule();
    }
    emit changed();
}

qint64 ErrorMarks::nextError(qint64 line, bool backward) const
{
    if (errors.empty())
        return -1;
    if (backward) {
        const auto before = std::lower_bound(errors.begin(), errors.end(), line);
        return before == errors.begin() ? errors.back() : *(before - 1);
    }
    const auto after = std::upper_bound(errors.begin(), errors.end(), line);
    return after == errors.end() ? errors.front() : *after;
}

const QVector<MarkRow> &ErrorMarks::rows(int height)
{
    const qint64 count = qMax<qint64>(1, lines ? lines->lineCount() : 1);
    height = qMax(0, height);
    if (summaryValid && summaryHeight == height && summaryLines == count)
        return summary;
    summaryValid = true;
    summaryHeight = height;
    summaryLines = count;
    summary = QVector<MarkRow>(height);
    // Row y stands for the lines L with y <= (L + 1/2) * height / count < y + 1.
    const auto firstLineOf = [&](qint64 y) {
        const qint64 numerator = 2 * y * count - height;
        return numerator <= 0 ? qint64(0) : (numerator + 2 * height - 1) / (2 * height);
    };
    const auto firstIn = [](const std::vector<qint64> &marked, qint64 from, qint64 to) {
        const auto at = std::lower_bound(marked.begin(), marked.end(), from);
        return at != marked.end() && *at < to ? *at : qint64(-1);
    };
    qint64 from = 0;
    for (int y = 0; y < height; ++y) {
        const qint64 to = firstLineOf(y + 1);
        if (from < to) {
            summary[y].error = firstIn(errors, from, to);
            summary[y].tagged = firstIn(tagged, from, to);
        }
        from = to;
    }
    return summary;
}

qint64 ErrorMarks::lineAt(int y, int height)
{
    const QVector<MarkRow> &marks = rows(height);
    for (int distance = 0; distance <= pressReach; ++distance) {
        for (const bool error : {true, false}) {
            for (const int row : {y - distance, y + distance}) {
                if (row < 0 || row >= marks.size())
                    continue;
                const qint64 line = error ? marks.at(row).error : marks.at(row).tagged;
                if (line >= 0)
                    return line;
            }
        }
    }
    return -1;
}
