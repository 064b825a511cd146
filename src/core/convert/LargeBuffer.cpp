// SPDX-License-Identifier: MIT
#include "core/convert/LargeBuffer.h"

#include <cstdint>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

namespace ostrand {

namespace {

constexpr qsizetype kLargeBuffer = 8 * 1024 * 1024;

} // namespace

void resizeForWriting(QByteArray& buffer, qsizetype size)
{
    buffer.resize(size);
#if defined(Q_OS_LINUX) && defined(MADV_HUGEPAGE)
    if (size >= kLargeBuffer) {
        // Only whole huge pages inside the buffer can be advised; the advice is a hint and may be refused.
        constexpr std::uintptr_t hugePage = 2 * 1024 * 1024;
        const auto begin = reinterpret_cast<std::uintptr_t>(buffer.data());
        const std::uintptr_t first = (begin + hugePage - 1) & ~(hugePage - 1);
        const std::uintptr_t last = (begin + static_cast<std::uintptr_t>(size)) & ~(hugePage - 1);
        if (last > first)
            madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
#endif
}

} // namespace ostrand
