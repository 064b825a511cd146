// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>

#include <windows.h>

#include <QString>

namespace ostrand {

// What the Windows files share: paths for the wide-character calls, and the descriptors that stand for their
// handles where the rest of the program passes an int.

// The path as the wide-character calls take it: "\" separators and, past the classic limit of 260 characters,
// the "\\?\" form of the absolute path, which has none.
std::wstring widePath(const QString& path);
// A path the system gave back ("\\?\C:\x", "\\?\UNC\server\share\x") as the user writes it.
QString pathFromSystem(const std::wstring& path);

// A descriptor that owns the handle (closing it closes the handle); -1, with the handle closed, on failure.
int descriptorOwning(HANDLE handle, bool readOnly);
// The handle a descriptor stands for; INVALID_HANDLE_VALUE when none.
HANDLE handleOf(int fd);

// Reads up to size bytes at offset; the count read, or -1 with the error in GetLastError().
qint64 readAt(HANDLE handle, char* into, qint64 size, qint64 offset);
// Writes all the bytes at the file's position; 0, or the error.
DWORD writeAll(HANDLE handle, const char* data, qint64 size);

// The file's information, asked of the open handle; none when the system cannot tell.
std::optional<BY_HANDLE_FILE_INFORMATION> informationOf(HANDLE handle);

} // namespace ostrand
