// SPDX-License-Identifier: MIT
#include "core/convert/save/DiskSync.h"

namespace ostrand {

// Without descriptors to sync, the save syncs itself as it puts a file in place.

int syncData(int)
{
    return 0;
}

std::vector<int> syncAll(const std::vector<int>& files, const std::vector<qint64>& /*devices*/)
{
    return std::vector<int>(files.size(), 0);
}

void startWriteBack(int, qint64, qint64)
{
}

void waitForWriteBack(int, qint64, qint64)
{
}

} // namespace ostrand
