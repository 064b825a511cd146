// SPDX-License-Identifier: MIT
#include "core/common/ProgramFolder.h"

#include <QDir>
#include <QFileInfo>

namespace ostrand {

namespace {

bool holdsCompanionFiles(const QString& folder)
{
    for (const char* name : {"HAND-M.CUR", "drag.ico", "Samples"}) {
        if (QFileInfo::exists(folder + QLatin1Char('/') + QLatin1String(name)))
            return true;
    }
    return false;
}

} // namespace

QString LocateProgramFolder(const QString& programDir)
{
    // Qt names the program's folder with "/" on every system; the paths made from it use the system's own.
    if (holdsCompanionFiles(programDir))
        return QDir::toNativeSeparators(programDir);
    const QString shared = QDir::cleanPath(programDir + QStringLiteral("/../share/ostrand"));
    if (QFileInfo(shared).isDir())
        return QDir::toNativeSeparators(shared);
    return QDir::toNativeSeparators(programDir);
}

} // namespace ostrand
