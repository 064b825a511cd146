// SPDX-License-Identifier: MIT
#include "filelist/SkippedNames.h"

#include "core/common/CountedText.h"
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

void SkippedNamesCount::tell(const QString& one, const QString& many) const
{
    if (m_count == 0 || m_host.stopRequested())
        return;
    if (m_count == 1)
        m_host.showMessage(QStringLiteral("1 file %1 was skipped: its name, or the name of a folder it is in, is not "
                                          "valid UTF-8.")
                               .arg(one));
    else
        m_host.showMessage(QStringLiteral("%1 %2 were skipped: their names, or the names of their folders, are not "
                                          "valid UTF-8.")
                               .arg(CountedFiles(m_count), many));
}

} // namespace ostrand
