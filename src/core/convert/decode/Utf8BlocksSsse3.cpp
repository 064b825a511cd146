// SPDX-License-Identifier: MIT
// The UTF-8 check 16 bytes at a time with SSSE3's byte shuffle as the table lookup. Built with SSSE3 enabled
// and called only when the processor has it.
#include "core/convert/decode/Utf8Blocks.h"

#if defined(__SSSE3__)
#include <tmmintrin.h>

namespace ostrand::utf8blocks {

namespace {

struct Ssse3
{
    using Vec = __m128i;
    static constexpr std::ptrdiff_t kSize = 16;

    static Vec load(const char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static Vec zero() { return _mm_setzero_si128(); }
    static Vec splat(int byte) { return _mm_set1_epi8(static_cast<char>(byte)); }
    static Vec bitAnd(Vec a, Vec b) { return _mm_and_si128(a, b); }
    static Vec bitOr(Vec a, Vec b) { return _mm_or_si128(a, b); }
    static Vec bitXor(Vec a, Vec b) { return _mm_xor_si128(a, b); }
    static Vec subtractSaturated(Vec a, int byte) { return _mm_subs_epu8(a, splat(byte)); }
    static Vec subtractSaturated(Vec a, Vec b) { return _mm_subs_epu8(a, b); }
    static Vec highHalf(Vec v) { return _mm_and_si128(_mm_srli_epi16(v, 4), splat(0x0F)); }
    static Vec lowHalf(Vec v) { return _mm_and_si128(v, splat(0x0F)); }
    static Vec lookup(const std::uint8_t (&table)[16], Vec index)
    {
        return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(table)), index);
    }
    // Each byte's n-th predecessor, reaching into the block before.
    template <int n> static Vec before(Vec in, Vec prev) { return _mm_alignr_epi8(in, prev, 16 - n); }
    static bool isAscii(Vec v) { return _mm_movemask_epi8(v) == 0; }
    static bool isZero(Vec v) { return _mm_movemask_epi8(_mm_cmpeq_epi8(v, zero())) == 0xFFFF; }
    // The largest byte allowed in each place of a block's end without a character going on past it.
    static Vec lastLeadLimits()
    {
        return _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, static_cast<char>(0xF0 - 1),
                             static_cast<char>(0xE0 - 1), static_cast<char>(0xC0 - 1));
    }
};

} // namespace

std::ptrdiff_t checkSsse3(const char* data, std::ptrdiff_t size)
{
    return checkBlocks<Ssse3>(data, size);
}

} // namespace ostrand::utf8blocks
#endif
