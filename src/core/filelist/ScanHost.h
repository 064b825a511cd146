// SPDX-License-Identifier: MIT
#pragma once

#include "core/app/ErrorReport.h"

namespace ostrand {

// What a folder scan needs from the program running it: the error report for the scan's failures, a
// way to let pending window events run while it works, and a way to be told to stop.
class ScanHost : public ErrorReporter
{
public:
    // Lets pending events run, then returns.
    virtual void yieldToEvents() = 0;
    // True once the scan should end early (the window is closing, the user interrupted).
    virtual bool stopRequested() const { return false; }
    // How much work runs between two yields, in milliseconds. The window stays as live as with a yield at
    // every step, and a tree of 100,000 files does not cost 100,000 event-loop passes; 0 yields at every
    // point where the scan may yield.
    virtual int yieldIntervalMs() const { return 10; }
    // Told of the files of a folder that were left out because their names are not valid UTF-8: no name
    // the program can hand on reaches them.
    virtual void namesNotValidUtf8(const QString& /*folder*/, int /*count*/) {}
};

} // namespace ostrand
