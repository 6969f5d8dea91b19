// SPDX-License-Identifier: GPL-3.0-or-later
#include "logstore/logindex.h"

#include <algorithm>
#include <new>

#if defined(__SSE2__) && defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace
{
constexpr int blockBits = 6;
constexpr qint64 blockMask = LogIndex::blockLines - 1;
constexpr int chunkBits = 8; // blocks per chunk: 16,384 lines in 22 KiB
constexpr qint64 chunkBlocks = qint64(1) << chunkBits;
constexpr qint64 chunkMask = chunkBlocks - 1;
constexpr qint64 byteLimit = 255;
constexpr size_t arenaSize = size_t(64) << 10;

// The sum of the first `count` (at most 63) of the 64 bytes at `bytes`.
inline qint64 sumOfFirst(const quint8 *bytes, int count)
{
#if defined(__SSE2__) && defined(__x86_64__)
    const __m128i limit = _mm_set1_epi8(char(count));
    const __m128i step = _mm_set1_epi8(16);
    const __m128i zero = _mm_setzero_si128();
    __m128i index = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    __m128i total = zero;
    for (int i = 0; i < count; i += 16) {
        const __m128i keep = _mm_cmpgt_epi8(limit, index);
        const __m128i values =
            _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + i)), keep);
        total = _mm_add_epi64(total, _mm_sad_epu8(values, zero));
        index = _mm_add_epi8(index, step);
    }
    return _mm_cvtsi128_si64(total) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(total, total));
#else
    qint64 sum = 0;
    for (int i = 0; i < count; ++i)
        sum += bytes[i];
    return sum;
#endif
}
} // namespace

// A distance longer than a byte holds: the byte says 255, the exception the rest.
struct LogIndex::Exception {
    qint64 slot;
    qint64 excess;
};

struct LogIndex::Extra {
    const Exception *exceptions; // those of the bytes, then those of the positions, each by slot
    int byteExceptions;
    int positionExceptions;
    bool ownPositions;            // positions do not follow the bytes
    quint8 positionDistances[64]; // then: units from each line to the next, as the bytes' are
};

struct LogIndex::Block {
    qint64 byteOffset; // of its first line
    qint64 position;
    const Extra *extra; // none when every distance fits a byte and positions follow the bytes
    quint8 distances[LogIndex::blockLines - 1]; // bytes from each line to the next
    quint8 deficit; // units fewer than bytes in each line, where positions follow the bytes

    static qint64 excess(const Exception *from, int count, int slot)
    {
        qint64 sum = 0;
        for (const Exception *e = from; e < from + count && e->slot < slot; ++e)
            sum += e->excess;
        return sum;
    }

    bool positionsFollowBytes() const { return !extra || !extra->ownPositions; }

    qint64 byteAt(int slot) const
    {
        qint64 value = byteOffset + sumOfFirst(distances, slot);
        if (extra)
            value += excess(extra->exceptions, extra->byteExceptions, slot);
        return value;
    }

    qint64 positionAt(int slot) const
    {
        if (positionsFollowBytes())
            return position + (byteAt(slot) - byteOffset) - qint64(slot) * deficit;
        return position + sumOfFirst(extra->positionDistances, slot) +
               excess(extra->exceptions + extra->byteExceptions, extra->positionExceptions, slot);
    }

    // Values of `count` lines from `slot` on: the first one, then distance after distance.
    static void accumulate(qint64 first, const quint8 *steps, const Exception *exceptions,
                           int exceptionCount, int slot, int count, qint64 *values)
    {
        const Exception *end = exceptions + exceptionCount;
        while (exceptions < end && exceptions->slot < slot)
            ++exceptions;
        qint64 value = first;
        values[0] = value;
        for (int i = 1; i < count; ++i) {
            const int previous = slot + i - 1;
            value += steps[previous];
            if (exceptions < end && exceptions->slot == previous)
                value += (exceptions++)->excess;
            values[i] = value;
        }
    }

    void read(int slot, int count, qint64 *bytes, qint64 *positions) const
    {
        const int byteExceptions = extra ? extra->byteExceptions : 0;
        accumulate(byteAt(slot), distances, extra ? extra->exceptions : nullptr, byteExceptions,
                   slot, count, bytes);
        if (!positions)
            return;
        if (positionsFollowBytes()) {
            for (int i = 0; i < count; ++i)
                positions[i] = position + (bytes[i] - byteOffset) - qint64(slot + i) * deficit;
        } else {
            accumulate(positionAt(slot), extra->positionDistances,
                       extra->exceptions + byteExceptions, extra->positionExceptions, slot, count,
                       positions);
        }
    }
};

LogIndex::LogIndex()
{
    for (int i = 0; i < blockLines; ++i) {
        openBytes[i].store(0, std::memory_order_relaxed);
        openPositions[i].store(0, std::memory_order_relaxed);
    }
}

LogIndex::~LogIndex() = default;

void LogIndex::append(qint64 byteOffset, qint64 position)
{
    const qint64 line = published.load(std::memory_order_relaxed);
    const int slot = int(line & blockMask);
    // Readers that see an entry of this block again also see that the one before was sealed.
    if (slot == 0)
        std::atomic_thread_fence(std::memory_order_release);
    openBytes[slot].store(byteOffset, std::memory_order_relaxed);
    openPositions[slot].store(position, std::memory_order_relaxed);
    if (slot == blockLines - 1)
        seal(line >> blockBits);
    published.store(line + 1, std::memory_order_release);
}

void *LogIndex::allocate(size_t size)
{
    size = (size + 7) & ~size_t(7);
    if (size > arenaLeft) {
        const size_t capacity = std::max(arenaSize, size);
        arenas.emplace_back(new char[capacity]);
        usedBytes.fetch_add(qint64(capacity), std::memory_order_relaxed);
        arenaNext = arenas.back().get();
        arenaLeft = capacity;
    }
    void *at = arenaNext;
    arenaNext += size;
    arenaLeft -= size;
    return at;
}

LogIndex::Block &LogIndex::newBlock(qint64 number)
{
    const qint64 chunk = number >> chunkBits;
    Block **blocks = directory.load(std::memory_order_relaxed);
    if ((number & chunkMask) == 0) {
        if (chunk >= directoryCapacity) {
            // Readers may still hold the old directory, so it is kept, not freed.
            const qint64 capacity = std::max<qint64>(64, directoryCapacity * 2);
            std::unique_ptr<Block *[]> grown(new Block *[size_t(capacity)]());
            std::copy(blocks, blocks + directoryCapacity, grown.get());
            blocks = grown.get();
            directories.push_back(std::move(grown));
            usedBytes.fetch_add(capacity * qint64(sizeof(Block *)), std::memory_order_relaxed);
            directoryCapacity = capacity;
            directory.store(blocks, std::memory_order_release);
        }
        chunks.emplace_back(new Block[size_t(chunkBlocks)]);
        blocks[chunk] = chunks.back().get();
        usedBytes.fetch_add(chunkBlocks * qint64(sizeof(Block)), std::memory_order_relaxed);
    }
    return blocks[chunk][number & chunkMask];
}

void LogIndex::seal(qint64 number)
{
    qint64 bytes[blockLines];
    qint64 positions[blockLines];
    for (int i = 0; i < blockLines; ++i) {
        bytes[i] = openBytes[i].load(std::memory_order_relaxed);
        positions[i] = openPositions[i].load(std::memory_order_relaxed);
    }
    Block &block = newBlock(number);
    block.byteOffset = bytes[0];
    block.position = positions[0];
    block.extra = nullptr;
    Exception exceptions[2 * (blockLines - 1)];
    int byteExceptions = 0;
    const qint64 deficit = (bytes[1] - bytes[0]) - (positions[1] - positions[0]);
    bool follows = deficit >= 0 && deficit <= byteLimit;
    for (int slot = 0; slot < blockLines - 1; ++slot) {
        const qint64 distance = bytes[slot + 1] - bytes[slot];
        block.distances[slot] = quint8(std::min(distance, byteLimit));
        if (distance > byteLimit)
            exceptions[byteExceptions++] = {slot, distance - byteLimit};
        follows = follows && distance - (positions[slot + 1] - positions[slot]) == deficit;
    }
    block.deficit = follows ? quint8(deficit) : 0;
    if (byteExceptions == 0 && follows)
        return;

    auto *extra = new (allocate(sizeof(Extra))) Extra;
    extra->ownPositions = !follows;
    extra->byteExceptions = byteExceptions;
    int positionExceptions = 0;
    if (!follows) {
        for (int slot = 0; slot < blockLines - 1; ++slot) {
            const qint64 distance = positions[slot + 1] - positions[slot];
            extra->positionDistances[slot] = quint8(std::min(distance, byteLimit));
            if (distance > byteLimit)
                exceptions[byteExceptions + positionExceptions++] = {slot, distance - byteLimit};
        }
        extra->positionDistances[blockLines - 1] = 0;
    }
    extra->positionExceptions = positionExceptions;
    const int total = byteExceptions + positionExceptions;
    auto *kept = static_cast<Exception *>(allocate(sizeof(Exception) * size_t(total)));
    std::copy(exceptions, exceptions + total, kept);
    extra->exceptions = kept;
    block.extra = extra;
}

const LogIndex::Block *LogIndex::sealedBlock(qint64 number) const
{
    if (((number + 1) << blockBits) > published.load(std::memory_order_acquire))
        return nullptr;
    return directory.load(std::memory_order_acquire)[number >> chunkBits] + (number & chunkMask);
}

bool LogIndex::readOpen(qint64 first, int count, qint64 *byteOffsets, qint64 *positions) const
{
    const qint64 sealedAt = ((first >> blockBits) + 1) << blockBits;
    const int slot = int(first & blockMask);
    for (int i = 0; i < count; ++i) {
        byteOffsets[i] = openBytes[slot + i].load(std::memory_order_relaxed);
        if (positions)
            positions[i] = openPositions[slot + i].load(std::memory_order_relaxed);
    }
    std::atomic_thread_fence(std::memory_order_acquire);
    return published.load(std::memory_order_relaxed) < sealedAt;
}

void LogIndex::read(qint64 first, int count, qint64 *byteOffsets, qint64 *positions) const
{
    while (count > 0) {
        const qint64 number = first >> blockBits;
        const int slot = int(first & blockMask);
        const int here = std::min(count, blockLines - slot);
        const Block *block = sealedBlock(number);
        if (!block && !readOpen(first, here, byteOffsets, positions))
            block = sealedBlock(number);
        if (block)
            block->read(slot, here, byteOffsets, positions);
        first += here;
        count -= here;
        byteOffsets += here;
        if (positions)
            positions += here;
    }
}

qint64 LogIndex::byteOffset(qint64 line) const
{
    if (const Block *block = sealedBlock(line >> blockBits))
        return block->byteAt(int(line & blockMask));
    qint64 value = 0;
    read(line, 1, &value, nullptr);
    return value;
}

qint64 LogIndex::position(qint64 line) const
{
    if (const Block *block = sealedBlock(line >> blockBits))
        return block->positionAt(int(line & blockMask));
    qint64 byte = 0;
    qint64 value = 0;
    read(line, 1, &byte, &value);
    return value;
}

template <bool byPosition> qint64 LogIndex::lastLineAtOrBefore(qint64 value, qint64 limit) const
{
    const qint64 lines = std::min(limit, count());
    if (lines <= 0)
        return 0;
    const auto valueAt = [this](qint64 line) {
        return byPosition ? position(line) : byteOffset(line);
    };
    // The last block that starts at or before the value, or the first.
    qint64 low = 0;
    qint64 high = ((lines - 1) >> blockBits) + 1;
    while (high - low > 1) {
        const qint64 middle = low + (high - low) / 2;
        if (valueAt(middle << blockBits) <= value)
            low = middle;
        else
            high = middle;
    }
    const qint64 first = low << blockBits;
    const int inBlock = int(std::min<qint64>(blockLines, lines - first));
    qint64 bytes[blockLines];
    qint64 positions[blockLines];
    read(first, inBlock, bytes, byPosition ? positions : nullptr);
    const qint64 *values = byPosition ? positions : bytes;
    int at = 0;
    while (at + 1 < inBlock && values[at + 1] <= value)
        ++at;
    return first + at;
}

qint64 LogIndex::lineAtByte(qint64 byteOffset, qint64 limit) const
{
    return lastLineAtOrBefore<false>(byteOffset, limit);
}

qint64 LogIndex::lineAtPosition(qint64 position, qint64 limit) const
{
    return lastLineAtOrBefore<true>(position, limit);
}
