// SPDX-License-Identifier: MIT
// The UTF-8 check 64 bytes at a time with AVX-512 (foundation and byte instructions). Built with those enabled and
// called only when the processor and the system support them.
#include "core/convert/decode/Utf8Blocks.h"

#if defined(__AVX512F__) && defined(__AVX512BW__)
#include <immintrin.h>

namespace ostrand::utf8blocks {

namespace {

struct Avx512
{
    using Vec = __m512i;
    static constexpr std::ptrdiff_t kSize = 64;

    static Vec load(const char* p) { return _mm512_loadu_si512(p); }
    static Vec zero() { return _mm512_setzero_si512(); }
    static Vec splat(int byte) { return _mm512_set1_epi8(static_cast<char>(byte)); }
    static Vec bitAnd(Vec a, Vec b) { return _mm512_and_si512(a, b); }
    static Vec bitOr(Vec a, Vec b) { return _mm512_or_si512(a, b); }
    static Vec bitXor(Vec a, Vec b) { return _mm512_xor_si512(a, b); }
    static Vec subtractSaturated(Vec a, int byte) { return _mm512_subs_epu8(a, splat(byte)); }
    static Vec subtractSaturated(Vec a, Vec b) { return _mm512_subs_epu8(a, b); }
    static Vec highHalf(Vec v) { return _mm512_and_si512(_mm512_srli_epi16(v, 4), splat(0x0F)); }
    static Vec lowHalf(Vec v) { return _mm512_and_si512(v, splat(0x0F)); }
    // The shuffle looks up within each 16-byte lane: the table stands in all four.
    static Vec lookup(const std::uint8_t (&table)[16], Vec index)
    {
        int words[4];
        __builtin_memcpy(words, table, sizeof words);
        return _mm512_shuffle_epi8(_mm512_set4_epi32(words[3], words[2], words[1], words[0]), index);
    }
    // Each byte's n-th predecessor, reaching into the block before. The byte shift works within 16-byte lanes, so
    // each lane takes its predecessors from the lane before it: the first lane from the last lane of the block
    // before.
    template <int n> static Vec before(Vec in, Vec prev)
    {
        const __m512i lanesBefore = _mm512_permutex2var_epi64(prev, _mm512_setr_epi64(6, 7, 8, 9, 10, 11, 12, 13), in);
        return _mm512_alignr_epi8(in, lanesBefore, 16 - n);
    }
    static bool isAscii(Vec v) { return _mm512_movepi8_mask(v) == 0; }
    static bool isZero(Vec v) { return _mm512_test_epi64_mask(v, v) == 0; }
    // The largest byte allowed in each place of a block's end without a character going on past it.
    static Vec lastLeadLimits()
    {
        alignas(64) static constexpr unsigned char kLimits[64] = {
            0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,     0xFF,     0xFF,
            0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,     0xFF,     0xFF,
            0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,     0xFF,     0xFF,
            0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xF0 - 1, 0xE0 - 1, 0xC0 - 1};
        return _mm512_load_si512(kLimits);
    }
};

} // namespace

std::ptrdiff_t checkAvx512(const char* data, std::ptrdiff_t size)
{
    return checkBlocks<Avx512>(data, size);
}

} // namespace ostrand::utf8blocks
#endif
