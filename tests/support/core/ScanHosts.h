// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

#include "core/filelist/ScanHost.h"
#include "support/core/Recorders.h"

namespace ostrand::test {

// A scan host that records error reports, yields at every point where the scan may yield, counts the
// yields and runs an optional action on each (to change the tree while the scan runs, or to stop it).
class RecordingScanHost : public RecordingReporter, public ScanHost
{
public:
    void ReportError(const QString& description, const QString& tag, int line) override
    {
        RecordingReporter::ReportError(description, tag, line);
    }
    void yieldToEvents() override
    {
        ++yields;
        if (onYield)
            onYield(yields);
    }
    bool stopRequested() const override { return stop; }
    int yieldIntervalMs() const override { return 0; }

    int yields = 0;
    bool stop = false;
    std::function<void(int yieldNumber)> onYield;
};

} // namespace ostrand::test
