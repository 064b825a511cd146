// SPDX-License-Identifier: MIT
// A library preloaded into a program under test (LD_PRELOAD) that makes the machine fail on cue. It does
// nothing until one of its variables is set, and it reads them at every call, so a test can turn a fault on
// and off while the program runs:
//   OSTRAND_FAULT_SPACE=N         a regular file cannot grow past N bytes: the write that would pass N writes
//                                 what fits and the next one fails with ENOSPC, like a disk that is full
//   OSTRAND_FAULT_SYNC=enospc     fsync and fdatasync of a regular file, and syncfs, fail with ENOSPC (a disk
//                                 that finds out only when the data is sent to it)
//   OSTRAND_FAULT_SYNC_SIZE=N     with OSTRAND_FAULT_SYNC, only the syncs of files of exactly N bytes fail
//   OSTRAND_FAULT_LOG=FILE        each file put in place by name (linkat, of a descriptor or a name, or rename to a
//                                 name ending ".htm") adds
//                                 a line "NAME synced", or "NAME UNSYNCED" when bytes written to it through a
//                                 descriptor still open were not synced (fsync, fdatasync or syncfs) before
//   OSTRAND_FAULT_LOG_FOLDERS=1   with OSTRAND_FAULT_LOG, each successful fsync of a folder adds a line
//                                 "FOLDER folder synced" (the folder's whole path), in order with the others
//   OSTRAND_FAULT_SYNC_HOLD=MS    every fsync, fdatasync or syncfs of a regular file waits MS milliseconds first,
//                                 as a slow disk does: a sync on a worker thread is then still running for sure
//   OSTRAND_FAULT_AT=read:N       once N bytes have been read from regular files (or write:N, written to
//   OSTRAND_FAULT_RUN=COMMAND     them; or tmplink:N, once N files have been linked in under a name ending ".tmp"),
//                                 COMMAND runs once through /bin/sh; $OSTRAND_FAULT_PID is this program
//   OSTRAND_FAULT_FREE=N          statvfs tells every file system has N bytes free
//   OSTRAND_FAULT_TMPFILE=refuse  opening an unnamed file (O_TMPFILE) fails with EOPNOTSUPP, as on a file system
//                                 that has none
//   OSTRAND_FAULT_XATTR=refuse    setting an extended attribute on an open file (fsetxattr) fails with EPERM, as
//                                 a security module may refuse it
//   OSTRAND_FAULT_APPEAR=TEXT     right before a file is linked in under a name ending ".htm" that is free, a file
//                                 holding TEXT appears there (another program was quicker)
//   OSTRAND_FAULT_CLOCK_AHEAD=S   the clock (time) reads S seconds ahead: every file looks S seconds older
//   OSTRAND_FAULT_LOCKS=none      file locks (flock, and fcntl's POSIX and open-file locks) do nothing and every file
//                                 reads as unlocked, as on a file system whose locks do not reach the other machines
//                                 that write there
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <ctime>

#include <dlfcn.h>
#include <sys/file.h>
#include <fcntl.h>
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

// Which descriptors hold bytes written since their last sync.
constexpr int kTrackedFiles = 4096;
std::atomic<bool> g_unsynced[kTrackedFiles];

void setUnsynced(int fd, bool unsynced)
{
    if (fd >= 0 && fd < kTrackedFiles)
        g_unsynced[fd] = unsynced;
}

// The descriptor a name of the form /proc/self/fd/N stands for; -1 for any other name.
int descriptorOf(const char* name)
{
    static const char prefix[] = "/proc/self/fd/";
    if (!name || std::strncmp(name, prefix, sizeof prefix - 1) != 0)
        return -1;
    return std::atoi(name + sizeof prefix - 1);
}

bool endsWith(const char* name, const char* end)
{
    const size_t size = std::strlen(name), endSize = std::strlen(end);
    return size >= endSize && std::strcmp(name + size - endSize, end) == 0;
}

// Whether the bytes of the file at the name were synced: false when an open descriptor of that same file holds
// bytes written since its last sync.
bool syncedByName(const char* name)
{
    struct stat file;
    if (stat(name, &file) != 0)
        return true;
    for (int fd = 3; fd < kTrackedFiles; ++fd) {
        struct stat open;
        if (g_unsynced[fd] && fstat(fd, &open) == 0 && open.st_dev == file.st_dev && open.st_ino == file.st_ino)
            return false;
    }
    return true;
}

bool refusesUnnamedFiles(int flags)
{
    const char* tmpfile = std::getenv("OSTRAND_FAULT_TMPFILE");
    return (flags & O_TMPFILE) == O_TMPFILE && tmpfile && std::strcmp(tmpfile, "refuse") == 0;
}

// Puts a file holding OSTRAND_FAULT_APPEAR's text at a free document name.
void appearAt(const char* name)
{
    const char* text = std::getenv("OSTRAND_FAULT_APPEAR");
    if (!text || !endsWith(name, ".htm"))
        return;
    using OpenCall = int (*)(const char*, int, ...);
    static const OpenCall real = next<OpenCall>("open");
    const int fd = real(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    static const WriteCall write = next<WriteCall>("write");
    if (write(fd, text, std::strlen(text)) < 0)
        std::perror("OSTRAND_FAULT_APPEAR");
    close(fd);
}

void logPlaced(const char* name, bool synced)
{
    const char* log = std::getenv("OSTRAND_FAULT_LOG");
    if (!log || !endsWith(name, ".htm"))
        return;
    if (FILE* file = std::fopen(log, "a")) {
        std::fprintf(file, "%s %s\n", name, synced ? "synced" : "UNSYNCED");
        std::fclose(file);
    }
}

// A folder's sync, for the log.
void logFolderSynced(int fd)
{
    const char* log = std::getenv("OSTRAND_FAULT_LOG");
    if (!log || !std::getenv("OSTRAND_FAULT_LOG_FOLDERS"))
        return;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISDIR(info.st_mode))
        return;
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char folder[4096];
    const ssize_t size = readlink(link, folder, sizeof folder - 1);
    if (size <= 0)
        return;
    folder[size] = 0;
    if (FILE* file = std::fopen(log, "a")) {
        std::fprintf(file, "%s folder synced\n", folder);
        std::fclose(file);
    }
}

// A slow disk: the sync of a regular file waits first.
void holdSync(int fd)
{
    const char* hold = std::getenv("OSTRAND_FAULT_SYNC_HOLD");
    if (hold && (fd < 0 || isRegularFile(fd)))
        usleep(static_cast<useconds_t>(std::atoll(hold) * 1000));
}

std::atomic<long long> g_read{0};
std::atomic<long long> g_written{0};
std::atomic<long long> g_temporaryLinks{0};
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
    if (!sync || std::strcmp(sync, "enospc") != 0 || !isRegularFile(fd))
        return false;
    const char* size = std::getenv("OSTRAND_FAULT_SYNC_SIZE");
    struct stat info;
    return !size || (fstat(fd, &info) == 0 && info.st_size == std::atoll(size));
}

bool locksDoNothing()
{
    const char* locks = std::getenv("OSTRAND_FAULT_LOCKS");
    return locks && std::strcmp(locks, "none") == 0;
}

// fcntl, whose locks do nothing while OSTRAND_FAULT_LOCKS says so; any other command goes through.
int lockedFcntl(const char* name, int fd, int command, void* argument)
{
    using FcntlCall = int (*)(int, int, ...);
    static const FcntlCall realFcntl = next<FcntlCall>("fcntl");
    static const FcntlCall realFcntl64 = next<FcntlCall>("fcntl64");
    const FcntlCall real = std::strcmp(name, "fcntl64") == 0 && realFcntl64 ? realFcntl64 : realFcntl;
    if (locksDoNothing()) {
        switch (command) {
        case F_GETLK:
        case F_OFD_GETLK:
            static_cast<struct flock*>(argument)->l_type = F_UNLCK;
            return 0;
        case F_SETLK:
        case F_SETLKW:
        case F_OFD_SETLK:
        case F_OFD_SETLKW:
            return 0;
        default:
            break;
        }
    }
    return real(fd, command, argument);
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
    if (done > 0 && std::getenv("OSTRAND_FAULT_LOG") && isRegularFile(fd))
        setUnsynced(fd, true);
    if (done > 0 && std::getenv("OSTRAND_FAULT_AT") && isRegularFile(fd))
        maybeRun("write", g_written += done);
    return done;
}

int fsync(int fd)
{
    static const SyncCall real = next<SyncCall>("fsync");
    holdSync(fd);
    if (syncFails(fd)) {
        errno = ENOSPC;
        return -1;
    }
    const int result = real(fd);
    if (result == 0) {
        setUnsynced(fd, false);
        logFolderSynced(fd);
    }
    return result;
}

int fdatasync(int fd)
{
    static const SyncCall real = next<SyncCall>("fdatasync");
    holdSync(fd);
    if (syncFails(fd)) {
        errno = ENOSPC;
        return -1;
    }
    const int result = real(fd);
    if (result == 0)
        setUnsynced(fd, false);
    return result;
}

// One file system holds every file of a test: a sync of it syncs them all, and fails while syncs fail (the
// file system tells that one of its files could not be written, not which).
int syncfs(int fd)
{
    static const SyncCall real = next<SyncCall>("syncfs");
    holdSync(-1);
    const char* sync = std::getenv("OSTRAND_FAULT_SYNC");
    if (sync && std::strcmp(sync, "enospc") == 0) {
        errno = ENOSPC;
        return -1;
    }
    const int result = real(fd);
    if (result == 0) {
        for (auto& unsynced : g_unsynced)
            unsynced = false;
    }
    return result;
}

int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags)
{
    using LinkatCall = int (*)(int, const char*, int, const char*, int);
    static const LinkatCall real = next<LinkatCall>("linkat");
    appearAt(to);
    const int fd = (flags & AT_EMPTY_PATH) && from[0] == 0 ? fromFolder : descriptorOf(from);
    const bool synced = fd >= 0 ? fd >= kTrackedFiles || !g_unsynced[fd] : syncedByName(from);
    const int result = real(fromFolder, from, toFolder, to, flags);
    if (result == 0)
        logPlaced(to, synced);
    if (result == 0 && std::getenv("OSTRAND_FAULT_AT") && endsWith(to, ".tmp"))
        maybeRun("tmplink", ++g_temporaryLinks);
    return result;
}

int rename(const char* from, const char* to)
{
    using RenameCall = int (*)(const char*, const char*);
    static const RenameCall real = next<RenameCall>("rename");
    // The file is still open where it was written: its descriptor tells.
    const bool synced = syncedByName(from);
    const int result = real(from, to);
    if (result == 0)
        logPlaced(to, synced);
    return result;
}

int fsetxattr(int fd, const char* name, const void* value, size_t size, int flags)
{
    using SetCall = int (*)(int, const char*, const void*, size_t, int);
    static const SetCall real = next<SetCall>("fsetxattr");
    const char* refuse = std::getenv("OSTRAND_FAULT_XATTR");
    if (refuse && std::strcmp(refuse, "refuse") == 0) {
        errno = EPERM;
        return -1;
    }
    return real(fd, name, value, size, flags);
}

time_t time(time_t* at)
{
    using TimeCall = time_t (*)(time_t*);
    static const TimeCall real = next<TimeCall>("time");
    const char* ahead = std::getenv("OSTRAND_FAULT_CLOCK_AHEAD");
    const time_t now = real(nullptr) + (ahead ? static_cast<time_t>(std::atoll(ahead)) : 0);
    if (at)
        *at = now;
    return now;
}

int flock(int fd, int operation)
{
    using FlockCall = int (*)(int, int);
    static const FlockCall real = next<FlockCall>("flock");
    return locksDoNothing() ? 0 : real(fd, operation);
}

int fcntl(int fd, int command, ...)
{
    va_list arguments;
    va_start(arguments, command);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    return lockedFcntl("fcntl", fd, command, argument);
}

int fcntl64(int fd, int command, ...)
{
    va_list arguments;
    va_start(arguments, command);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    return lockedFcntl("fcntl64", fd, command, argument);
}

int open(const char* name, int flags, ...)
{
    using OpenCall = int (*)(const char*, int, ...);
    static const OpenCall real = next<OpenCall>("open");
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(arguments, mode_t) : 0;
    va_end(arguments);
    if (refusesUnnamedFiles(flags)) {
        errno = EOPNOTSUPP;
        return -1;
    }
    return real(name, flags, mode);
}

int open64(const char* name, int flags, ...)
{
    using OpenCall = int (*)(const char*, int, ...);
    static const OpenCall real = next<OpenCall>("open64");
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(arguments, mode_t) : 0;
    va_end(arguments);
    if (refusesUnnamedFiles(flags)) {
        errno = EOPNOTSUPP;
        return -1;
    }
    return real(name, flags, mode);
}

} // extern "C"
