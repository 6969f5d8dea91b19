// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <cstring>
#include <string>

// Cuts bytes fed in chunks of any size into lines the way the viewer reads a log: CR bytes are
// dropped and a line ends at LF; text after the last LF is a line of its own once finished.
// eachLine(const char *line, qint64 length) gets every line without its end.
class LineSplitter
{
public:
    template <typename EachLine> void feed(const char *data, qint64 size, EachLine &&eachLine)
    {
        if (!std::memchr(data, '\r', size_t(size))) {
            feedLines(data, size, eachLine);
            return;
        }
        withoutCarriageReturns.clear();
        withoutCarriageReturns.reserve(size_t(size));
        for (qint64 i = 0; i < size; ++i) {
            if (data[i] != '\r')
                withoutCarriageReturns += data[i];
        }
        feedLines(withoutCarriageReturns.data(), qint64(withoutCarriageReturns.size()), eachLine);
    }

    template <typename EachLine> void finish(EachLine &&eachLine)
    {
        if (partialLine.empty())
            return;
        eachLine(partialLine.data(), qint64(partialLine.size()));
        partialLine.clear();
    }

private:
    template <typename EachLine> void feedLines(const char *data, qint64 size, EachLine &eachLine)
    {
        const char *end = data + size;
        const char *p = data;
        if (!partialLine.empty()) {
            const auto *lineEnd = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
            if (!lineEnd) {
                partialLine.append(p, size_t(end - p));
                return;
            }
            partialLine.append(p, size_t(lineEnd - p));
            eachLine(partialLine.data(), qint64(partialLine.size()));
            partialLine.clear();
            p = lineEnd + 1;
        }
        while (p < end) {
            const auto *lineEnd = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
            if (!lineEnd) {
                partialLine.assign(p, size_t(end - p));
                return;
            }
            eachLine(p, qint64(lineEnd - p));
            p = lineEnd + 1;
        }
    }

    std::string partialLine;
    std::string withoutCarriageReturns;
};
