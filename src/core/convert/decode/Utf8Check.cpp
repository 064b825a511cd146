// SPDX-License-Identifier: MIT
#include "core/convert/decode/Utf8Check.h"

#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/convert/decode/Utf8Blocks.h"

namespace ostrand {

namespace {

// UTF-8 validation as a state machine over bytes, after the Unicode standard's table of well-formed byte
// sequences. The states are numbered by multiples of 6, so that one 64-bit word per byte holds the next
// state for every state: next = (kUtf8Transitions[byte] >> state) & 63, two instructions per byte.
enum Utf8State : std::uint64_t {
    kAccept = 0,   // between characters
    kReject = 6,   // not UTF-8: stays
    kNeed1 = 12,   // one more byte 80..BF
    kNeed2 = 18,   // two more
    kNeed3 = 24,   // three more
    kAfterE0 = 30, // A0..BF, then one more (no overlong forms)
    kAfterED = 36, // 80..9F, then one more (no surrogates)
    kAfterF0 = 42, // 90..BF, then two more (no overlong forms)
    kAfterF4 = 48, // 80..8F, then two more (nothing above U+10FFFF)
};

constexpr std::uint64_t nextState(std::uint64_t state, unsigned byte)
{
    const bool continuation = byte >= 0x80 && byte <= 0xBF;
    switch (state) {
    case kAccept:
        if (byte < 0x80)
            return kAccept;
        if (byte >= 0xC2 && byte <= 0xDF)
            return kNeed1;
        if (byte == 0xE0)
            return kAfterE0;
        if (byte == 0xED)
            return kAfterED;
        if (byte >= 0xE1 && byte <= 0xEF)
            return kNeed2;
        if (byte == 0xF0)
            return kAfterF0;
        if (byte >= 0xF1 && byte <= 0xF3)
            return kNeed3;
        if (byte == 0xF4)
            return kAfterF4;
        return kReject;
    case kNeed1:
        return continuation ? kAccept : kReject;
    case kNeed2:
        return continuation ? kNeed1 : kReject;
    case kNeed3:
        return continuation ? kNeed2 : kReject;
    case kAfterE0:
        return byte >= 0xA0 && byte <= 0xBF ? kNeed1 : kReject;
    case kAfterED:
        return byte >= 0x80 && byte <= 0x9F ? kNeed1 : kReject;
    case kAfterF0:
        return byte >= 0x90 && byte <= 0xBF ? kNeed2 : kReject;
    case kAfterF4:
        return byte >= 0x80 && byte <= 0x8F ? kNeed2 : kReject;
    default:
        return kReject;
    }
}

constexpr std::array<std::uint64_t, 256> utf8Transitions()
{
    std::array<std::uint64_t, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        for (std::uint64_t state = kAccept; state <= kAfterF4; state += 6)
            table[byte] |= nextState(state, byte) << state;
    }
    return table;
}

constexpr std::array<std::uint64_t, 256> kUtf8Transitions = utf8Transitions();

// Whether the 16 bytes at p are all ASCII: one vector, or two words where there are no vectors.
bool asciiBlock(const char* p)
{
#if defined(__SSE2__)
    return _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))) == 0;
#else
    std::uint64_t words[2];
    std::memcpy(words, p, sizeof words);
    return ((words[0] | words[1]) & 0x8080808080808080ULL) == 0;
#endif
}

} // namespace

bool utf8KernelAvailable(Utf8Kernel kernel)
{
    switch (kernel) {
    case Utf8Kernel::Plain:
        return true;
#if defined(OSTRAND_UTF8_VECTORS)
    case Utf8Kernel::Ssse3:
        return __builtin_cpu_supports("ssse3");
    case Utf8Kernel::Avx2:
        // Also false when the system does not save the vector registers.
        return __builtin_cpu_supports("avx2");
    case Utf8Kernel::Avx512:
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
#endif
    default:
        return false;
    }
}

Utf8Kernel fastestUtf8Kernel()
{
#if defined(OSTRAND_UTF8_VECTORS)
    // Asked once; safe even when the first check runs before the program's own start.
    static const bool processorRead = (__builtin_cpu_init(), true);
    Q_UNUSED(processorRead);
#endif
    static const Utf8Kernel fastest = utf8KernelAvailable(Utf8Kernel::Avx512)  ? Utf8Kernel::Avx512
                                      : utf8KernelAvailable(Utf8Kernel::Avx2)  ? Utf8Kernel::Avx2
                                      : utf8KernelAvailable(Utf8Kernel::Ssse3) ? Utf8Kernel::Ssse3
                                                                               : Utf8Kernel::Plain;
    return fastest;
}

bool isValidUtf8(const char* data, qsizetype size, Utf8Kernel kernel)
{
    Utf8Check check(kernel);
    return check.add(data, size) && check.complete();
}

Utf8Check::Utf8Check(Utf8Kernel kernel)
{
    if (!utf8KernelAvailable(kernel))
        return;
#if defined(OSTRAND_UTF8_VECTORS)
    if (kernel == Utf8Kernel::Ssse3) {
        m_blocks = &utf8blocks::checkSsse3;
        m_blockSize = utf8blocks::kSsse3Block;
    } else if (kernel == Utf8Kernel::Avx2) {
        m_blocks = &utf8blocks::checkAvx2;
        m_blockSize = utf8blocks::kAvx2Block;
    } else if (kernel == Utf8Kernel::Avx512) {
        m_blocks = &utf8blocks::checkAvx512;
        m_blockSize = utf8blocks::kAvx512Block;
    }
#endif
}

bool Utf8Check::add(const char* data, qsizetype size)
{
    const auto* s = reinterpret_cast<const unsigned char*>(data);
    std::uint64_t state = m_state;
    qsizetype i = 0;
    if (m_blocks) {
        // A character cut by the end of the last piece is ended byte by byte; the vectors then take every whole
        // block, and the rest (less than a block and at most three bytes of the last character) goes on below.
        for (; i < size && state != kAccept && state != kReject; ++i)
            state = (kUtf8Transitions[s[i]] >> state) & 63;
        if (state == kAccept && size - i >= m_blockSize) {
            const std::ptrdiff_t checked = m_blocks(data + i, size - i);
            if (checked < 0)
                state = kReject;
            else
                i += checked;
        }
    }
    while (i < size && state != kReject) {
        if (state == kAccept && size - i >= 16 && asciiBlock(data + i)) {
            i += 16;
            continue;
        }
        const qsizetype chunkEnd = qMin(size, i + 16);
        for (; i < chunkEnd; ++i)
            state = (kUtf8Transitions[s[i]] >> state) & 63;
    }
    m_state = state;
    return state != kReject;
}

} // namespace ostrand
