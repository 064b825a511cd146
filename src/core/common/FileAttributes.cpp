// SPDX-License-Identifier: MIT
#include "core/common/FileAttributes.h"

#include <QFileInfo>

namespace ostrand {

int AttributesOf(const QString& path)
{
    if (path.isEmpty())
        return -1;
    const QFileInfo info(path);
    if (!info.exists())
        return -1;
    QString name = info.fileName();
    if (name.isEmpty()) // "/" or a path ending in a separator names the folder itself
        name = QFileInfo(info.absoluteFilePath()).fileName();
    const bool dotName = name.startsWith(QLatin1Char('.')) && name != QLatin1String(".") && name != QLatin1String("..");
    if (info.isDir()) {
        QString bare = path;
        while (bare.size() > 1 && (bare.endsWith(QLatin1Char('/')) || bare.endsWith(QLatin1Char('\\'))))
            bare.chop(1);
        if (QFileInfo(bare).isSymLink())
            return Attribute::Folder | Attribute::Hidden | Attribute::System | Attribute::Link;
        return dotName ? Attribute::Folder | Attribute::Hidden | Attribute::System : Attribute::Folder;
    }
    return dotName ? Attribute::Archive | Attribute::Hidden : Attribute::Archive;
}

} // namespace ostrand
