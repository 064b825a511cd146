// SPDX-License-Identifier: MIT
// For the benchmark only: a library preloaded into the converter (LD_PRELOAD) that turns every request to
// send data to the disk into a no-op, so that bench/run.sh can measure what the converter's durability costs
// by timing it with and without its syncs. It is never installed and the programs know nothing of it.
#include <sys/types.h>

extern "C" {

int fsync(int)
{
    return 0;
}

int fdatasync(int)
{
    return 0;
}

int syncfs(int)
{
    return 0;
}

void sync()
{
}

int sync_file_range(int, off64_t, off64_t, unsigned int)
{
    return 0;
}

} // extern "C"
