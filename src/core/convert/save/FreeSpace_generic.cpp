// SPDX-License-Identifier: MIT
#include "core/convert/save/FreeSpace.h"

#include <QFileInfo>
#include <QStorageInfo>

namespace ostrand {

std::optional<qint64> freeSpaceFor(const QString& path)
{
    const QStorageInfo storage(QFileInfo(path).absolutePath());
    if (!storage.isValid())
        return std::nullopt;
    return storage.bytesAvailable();
}

} // namespace ostrand
