// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <QtGlobal>

#include "core/convert/document/Markup.h"

namespace ostrand {

// Where the bytes that end a run of plain cell text stand in a block of 64 bytes of text: the line feed, the
// delimiter (when it is one byte) and, when escaping, the five characters markup gives a meaning to. Bit i of
// a mask is set when byte i of the block is one of them.
class TextMarks
{
public:
    static constexpr qsizetype kBlock = 64;

    explicit TextMarks(char delimiter) : m_delimiter(delimiter) {}

    // The marks of the 64 bytes at p, on vectors where the processor has them.
    template <bool Escape> std::uint64_t block(const char* p) const
    {
#if defined(__SSE2__)
        return blockSse2<Escape>(p);
#else
        return blockPlain<Escape>(p);
#endif
    }

    // The same, a byte at a time: what the vector versions must agree with.
    template <bool Escape> std::uint64_t blockPlain(const char* p) const
    {
        return tail<Escape>(p, kBlock);
    }

#if defined(__SSE2__)
    // The same, on four 16-byte vectors.
    template <bool Escape> std::uint64_t blockSse2(const char* p) const
    {
        const __m128i lineFeed = _mm_set1_epi8('\n');
        const __m128i delimiter = _mm_set1_epi8(m_delimiter);
        std::uint64_t mask = 0;
        for (int i = 0; i < 4; ++i) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
            __m128i hit = _mm_or_si128(_mm_cmpeq_epi8(v, lineFeed), _mm_cmpeq_epi8(v, delimiter));
            if constexpr (Escape) {
                // " alone; & and ' differ in their lowest bit only, < and > in the next one.
                hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, _mm_set1_epi8('"')));
                hit = _mm_or_si128(hit, _mm_cmpeq_epi8(_mm_or_si128(v, _mm_set1_epi8(1)), _mm_set1_epi8('\'')));
                hit = _mm_or_si128(hit, _mm_cmpeq_epi8(_mm_or_si128(v, _mm_set1_epi8(2)), _mm_set1_epi8('>')));
            }
            mask |= std::uint64_t(unsigned(_mm_movemask_epi8(hit))) << (16 * i);
        }
        return mask;
    }
#endif

    // The marks of the size bytes at p, fewer than a block or as many.
    template <bool Escape> std::uint64_t tail(const char* p, qsizetype size) const
    {
        std::uint64_t mask = 0;
        for (qsizetype i = 0; i < size; ++i) {
            const bool marked = p[i] == '\n' || p[i] == m_delimiter || (Escape && entityOf(p[i]));
            mask |= std::uint64_t(marked) << i;
        }
        return mask;
    }

private:
    char m_delimiter;
};

} // namespace ostrand
