// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include "core/filelist/ScanHost.h"

namespace ostrand {

class FileListHost;

// The scan host of one command that fills the list from folders: everything goes to the window's host,
// and the files left out because their names are not valid UTF-8 are counted over every folder, so the
// command tells the user once when it is done instead of once per folder or file.
class SkippedNamesCount final : public ScanHost
{
public:
    explicit SkippedNamesCount(FileListHost& host);

    void ReportError(const QString& description, const QString& tag, int line) override;
    void yieldToEvents() override;
    bool stopRequested() const override;
    int yieldIntervalMs() const override;
    void namesNotValidUtf8(const QString& folder, int count) override;

    // Tells the user in a plain message how many files were left out, when any were and the window is not
    // being closed; `one` and `many` name what was scanned for one file and for several ("in the chosen folder
    // or its subfolders", "in the chosen folder and its subfolders").
    void tell(const QString& one, const QString& many) const;

private:
    FileListHost& m_host;
    qint64 m_count = 0;
};

} // namespace ostrand
