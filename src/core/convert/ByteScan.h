// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

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

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
// Runs of ASCII are passed over 16 bytes at a time.
bool isValidUtf8(const char* data, qsizetype size);

// The same check over bytes given in consecutive pieces, which may cut a character anywhere.
class Utf8Check
{
public:
    // Checks the next piece; false once the bytes so far cannot be UTF-8 (later pieces change nothing).
    bool add(const char* data, qsizetype size);
    // True when all pieces so far are well-formed UTF-8 and the last one ended a character.
    bool complete() const { return m_state == 0; }

private:
    std::uint64_t m_state = 0;
};

} // namespace ostrand
