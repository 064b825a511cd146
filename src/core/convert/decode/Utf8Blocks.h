// SPDX-License-Identifier: MIT
// The UTF-8 check over whole vector blocks, written once for any vector width. Each instruction set has its
// own file, built for that set alone and called only when the processor has it; nothing here may use the
// standard library or Qt, so that no code built for a newer processor is shared with the rest of the program.
//
// The check looks at every byte together with the three before it. A byte pair that cannot occur in UTF-8 is
// found by three table lookups (high and low half of the first byte, high half of the second) that share a
// flag; the third and fourth bytes of long characters are checked by where the lead byte two or three places
// back stands.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrand::utf8blocks {

// Checks the whole blocks at the start of [data, data + size), which must begin between two characters.
// Returns -1 when those bytes cannot be the start of UTF-8; otherwise a position p between two characters,
// no more than three bytes before the end of the blocks, such that [data, data + p) is well-formed UTF-8.
// The check goes on from p byte by byte.
std::ptrdiff_t checkSsse3(const char* data, std::ptrdiff_t size);
std::ptrdiff_t checkAvx2(const char* data, std::ptrdiff_t size);
std::ptrdiff_t checkAvx512(const char* data, std::ptrdiff_t size);
// The block sizes of the two.
constexpr std::ptrdiff_t kSsse3Block = 16;
constexpr std::ptrdiff_t kAvx2Block = 32;
constexpr std::ptrdiff_t kAvx512Block = 64;

// Flags of a pair of bytes, each set when the pair is one kind of wrong.
constexpr std::uint8_t kTooShort = 1 << 0;         // a lead byte and then no continuation byte
constexpr std::uint8_t kTooLong = 1 << 1;          // a continuation byte after an ASCII byte
constexpr std::uint8_t kOverlong3 = 1 << 2;        // E0 80..9F
constexpr std::uint8_t kTooLarge = 1 << 3;         // F4 90..BF, F5..FF 90..BF: above U+10FFFF
constexpr std::uint8_t kSurrogate = 1 << 4;        // ED A0..BF
constexpr std::uint8_t kOverlong2 = 1 << 5;        // C0 or C1 and a continuation byte
constexpr std::uint8_t kOverlong4Or8x = 1 << 6;    // F0 80..8F (overlong), F5..FF 80..8F (too large)
constexpr std::uint8_t kTwoContinuations = 1 << 7; // right only as the third or fourth byte of a character
// What every first byte's low half allows to be checked by its high half.
constexpr std::uint8_t kAnyLow = kTooShort | kTooLong | kTwoContinuations;

// By the high half of the first byte of a pair.
constexpr std::uint8_t kFirstHigh[16] = {
    kTooLong,
    kTooLong,
    kTooLong,
    kTooLong,
    kTooLong,
    kTooLong,
    kTooLong,
    kTooLong, // 00..7F
    kTwoContinuations,
    kTwoContinuations,
    kTwoContinuations,
    kTwoContinuations,                      // 80..BF
    kTooShort | kOverlong2,                 // C0..CF
    kTooShort,                              // D0..DF
    kTooShort | kOverlong3 | kSurrogate,    // E0..EF
    kTooShort | kTooLarge | kOverlong4Or8x, // F0..FF
};

// By the low half of the first byte.
constexpr std::uint8_t kFirstLow[16] = {
    kAnyLow | kOverlong3 | kOverlong2 | kOverlong4Or8x, // x0
    kAnyLow | kOverlong2,                               // x1
    kAnyLow,
    kAnyLow,
    kAnyLow | kTooLarge, // x4
    kAnyLow | kTooLarge | kOverlong4Or8x,
    kAnyLow | kTooLarge | kOverlong4Or8x,
    kAnyLow | kTooLarge | kOverlong4Or8x,
    kAnyLow | kTooLarge | kOverlong4Or8x,
    kAnyLow | kTooLarge | kOverlong4Or8x,
    kAnyLow | kTooLarge | kOverlong4Or8x,
    kAnyLow | kTooLarge | kOverlong4Or8x,
    kAnyLow | kTooLarge | kOverlong4Or8x,
    kAnyLow | kTooLarge | kOverlong4Or8x | kSurrogate, // xD
    kAnyLow | kTooLarge | kOverlong4Or8x,
    kAnyLow | kTooLarge | kOverlong4Or8x,
};

// By the high half of the second byte.
constexpr std::uint8_t kSecondHigh[16] = {
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,                                                               // 00..7F
    kTooLong | kOverlong2 | kTwoContinuations | kOverlong3 | kOverlong4Or8x, // 80..8F
    kTooLong | kOverlong2 | kTwoContinuations | kOverlong3 | kTooLarge,      // 90..9F
    kTooLong | kOverlong2 | kTwoContinuations | kSurrogate | kTooLarge,      // A0..AF
    kTooLong | kOverlong2 | kTwoContinuations | kSurrogate | kTooLarge,      // B0..BF
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort, // C0..FF
};

// The wrong pairs of one block, and whether its third and fourth bytes of long characters stand where they
// must: nonzero where the bytes cannot be UTF-8. `prev` is the block before (zeros at the start).
template <class V> typename V::Vec blockErrors(typename V::Vec in, typename V::Vec prev)
{
    using Vec = typename V::Vec;
    const Vec prev1 = V::template before<1>(in, prev);
    const Vec pairs =
        V::bitAnd(V::bitAnd(V::lookup(kFirstHigh, V::highHalf(prev1)), V::lookup(kFirstLow, V::lowHalf(prev1))),
                  V::lookup(kSecondHigh, V::highHalf(in)));
    // Bit 7 set where the byte two back is E0..FF or the byte three back is F0..FF: there this byte and the one
    // before it must both be continuation bytes, and nowhere else may two follow each other.
    const Vec third = V::subtractSaturated(V::template before<2>(in, prev), 0xE0 - 0x80);
    const Vec fourth = V::subtractSaturated(V::template before<3>(in, prev), 0xF0 - 0x80);
    const Vec mustContinue = V::bitAnd(V::bitOr(third, fourth), V::splat(0x80));
    return V::bitXor(mustContinue, pairs);
}

// Where a character that may go on past the block begins: nonzero in the last three places when a lead byte
// there asks for more bytes than the block holds.
template <class V> typename V::Vec unfinished(typename V::Vec in)
{
    return V::subtractSaturated(in, V::lastLeadLimits());
}

template <class V> std::ptrdiff_t checkBlocks(const char* data, std::ptrdiff_t size)
{
    using Vec = typename V::Vec;
    // Bad bytes end the check after at most this many: a legacy 8-bit text is told apart at once.
    constexpr std::ptrdiff_t kStretch = 4096;
    const std::ptrdiff_t blocksEnd = size - size % V::kSize;
    Vec prev = V::zero();
    Vec errors = V::zero();
    Vec pending = V::zero();
    for (std::ptrdiff_t at = 0; at < blocksEnd;) {
        const std::ptrdiff_t stretchEnd = blocksEnd - at > kStretch ? at + kStretch : blocksEnd;
        // Two blocks at a time: one test tells that both are ASCII, and the checks of the two overlap.
        for (; stretchEnd - at >= 2 * V::kSize; at += 2 * V::kSize) {
            const Vec first = V::load(data + at);
            const Vec second = V::load(data + at + V::kSize);
            if (V::isAscii(V::bitOr(first, second))) {
                errors = V::bitOr(errors, pending);
                pending = V::zero();
            } else {
                errors = V::bitOr(errors, V::bitOr(blockErrors<V>(first, prev), blockErrors<V>(second, first)));
                pending = unfinished<V>(second);
            }
            prev = second;
        }
        for (; at < stretchEnd; at += V::kSize) {
            const Vec in = V::load(data + at);
            if (V::isAscii(in)) {
                // ASCII after a character that wanted more bytes is wrong; otherwise there is nothing to check.
                errors = V::bitOr(errors, pending);
                pending = V::zero();
            } else {
                errors = V::bitOr(errors, blockErrors<V>(in, prev));
                pending = unfinished<V>(in);
            }
            prev = in;
        }
        if (!V::isZero(errors))
            return -1;
    }
    // The last character may go on past the blocks: the check starts again at its lead byte. Checked as they
    // were, the blocks allow no more than three continuation bytes at their end, and none after ASCII.
    for (std::ptrdiff_t back = 1; back <= 3 && back <= blocksEnd; ++back) {
        const auto byte = static_cast<unsigned char>(data[blocksEnd - back]);
        if (byte < 0x80)
            return blocksEnd - back + 1;
        if (byte >= 0xC0)
            return blocksEnd - back;
    }
    return blocksEnd;
}

} // namespace ostrand::utf8blocks
