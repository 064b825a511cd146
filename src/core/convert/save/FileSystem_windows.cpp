// SPDX-License-Identifier: MIT
#include "core/convert/save/FileSystem.h"

#include "core/common/WindowsFiles.h"

namespace ostrand {

namespace {

// A file is the same file whatever name reaches it when its volume's serial number and its index on the volume
// are the same.
std::optional<FileIdentity> identityOfHandle(HANDLE handle)
{
    const auto information = informationOf(handle);
    if (!information)
        return std::nullopt;
    return FileIdentity{quint64(information->dwVolumeSerialNumber),
                        (quint64(information->nFileIndexHigh) << 32) | quint64(information->nFileIndexLow)};
}

} // namespace

std::optional<FileIdentity> identityAt(const QString& path)
{
    if (path.isEmpty())
        return std::nullopt;
    // Only the attributes are read, and nobody else's use of the file is hindered; links are followed, and
    // folders may be opened too.
    const HANDLE handle = ::CreateFileW(widePath(path).c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return std::nullopt;
    const auto identity = identityOfHandle(handle);
    ::CloseHandle(handle);
    return identity;
}

std::optional<FileIdentity> identityOf(int fd)
{
    return identityOfHandle(handleOf(fd));
}

bool anythingAt(const QString& path)
{
    // The attributes of the name itself: a link is something, wherever it leads.
    return !path.isEmpty() && ::GetFileAttributesW(widePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool mayWrite(const QString& file)
{
    const std::wstring wide = widePath(file);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return false;
    // The access the file's security grants this user; a file another program holds open without sharing it is
    // still ours to replace, and the save tells if the system refuses.
    const HANDLE handle = ::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return ::GetLastError() == ERROR_SHARING_VIOLATION;
    ::CloseHandle(handle);
    return true;
}

void syncFolder(const QString&)
{
    // Names are put in place with MOVEFILE_WRITE_THROUGH, which returns only once the move is on the disk: the
    // folder has nothing left to sync.
}

} // namespace ostrand
