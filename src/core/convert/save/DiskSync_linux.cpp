// SPDX-License-Identifier: MIT
#include "core/convert/save/DiskSync.h"

#include <cerrno>
#include <cstdio>
#include <set>

#include <fcntl.h>

#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace ostrand {

namespace {

// Whether a sync of a whole file system tells of a failed write-back of any of its files (Linux 5.8 and later);
// before that it always succeeded.
bool fileSystemSyncTellsFailures()
{
    struct utsname system;
    if (::uname(&system) != 0)
        return false;
    int major = 0, minor = 0;
    if (std::sscanf(system.release, "%d.%d", &major, &minor) != 2)
        return false;
    return major > 5 || (major == 5 && minor >= 8);
}

} // namespace

int syncData(int fd)
{
    return ::fdatasync(fd) == 0 ? 0 : errno;
}

std::vector<int> syncAll(const std::vector<int>& files, const std::vector<qint64>& devices)
{
    std::vector<int> errors(files.size(), 0);
    static const bool tells = fileSystemSyncTellsFailures();
    std::set<qint64> synced;
    bool allSynced = tells;
    for (size_t i = 0; i < files.size(); ++i) {
        qint64 device = i < devices.size() ? devices[i] : -1;
        struct stat info;
        if (device < 0 && ::fstat(files[i], &info) == 0)
            device = qint64(info.st_dev);
        if (device < 0)
            allSynced = false;
        else if (synced.insert(device).second && ::syncfs(files[i]) != 0)
            allSynced = false;
    }
    if (allSynced)
        return errors;
    for (size_t i = 0; i < files.size(); ++i)
        errors[i] = syncData(files[i]);
    return errors;
}

void startWriteBack(int fd, qint64 offset, qint64 size)
{
    if (fd >= 0)
        ::sync_file_range(fd, offset, size, SYNC_FILE_RANGE_WRITE);
}

void waitForWriteBack(int fd, qint64 offset, qint64 size)
{
    if (fd >= 0)
        ::sync_file_range(fd, offset, size,
                          SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
}

} // namespace ostrand
