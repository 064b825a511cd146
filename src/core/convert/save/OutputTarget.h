// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QString>

#include "core/common/Result.h"
#include "core/convert/save/FileSystem.h"

namespace ostrand {

// The failure to write a document at a path, for a reason.
inline Failure cannotWrite(const QString& path, const QString& reason)
{
    return Failure{QStringLiteral("Cannot write %1: %2").arg(path, reason)};
}

// Why a document is not put at a name that was free when it was begun: someone has put a file there since, which
// is theirs.
inline QString nameTakenMeanwhile()
{
    return QStringLiteral("A file appeared there while the document was written, and it is left alone");
}

// What a look at the output path found: the file that receives the document (the path itself, or the final
// target of the links at it) and what is there now.
struct OutputTarget
{
    QString file;
    bool exists = false;
    bool folder = false;
    std::optional<FileIdentity> identity; // an existing file's
    qint64 born = -1;                     // ... and when it was made, where the file system tells
};

// Whether the document may be written at the path as it stands: a new name, an existing regular file, or a link
// the kernel would follow to a regular file when links in shared sticky folders are protected (the link belongs
// to the user or to the folder's owner, or the folder is not both sticky and writable by all). Each link of a
// chain is judged in its own folder; a chain longer than the system follows is refused.
Result<OutputTarget> lookAtTarget(const QString& path);

} // namespace ostrand
