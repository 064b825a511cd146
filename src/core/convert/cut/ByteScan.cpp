// SPDX-License-Identifier: MIT
#include "core/convert/cut/ByteScan.h"

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

QByteArrayView withoutCarriageReturns(const char* data, qsizetype size, QByteArray& scratch)
{
    const char* end = data + size;
    if (size <= 0 || findByte(data, end, '\r') == end)
        return QByteArrayView(data, size);
    scratch.resize(size);
    char* out = scratch.data();
    for (const char* p = data; p != end;) {
        const char* cr = findByte(p, end, '\r');
        std::memcpy(out, p, static_cast<size_t>(cr - p));
        out += cr - p;
        p = cr == end ? cr : cr + 1;
    }
    return QByteArrayView(scratch.constData(), out - scratch.constData());
}

const char* findClosingQuote(const char* begin, const char* end)
{
    for (const char* q = findByte(begin, end, '"'); q != end; q = findByte(q + 2, end, '"')) {
        if (q + 1 == end || q[1] != '"')
            return q;
    }
    return end;
}

} // namespace ostrand
