// SPDX-License-Identifier: MIT
#include "core/convert/source/SourceFile.h"

#include "core/common/Paths.h"

namespace ostrand {

QString SourceFile::readFailure(const QString& path, const QString& reason)
{
    return QStringLiteral("Cannot read %1: %2").arg(path, reason);
}

QString SourceFile::notFoundReason(const QString& path)
{
    const QString undecodable = UndecodableNameReason(path);
    return undecodable.isEmpty() ? QStringLiteral("File not found") : undecodable;
}

QString SourceFile::changedReason()
{
    return QStringLiteral("The file changed while it was read");
}

} // namespace ostrand
