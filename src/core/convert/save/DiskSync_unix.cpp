// SPDX-License-Identifier: MIT
#include "core/convert/save/DiskSync.h"

#include <cerrno>

#include <unistd.h>

namespace ostrand {

// POSIX alone: every file is synced whole, and bytes are sent to the disk only by the final sync.

int syncData(int fd)
{
    return ::fsync(fd) == 0 ? 0 : errno;
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
