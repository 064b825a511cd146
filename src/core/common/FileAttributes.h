// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace ostrand {

// Attribute bit values of files and folders, as the Windows file system names them.
namespace Attribute {
inline constexpr int ReadOnly = 1;
inline constexpr int Hidden = 2;
inline constexpr int System = 4;
inline constexpr int Folder = 16;
inline constexpr int Archive = 32;
inline constexpr int Link = 1024;
} // namespace Attribute

// The attribute value of a path, mapped from what this platform keeps:
//   regular file 32; regular file named ".x" 34; folder 16; folder named ".x" 22;
//   symbolic link to a folder 1046. Links to files are taken as the file they point at.
// On Windows it is the file system's own value of the name itself (a link or junction carries 1024).
// -1 when the path cannot be examined (missing, empty, dangling link).
int AttributesOf(const QString& path);

} // namespace ostrand
