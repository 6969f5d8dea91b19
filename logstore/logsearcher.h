#pragma once

#include "logstore/bytescan.h"
#include "logstore/logfile.h"

#include <QString>
#include <QVector>
#include <atomic>
#include <functional>
#include <memory>

// One search over the lines a snapshot of a log file has, with the matches the ordinary view
// finds on the same text: a step as QTextDocument::find (a blank also matches a no-break space;
// whole words optional), a find-all as QString::indexOf line by line without overlaps.
//
// Lines whose text is their bytes (ASCII, no carriage return) are searched as bytes; the others
// are decoded, but only where the needle may occur: where its bytes occur, and, when the
// needle could match text that is not its bytes there, in every line with such bytes.
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

    // Hands every line with matches (in order) to `found` with its text and columns; `done`
    // hears how many of the searched bytes are behind. False when `stop` was set.
    using Found =
        std::function<void(qint64 line, const QString &text, const QVector<int> &columns)>;
    using Done = std::function<void(qint64 bytesDone, qint64 bytesTotal)>;
    bool findAll(const Found &found, const Done &done, const std::atomic<bool> &stop) const;

private:
    struct Window;
    // Calls `visit(line, window)` for each line of [first, last] that may hold a match, in
    // order, or in reverse; stops when it returns true. False when stopped from outside.
    bool visitLines(qint64 first, qint64 last, bool backward,
                    const std::function<bool(qint64, const Window &)> &visit,
                    const std::atomic<bool> *stop, const Done &done) const;
    void candidates(const Window &window, qint64 from, qint64 to, std::vector<qint64> *lines) const;
    qint64 lineAtByte(qint64 offset, qint64 *hint) const;
    // The bytes of a line: in the window when it holds all of them, else read into `storage`.
    bool lineBytes(qint64 line, const Window &window, QByteArray *storage, const char **bytes,
                   qint64 *size) const;
    bool isPlain(qint64 line, const char *bytes, qint64 size) const;
    QString decodedText(qint64 line, const Window &window, const char *bytes, qint64 size) const;
    // The column of the match in a line searched from `offset` (fromLast: its last character).
    static constexpr int fromLast = -2;
    int findInLine(qint64 line, const Window &window, int offset, bool backward) const;
    QVector<int> findAllInLine(qint64 line, const Window &window, QString *text) const;

    std::shared_ptr<const LogFile> file;
    LogSnapshot snapshot;
    QString needle;
    Qt::CaseSensitivity sensitivity;
    bool wholeWords;
    Mode mode;
    bool impossible = false;    // the needle cannot occur in any line's text
    bytescan::Needle rawNeedle; // its bytes when the needle is ASCII (after case folding)
    bool decodeAllHigh = false; // lines with bytes >= 0x80 may match without holding rawNeedle
    qint64 droppedMarkLine = -1;
};
