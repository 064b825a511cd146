// SPDX-License-Identifier: MIT
#include "filelist/WindowScanHost.h"

#include "app/Form1.h"

namespace ostrand {

void WindowScanHost::ReportError(const QString& description, const QString& tag, int line)
{
    m_form.ReportError(description, tag, line);
}

void WindowScanHost::yieldToEvents()
{
    m_form.yieldToEvents();
}

bool WindowScanHost::stopRequested() const
{
    return m_form.isClosing();
}

} // namespace ostrand
