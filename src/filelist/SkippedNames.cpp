// SPDX-License-Identifier: MIT
#include "filelist/SkippedNames.h"

#include "filelist/FileListHost.h"

namespace ostrand {

SkippedNamesCount::SkippedNamesCount(FileListHost& host) : m_host(host)
{
}

void SkippedNamesCount::ReportError(const QString& description, const QString& tag, int line)
{
    m_host.ReportError(description, tag, line);
}

void SkippedNamesCount::yieldToEvents()
{
    m_host.yieldToEvents();
}

bool SkippedNamesCount::stopRequested() const
{
    return m_host.stopRequested();
}

int SkippedNamesCount::yieldIntervalMs() const
{
    return m_host.yieldIntervalMs();
}

void SkippedNamesCount::namesNotValidUtf8(const QString& folder, int count)
{
    m_count += count;
    m_host.namesNotValidUtf8(folder, count);
}

void SkippedNamesCount::tell(const QString& where) const
{
    if (m_count == 0 || m_host.stopRequested())
        return;
    m_host.showMessage(QStringLiteral("%1 file(s) %2 were skipped: their names, or the names of their folders, are not "
                                      "valid UTF-8.")
                           .arg(m_count)
                           .arg(where));
}

} // namespace ostrand
