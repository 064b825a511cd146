// SPDX-License-Identifier: MIT
#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <QtGlobal>

#include "core/convert/cut/TextCounts.h"

namespace ostrand {

// Counts the code units of UTF-16 given in pieces that may cut a unit, and among them the line feeds and
// carriage returns, without decoding: eight units at a time where the processor allows. Every unit gives at
// least one byte of text, so the units are a lower bound of the text's size.
class Utf16Count
{
public:
    explicit Utf16Count(bool littleEndian) : m_littleEndian(littleEndian) {}

    void add(const char* data, qsizetype size)
    {
        const auto* s = reinterpret_cast<const unsigned char*>(data);
        qsizetype i = 0;
        if (m_hasOddByte && size > 0) {
            m_hasOddByte = false;
            unit(m_littleEndian ? m_oddByte | (s[0] << 8) : (m_oddByte << 8) | s[0]);
            i = 1;
        }
#if defined(__SSE2__)
        // Each matching unit gives a lane of all ones, that is -1, which subtracted counts it; the lanes are
        // summed before any can pass 65535.
        const __m128i lineFeed = _mm_set1_epi16(short(m_littleEndian ? 0x000A : 0x0A00));
        const __m128i carriageReturn = _mm_set1_epi16(short(m_littleEndian ? 0x000D : 0x0D00));
        while (i + 16 <= size) {
            __m128i lineFeeds = _mm_setzero_si128();
            __m128i carriageReturns = _mm_setzero_si128();
            const qsizetype blockEnd = i + qMin<qsizetype>((size - i) / 16, 65535) * 16;
            for (; i < blockEnd; i += 16) {
                const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
                lineFeeds = _mm_sub_epi16(lineFeeds, _mm_cmpeq_epi16(units, lineFeed));
                carriageReturns = _mm_sub_epi16(carriageReturns, _mm_cmpeq_epi16(units, carriageReturn));
                m_units += 8;
            }
            m_lineFeeds += laneSum(lineFeeds);
            m_carriageReturns += laneSum(carriageReturns);
        }
#endif
        for (; i + 1 < size; i += 2)
            unit(m_littleEndian ? s[i] | (s[i + 1] << 8) : (s[i] << 8) | s[i + 1]);
        if (i < size) {
            m_hasOddByte = true;
            m_oddByte = s[i];
        }
    }

    // The counts so far; an odd last byte is one more unit with a zero high byte.
    TextCounts counts(bool last) const
    {
        TextCounts counts;
        counts.size = m_units + (m_hasOddByte ? 1 : 0);
        counts.lineFeeds = m_lineFeeds + (last && m_hasOddByte && m_oddByte == '\n' ? 1 : 0);
        counts.carriageReturns = m_carriageReturns + (last && m_hasOddByte && m_oddByte == '\r' ? 1 : 0);
        counts.byteOrderMark = true;
        counts.longLine = streamSliceBytes();
        return counts;
    }

private:
#if defined(__SSE2__)
    // The sum of eight unsigned 16-bit lanes.
    static qint64 laneSum(__m128i lanes)
    {
        const __m128i low = _mm_unpacklo_epi16(lanes, _mm_setzero_si128());
        const __m128i high = _mm_unpackhi_epi16(lanes, _mm_setzero_si128());
        const __m128i sums = _mm_add_epi32(low, high);
        alignas(16) quint32 parts[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(parts), sums);
        return qint64(parts[0]) + parts[1] + parts[2] + parts[3];
    }
#endif

    void unit(unsigned value)
    {
        ++m_units;
        m_lineFeeds += value == 0x0A;
        m_carriageReturns += value == 0x0D;
    }

    bool m_littleEndian;
    bool m_hasOddByte = false;
    unsigned m_oddByte = 0;
    qint64 m_units = 0;
    qint64 m_lineFeeds = 0;
    qint64 m_carriageReturns = 0;
};

} // namespace ostrand
