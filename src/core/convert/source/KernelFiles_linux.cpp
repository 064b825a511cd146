// SPDX-License-Identifier: MIT
#include "core/convert/source/KernelFiles.h"

#include <sys/vfs.h>

namespace ostrand {

bool onKernelFileSystem(int fd)
{
    // The magic numbers of <linux/magic.h>: proc, sysfs, debugfs, tracefs, securityfs, configfs, cgroup and
    // cgroup2, pstore, efivarfs.
    constexpr unsigned long kKernelFileSystems[] = {0x9fa0,     0x62656572, 0x64626720, 0x74726163, 0x73636673,
                                                    0x62656570, 0x27e0eb,   0x63677270, 0x6165676c, 0xde5e81e4};
    struct statfs info;
    if (::fstatfs(fd, &info) != 0)
        return false;
    for (const unsigned long magic : kKernelFileSystems) {
        if (static_cast<unsigned long>(info.f_type) == magic)
            return true;
    }
    return false;
}

} // namespace ostrand
