// SPDX-License-Identifier: MIT
#include "core/common/FileAttributes.h"

#include "core/common/WindowsFiles.h"

namespace ostrand {

// Here the attributes are the file system's own, of the name itself: a link or junction carries the reparse point
// attribute (1024) beside its own, and is not followed. A drive's top folder and a folder given with its trailing
// separator are asked as they are written.
int AttributesOf(const QString& path)
{
    if (path.isEmpty())
        return -1;
    const DWORD attributes = ::GetFileAttributesW(widePath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return -1;
    return int(attributes & 0x7fffffffu);
}

} // namespace ostrand
