// SPDX-License-Identifier: MIT
#pragma once

#include "core/filelist/ScanHost.h"

namespace ostrand {

class Form1;

// The main window as the host of a folder scan: the scan's failures go to the window's error report, its
// yields let the window's events run, and it stops once the window is closing.
class WindowScanHost : public ScanHost
{
public:
    explicit WindowScanHost(Form1& form) : m_form(form) {}

    void ReportError(const QString& description, const QString& tag, int line) override;
    void yieldToEvents() override;
    bool stopRequested() const override;

private:
    Form1& m_form;
};

} // namespace ostrand
