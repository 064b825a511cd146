// SPDX-License-Identifier: MIT
#include "core/convert/ByteScan.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ostrand {

namespace {

#if defined(__SSE2__)
// The sum of the 16 byte counters of an accumulator.
qsizetype sumBytes(__m128i counters)
{
    const __m128i sums = _mm_sad_epu8(counters, _mm_setzero_si128());
    return _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums));
}

const __m128i* block(const char* p)
{
    return reinterpret_cast<const __m128i*>(p);
}
#endif

} // namespace

ByteCounts countBytes(const char* data, qsizetype size, char a, char b, char c)
{
    ByteCounts counts;
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi8(a);
    const __m128i vb = _mm_set1_epi8(b);
    const __m128i vc = _mm_set1_epi8(c);
    while (size - i >= 16) {
        // Byte counters overflow after 255 blocks: sum them up before that.
        const qsizetype blocks = qMin<qsizetype>((size - i) / 16, 255);
        __m128i ca = _mm_setzero_si128();
        __m128i cb = _mm_setzero_si128();
        __m128i cc = _mm_setzero_si128();
        for (qsizetype k = 0; k < blocks; ++k, i += 16) {
            const __m128i v = _mm_loadu_si128(block(data + i));
            ca = _mm_sub_epi8(ca, _mm_cmpeq_epi8(v, va));
            cb = _mm_sub_epi8(cb, _mm_cmpeq_epi8(v, vb));
            cc = _mm_sub_epi8(cc, _mm_cmpeq_epi8(v, vc));
        }
        counts.first += sumBytes(ca);
        counts.second += sumBytes(cb);
        counts.third += sumBytes(cc);
    }
#endif
    for (; i < size; ++i) {
        counts.first += data[i] == a;
        counts.second += data[i] == b;
        counts.third += data[i] == c;
    }
    return counts;
}

const char* findPattern(const char* begin, const char* end, const char* pattern, qsizetype patternSize)
{
    const char first = pattern[0];
    const char* p = begin;
    while (end - p >= patternSize) {
        const void* hit = std::memchr(p, first, static_cast<size_t>(end - p - patternSize + 1));
        if (!hit)
            return end;
        p = static_cast<const char*>(hit);
        if (std::memcmp(p + 1, pattern + 1, static_cast<size_t>(patternSize - 1)) == 0)
            return p;
        ++p;
    }
    return end;
}

qsizetype countOccurrences(const char* data, qsizetype size, const char* pattern, qsizetype patternSize)
{
    qsizetype count = 0;
    const char* end = data + size;
    for (const char* p = findPattern(data, end, pattern, patternSize); p != end;
         p = findPattern(p + patternSize, end, pattern, patternSize))
        ++count;
    return count;
}

bool isValidUtf8(const char* data, qsizetype size)
{
    const auto* s = reinterpret_cast<const unsigned char*>(data);
    qsizetype i = 0;
    while (i < size) {
#if defined(__SSE2__)
        if (size - i >= 16 && _mm_movemask_epi8(_mm_loadu_si128(block(data + i))) == 0) {
            i += 16;
            continue;
        }
#endif
        const unsigned char lead = s[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        // The allowed range of the second byte depends on the lead byte; later bytes are 80..BF.
        qsizetype length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0)
                low = 0xA0; // no overlong forms
            else if (lead == 0xED)
                high = 0x9F; // no surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0)
                low = 0x90;
            else if (lead == 0xF4)
                high = 0x8F; // nothing above U+10FFFF
        } else {
            return false;
        }
        if (size - i < length || s[i + 1] < low || s[i + 1] > high)
            return false;
        for (qsizetype k = 2; k < length; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                return false;
        }
        i += length;
    }
    return true;
}

} // namespace ostrand
