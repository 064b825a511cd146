// SPDX-License-Identifier: MIT
#include "core/convert/save/FreeSpace.h"

#include <QStorageInfo>

namespace ostrand {

std::optional<qint64> freeBytesIn(const QString& folder)
{
    const QStorageInfo storage(folder);
    if (!storage.isValid())
        return std::nullopt;
    return storage.bytesAvailable();
}

} // namespace ostrand
