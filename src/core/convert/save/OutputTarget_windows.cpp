// SPDX-License-Identifier: MIT
#include "core/convert/save/OutputTarget.h"

#include "core/common/SystemText.h"
#include "core/common/WindowsFiles.h"

namespace ostrand {

namespace {

// The final path of an open file, as the user writes it; empty when the system cannot tell.
QString finalPathOf(HANDLE handle)
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD size = ::GetFinalPathNameByHandleW(handle, path.data(), DWORD(path.size()), FILE_NAME_NORMALIZED);
        if (size == 0)
            return QString();
        if (size < path.size()) {
            path.resize(size);
            return pathFromSystem(path);
        }
        path.resize(size);
    }
}

} // namespace

// Here a link is a reparse point: a symbolic link or a junction, which the system follows as it opens the path
// (as many links as it follows, and not one more). The document is written through a link only to a regular file.
// Reparse points that are no links (a file kept in the cloud, a deduplicated file) are opened as the file itself.
Result<OutputTarget> lookAtTarget(const QString& path)
{
    const std::wstring wide = widePath(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) // a new document; any other trouble shows when it is written
        return OutputTarget{path, false, false, std::nullopt};
    const bool reparse = attributes & FILE_ATTRIBUTE_REPARSE_POINT;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !reparse)
        return OutputTarget{path, true, true, std::nullopt};
    const HANDLE handle = ::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (reparse && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND))
            return cannotWrite(path, QStringLiteral("It is a symbolic link that leads nowhere"));
        return cannotWrite(path, windowsErrorText(error));
    }
    const auto information = informationOf(handle);
    const DWORD informationError = information ? 0 : ::GetLastError();
    const bool disk = ::GetFileType(handle) == FILE_TYPE_DISK;
    const QString file = reparse ? finalPathOf(handle) : path;
    const DWORD pathError = file.isEmpty() ? ::GetLastError() : 0;
    ::CloseHandle(handle);
    if (!information)
        return cannotWrite(path, windowsErrorText(informationError));
    if (!disk || (information->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return cannotWrite(path, !reparse ? QStringLiteral("It is not a regular file")
                                          : QStringLiteral("It is a symbolic link to something that is not a "
                                                           "regular file"));
    if (file.isEmpty())
        return cannotWrite(path, windowsErrorText(pathError));
    return OutputTarget{file, true, false,
                        FileIdentity{quint64(information->dwVolumeSerialNumber),
                                     (quint64(information->nFileIndexHigh) << 32) | quint64(information->nFileIndexLow)}};
}

} // namespace ostrand
