// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logstore/bytescan.h"
#include "logstore/logfile.h"

#include <QString>
#include <QVector>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

// One match of a find-all, as the ordinary view's Finding carries it; the line's text is read
// only when the match is shown.
struct LogFinding {
    qint64 lineNumber = 0; // 1-based
    int column = 0;
    int length = 0;
    qint64 position = 0; // document position just after the match
};
Q_DECLARE_TYPEINFO(LogFinding, Q_PRIMITIVE_TYPE);

// One search over the lines a snapshot of a log file has, with the matches the ordinary view
// finds on the same text: a step as QTextDocument::find (a blank also matches a no-break space;
// whole words optional), a find-all as QString::indexOf line by line without overlaps.
//
// A UTF-8 file is read in windows of whole lines. Lines whose text is their bytes (ASCII, no
// carriage return but those that end them) are searched as bytes; the others are decoded, but
// only where the needle may occur: where its bytes occur, where a carriage return inside the
// line may join them, and, when the needle could match text that is not its bytes there, in
// the lines with such bytes that hold the rest of it. Long ranges are cut into spans that two
// threads take in turn.
class LogSearcher
{
public:
    enum class Mode { Step, FindAll };
    LogSearcher(std::shared_ptr<const LogFile> file, const LogSnapshot &snapshot,
                const QString &needle, Qt::CaseSensitivity sensitivity, bool wholeWords, Mode mode);

    struct Match {
        qint64 line = -1;
        int column = -1;
    };
    // The match QTextDocument::find gives from document position `from`, looking at lines up
    // to `stopLine` (inclusive; -1: the end or the start of the document).
    Match find(qint64 from, bool backward, qint64 stopLine) const;

    // Matches are handed over in batches of at most this many.
    static constexpr int batchSize = 4096;
    // Hands every match to `found` in document order, a batch at a time with the length of the
    // longest line it names (UTF-16 units), and after each span tells `done` how many of the
    // searched bytes are behind. The calls come from the search's threads, one at a time.
    // False when `stop` was set.
    using Found = std::function<void(QVector<LogFinding> &findings, int longestLine)>;
    using Done = std::function<void(qint64 bytesDone, qint64 bytesTotal)>;
    bool findAll(const Found &found, const Done &done, const std::atomic<bool> &stop) const;

private:
    struct Window;
    class Lines;
    class LongLine;
    struct Batches;
    struct Span {
        qint64 first;
        qint64 last;
    };
    enum class Outcome { Done, Stopped, Lost };

    // Lines [first, last] cut into spans of about `spanBytes` each (UTF-8 files).
    std::vector<Span> spans(qint64 first, qint64 last) const;
    qint64 lineEnd(qint64 line) const { return file->lineEnd(line, snapshot); }
    // The end of the run of whole lines from `first` (up to `last`) that fits a window; `first`
    // itself when that line alone is longer.
    qint64 windowEndForward(qint64 first, qint64 last) const;
    // The start of the run of whole lines that ends with `last` (from `first` on) that fits a
    // window; last + 1 when that line alone is longer.
    qint64 windowStartBackward(qint64 first, qint64 last) const;
    bool readWindow(Window *window, qint64 first, qint64 end) const;
    // The lines of a window whose text is not their bytes, in order; `lines` is at the window's
    // first line.
    struct Special {
        qint64 line;
        qint64 start;
        qint64 end;
    };
    void specialLines(const Window &window, Lines &lines, std::vector<Special> *specials) const;
    // Whether a line whose text is not its bytes may hold a match.
    bool mayMatch(const Special &special, const Window &window) const;

    Match firstMatch(qint64 first, qint64 last, bool backward) const;
    Match firstMatchInSpan(const Span &span, bool backward,
                           const std::function<bool()> &abandon) const;
    Match firstMatchDecoded(qint64 first, qint64 last, bool backward) const;
    Outcome findAllInSpan(const Span &span, Batches *batches, const std::atomic<bool> &stop) const;
    bool findAllDecoded(const Found &found, const Done &done, const std::atomic<bool> &stop) const;
    void addMatches(Batches *batches, qint64 line, const QVector<int> &columns) const;

    // The bytes of a line: in the window when it holds all of them, else read into `storage`.
    bool lineBytes(qint64 line, const Window &window, QByteArray *storage, const char **bytes,
                   qint64 *size) const;
    bool isPlain(qint64 line, const char *bytes, qint64 size) const;
    // Whether a line is searched through its map: a long line of a UTF-8 file that the window
    // does not hold.
    bool isLongOutside(qint64 line, const Window &window) const;
    QString decodedText(qint64 line, const Window &window, const char *bytes, qint64 size) const;
    // The column of the match in a line searched from `offset` (fromLast: its last character).
    static constexpr int fromLast = -2;
    int findInLine(qint64 line, const Window &window, int offset, bool backward) const;
    QVector<int> findAllInLine(qint64 line, const Window &window) const;

    std::shared_ptr<const LogFile> file;
    const LogIndex &index;
    LogSnapshot snapshot;
    QString needle;
    Qt::CaseSensitivity sensitivity;
    bool wholeWords;
    Mode mode;
    bool impossible = false;     // the needle cannot occur in any line's text
    bytescan::Needle rawNeedle;  // its bytes when the needle is ASCII (after case folding)
    bool decodeAllHigh = false;  // lines with bytes >= 0x80 may match without holding rawNeedle
    bytescan::Needle highAnchor; // what those lines must hold to match, when anything
    qint64 droppedMarkLine = -1;
};
