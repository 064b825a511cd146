// SPDX-License-Identifier: MIT
#include "core/convert/save/AtomicSave.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <utility>

#include <QFile>
#include <QRandomGenerator>
#include <QSet>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/common/SystemText.h"
#include "core/convert/save/FileSystem.h"
#include "core/convert/save/KeptAttributes.h"
#include "core/convert/save/OutputTarget.h"
#include "core/convert/save/UnixLook.h"

namespace ostrand {

namespace {

// Set once linking a descriptor directly has been refused: this program lacks the right to.
std::atomic<bool> g_emptyPathRefused{false};

Failure systemFailure(int error)
{
    return Failure{systemErrorText(error)};
}

// The folder part of an encoded path: "." for a bare name, "/" for a name in the top folder.
QByteArray folderOf(const QByteArray& file)
{
    const qsizetype slash = file.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : file.left(slash);
}

// A fresh name in the folder, made only for the moment: hidden, short whatever the document's name, never ending
// in a document's extension.
QByteArray temporaryName(const QByteArray& folder)
{
    const quint64 random = QRandomGenerator::global()->generate64();
    return folder + "/.ostrand-" + QByteArray::number(random, 36) + ".tmp";
}

QByteArray nameOf(const QByteArray& file)
{
    return file.mid(file.lastIndexOf('/') + 1);
}

bool isTemporaryName(const char* name)
{
    const qsizetype size = qsizetype(std::strlen(name));
    return size > 13 && std::strncmp(name, ".ostrand-", 9) == 0 && std::strcmp(name + size - 4, ".tmp") == 0;
}

// How long a temporary must have been left untouched before a sweep may take it for a killed run's: a live writer
// touches its temporary all the time it writes, and gives it its name a moment before it puts it in place.
constexpr time_t kLeftoverAge = 60 * 60;

// Holds a named temporary file for as long as its writer has it open, with both kinds of lock: a file system may
// carry one kind to the other machines that write into the folder and not the other. False when a sweep removed
// the name first (the caller makes another).
bool holdTemporary(int fd)
{
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        return false;
#ifdef F_OFD_SETLK
    struct flock whole = {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    // A file system without such locks holds the temporary by the flock alone, or by its age.
    [[maybe_unused]] const int held = ::fcntl(fd, F_OFD_SETLK, &whole);
#endif
    struct stat info;
    return ::fstat(fd, &info) == 0 && info.st_nlink > 0;
}

bool sameFile(const struct stat& one, const struct stat& other)
{
    return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

// Whether a file may be a temporary that a killed run of this user left: a regular file of this user's with no other
// name, untouched (written, linked or changed) for a while.
bool mayBeLeftover(const struct stat& info, time_t now)
{
    static const uid_t self = ::geteuid();
    return S_ISREG(info.st_mode) && info.st_uid == self && info.st_nlink == 1 &&
           now - std::max(info.st_mtime, info.st_ctime) >= kLeftoverAge;
}

// Whether a live writer holds the open file: an flock, or a POSIX or open-file lock on any part of it. The flock is
// taken to ask and kept until the descriptor closes, so that no writer takes the file meanwhile. A file whose locks
// cannot be asked about counts as held.
bool heldByWriter(int fd)
{
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return true;
#ifdef F_OFD_GETLK
    const int ask = F_OFD_GETLK;
#else
    const int ask = F_GETLK;
#endif
    struct flock probe = {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    return ::fcntl(fd, ask, &probe) != 0 || probe.l_type != F_UNLCK;
}

// Removes the name from the folder when it is a temporary that a killed run of this user left there, and only then:
// anything else may be another user's, another program's, or a live writer's on a file system whose locks do not
// reach every machine that writes there.
void removeIfLeftover(int folder, const char* name, time_t now)
{
    struct stat named;
    if (::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) != 0 || !mayBeLeftover(named, now))
        return;
    const int fd = ::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat held;
    if (::fstat(fd, &held) == 0 && sameFile(held, named) && mayBeLeftover(held, now) && !heldByWriter(fd) &&
        ::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(named, held) && named.st_nlink == 1)
        ::unlinkat(folder, name, 0);
    ::close(fd);
}

// Removes the temporaries that a run killed while it wrote into the folder left there, once per folder in the life
// of the program. `folder` is the folder's descriptor, or -1 to open it by its name.
void sweepLeftovers(const QByteArray& name, int folder)
{
    static std::mutex lock;
    static QSet<QByteArray> sweptNames;
    static QSet<FileIdentity> swept;
    {
        const std::lock_guard<std::mutex> guard(lock);
        if (sweptNames.contains(name))
            return;
        sweptNames.insert(name);
    }
    const int listed =
        folder >= 0 ? ::fcntl(folder, F_DUPFD_CLOEXEC, 0) : ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listed < 0)
        return;
    const std::optional<FileIdentity> identity = identityOf(listed);
    {
        const std::lock_guard<std::mutex> guard(lock);
        if (!identity || swept.contains(*identity)) {
            ::close(listed);
            return;
        }
        swept.insert(*identity);
    }
    DIR* entries = ::fdopendir(listed);
    if (!entries) {
        ::close(listed);
        return;
    }
    ::rewinddir(entries);
    const time_t now = ::time(nullptr);
    while (const dirent* entry = ::readdir(entries)) {
        if (isTemporaryName(entry->d_name))
            removeIfLeftover(::dirfd(entries), entry->d_name, now);
    }
    ::closedir(entries);
}

// The process's umask, read where the system tells it (Linux, in the process's status): setting it to learn it
// would change it for a moment for every thread of the program.
mode_t processUmask()
{
    const int fd = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        char text[4096];
        const ssize_t size = ::read(fd, text, sizeof text - 1);
        ::close(fd);
        if (size > 0) {
            text[size] = 0;
            if (const char* line = std::strstr(text, "\nUmask:"))
                return mode_t(std::strtoul(line + 8, nullptr, 8) & 0777);
        }
    }
    const mode_t old = ::umask(077);
    ::umask(old);
    return old;
}

// The permission bits a new file gets in the folder: 0666 less the folder's default access control list, or less
// the umask where the folder has none.
mode_t newFileMode(int folder)
{
    if (const std::optional<int> listed = modeFromDefaultAccessList(folder, 0666))
        return mode_t(*listed);
    return 0666 & ~processUmask();
}

// Gives the new file the access of the file it replaces, as that file is now: looked at through a descriptor that
// only names it, so that its identity and its access rules are those of one file. True when the file there is the
// one expected and the new file has its access; false when nothing is there any more. Another file there fails,
// as a name taken meanwhile.
Result<bool> takeAccessOf(const QByteArray& file, const SeenFile& expected, int to)
{
#ifdef O_PATH
    const int lookOnly = O_PATH | O_NOFOLLOW | O_CLOEXEC;
#else
    const int lookOnly = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
#endif
    const int old = ::open(file.constData(), lookOnly);
    if (old < 0) {
        if (errno == ENOENT)
            return false;
        return errno == ELOOP ? Failure{nameTakenMeanwhile()} : systemFailure(errno);
    }
    UnixLook info;
    if (lookAt(old, "", AT_EMPTY_PATH, info) != 0) {
        const int error = errno;
        ::close(old);
        return systemFailure(error);
    }
    if (!S_ISREG(info.mode) || !info.seen.sameAs(expected)) {
        ::close(old);
        return Failure{nameTakenMeanwhile()};
    }
    // The owner and group first: a change of owner clears the mode's special bits, which the mode then sets.
    // Where the program may not give the file away, it keeps the group if it can, else its own.
    static const uid_t self = ::geteuid();
    static const gid_t selfGroup = ::getegid();
    if (info.owner != self || info.group != selfGroup) {
        if (::fchown(to, info.owner, info.group) != 0 && errno == EPERM) {
            // Keeping the owner and group is a courtesy, not part of the save: when the system refuses the group
            // too, the document keeps the program's own owner and group, which is an accepted outcome.
            [[maybe_unused]] const int groupKept = ::fchown(to, uid_t(-1), info.group);
        }
    }
    Status kept = Status::success();
    if (::fchmod(to, info.mode & 0777) != 0)
        kept = systemFailure(errno);
    // After the mode: setting the access control list sets the group bits from its mask.
    if (kept)
        kept = keepAttributes(old, to);
    ::close(old);
    if (!kept)
        return Failure{kept.error()};
    return true;
}

QByteArray descriptorPath(int fd)
{
    return "/proc/self/fd/" + QByteArray::number(fd);
}

// Whether the system says it cannot make an unnamed file in that folder (its file system has none, or an
// older kernel does not know them), so that a named one is made instead.
bool noUnnamedFiles(int error)
{
    return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

} // namespace

// Here the save is the program's own.
class AtomicSave::Fallback
{
};

AtomicSave::AtomicSave() = default;

AtomicSave::~AtomicSave()
{
    cancel();
}

AtomicSave::AtomicSave(AtomicSave&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_folder(std::exchange(other.m_folder, -1)), m_file(std::move(other.m_file)),
      m_temporary(std::move(other.m_temporary))
{
}

AtomicSave& AtomicSave::operator=(AtomicSave&& other) noexcept
{
    if (this != &other) {
        cancel();
        m_fd = std::exchange(other.m_fd, -1);
        m_folder = std::exchange(other.m_folder, -1);
        m_file = std::move(other.m_file);
        m_temporary = std::move(other.m_temporary);
    }
    return *this;
}

Status AtomicSave::open(const QString& file)
{
    cancel();
    m_file = QFile::encodeName(file);
    const QByteArray folder = folderOf(m_file);
    int fd = -1;
#ifdef O_TMPFILE
    // Read and write: a document moved to another path is read back from it. No name reaches an unnamed file, so it
    // takes the access a new file gets here at once.
    fd = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (fd < 0 && !noUnnamedFiles(errno))
        return systemFailure(errno);
#endif
    if (fd < 0) {
        // The folder is held open so that the temporary file is removed even when the folder moves meanwhile.
        m_folder = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_folder < 0)
            return systemFailure(errno);
        sweepLeftovers(folder, m_folder);
        for (int attempt = 0; fd < 0; ++attempt) {
            m_temporary = temporaryName(folder);
            // Private from its first byte: others may list the folder, and one who opened the file now could read
            // it to its end however its mode changes later.
            fd = ::openat(m_folder, nameOf(m_temporary).constData(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
            if (fd >= 0 && !holdTemporary(fd)) {
                ::close(fd);
                fd = -1;
                errno = EEXIST;
            }
            if (fd < 0 && (errno != EEXIST || attempt == 100)) {
                const int error = errno;
                m_temporary.clear();
                cancel();
                return systemFailure(error);
            }
        }
    }
    m_fd = fd;
    return Status::success();
}

bool AtomicSave::isOpen() const
{
    return m_fd >= 0;
}

int AtomicSave::handle() const
{
    return m_fd;
}

Status AtomicSave::write(const char* data, qint64 size)
{
    if (m_fd < 0)
        return systemFailure(EBADF);
    while (size > 0) {
        const ssize_t done = ::write(m_fd, data, size_t(size));
        if (done < 0 && errno == EINTR)
            continue;
        if (done < 0)
            return systemFailure(errno);
        if (done == 0)
            return systemFailure(ENOSPC);
        data += done;
        size -= done;
    }
    return Status::success();
}

Status AtomicSave::place(const std::optional<SeenFile>& replacing)
{
    if (m_fd < 0)
        return systemFailure(EBADF);
    // The file to replace is looked at now, right before the replace: what it is and who may read it may have
    // changed while the document was written.
    bool replaces = false;
    if (replacing) {
        const Result<bool> taken = takeAccessOf(m_file, *replacing, m_fd);
        if (!taken) {
            cancel();
            return Failure{taken.error()};
        }
        replaces = taken.value();
    }
    // A named temporary is private until now; an unnamed one has a new file's access already.
    if (!replaces && !m_temporary.isEmpty() && ::fchmod(m_fd, newFileMode(m_folder)) != 0) {
        const int error = errno;
        cancel();
        return systemFailure(error);
    }
    // An unnamed file is linked in through its descriptor, a named one by its name.
    const bool unnamed = m_temporary.isEmpty();
    const QByteArray from = unnamed ? descriptorPath(m_fd) : m_temporary;
    const int follow = unnamed ? AT_SYMLINK_FOLLOW : 0;
    const auto linkTo = [&](const QByteArray& name) {
#ifdef AT_EMPTY_PATH
        // The descriptor itself, where the system lets this program link one (it needs the right to look up any
        // file); else its name under /proc, which takes longer to look up.
        if (unnamed && !g_emptyPathRefused) {
            if (::linkat(m_fd, "", AT_FDCWD, name.constData(), AT_EMPTY_PATH) == 0)
                return 0;
            if (errno != ENOENT)
                return errno;
            if (::linkat(AT_FDCWD, from.constData(), AT_FDCWD, name.constData(), follow) != 0)
                return errno;
            g_emptyPathRefused = true;
            return 0;
        }
#endif
        return ::linkat(AT_FDCWD, from.constData(), AT_FDCWD, name.constData(), follow) == 0 ? 0 : errno;
    };
    int error = 0;
    if (!replaces) {
        // A new name is linked in directly: a file that appeared there since the caller's look is left alone.
        error = linkTo(m_file);
        if (error == 0 && !unnamed)
            ::unlinkat(m_folder, nameOf(m_temporary).constData(), 0);
    } else if (!unnamed) {
        error = ::rename(m_temporary.constData(), m_file.constData()) == 0 ? 0 : errno;
    } else {
        // An unnamed file gets a fresh name of its own first, then replaces the file in one step. A kill in between
        // leaves that name behind: the folder is swept of such names as it is where named temporaries are made.
        const QByteArray folder = folderOf(m_file);
        sweepLeftovers(folder, -1);
        QByteArray named;
        for (int attempt = 0; error == 0 && named.isEmpty(); ++attempt) {
            named = temporaryName(folder);
            if (const int linked = linkTo(named); linked != 0) {
                named.clear();
                if (linked != EEXIST || attempt == 100)
                    error = linked;
            }
        }
        if (error == 0 && ::rename(named.constData(), m_file.constData()) != 0) {
            error = errno;
            ::unlink(named.constData());
        }
    }
    if (error != 0) {
        cancel();
        // A free name that is taken now was taken while the document was written: the file there is someone else's.
        return !replaces && error == EEXIST ? Failure{nameTakenMeanwhile()} : systemFailure(error);
    }
    m_temporary.clear();
    cancel();
    return Status::success();
}

void AtomicSave::syncFolderOf(const QString& file)
{
    const qsizetype slash = file.lastIndexOf(QLatin1Char('/'));
    syncFolder(slash < 0 ? QStringLiteral(".") : slash == 0 ? QStringLiteral("/") : file.left(slash));
}

Status AtomicSave::readBack(qint64 offset, char* into, qsizetype size)
{
    while (size > 0) {
        const ssize_t got = ::pread(m_fd, into, size_t(size), off_t(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return systemFailure(errno);
        if (got == 0)
            return Failure{QStringLiteral("The document was cut short")};
        into += got;
        offset += got;
        size -= got;
    }
    return Status::success();
}

void AtomicSave::cancel()
{
    if (!m_temporary.isEmpty()) {
        ::unlinkat(m_folder, nameOf(m_temporary).constData(), 0);
        m_temporary.clear();
    }
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
    if (m_folder >= 0)
        ::close(std::exchange(m_folder, -1));
}

} // namespace ostrand
