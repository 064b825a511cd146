// SPDX-License-Identifier: MIT
#include "core/convert/save/FreeSpace.h"

#include <limits>

#include <QElapsedTimer>
#include <QFileInfo>

#include "core/common/WindowsFiles.h"

namespace ostrand {

std::optional<qint64> freeSpaceFor(const QString& path)
{
    // As elsewhere: a look that found plenty of room stands for a few milliseconds.
    struct LastLook
    {
        QString folder;
        qint64 free = 0;
        QElapsedTimer taken;
    };
    thread_local LastLook last;
    constexpr qint64 kPlenty = 256 * 1024 * 1024;
    constexpr qint64 kStandsForMs = 20;
    const QString folder = QFileInfo(path).absolutePath();
    if (last.taken.isValid() && last.free >= kPlenty && last.folder == folder && last.taken.elapsed() < kStandsForMs)
        return last.free;
    // The bytes this user may still take: a disk quota counts. A network folder is named with its trailing
    // separator.
    ULARGE_INTEGER available;
    if (!::GetDiskFreeSpaceExW(widePath(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/')).c_str(),
                               &available, nullptr, nullptr))
        return std::nullopt;
    last.folder = folder;
    last.free = qint64(qMin<quint64>(available.QuadPart, quint64(std::numeric_limits<qint64>::max())));
    last.taken.start();
    return last.free;
}

} // namespace ostrand
