// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logstore/logindex.h"

#include <QString>
#include <QStringList>
#include <QTextCodec>
#include <atomic>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <sys/types.h>
#include <type_traits>
#include <vector>

// What an indexing pass has made known, consistent with the index entries below indexCount.
struct LogSnapshot {
    qint64 lineCount = 0;   // lines whose text is complete
    qint64 indexCount = 0;  // line starts known; each line but the last ends where the next starts
    qint64 endByte = 0;     // bytes indexed; once lineCount == indexCount the last line ends here
    qint64 endPosition = 0; // document position just after the text of the last complete line
    qint64 longestLine = 0; // in UTF-16 units
    qint64 fileSize = 0;
    bool hasCommMarker = false;
    bool indexing = false;
};

// One open log file and all that its readers share: the index, how its bytes become the text
// the ordinary view shows, and what the indexing passes published. The store, its indexing
// worker and searches each hold it; readers use the index below a snapshot's counts.
//
// The text is what QTextStream::readAll (default codec, a device opened in text mode) followed
// by QTextDocument::setPlainText gives: the stream decodes the raw file in 16 KiB chunks,
// carriage returns included, with one converter state, and drops the carriage returns after
// decoding; the document splits blocks at line feeds and at U+2029, U+FDD0 and U+FDD1.
class LogFile
{
public:
    // Reading bytes of one chunk of the stream.
    static constexpr qint64 chunkSize = 16384;
    // Lines longer than this many bytes are read and searched only up to it.
    static constexpr qint64 maxLineBytes = qint64(256) << 20;
    // Lines read together in one go at most.
    static constexpr qint64 batchBytes = qint64(64) << 20;
    // Lines longer than this many bytes are read in parts, through a sub-index of the line
    // (lineMap()): a screen, a key or a search decodes only the stretch it needs.
    static constexpr qint64 longLineBytes = 65536;

    // A readable regular file, or nullptr; never blocks on FIFOs or devices.
    static std::shared_ptr<LogFile> open(const QString &fileName);
    ~LogFile();
    LogFile(const LogFile &) = delete;
    LogFile &operator=(const LogFile &) = delete;

    const QString &fileName() const { return name; }
    LogSnapshot snapshot() const;

    // The file against the last indexing pass: unchanged, grown, or shrunk / replaced / gone.
    enum class Change { None, Grown, Invalid };
    Change change() const;

    // Indexes from the start of the last known line to the end of the file, calling `publish`
    // now and then and at the end (worker thread; one pass at a time).
    using Publish = std::function<void(const LogSnapshot &)>;
    void indexPass(const std::atomic<bool> &stop, const Publish &publish);

    // Reads [from, to) into `bytes`; false when the file no longer holds all of it.
    bool read(qint64 from, qint64 to, QByteArray *bytes) const;
    // The byte range of a line (its line break included when it has one).
    qint64 lineEnd(qint64 line, const LogSnapshot &snapshot) const;
    bool isTerminated(qint64 line, const LogSnapshot &snapshot) const
    {
        return line + 1 < snapshot.indexCount;
    }
    QString lineText(qint64 line, const LogSnapshot &snapshot) const;
    QStringList lineTexts(qint64 first, qint64 count, const LogSnapshot &snapshot) const;
    // At most `count` units of a line's text from `column` on; of a long line only the bytes
    // that hold them are decoded.
    QString lineSlice(qint64 line, qint64 column, qint64 count, const LogSnapshot &snapshot) const;
    // The texts of lines, each cut to its first `limit` units.
    QStringList lineHeads(qint64 first, qint64 count, qint64 limit,
                          const LogSnapshot &snapshot) const;
    bool isLongLine(qint64 line, const LogSnapshot &snapshot) const
    {
        return lineEnd(line, snapshot) - index.byteOffset(line) > longLineBytes;
    }
    // A line's length in UTF-16 units.
    qint64 lineLength(qint64 line, const LogSnapshot &snapshot) const
    {
        return (isTerminated(line, snapshot) ? index.position(line + 1) - 1
                                             : snapshot.endPosition) -
               index.position(line);
    }
    // The text of the bytes [from, to) of the file held in `bytes`, which start a line; without
    // the line break when `terminated`.
    QString decode(const char *bytes, qint64 from, qint64 to, bool terminated) const;

    // Where the text of a long line of a UTF-8 file stands in its bytes: at the line's start
    // and at the start of every stream chunk in it, the text units before that byte and the
    // converter's state there. Made in one counting pass over the line when first asked for;
    // the last few are kept.
    struct LineMap;
    std::shared_ptr<const LineMap> lineMap(qint64 line, const LogSnapshot &snapshot) const;
    // The text of a mapped line from checkpoint `from` on, carriage returns dropped, until it
    // holds `units` units or the line's bytes end (then with its line break, if it has one).
    QString mapText(const LineMap &map, size_t from, qint64 units) const;

    // A byte in the one line whose text is not its bytes' even where they are plain ASCII (it
    // holds the byte-order mark the stream drops in mid-file), or -1.
    qint64 droppedMarkOffset() const { return droppedMark.load(std::memory_order_acquire); }
    // Whether lines need the codec at all (false: a locale or byte-order mark other than UTF-8;
    // then every line is decoded from its chunk).
    bool isUtf8() const { return utf8; }
    // What QTextStream decodes with when no byte-order mark says otherwise: the locale's codec
    // in Qt 5, UTF-8 whatever the locale in Qt 6.
    static QTextCodec *streamDefaultCodec();

    LogIndex index;

private:
    LogFile() = default;
    struct OpenLine;
    struct SavedState {
        int flags = 0;
        int internalState = 0; // Qt 6
        int remainingChars = 0;
        uint data[std::extent_v<decltype(QTextCodec::ConverterState::state_data)>] = {};
    };
    static void save(const QTextCodec::ConverterState &state, SavedState *saved);
    static void restore(const SavedState &saved, QTextCodec::ConverterState *state);

    bool chooseCodec();
    qint64 readSome(qint64 from, char *into, qint64 size) const;
    void findHeaderChunk(const char *window, qint64 windowStart, qint64 windowEnd);
    void feed(OpenLine &line, const char *bytes, qint64 from, qint64 to) const;
    // The text units (carriage returns left out) that the codec makes of `size` bytes of one
    // chunk with `state`, which is carried on as toUnicode() carries it; `carriageReturn` is
    // set when some were left out. Valid UTF-8 is counted without decoding it.
    qint64 countUnits(const char *bytes, qint64 size, QTextCodec::ConverterState &state,
                      bool *carriageReturn) const;
    // The text of bytes [from, to) decoded from `state` at `from` (a chunk's start, or a line's
    // start with a fresh state), carriage returns dropped, until it holds `units` units.
    QString decodeRange(qint64 from, qint64 to, const SavedState &state, qint64 units) const;
    QString wideSlice(qint64 line, qint64 column, qint64 count, const LogSnapshot &snapshot) const;
    void scanWindow(const char *window, qint64 windowStart, qint64 windowEnd, qint64 dataEnd,
                    qint64 &at, OpenLine &line);
    void decodeWindow(const char *window, qint64 windowStart, qint64 windowEnd, OpenLine &line);
    void endLine(OpenLine &line, qint64 nextStart, const char *window, qint64 windowStart);
    // A long line's map is made as it is indexed: a checkpoint at each chunk start in it.
    static void markChunkStart(OpenLine &line, qint64 at);
    void keepLineMap(OpenLine &line, qint64 end);
    void keepMap(const std::shared_ptr<const LineMap> &map) const;
    void checkCommMarker(const OpenLine &line, qint64 end, bool terminated, const char *bytes);
    QStringList wideTexts(qint64 first, qint64 count, const LogSnapshot &snapshot) const;

    int fd = -1;
    dev_t device = 0;
    ino_t inode = 0;
    QString name;
    QTextCodec *codec = nullptr;
    bool utf8 = true;
    bool codecChosen = false;
    qint64 codecSampleSize = 0; // bytes the codec choice saw (it looks at the first four)

    // The first chunk whose decoding clears the stream's header flag: a byte-order mark at the
    // start of it (and of no other) is dropped. Until found, every chunk so far may be it.
    static constexpr qint64 unknownChunk = std::numeric_limits<qint64>::max();
    std::atomic<qint64> headerChunk{unknownChunk};
    std::atomic<qint64> droppedMark{-1};
    qint64 nextHeaderChunk = 0;     // chunks before it are settled
    SavedState headerState;         // the stream's converter state before nextHeaderChunk
    bool headerFromPartial = false; // found in a chunk cut short by the end of the file

    // Codecs other than UTF-8: the converter state before each chunk and the document position
    // of the chunk's first character.
    struct ChunkStart {
        SavedState state;
        qint64 position = 0;
    };
    std::vector<ChunkStart> chunkStarts; // guarded by `mutex`
    SavedState wideState;                // the stream's state after the last decoded chunk
    qint64 wideDecodedEnd = 0;
    QString wideTail; // the end of the last chunk's text, for a marker across two chunks

    qint64 longestLine = 0;
    bool hasCommMarker = false;
    mutable std::mutex mutex;
    LogSnapshot published;

    mutable std::mutex mapsMutex;
    mutable std::vector<std::shared_ptr<const LineMap>> maps; // the latest first
};

struct LogFile::LineMap {
    struct Checkpoint {
        qint64 byte = 0;
        qint64 column = 0;
        SavedState state;
    };
    qint64 start = 0;
    qint64 end = 0;    // of the bytes mapped, the line break included (at most maxLineBytes)
    qint64 length = 0; // text units, without the line break
    std::vector<Checkpoint> checkpoints;

    // The last checkpoint at or before a column.
    size_t checkpointAt(qint64 column) const;
};
