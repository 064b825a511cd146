// SPDX-License-Identifier: MIT
#pragma once

#include <cstring>

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

namespace ostrand {

// How often three chosen bytes occur in a run of bytes.
struct ByteCounts
{
    qsizetype first = 0;
    qsizetype second = 0;
    qsizetype third = 0;
};

// Counts the bytes equal to a, b and c in one pass (16 bytes at a time where the processor allows).
ByteCounts countBytes(const char* data, qsizetype size, char a, char b, char c);

// The first occurrence of a pattern of one or more bytes in [begin, end), or end when there is none.
const char* findPattern(const char* begin, const char* end, const char* pattern, qsizetype patternSize);

// The first byte c in [begin, end), or end.
inline const char* findByte(const char* begin, const char* end, char c)
{
    if (begin == end)
        return end;
    const void* hit = std::memchr(begin, c, static_cast<size_t>(end - begin));
    return hit ? static_cast<const char*>(hit) : end;
}

// The piece without its carriage returns: the piece itself when it holds none, otherwise a copy in scratch.
QByteArrayView withoutCarriageReturns(const char* data, qsizetype size, QByteArray& scratch);

// The first lone double quote in [begin, end), pairs of quotes passed over; end when there is none.
const char* findClosingQuote(const char* begin, const char* end);

} // namespace ostrand
