// SPDX-License-Identifier: MIT
#include "core/convert/source/WorkSlices.h"

#include <atomic>

namespace ostrand {

namespace {

std::atomic<qsizetype> g_streamSliceBytes{0};

} // namespace

qsizetype streamSliceBytes()
{
    const qsizetype bytes = g_streamSliceBytes.load(std::memory_order_relaxed);
    return bytes > 0 ? bytes : kWorkSliceBytes;
}

// Declared for the tests alone, in their own support header.
void setStreamSliceBytesForTests(qsizetype bytes);

void setStreamSliceBytesForTests(qsizetype bytes)
{
    g_streamSliceBytes.store(bytes, std::memory_order_relaxed);
}

} // namespace ostrand
