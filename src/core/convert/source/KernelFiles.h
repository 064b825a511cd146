// SPDX-License-Identifier: MIT
#pragma once

namespace ostrand {

// Whether the open file lives on a file system of the kernel's (process and system information, such as /proc
// and /sys), whose files are made as they are read and report no true size.
bool onKernelFileSystem(int fd);

} // namespace ostrand
