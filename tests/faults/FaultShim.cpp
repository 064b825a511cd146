// SPDX-License-Identifier: MIT
// A library preloaded into a program under test (LD_PRELOAD) that makes the machine fail on cue. It does
// nothing until one of its variables is set, and it reads them at every call, so a test can turn a fault on
// and off while the program runs:
//   OSTRAND_FAULT_SPACE=N         a regular file cannot grow past N bytes: the write that would pass N writes
//                                 what fits and the next one fails with ENOSPC, like a disk that is full
//   OSTRAND_FAULT_SYNC=enospc     fsync and fdatasync of a regular file fail with ENOSPC (a disk that finds
//                                 out only when the data is sent to it)
//   OSTRAND_FAULT_AT=read:N       once N bytes have been read from regular files (or write:N, written to
//   OSTRAND_FAULT_RUN=COMMAND     them), COMMAND runs once through /bin/sh; $OSTRAND_FAULT_PID is this program
//   OSTRAND_FAULT_FREE=N          statvfs tells every file system has N bytes free
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using ReadCall = ssize_t (*)(int, void*, size_t);
using WriteCall = ssize_t (*)(int, const void*, size_t);
using SyncCall = int (*)(int);
using PreadCall = ssize_t (*)(int, void*, size_t, off_t);
using StatvfsCall = int (*)(const char*, struct statvfs*);

template <class Call> Call next(const char* name)
{
    return reinterpret_cast<Call>(dlsym(RTLD_NEXT, name));
}

bool isRegularFile(int fd)
{
    struct stat info;
    return fd > 2 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

std::atomic<long long> g_read{0};
std::atomic<long long> g_written{0};
std::atomic<bool> g_ran{false};

// Runs the command once when the count of its kind has passed the mark.
void maybeRun(const char* kind, long long count)
{
    const char* at = std::getenv("OSTRAND_FAULT_AT");
    const char* command = std::getenv("OSTRAND_FAULT_RUN");
    if (!at || !command || g_ran)
        return;
    const std::string mark(at);
    const std::string prefix = std::string(kind) + ':';
    if (mark.compare(0, prefix.size(), prefix) != 0 || count < std::atoll(mark.c_str() + prefix.size()))
        return;
    if (g_ran.exchange(true))
        return;
    const std::string pid = std::to_string(getpid());
    const pid_t child = fork();
    if (child == 0) {
        setenv("OSTRAND_FAULT_PID", pid.c_str(), 1);
        unsetenv("LD_PRELOAD");
        execl("/bin/sh", "sh", "-c", command, static_cast<char*>(nullptr));
        _exit(127);
    }
    if (child > 0) {
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

long long spaceLimit()
{
    const char* space = std::getenv("OSTRAND_FAULT_SPACE");
    return space ? std::atoll(space) : -1;
}

// Tells the free space OSTRAND_FAULT_FREE gives, in the file system's own block size.
void fakeFreeSpace(struct statvfs* info)
{
    const char* free = std::getenv("OSTRAND_FAULT_FREE");
    if (!free || info->f_frsize == 0)
        return;
    info->f_bavail = info->f_bfree = static_cast<fsblkcnt_t>(std::atoll(free)) / info->f_frsize;
}

bool syncFails(int fd)
{
    const char* sync = std::getenv("OSTRAND_FAULT_SYNC");
    return sync && std::strcmp(sync, "enospc") == 0 && isRegularFile(fd);
}

} // namespace

extern "C" {

ssize_t read(int fd, void* buffer, size_t count)
{
    static const ReadCall real = next<ReadCall>("read");
    const ssize_t got = real(fd, buffer, count);
    if (got > 0 && std::getenv("OSTRAND_FAULT_AT") && isRegularFile(fd))
        maybeRun("read", g_read += got);
    return got;
}

ssize_t pread(int fd, void* buffer, size_t count, off_t offset)
{
    static const PreadCall real = next<PreadCall>("pread");
    const ssize_t got = real(fd, buffer, count, offset);
    if (got > 0 && std::getenv("OSTRAND_FAULT_AT") && isRegularFile(fd))
        maybeRun("read", g_read += got);
    return got;
}

ssize_t pread64(int fd, void* buffer, size_t count, off_t offset)
{
    static const PreadCall real = next<PreadCall>("pread64");
    const ssize_t got = real(fd, buffer, count, offset);
    if (got > 0 && std::getenv("OSTRAND_FAULT_AT") && isRegularFile(fd))
        maybeRun("read", g_read += got);
    return got;
}

int statvfs(const char* path, struct statvfs* info)
{
    static const StatvfsCall real = next<StatvfsCall>("statvfs");
    const int result = real(path, info);
    if (result == 0)
        fakeFreeSpace(info);
    return result;
}

int statvfs64(const char* path, struct statvfs64* info)
{
    using Statvfs64Call = int (*)(const char*, struct statvfs64*);
    static const Statvfs64Call real = next<Statvfs64Call>("statvfs64");
    const int result = real(path, info);
    const char* free = std::getenv("OSTRAND_FAULT_FREE");
    if (result == 0 && free && info->f_frsize != 0)
        info->f_bavail = info->f_bfree = static_cast<fsblkcnt64_t>(std::atoll(free)) / info->f_frsize;
    return result;
}

ssize_t write(int fd, const void* buffer, size_t count)
{
    static const WriteCall real = next<WriteCall>("write");
    const long long limit = spaceLimit();
    if (limit >= 0 && isRegularFile(fd)) {
        const off_t at = lseek(fd, 0, SEEK_CUR);
        if (at >= 0 && static_cast<long long>(at) + static_cast<long long>(count) > limit) {
            if (static_cast<long long>(at) >= limit) {
                errno = ENOSPC;
                return -1;
            }
            count = static_cast<size_t>(limit - at);
        }
    }
    const ssize_t done = real(fd, buffer, count);
    if (done > 0 && std::getenv("OSTRAND_FAULT_AT") && isRegularFile(fd))
        maybeRun("write", g_written += done);
    return done;
}

int fsync(int fd)
{
    static const SyncCall real = next<SyncCall>("fsync");
    if (syncFails(fd)) {
        errno = ENOSPC;
        return -1;
    }
    return real(fd);
}

int fdatasync(int fd)
{
    static const SyncCall real = next<SyncCall>("fdatasync");
    if (syncFails(fd)) {
        errno = ENOSPC;
        return -1;
    }
    return real(fd);
}

} // extern "C"
