// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <functional>
#include <future>
#include <system_error>

#include <QtGlobal>

namespace ostrand {

// Offered between two slices of a long pass over a file's bytes (reading, decoding, counting, writing);
// returns false to end the pass there. An empty one never ends a pass.
using SliceBreak = std::function<bool()>;

// The bytes one slice of a pass over memory handles: a few milliseconds of work at most, so that a break
// offered after every slice costs nothing and the program can pause about every 10 ms.
constexpr qsizetype kWorkSliceBytes = 1024 * 1024;

// The bytes a streamed conversion reads, decodes and cuts at a time: kWorkSliceBytes, unless a test has set a
// tiny size so that slice boundaries fall everywhere (tests/support/core/SliceSize.h).
qsizetype streamSliceBytes();

// Offers a break; true to go on.
inline bool offerBreak(const SliceBreak& pause)
{
    return !pause || pause();
}

// Offers a break after a pass over size bytes, unless that pass was a single slice; true to go on.
inline bool offerBreakAfter(qsizetype size, const SliceBreak& pause)
{
    return size <= kWorkSliceBytes || offerBreak(pause);
}

// Runs pass(begin, end) over [0, size) in slices of kWorkSliceBytes, offering a break between two slices
// (never after the last, so a small run is one slice and never pauses); false when a break ended it.
template <class Pass> bool inSlices(qsizetype size, const SliceBreak& pause, Pass&& pass)
{
    for (qsizetype begin = 0; begin < size; begin += kWorkSliceBytes) {
        if (begin > 0 && !offerBreak(pause))
            return false;
        pass(begin, qMin(size, begin + kWorkSliceBytes));
    }
    return true;
}

// Runs a call that may block for long (a sync that waits for the disk's cache, a rename that frees the
// blocks of a large earlier document) on a worker thread, offering breaks meanwhile so the program stays live.
// Once a break has said stop, no more are offered and the call is waited for; stopped tells the caller.
// Without a worker thread to be had, the call runs here.
template <class Call> auto offeringBreaks(Call call, const SliceBreak& pause, bool& stopped)
{
    std::future<decltype(call())> result;
    try {
        result = std::async(std::launch::async, call);
    } catch (const std::system_error&) {
        return call();
    }
    while (result.wait_for(std::chrono::milliseconds(2)) != std::future_status::ready) {
        if (!stopped && !offerBreak(pause))
            stopped = true;
    }
    return result.get();
}

} // namespace ostrand
