// SPDX-License-Identifier: MIT
#pragma once

#include <QElapsedTimer>

#include "core/filelist/ScanHost.h"

namespace ostrand {

// Time-slices the yields of a long folder operation: at each point where it may yield, the host is
// yielded to when its interval has passed since the last yield (the first point always yields), and the
// host is asked whether to stop.
class Pacer
{
public:
    explicit Pacer(ScanHost& host) : m_host(host), m_intervalMs(host.yieldIntervalMs()) {}

    // Yields if due; false once the host wants the work to stop.
    bool yield()
    {
        if (!m_sinceYield.isValid() || m_sinceYield.elapsed() >= m_intervalMs) {
            m_host.yieldToEvents();
            m_sinceYield.start();
        }
        return !m_host.stopRequested();
    }

private:
    ScanHost& m_host;
    int m_intervalMs;
    QElapsedTimer m_sinceYield;
};

} // namespace ostrand
