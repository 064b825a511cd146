// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

#include <QStringList>

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
    void namesNotValidUtf8(const QString& folder, int count) override
    {
        undecodable.append(QStringLiteral("%1:%2").arg(folder).arg(count));
    }

    int yields = 0;
    bool stop = false;
    QStringList undecodable; // "folder:count" for each folder with files whose names are not valid UTF-8
    std::function<void(int yieldNumber)> onYield;
};

} // namespace ostrand::test
