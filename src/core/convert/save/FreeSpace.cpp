// SPDX-License-Identifier: MIT
#include "core/convert/save/FreeSpace.h"

#include <QElapsedTimer>
#include <QFileInfo>

namespace ostrand {

std::optional<qint64> freeSpaceFor(const QString& path)
{
    // A run of many small documents asks about one folder again and again: while the last look found plenty of
    // room, it stands for a few milliseconds. With little room every look is a new one.
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
    const std::optional<qint64> free = freeBytesIn(folder);
    if (!free)
        return std::nullopt;
    last.folder = folder;
    last.free = *free;
    last.taken.start();
    return last.free;
}

} // namespace ostrand
