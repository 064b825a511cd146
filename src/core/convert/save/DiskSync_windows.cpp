// SPDX-License-Identifier: MIT
#include "core/convert/save/DiskSync.h"

#include <cerrno>

#include "core/common/WindowsFiles.h"

namespace ostrand {

namespace {

// The error number that tells the reason of a failed flush, for the reports that word error numbers.
int errorNumberOf(DWORD error)
{
    switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        return EACCES;
    case ERROR_INVALID_HANDLE:
        return EBADF;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    default:
        return EIO;
    }
}

} // namespace

// Each file's own flush sends its data and what is needed to read it back to the disk; the system has no cheaper
// call that tells failures, and no call that starts a write-back without waiting for it.

int syncData(int fd)
{
    const HANDLE handle = handleOf(fd);
    if (handle == INVALID_HANDLE_VALUE)
        return EBADF;
    return ::FlushFileBuffers(handle) ? 0 : errorNumberOf(::GetLastError());
}

std::vector<int> syncAll(const std::vector<int>& files, const std::vector<qint64>& /*devices*/)
{
    std::vector<int> errors(files.size(), 0);
    for (size_t i = 0; i < files.size(); ++i)
        errors[i] = syncData(files[i]);
    return errors;
}

void startWriteBack(int, qint64, qint64)
{
}

void waitForWriteBack(int, qint64, qint64)
{
}

} // namespace ostrand
