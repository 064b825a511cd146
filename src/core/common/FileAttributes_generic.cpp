// SPDX-License-Identifier: MIT
#include "core/common/FileAttributes.h"

#include <QFileInfo>

#include "core/common/Paths.h"

namespace ostrand {

int AttributesOf(const QString& path)
{
    if (path.isEmpty())
        return -1;
    // A folder given with a trailing separator is the folder itself: its name and link state come
    // from the path without it.
    QString bare = path;
    while (bare.size() > 1 && bare.endsWith(pathSeparator()))
        bare.chop(1);
    const QFileInfo info(bare);
    if (!info.exists())
        return -1;
    const QString name = info.fileName();
    const bool dotName = name.startsWith(QLatin1Char('.')) && name != QLatin1String(".") && name != QLatin1String("..");
    if (info.isDir()) {
        if (info.isSymLink())
            return Attribute::Folder | Attribute::Hidden | Attribute::System | Attribute::Link;
        return dotName ? Attribute::Folder | Attribute::Hidden | Attribute::System : Attribute::Folder;
    }
    return dotName ? Attribute::Archive | Attribute::Hidden : Attribute::Archive;
}

} // namespace ostrand
