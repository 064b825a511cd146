// SPDX-License-Identifier: MIT
#include "core/convert/save/FreeSpace.h"

#include <limits>

#include "core/common/WindowsFiles.h"

namespace ostrand {

std::optional<qint64> freeBytesIn(const QString& folder)
{
    // The bytes this user may still take: a disk quota counts. A network folder is named with its trailing
    // separator.
    ULARGE_INTEGER available;
    if (!::GetDiskFreeSpaceExW(widePath(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/')).c_str(),
                               &available, nullptr, nullptr))
        return std::nullopt;
    return qint64(qMin<quint64>(available.QuadPart, quint64(std::numeric_limits<qint64>::max())));
}

} // namespace ostrand
