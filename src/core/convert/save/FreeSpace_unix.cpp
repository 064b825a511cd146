// SPDX-License-Identifier: MIT
#include "core/convert/save/FreeSpace.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <QFile>

namespace ostrand {

std::optional<qint64> freeBytesIn(const QString& folder)
{
    struct statvfs info;
    if (::statvfs(QFile::encodeName(folder).constData(), &info) != 0)
        return std::nullopt;
    // Root may also take the blocks kept back for it.
    static const bool root = ::geteuid() == 0;
    const auto blocks = root ? info.f_bfree : info.f_bavail;
    return qint64(blocks) * qint64(info.f_frsize);
}

} // namespace ostrand
