// SPDX-License-Identifier: MIT
#pragma once

#include <QElapsedTimer>

#include "core/convert/ConversionOptions.h"
#include "core/convert/source/WorkSlices.h"

namespace ostrand {

// The pace of a conversion: the host's event loop gets a turn about every 10 ms of work, whichever stage is
// running, so that the window stays live and a stop is seen within moments.
constexpr qint64 kTurnMs = 10;

// Gives the host's event loop its turns, and remembers a stop the host asked for after one.
class EventTurns
{
public:
    explicit EventTurns(ConversionHost& host) : m_host(host) { m_clock.start(); }

    // A turn now; false once the host asks to stop.
    bool now()
    {
        m_host.yieldToEvents();
        m_clock.restart();
        m_stopped = m_host.stopRequested();
        return !m_stopped;
    }
    // A turn when about 10 ms have passed since the last one; false once the host asks to stop.
    bool due() { return m_stopped ? false : m_clock.elapsed() < kTurnMs || now(); }
    // The break the slices of a long pass are offered.
    SliceBreak slices()
    {
        return [this] { return due(); };
    }
    bool stopped() const { return m_stopped; }

private:
    ConversionHost& m_host;
    QElapsedTimer m_clock;
    bool m_stopped = false;
};

} // namespace ostrand
