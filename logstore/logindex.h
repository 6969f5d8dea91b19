// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <atomic>
#include <memory>
#include <vector>

// Where every line of a log starts: its byte offset in the file and its document position (the
// UTF-16 units before it, one per line break). It only grows, by appending.
//
// Lines are kept in blocks of 64: a block holds its first line's values and, for each line, the
// bytes to the next line in one byte (longer distances add an exception). Positions follow the
// bytes where every line of the block has as many units as bytes less the same count (ASCII with
// LF or CRLF ends); other blocks keep their positions' distances the same way. That is about 1.4
// bytes a line. The block being filled is kept in full until its last line comes.
//
// One thread appends, any thread reads the lines below count(); nothing already published moves.
class LogIndex
{
public:
    static constexpr int blockLines = 64;

    LogIndex();
    ~LogIndex();
    LogIndex(const LogIndex &) = delete;
    LogIndex &operator=(const LogIndex &) = delete;

    // Appends the next line start; neither value may be less than the previous one's.
    void append(qint64 byteOffset, qint64 position);
    // How many line starts are published; those below it may be read from any thread.
    qint64 count() const { return published.load(std::memory_order_acquire); }
    qint64 byteOffset(qint64 line) const;
    qint64 position(qint64 line) const;
    // The starts of `count` lines from `first` on, all below count(), in one go; `positions` may
    // be null.
    void read(qint64 first, int count, qint64 *byteOffsets, qint64 *positions) const;
    // The last line below `limit` that starts at or before the given byte offset or position
    // (0 when none does).
    qint64 lineAtByte(qint64 byteOffset, qint64 limit) const;
    qint64 lineAtPosition(qint64 position, qint64 limit) const;
    // Heap memory the index holds, in bytes.
    qint64 memoryUsed() const { return usedBytes.load(std::memory_order_relaxed); }

private:
    struct Block;
    struct Extra;
    struct Exception;

    const Block *sealedBlock(qint64 number) const;
    // The open block's entries for lines [first, first + count); false when the block was sealed
    // meanwhile (then its entries are read from the block).
    bool readOpen(qint64 first, int count, qint64 *byteOffsets, qint64 *positions) const;
    void seal(qint64 number);
    Block &newBlock(qint64 number);
    void *allocate(size_t size);
    template <bool byPosition> qint64 lastLineAtOrBefore(qint64 value, qint64 limit) const;

    std::atomic<Block **> directory{nullptr}; // chunks of blocks
    qint64 directoryCapacity = 0;
    std::vector<std::unique_ptr<Block *[]>> directories; // older ones stay valid for readers
    std::vector<std::unique_ptr<Block[]>> chunks;
    std::vector<std::unique_ptr<char[]>> arenas; // what blocks keep beyond their fixed part
    size_t arenaLeft = 0;
    char *arenaNext = nullptr;
    // The block being filled. Its entries are reused for the next block once it is sealed, so a
    // reader checks after reading them that the block was not sealed meanwhile.
    std::atomic<qint64> openBytes[blockLines];
    std::atomic<qint64> openPositions[blockLines];
    std::atomic<qint64> published{0};
    std::atomic<qint64> usedBytes{0};
};
