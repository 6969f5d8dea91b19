#pragma once

#include <QtGlobal>
#include <atomic>
#include <memory>
#include <vector>

// Where every line of a log starts: its byte offset in the file and its document position (the
// UTF-16 units before it, one per line break). It only grows, by appending; about 8 bytes a line.
// One thread appends, any thread reads the lines below count(); nothing already published moves.
class LogIndex
{
public:
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
    // The last line below `limit` that starts at or before the given byte offset or position
    // (0 when none does).
    qint64 lineAtByte(qint64 byteOffset, qint64 limit) const;
    qint64 lineAtPosition(qint64 position, qint64 limit) const;
    // Heap memory the index holds, in bytes.
    qint64 memoryUsed() const { return usedBytes.load(std::memory_order_relaxed); }

private:
    struct Page;
    const Page &pageOf(qint64 line) const;
    template <typename Value>
    qint64 lastLineAtOrBefore(qint64 value, qint64 limit, Value valueOf) const;

    std::atomic<Page **> directory{nullptr};
    qint64 directoryCapacity = 0;
    std::vector<std::unique_ptr<Page *[]>> directories; // older ones stay valid for readers
    std::atomic<qint64> published{0};
    std::atomic<qint64> usedBytes{0};
};
