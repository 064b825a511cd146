// SPDX-License-Identifier: MIT
#include "core/convert/save/AtomicSave.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <utility>

#include <QFile>
#include <QRandomGenerator>
#include <QSet>

#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/common/SystemText.h"
#include "core/convert/save/FileSystem.h"
#include "core/convert/save/KeptAttributes.h"

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

// Holds a named temporary file for as long as its writer has it open: a later run removes only the temporaries that
// no live writer holds, the ones a killed run left behind. False when a sweep removed the name first (the caller
// makes another). A file system without such locks holds nothing, and its temporaries are never swept.
bool holdTemporary(int fd)
{
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return errno != EWOULDBLOCK;
    struct stat info;
    return ::fstat(fd, &info) == 0 && info.st_nlink > 0;
}

// Removes the temporaries that a run killed while it wrote into the folder left there, once per folder in the life
// of the program: those of the program's own names that no live writer holds.
void sweepLeftovers(int folder)
{
    static std::mutex lock;
    static QSet<FileIdentity> swept;
    const std::optional<FileIdentity> identity = identityOf(folder);
    if (!identity)
        return;
    {
        const std::lock_guard<std::mutex> guard(lock);
        if (swept.contains(*identity))
            return;
        swept.insert(*identity);
    }
    const int listed = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
    DIR* entries = listed >= 0 ? ::fdopendir(listed) : nullptr;
    if (!entries) {
        if (listed >= 0)
            ::close(listed);
        return;
    }
    ::rewinddir(entries);
    while (const dirent* entry = ::readdir(entries)) {
        if (!isTemporaryName(entry->d_name))
            continue;
        const int fd = ::openat(folder, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat held;
        struct stat named;
        if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(folder, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == held.st_dev &&
            named.st_ino == held.st_ino)
            ::unlinkat(folder, entry->d_name, 0);
        ::close(fd);
    }
    ::closedir(entries);
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

Status AtomicSave::open(const QString& file, const Replaced& replaced)
{
    cancel();
    m_file = QFile::encodeName(file);
    const QByteArray folder = folderOf(m_file);
    int fd = -1;
#ifdef O_TMPFILE
    // Read and write: a document moved to another path is read back from it.
    fd = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (fd < 0 && !noUnnamedFiles(errno))
        return systemFailure(errno);
#endif
    if (fd < 0) {
        // The folder is held open so that the temporary file is removed even when the folder moves meanwhile.
        m_folder = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_folder < 0)
            return systemFailure(errno);
        sweepLeftovers(m_folder);
        for (int attempt = 0; fd < 0; ++attempt) {
            m_temporary = temporaryName(folder);
            fd = ::openat(m_folder, nameOf(m_temporary).constData(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0666);
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
    // The owner and group first: a change of owner clears the mode's special bits, which the mode then sets.
    // Where the program may not give the file away, it keeps the group if it can, else its own.
    const uid_t owner = replaced.owner >= 0 ? uid_t(replaced.owner) : uid_t(-1);
    const gid_t group = replaced.group >= 0 ? gid_t(replaced.group) : gid_t(-1);
    static const uid_t self = ::geteuid();
    static const gid_t selfGroup = ::getegid();
    if ((owner != uid_t(-1) && owner != self) || (group != gid_t(-1) && group != selfGroup)) {
        if (::fchown(m_fd, owner, group) != 0 && errno == EPERM) {
            // Keeping the owner and group is a courtesy, not part of the save: when the system refuses the group
            // too, the document keeps the program's own owner and group, which is an accepted outcome.
            [[maybe_unused]] const int groupKept = ::fchown(m_fd, uid_t(-1), group);
        }
    }
    if (replaced.mode >= 0 && ::fchmod(m_fd, mode_t(replaced.mode) & 0777) != 0) {
        const int error = errno;
        cancel();
        return systemFailure(error);
    }
    // After the mode: setting the access control list sets the group bits from its mask.
    if (!replaced.file.isEmpty()) {
        if (const Status kept = keepAttributes(QFile::encodeName(replaced.file), m_fd); !kept) {
            cancel();
            return kept;
        }
    }
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

Status AtomicSave::place(bool replaces)
{
    if (m_fd < 0)
        return systemFailure(EBADF);
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
        // An unnamed file gets a fresh name of its own first, then replaces the file in one step.
        QByteArray named;
        for (int attempt = 0; error == 0 && named.isEmpty(); ++attempt) {
            named = temporaryName(folderOf(m_file));
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
        return systemFailure(error);
    }
    m_temporary.clear();
    cancel();
    return Status::success();
}

void AtomicSave::syncFolderOf(const QString& file)
{
    syncFolder(QFile::decodeName(folderOf(QFile::encodeName(file))));
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
