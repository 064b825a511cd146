// SPDX-License-Identifier: MIT
#pragma once

// For the Unix files of the save only.

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef STATX_BTIME
#include <sys/sysmacros.h>
#endif

#include "core/convert/save/FileSystem.h"

namespace ostrand {

// What the save needs to know of a file.
struct UnixLook
{
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;
    SeenFile seen;
};

// Looks at the path in the folder (a descriptor, or AT_FDCWD) as fstatat does with `flags`, or with AT_EMPTY_PATH and
// an empty path at the open file itself, and tells the moment the file was made where the file system keeps it.
// -1 with errno set on failure.
inline int lookAt(int folder, const char* path, int flags, UnixLook& look)
{
#ifdef STATX_BTIME
    struct statx extended;
    if (::statx(folder, path, flags | AT_STATX_SYNC_AS_STAT, STATX_BASIC_STATS | STATX_BTIME, &extended) == 0) {
        look.mode = extended.stx_mode;
        look.owner = extended.stx_uid;
        look.group = extended.stx_gid;
        look.seen.identity =
            FileIdentity{quint64(makedev(extended.stx_dev_major, extended.stx_dev_minor)), extended.stx_ino};
        look.seen.born = (extended.stx_mask & STATX_BTIME)
                             ? qint64(extended.stx_btime.tv_sec) * 1000000000 + qint64(extended.stx_btime.tv_nsec)
                             : -1;
        return 0;
    }
    if (errno != ENOSYS)
        return -1;
#endif
    struct stat info;
    if (::fstatat(folder, path, &info, flags) != 0)
        return -1;
    look.mode = info.st_mode;
    look.owner = info.st_uid;
    look.group = info.st_gid;
    look.seen = SeenFile{FileIdentity{quint64(info.st_dev), quint64(info.st_ino)}, -1};
    return 0;
}

} // namespace ostrand
