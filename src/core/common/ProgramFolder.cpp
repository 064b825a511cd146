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
    if (holdsCompanionFiles(programDir))
        return programDir;
    const QString shared = QDir::cleanPath(programDir + QStringLiteral("/../share/ostrand"));
    if (QFileInfo(shared).isDir())
        return shared;
    return programDir;
}

} // namespace ostrand
