#include "logstore/logindex.h"

#include <algorithm>
#include <limits>

namespace
{
constexpr int pageBits = 12;
constexpr qint64 pageSize = qint64(1) << pageBits;
constexpr qint64 pageMask = pageSize - 1;
constexpr qint64 narrowLimit = std::numeric_limits<quint32>::max();
} // namespace

// A page keeps 32-bit distances from its first line; a page that spans 4 GiB or more (lines of
// gigabytes) keeps full values from the entry on where the distance no longer fits.
struct LogIndex::Page {
    qint64 baseByte = 0;
    qint64 basePosition = 0;
    quint32 byteDelta[pageSize];
    quint32 positionDelta[pageSize];
    std::atomic<qint64> wideFrom{pageSize}; // set before the first wide entry is published
    std::unique_ptr<qint64[]> wideByte;
    std::unique_ptr<qint64[]> widePosition;

    bool isWide(qint64 slot) const { return slot >= wideFrom.load(std::memory_order_relaxed); }
    qint64 byteAt(qint64 slot) const
    {
        return isWide(slot) ? wideByte[slot] : baseByte + byteDelta[slot];
    }
    qint64 positionAt(qint64 slot) const
    {
        return isWide(slot) ? widePosition[slot] : basePosition + positionDelta[slot];
    }
};

LogIndex::LogIndex() = default;

LogIndex::~LogIndex()
{
    Page **pages = directory.load(std::memory_order_relaxed);
    const qint64 pageCount = (published.load(std::memory_order_relaxed) + pageMask) >> pageBits;
    for (qint64 i = 0; i < pageCount; ++i)
        delete pages[i];
}

void LogIndex::append(qint64 byteOffset, qint64 position)
{
    const qint64 line = published.load(std::memory_order_relaxed);
    const qint64 pageNumber = line >> pageBits;
    const qint64 slot = line & pageMask;
    Page **pages = directory.load(std::memory_order_relaxed);
    if (slot == 0) {
        if (pageNumber >= directoryCapacity) {
            // Readers may still hold the old directory, so it is kept, not freed.
            const qint64 capacity = std::max<qint64>(64, directoryCapacity * 2);
            std::unique_ptr<Page *[]> grown(new Page *[capacity]());
            std::copy(pages, pages + directoryCapacity, grown.get());
            pages = grown.get();
            directories.push_back(std::move(grown));
            usedBytes.fetch_add(capacity * qint64(sizeof(Page *)), std::memory_order_relaxed);
            directoryCapacity = capacity;
            directory.store(pages, std::memory_order_release);
        }
        auto *page = new Page;
        page->baseByte = byteOffset;
        page->basePosition = position;
        pages[pageNumber] = page;
        usedBytes.fetch_add(qint64(sizeof(Page)), std::memory_order_relaxed);
    }
    Page &page = *pages[pageNumber];
    const qint64 byteDistance = byteOffset - page.baseByte;
    const qint64 positionDistance = position - page.basePosition;
    if (!page.isWide(pageSize - 1) &&
        (byteDistance > narrowLimit || positionDistance > narrowLimit)) {
        page.wideByte.reset(new qint64[pageSize]);
        page.widePosition.reset(new qint64[pageSize]);
        usedBytes.fetch_add(2 * pageSize * qint64(sizeof(qint64)), std::memory_order_relaxed);
        page.wideFrom.store(slot, std::memory_order_relaxed);
    }
    if (page.isWide(slot)) {
        page.wideByte[slot] = byteOffset;
        page.widePosition[slot] = position;
    } else {
        page.byteDelta[slot] = quint32(byteDistance);
        page.positionDelta[slot] = quint32(positionDistance);
    }
    published.store(line + 1, std::memory_order_release);
}

const LogIndex::Page &LogIndex::pageOf(qint64 line) const
{
    return *directory.load(std::memory_order_acquire)[line >> pageBits];
}

qint64 LogIndex::byteOffset(qint64 line) const
{
    return pageOf(line).byteAt(line & pageMask);
}

qint64 LogIndex::position(qint64 line) const
{
    return pageOf(line).positionAt(line & pageMask);
}

template <typename Value>
qint64 LogIndex::lastLineAtOrBefore(qint64 value, qint64 limit, Value valueOf) const
{
    qint64 low = 0; // valueOf(low) <= value, or low == 0
    qint64 high = std::min(limit, count());
    while (high - low > 1) {
        const qint64 middle = low + (high - low) / 2;
        if (valueOf(middle) <= value)
            low = middle;
        else
            high = middle;
    }
    return low;
}

qint64 LogIndex::lineAtByte(qint64 byteOffset, qint64 limit) const
{
    return lastLineAtOrBefore(byteOffset, limit,
                              [this](qint64 line) { return this->byteOffset(line); });
}

qint64 LogIndex::lineAtPosition(qint64 position, qint64 limit) const
{
    return lastLineAtOrBefore(position, limit,
                              [this](qint64 line) { return this->position(line); });
}
