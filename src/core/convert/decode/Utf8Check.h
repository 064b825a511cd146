// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>

#include <QtGlobal>

namespace ostrand {

// The ways the UTF-8 check can run: byte by byte with runs of ASCII passed over a word or 16 bytes at a time,
// or on whole vectors of 16, 32 or 64 bytes where the processor has the instructions.
enum class Utf8Kernel { Plain, Ssse3, Avx2, Avx512 };

// Whether this build and this processor can run the kernel (Plain always can).
bool utf8KernelAvailable(Utf8Kernel kernel);
// The fastest kernel available here, chosen once.
Utf8Kernel fastestUtf8Kernel();

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool isValidUtf8(const char* data, qsizetype size, Utf8Kernel kernel = fastestUtf8Kernel());

// The same check over bytes given in consecutive pieces, which may cut a character anywhere.
class Utf8Check
{
public:
    // A kernel that is not available here runs as Plain.
    explicit Utf8Check(Utf8Kernel kernel = fastestUtf8Kernel());
    // Checks the next piece; false once the bytes so far cannot be UTF-8 (later pieces change nothing).
    bool add(const char* data, qsizetype size);
    // True when all pieces so far are well-formed UTF-8 and the last one ended a character.
    bool complete() const { return m_state == 0; }

private:
    using BlockCheck = std::ptrdiff_t (*)(const char* data, std::ptrdiff_t size);

    std::uint64_t m_state = 0;
    BlockCheck m_blocks = nullptr; // the vector kernel, or null for the plain one
    qsizetype m_blockSize = 0;
};

} // namespace ostrand
