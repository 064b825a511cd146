// SPDX-License-Identifier: MIT
// The UTF-8 check 32 bytes at a time with AVX2. Built with AVX2 enabled and called only when the processor
// and the system support it.
#include "core/convert/decode/Utf8Blocks.h"

#if defined(__AVX2__)
#include <immintrin.h>

namespace ostrand::utf8blocks {

namespace {

struct Avx2
{
    using Vec = __m256i;
    static constexpr std::ptrdiff_t kSize = 32;

    static Vec load(const char* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static Vec zero() { return _mm256_setzero_si256(); }
    static Vec splat(int byte) { return _mm256_set1_epi8(static_cast<char>(byte)); }
    static Vec bitAnd(Vec a, Vec b) { return _mm256_and_si256(a, b); }
    static Vec bitOr(Vec a, Vec b) { return _mm256_or_si256(a, b); }
    static Vec bitXor(Vec a, Vec b) { return _mm256_xor_si256(a, b); }
    static Vec subtractSaturated(Vec a, int byte) { return _mm256_subs_epu8(a, splat(byte)); }
    static Vec subtractSaturated(Vec a, Vec b) { return _mm256_subs_epu8(a, b); }
    static Vec highHalf(Vec v) { return _mm256_and_si256(_mm256_srli_epi16(v, 4), splat(0x0F)); }
    static Vec lowHalf(Vec v) { return _mm256_and_si256(v, splat(0x0F)); }
    // The shuffle looks up within each 16-byte lane: the table stands in both.
    static Vec lookup(const std::uint8_t (&table)[16], Vec index)
    {
        const __m128i half = _mm_loadu_si128(reinterpret_cast<const __m128i*>(table));
        return _mm256_shuffle_epi8(_mm256_broadcastsi128_si256(half), index);
    }
    // Each byte's n-th predecessor, reaching into the block before. The byte shift works within lanes, so the
    // lower lane takes its predecessors from the upper lane of the block before, the upper from the lower lane.
    template <int n> static Vec before(Vec in, Vec prev)
    {
        return _mm256_alignr_epi8(in, _mm256_permute2x128_si256(prev, in, 0x21), 16 - n);
    }
    static bool isAscii(Vec v) { return _mm256_movemask_epi8(v) == 0; }
    static bool isZero(Vec v) { return _mm256_testz_si256(v, v) != 0; }
    // The largest byte allowed in each place of a block's end without a character going on past it.
    static Vec lastLeadLimits()
    {
        return _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                -1, -1, -1, -1, -1, -1, -1, static_cast<char>(0xF0 - 1), static_cast<char>(0xE0 - 1),
                                static_cast<char>(0xC0 - 1));
    }
};

} // namespace

std::ptrdiff_t checkAvx2(const char* data, std::ptrdiff_t size)
{
    return checkBlocks<Avx2>(data, size);
}

} // namespace ostrand::utf8blocks
#endif
