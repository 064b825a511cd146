// SPDX-License-Identifier: MIT
#include "core/convert/decode/SourceDecoder.h"

#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ostrand {

namespace {

// Appends the UTF-8 form of one code point (below U+110000, not a surrogate) and returns the new end.
char* putUtf8(char* out, char32_t c)
{
    if (c < 0x80) {
        *out++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *out++ = static_cast<char>(0xC0 | (c >> 6));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (c >> 12));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (c >> 18));
        *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

// The code points of the Windows-1252 bytes 80 to 9F; from A0 on, a byte is its own code point.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t windows1252CodePoint(unsigned char byte)
{
    return byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : char16_t(byte);
}

} // namespace

SourceEncoding byteOrderMarkEncoding(const char* data, qsizetype size)
{
    if (size < 2)
        return SourceEncoding::Utf8;
    const auto first = static_cast<unsigned char>(data[0]);
    const auto second = static_cast<unsigned char>(data[1]);
    if (first == 0xFF && second == 0xFE)
        return SourceEncoding::Utf16LittleEndian;
    if (first == 0xFE && second == 0xFF)
        return SourceEncoding::Utf16BigEndian;
    return SourceEncoding::Utf8;
}

char* SourceDecoder::putUnit(char* out, char16_t unit)
{
    if (m_highSurrogate != 0) {
        const char32_t high = m_highSurrogate;
        m_highSurrogate = 0;
        if (unit >= 0xDC00 && unit <= 0xDFFF)
            return putUtf8(out, 0x10000 + ((high - 0xD800) << 10) + (char32_t(unit) - 0xDC00));
        out = putUtf8(out, 0xFFFD);
    }
    if (unit >= 0xD800 && unit <= 0xDBFF)
        m_highSurrogate = unit;
    else if (unit >= 0xDC00 && unit <= 0xDFFF)
        out = putUtf8(out, 0xFFFD);
    else
        out = putUtf8(out, unit);
    return out;
}

QByteArrayView SourceDecoder::add(const char* data, qsizetype size)
{
    const auto* s = reinterpret_cast<const unsigned char*>(data);
    switch (m_encoding) {
    case SourceEncoding::Utf8:
        return QByteArrayView(data, size);
    case SourceEncoding::Windows1252: {
        if (m_out.size() < 3 * size)
            m_out.resize(3 * size);
        char* out = m_out.data();
        for (qsizetype i = 0; i < size; ++i) {
            if (s[i] < 0x80)
                *out++ = static_cast<char>(s[i]);
            else
                out = putUtf8(out, windows1252CodePoint(s[i]));
        }
        return QByteArrayView(m_out.constData(), out - m_out.constData());
    }
    case SourceEncoding::Utf16LittleEndian:
    case SourceEncoding::Utf16BigEndian:
        break;
    }
    const bool littleEndian = m_encoding == SourceEncoding::Utf16LittleEndian;
    const int low = littleEndian ? 0 : 1;
    const int high = 1 - low;
    // Each code unit needs at most three bytes, and a held surrogate three more.
    const qsizetype room = (size / 2 + 1) * 3 + 8;
    if (m_out.size() < room)
        m_out.resize(room);
    char* out = m_out.data();
    qsizetype i = 0;
    if (m_hasOddByte && size > 0) {
        m_hasOddByte = false;
        const unsigned first = m_oddByte;
        out = putUnit(out, char16_t(littleEndian ? first | (s[0] << 8) : (first << 8) | s[0]));
        i = 1;
    }
    // Four ASCII code units at a time: every high byte zero and every low byte below 80.
    const quint64 notAscii = littleEndian ? 0xFF80FF80FF80FF80ULL : 0x80FF80FF80FF80FFULL;
#if defined(__SSE2__)
    // Sixteen at a time where the processor has vectors: each unit below 80 packs to its low byte. A block that
    // holds another unit is left to the units' own path, and no block is tried again before its end, so text
    // that is not ASCII pays one look per sixteen units.
    const __m128i notAsciiUnit = _mm_set1_epi16(short(0xFF80));
    const __m128i zero = _mm_setzero_si128();
    qsizetype vectorFrom = i;
#endif
    while (i + 1 < size) {
#if defined(__SSE2__)
        if (m_highSurrogate == 0 && i >= vectorFrom) {
            const qsizetype before = i;
            for (; i + 32 <= size; i += 32, out += 16) {
                __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
                __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 16));
                if (!littleEndian) {
                    first = _mm_or_si128(_mm_slli_epi16(first, 8), _mm_srli_epi16(first, 8));
                    second = _mm_or_si128(_mm_slli_epi16(second, 8), _mm_srli_epi16(second, 8));
                }
                const __m128i above = _mm_and_si128(_mm_or_si128(first, second), notAsciiUnit);
                if (_mm_movemask_epi8(_mm_cmpeq_epi8(above, zero)) != 0xFFFF) {
                    vectorFrom = i + 32;
                    break;
                }
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(first, second));
            }
            if (i != before)
                continue;
        }
#endif
        if (m_highSurrogate == 0 && i + 8 <= size) {
            quint64 word;
            std::memcpy(&word, s + i, 8);
            if ((word & notAscii) == 0) {
                out[0] = static_cast<char>(s[i + low]);
                out[1] = static_cast<char>(s[i + 2 + low]);
                out[2] = static_cast<char>(s[i + 4 + low]);
                out[3] = static_cast<char>(s[i + 6 + low]);
                out += 4;
                i += 8;
                continue;
            }
        }
        out = putUnit(out, char16_t(s[i + low] | (s[i + high] << 8)));
        i += 2;
    }
    if (i < size) {
        m_hasOddByte = true;
        m_oddByte = s[i];
    }
    return QByteArrayView(m_out.constData(), out - m_out.constData());
}

QByteArrayView SourceDecoder::finish()
{
    if (m_out.size() < 8)
        m_out.resize(8);
    char* out = m_out.data();
    if (m_hasOddByte) {
        // An odd last byte is one more code unit with a zero high byte.
        m_hasOddByte = false;
        out = putUnit(out, char16_t(m_oddByte));
    }
    if (m_highSurrogate != 0) {
        m_highSurrogate = 0;
        out = putUtf8(out, 0xFFFD);
    }
    return QByteArrayView(m_out.constData(), out - m_out.constData());
}

} // namespace ostrand
