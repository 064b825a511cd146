// SPDX-License-Identifier: MIT
#include "core/convert/source/LargeBuffer.h"

#include <cstdint>

#include <sys/mman.h>

namespace ostrand {

namespace {

constexpr qsizetype kLargeBuffer = 8 * 1024 * 1024;
// Given back between two breaks: a few milliseconds of unmapping small pages.
constexpr std::uintptr_t kReleaseSlice = 16 * 1024 * 1024;

} // namespace

void resizeForWriting(QByteArray& buffer, qsizetype size)
{
    buffer.resize(size);
    if (size >= kLargeBuffer) {
        // Only whole huge pages inside the buffer can be advised; the advice is a hint and may be refused.
        constexpr std::uintptr_t hugePage = 2 * 1024 * 1024;
        const auto begin = reinterpret_cast<std::uintptr_t>(buffer.data());
        const std::uintptr_t first = (begin + hugePage - 1) & ~(hugePage - 1);
        const std::uintptr_t last = (begin + static_cast<std::uintptr_t>(size)) & ~(hugePage - 1);
        if (last > first)
            madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
}

void releaseLargeBuffer(QByteArray& buffer, const SliceBreak& pause)
{
    if (buffer.size() >= kLargeBuffer && buffer.isDetached()) {
        // Only whole pages inside the bytes are given back; the buffer's bookkeeping before them stays.
        const std::uintptr_t page = 4096;
        const auto begin = reinterpret_cast<std::uintptr_t>(buffer.data());
        const std::uintptr_t first = (begin + page - 1) & ~(page - 1);
        const std::uintptr_t last = (begin + static_cast<std::uintptr_t>(buffer.size())) & ~(page - 1);
        bool goingOn = true;
        for (std::uintptr_t from = first; from < last; from += kReleaseSlice) {
            if (from > first && goingOn)
                goingOn = offerBreak(pause);
            madvise(reinterpret_cast<void*>(from), qMin(kReleaseSlice, last - from), MADV_DONTNEED);
        }
    }
    buffer = QByteArray();
}

} // namespace ostrand
