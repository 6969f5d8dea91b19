// SPDX-License-Identifier: GPL-3.0-or-later
#include "logstore/bytescan.h"

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#define BYTESCAN_AVX2 1
#include <immintrin.h>
#endif

namespace bytescan
{
namespace
{
inline uchar lower(uchar c)
{
    return c >= 'A' && c <= 'Z' ? uchar(c | 0x20) : c;
}

#ifdef __SSE2__
inline __m128i load(const char *at)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
}
#endif

#ifdef BYTESCAN_AVX2
// The build targets plain x86-64; the wider loops are used where the machine has them.
bool hasAvx2()
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

__attribute__((target("avx2"))) inline __m256i load32(const char *at)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at));
}

// findSpecial() over whole 64-byte stretches; returns where it stopped.
__attribute__((target("avx2"))) const char *findSpecialAvx2(const char *at, const char *end,
                                                            bool high)
{
    const __m256i carriageReturn = _mm256_set1_epi8('\r');
    const __m256i highMask = high ? _mm256_set1_epi8(char(0x80)) : _mm256_setzero_si256();
    while (end - at >= 64) {
        const __m256i low = load32(at);
        const __m256i upper = load32(at + 32);
        const __m256i special =
            _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(low, carriageReturn),
                                            _mm256_cmpeq_epi8(upper, carriageReturn)),
                            _mm256_and_si256(_mm256_or_si256(low, upper), highMask));
        if (!_mm256_testz_si256(special, special))
            return at; // the narrower loop finds the byte
        at += 64;
    }
    return at;
}

// Skips the 32-byte stretches without a byte >= 0x80 (when `high`) or a carriage return other
// than one right before a line feed, so that CRLF line ends do not stop the scan; returns where
// it stopped.
__attribute__((target("avx2"))) const char *findChangeAvx2(const char *at, const char *end,
                                                           bool high)
{
    const __m256i carriageReturn = _mm256_set1_epi8('\r');
    const __m256i lineFeed = _mm256_set1_epi8('\n');
    while (end - at > 32) {
        const __m256i bytes = load32(at);
        const unsigned returns =
            unsigned(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, carriageReturn)));
        const unsigned feedsAfter =
            unsigned(_mm256_movemask_epi8(_mm256_cmpeq_epi8(load32(at + 1), lineFeed)));
        const unsigned highBytes = high ? unsigned(_mm256_movemask_epi8(bytes)) : 0;
        if ((returns & ~feedsAfter) | highBytes)
            return at;
        at += 32;
    }
    return at;
}
#endif
} // namespace

const char *findLineEndOrHigh(const char *from, const char *end, qint64 *carriageReturns)
{
    const char *at = from;
#ifdef __SSE2__
    const __m128i lineFeed = _mm_set1_epi8('\n');
    const __m128i carriageReturn = _mm_set1_epi8('\r');
    while (end - at >= 16) {
        const __m128i bytes = load(at);
        // A line feed compares to 0xFF; high bytes carry their own top bit.
        const unsigned stops =
            unsigned(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, lineFeed), bytes)));
        unsigned returns = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, carriageReturn)));
        if (stops) {
            const int first = __builtin_ctz(stops);
            returns &= (1u << first) - 1;
            if (returns)
                *carriageReturns += __builtin_popcount(returns);
            return at + first;
        }
        if (returns)
            *carriageReturns += __builtin_popcount(returns);
        at += 16;
    }
#endif
    for (; at < end; ++at) {
        const auto c = uchar(*at);
        if (c == '\n' || c >= 0x80)
            return at;
        if (c == '\r')
            ++*carriageReturns;
    }
    return end;
}

const char *findHigh(const char *from, const char *end, qint64 *carriageReturns)
{
    const char *at = from;
    qint64 returns = 0;
#ifdef __SSE2__
    const __m128i carriageReturn = _mm_set1_epi8('\r');
    while (end - at >= 16) {
        const __m128i bytes = load(at);
        const unsigned high = unsigned(_mm_movemask_epi8(bytes));
        unsigned found = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, carriageReturn)));
        if (high)
            found &= (1u << __builtin_ctz(high)) - 1;
        if (found)
            returns += __builtin_popcount(found);
        if (high) {
            *carriageReturns += returns;
            return at + __builtin_ctz(high);
        }
        at += 16;
    }
#endif
    for (; at < end && uchar(*at) < 0x80; ++at)
        returns += *at == '\r';
    *carriageReturns += returns;
    return at;
}

const char *findEither(const char *from, const char *end, char first, char second)
{
    const char *at = from;
#ifdef __SSE2__
    const __m128i one = _mm_set1_epi8(first);
    const __m128i other = _mm_set1_epi8(second);
    while (end - at >= 16) {
        const __m128i bytes = load(at);
        const unsigned found = unsigned(_mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi8(bytes, one), _mm_cmpeq_epi8(bytes, other))));
        if (found)
            return at + __builtin_ctz(found);
        at += 16;
    }
#endif
    for (; at < end; ++at) {
        if (*at == first || *at == second)
            return at;
    }
    return end;
}

bool isAscii(const char *from, const char *end)
{
    const char *at = from;
#ifdef __SSE2__
    while (end - at >= 64) {
        const __m128i any = _mm_or_si128(_mm_or_si128(load(at), load(at + 16)),
                                         _mm_or_si128(load(at + 32), load(at + 48)));
        if (_mm_movemask_epi8(any))
            return false;
        at += 64;
    }
#endif
    for (; at < end; ++at) {
        if (uchar(*at) >= 0x80)
            return false;
    }
    return true;
}

const char *findSpecial(const char *from, const char *end, bool high)
{
    const char *at = from;
#ifdef BYTESCAN_AVX2
    if (hasAvx2())
        at = findSpecialAvx2(at, end, high);
#endif
#ifdef __SSE2__
    const __m128i carriageReturn = _mm_set1_epi8('\r');
    const __m128i highMask = high ? _mm_set1_epi8(char(0x80)) : _mm_setzero_si128();
    while (end - at >= 16) {
        const __m128i bytes = load(at);
        const __m128i special =
            _mm_or_si128(_mm_cmpeq_epi8(bytes, carriageReturn), _mm_and_si128(bytes, highMask));
        const unsigned mask = unsigned(_mm_movemask_epi8(special));
        if (mask)
            return at + __builtin_ctz(mask);
        at += 16;
    }
#endif
    for (; at < end; ++at) {
        const auto c = uchar(*at);
        if (c == '\r' || (high && c >= 0x80))
            return at;
    }
    return end;
}

const char *findTextChange(const char *from, const char *end, bool high, bool openEnd)
{
    for (const char *at = from;;) {
#ifdef BYTESCAN_AVX2
        if (hasAvx2())
            at = findChangeAvx2(at, end, high);
#endif
        at = findSpecial(at, end, high);
        if (at == end || *at != '\r')
            return at;
        const char *run = at;
        while (run < end && *run == '\r')
            ++run;
        if (run == end ? openEnd : *run != '\n')
            return at;
        at = run;
    }
}

qint64 plainTextLength(const char *from, const char *end)
{
    if (end > from && end[-1] == '\n')
        --end;
    while (end > from && end[-1] == '\r')
        --end;
    return end - from;
}

const char *findLineFeed(const char *from, const char *end)
{
    const void *at = std::memchr(from, '\n', size_t(end - from));
    return at ? static_cast<const char *>(at) : end;
}

Needle::Needle(const QByteArray &needle, bool ignoreCase) : bytes(needle), ignoreCase(ignoreCase)
{
    if (ignoreCase) {
        for (char &c : bytes)
            c = char(lower(uchar(c)));
    }
    // Up to eight bytes are compared at once; a letter of a case-blind needle with 0x20 set,
    // which folds exactly the two cases of that letter onto it.
    for (int i = 0; i < std::min(8, int(bytes.size())); ++i) {
        const auto c = uchar(bytes.at(i));
        headValue |= quint64(c) << (8 * i);
        headMask |= quint64(0xFF) << (8 * i);
        if (ignoreCase && c >= 'a' && c <= 'z')
            headFold |= quint64(0x20) << (8 * i);
    }
}

bool Needle::matchesAt(const char *at) const
{
    if (!ignoreCase)
        return std::memcmp(at, bytes.constData(), size_t(bytes.size())) == 0;
    for (int i = 0; i < bytes.size(); ++i) {
        if (lower(uchar(at[i])) != uchar(bytes.at(i)))
            return false;
    }
    return true;
}

bool Needle::matchesBefore(const char *at, const char *end) const
{
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    if (end - at >= 8) {
        quint64 word = 0;
        std::memcpy(&word, at, 8);
        if (((word | headFold) & headMask) != headValue)
            return false;
        if (bytes.size() <= 8)
            return true;
    }
#else
    Q_UNUSED(end)
#endif
    return matchesAt(at);
}

namespace
{
// Candidates agree with the needle's first, middle and last byte once 0x20 is set on letters
// among them (a case-blind needle); set on every byte it lets a few non-letters through, which
// `verify` rejects. The middle byte keeps out most of the starts that agree at both ends in
// logs of hex bytes. Each loop takes starts up to `last` while a whole vector fits; `at` is where
// it stopped.
struct Probe {
    uchar first;
    uchar middle; // at length / 2
    uchar final;
    char firstFold;
    char middleFold;
    char finalFold;
    int length;
};

#ifdef BYTESCAN_AVX2
template <typename Verify>
__attribute__((target("avx2"))) const char *findProbeAvx2(const char *&at, const char *last,
                                                          const Probe &probe, const Verify &verify)
{
    const __m256i firstFold = _mm256_set1_epi8(probe.firstFold);
    const __m256i middleFold = _mm256_set1_epi8(probe.middleFold);
    const __m256i finalFold = _mm256_set1_epi8(probe.finalFold);
    const __m256i firstByte = _mm256_set1_epi8(char(probe.first));
    const __m256i middleByte = _mm256_set1_epi8(char(probe.middle));
    const __m256i finalByte = _mm256_set1_epi8(char(probe.final));
    const int middle = probe.length / 2;
    while (last - at >= 31) {
        const __m256i head = _mm256_or_si256(load32(at), firstFold);
        const __m256i centre = _mm256_or_si256(load32(at + middle), middleFold);
        const __m256i tail = _mm256_or_si256(load32(at + probe.length - 1), finalFold);
        unsigned mask = unsigned(_mm256_movemask_epi8(
            _mm256_and_si256(_mm256_and_si256(_mm256_cmpeq_epi8(head, firstByte),
                                              _mm256_cmpeq_epi8(centre, middleByte)),
                             _mm256_cmpeq_epi8(tail, finalByte))));
        while (mask) {
            const char *candidate = at + __builtin_ctz(mask);
            if (verify(candidate))
                return candidate;
            mask &= mask - 1;
        }
        at += 32;
    }
    return nullptr;
}
#endif

#ifdef __SSE2__
template <typename Verify>
const char *findProbeSse2(const char *&at, const char *last, const Probe &probe,
                          const Verify &verify)
{
    const __m128i firstFold = _mm_set1_epi8(probe.firstFold);
    const __m128i middleFold = _mm_set1_epi8(probe.middleFold);
    const __m128i finalFold = _mm_set1_epi8(probe.finalFold);
    const __m128i firstByte = _mm_set1_epi8(char(probe.first));
    const __m128i middleByte = _mm_set1_epi8(char(probe.middle));
    const __m128i finalByte = _mm_set1_epi8(char(probe.final));
    const int middle = probe.length / 2;
    while (last - at >= 15) {
        const __m128i head = _mm_or_si128(load(at), firstFold);
        const __m128i centre = _mm_or_si128(load(at + middle), middleFold);
        const __m128i tail = _mm_or_si128(load(at + probe.length - 1), finalFold);
        unsigned mask = unsigned(_mm_movemask_epi8(_mm_and_si128(
            _mm_and_si128(_mm_cmpeq_epi8(head, firstByte), _mm_cmpeq_epi8(centre, middleByte)),
            _mm_cmpeq_epi8(tail, finalByte))));
        while (mask) {
            const char *candidate = at + __builtin_ctz(mask);
            if (verify(candidate))
                return candidate;
            mask &= mask - 1;
        }
        at += 16;
    }
    return nullptr;
}
#endif
} // namespace

const char *Needle::findIn(const char *from, const char *end) const
{
    const int length = bytes.size();
    if (length == 0 || end - from < length)
        return nullptr;
    const auto fold = [this](uchar c) {
        return char(ignoreCase && c >= 'a' && c <= 'z' ? 0x20 : 0);
    };
    const auto first = uchar(bytes.at(0));
    const auto middle = uchar(bytes.at(length / 2));
    const auto final = uchar(bytes.at(length - 1));
    if (length == 1 && !fold(first))
        return static_cast<const char *>(std::memchr(from, first, size_t(end - from)));
    const char *last = end - length; // the last possible start
    const char *at = from;
    const Probe probe{first, middle, final, fold(first), fold(middle), fold(final), length};
    const auto verify = [this, end](const char *candidate) {
        return matchesBefore(candidate, end);
    };
#ifdef BYTESCAN_AVX2
    if (hasAvx2()) {
        if (const char *found = findProbeAvx2(at, last, probe, verify))
            return found;
    }
#endif
#ifdef __SSE2__
    if (const char *found = findProbeSse2(at, last, probe, verify))
        return found;
#endif
    for (; at <= last; ++at) {
        if ((uchar(*at) | uchar(probe.firstFold)) == first && matchesAt(at))
            return at;
    }
    return nullptr;
}

const char *Needle::findLastIn(const char *from, const char *end, const char *last) const
{
    const int length = bytes.size();
    if (length == 0 || end - from < length)
        return nullptr;
    if (last > end - length)
        last = end - length;
    // Backwards in slices, each searched forwards; the last hit of the nearest slice wins.
    const qint64 slice = std::max<qint64>(4096, 4 * qint64(length));
    const char *sliceEnd = last + length; // occurrences must start at or before `last`
    while (sliceEnd - from >= length) {
        const char *sliceStart = sliceEnd - from > slice ? sliceEnd - slice : from;
        const char *found = nullptr;
        for (const char *hit = findIn(sliceStart, sliceEnd); hit; hit = findIn(hit + 1, sliceEnd))
            found = hit;
        if (found)
            return found;
        if (sliceStart == from)
            break;
        sliceEnd = sliceStart + length - 1; // occurrences that end inside the next slice
    }
    return nullptr;
}
} // namespace bytescan
