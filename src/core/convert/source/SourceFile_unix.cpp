// SPDX-License-Identifier: MIT
#include "core/convert/source/SourceFile.h"

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLocale>

#include "core/common/NameBytes.h"
#include "core/common/SystemText.h"
#include "core/convert/source/KernelFiles.h"

namespace ostrand {

namespace {

// An unnamed file in the temporary folder, for the bytes of a stream; -1 with errno set when none can be made.
int unnamedTemporaryFile(const QByteArray& folder)
{
#ifdef O_TMPFILE
    const int fd = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
        return fd;
#endif
    // Where the file system has no unnamed files, a named one is made and its name removed at once.
    QByteArray name = folder + "/ostrand-stdin-XXXXXX";
    const int named = ::mkostemp(name.data(), O_CLOEXEC);
    if (named >= 0)
        ::unlink(name.constData());
    return named;
}

// Whether the size the system gives for a regular file, read from `from` on, may not be the size of its text: a file
// on a file system of the kernel's that reports the size its files report (those in /proc 0 bytes, those in /sys a
// page), or one that reports nothing left yet has a byte there.
bool sizeUntold(int fd, const struct stat& info, off_t from)
{
    static const long page = ::sysconf(_SC_PAGESIZE);
    if ((info.st_size == 0 || info.st_size == page) && onKernelFileSystem(fd))
        return true;
    char probe = 0;
    return info.st_size <= from && ::pread(fd, &probe, 1, from) == 1;
}

// The most of a kernel's file that is read: far more than any of them holds that could be a table, and a bound for
// those that never end (a process's page map goes on for its whole address space).
constexpr qint64 kKernelFileBytes = qint64(256) << 20;

// The room the disk of the temporary folder must keep: 1 GiB, or 5 % of a smaller disk. Returns it when keeping
// `more` bytes there would leave less; 0 while there is room, or when the system cannot tell.
qint64 diskReserve(const QByteArray& folder, qint64 more)
{
    struct statvfs info;
    if (::statvfs(folder.constData(), &info) != 0 || info.f_frsize == 0)
        return 0;
    static const bool root = ::geteuid() == 0;
    const qint64 free = qint64(root ? info.f_bfree : info.f_bavail) * qint64(info.f_frsize);
    const qint64 reserve = qMin<qint64>(qint64(1) << 30, qint64(info.f_blocks) * qint64(info.f_frsize) / 20);
    return free - more < reserve ? reserve : 0;
}

// The temporary folder ($TMPDIR, /tmp without it) by the bytes of its name, which need not be valid UTF-8, and as
// a report names it: as the user named it, so that a report names it even when it is missing.
std::pair<QByteArray, QString> temporaryFolder()
{
    const QByteArray named = qgetenv("TMPDIR");
    if (named.isEmpty())
        return {QByteArrayLiteral("/tmp"), QStringLiteral("/tmp")};
    return {named, IsValidUtf8Name(named) ? QDir::cleanPath(NameFromBytes(named)) : ShownName(named)};
}

// Writes all the bytes to the file; 0, or the error.
int writeAll(int fd, const char* data, qsizetype size)
{
    while (size > 0) {
        const ssize_t put = ::write(fd, data, size_t(size));
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0)
            return errno;
        data += put;
        size -= put;
    }
    return 0;
}

} // namespace

SourceFile::SourceFile() = default;

SourceFile::~SourceFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

Status SourceFile::openStream(int fd, const QString& name, const SliceBreak& pause)
{
    m_path = name;
    struct stat info;
    if (::fstat(fd, &info) != 0)
        return Failure{readFailure(name, systemErrorText(errno))};
    const off_t at = S_ISREG(info.st_mode) ? ::lseek(fd, 0, SEEK_CUR) : 0;
    if (S_ISREG(info.st_mode) && !sizeUntold(fd, info, qMax<off_t>(at, 0))) {
        // A file given as the stream is read where it stands, from the stream's offset on.
        m_start = at > 0 ? qint64(at) : 0;
        m_fd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        if (m_fd < 0)
            return Failure{readFailure(name, systemErrorText(errno))};
        m_size = qMax<qint64>(info.st_size - m_start, 0);
        m_mtimeSeconds = info.st_mtim.tv_sec;
        m_mtimeNanoseconds = info.st_mtim.tv_nsec;
        return Status::success();
    }
    return keep(fd, pause);
}

// A pipe, a terminal or a file whose size the system does not tell can be read once only: its bytes are kept in a
// file of their own, which has no name, so nothing is left behind whatever happens. The copy stops before the
// disk of the temporary folder is nearly full, so that an endless stream never fills it.
Status SourceFile::keep(int fd, const SliceBreak& pause, qint64 bound)
{
    const std::pair<QByteArray, QString> folders = temporaryFolder();
    const QByteArray& encodedFolder = folders.first;
    const QString& folder = folders.second;
    const auto cannotKeep = [&](const QString& reason) {
        return Failure{
            readFailure(m_path, QStringLiteral("cannot keep it in a temporary file in %1: %2").arg(folder, reason))};
    };
    m_fd = unnamedTemporaryFile(encodedFolder);
    if (m_fd < 0)
        return cannotKeep(systemErrorText(errno));
    QByteArray slice(kWorkSliceBytes, Qt::Uninitialized);
    m_size = 0;
    for (;;) {
        if (const qint64 reserve = diskReserve(encodedFolder, slice.size()); reserve > 0)
            return cannotKeep(
                QStringLiteral("its disk would have less than %1 free").arg(QLocale::c().formattedDataSize(reserve)));
        const ssize_t got = ::read(fd, slice.data(), size_t(slice.size()));
        if (got < 0 && errno == EINTR) {
            if (!offerBreak(pause))
                return Failure{QString()}; // stopped
            continue;
        }
        if (got < 0)
            return Failure{readFailure(m_path, systemErrorText(errno))};
        if (got == 0)
            break;
        if (bound >= 0 && m_size + got > bound)
            return Failure{readFailure(m_path, QStringLiteral("It is a kernel file that goes on past %1, more than any "
                                                              "kernel file holds; it was not read further")
                                                   .arg(QLocale::c().formattedDataSize(bound, 0)))};
        if (const int error = writeAll(m_fd, slice.constData(), got); error != 0)
            return cannotKeep(systemErrorText(error));
        m_size += got;
        if (!offerBreak(pause))
            return Failure{QString()};
    }
    struct stat kept;
    if (::fstat(m_fd, &kept) != 0)
        return Failure{readFailure(m_path, systemErrorText(errno))};
    m_mtimeSeconds = kept.st_mtim.tv_sec;
    m_mtimeNanoseconds = kept.st_mtim.tv_nsec;
    return Status::success();
}

Status SourceFile::open(const QString& path, const SliceBreak& pause)
{
    m_path = path;
    if (path.isEmpty())
        return Failure{readFailure(path, notFoundReason(path))};
    int fd = -1;
    do {
        fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR && offerBreak(pause));
    if (fd < 0) {
        const int error = errno;
        if (error == EINTR)
            return Failure{QString()}; // stopped
        return Failure{readFailure(path, error == ENOENT ? notFoundReason(path) : systemErrorText(error))};
    }
    m_fd = fd;
    struct stat info;
    if (::fstat(fd, &info) != 0)
        return Failure{readFailure(path, systemErrorText(errno))};
    if (S_ISDIR(info.st_mode))
        return Failure{readFailure(path, QStringLiteral("It is a folder, not a file"))};
    // FIFOs, sockets and devices could block a read or never end.
    if (!S_ISREG(info.st_mode))
        return Failure{readFailure(path, QStringLiteral("It is not a regular file"))};
    // A file of the kernel's (its size 0, or not the size of its text) is read to its end once and kept.
    if (sizeUntold(fd, info, 0)) {
        m_fd = -1;
        const Status kept = keep(fd, pause, kKernelFileBytes);
        ::close(fd);
        return kept;
    }
    // The file stays open without waiting: that changes nothing for a regular file, and a file system that
    // makes a read wait anyway is read in the usual way from then on (read()).
    m_size = qMax<qint64>(info.st_size, 0);
    m_mtimeSeconds = info.st_mtim.tv_sec;
    m_mtimeNanoseconds = info.st_mtim.tv_nsec;
    if (m_size > streamSliceBytes())
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return Status::success();
}

namespace {

// One pread, going on after an interrupt (one asking to stop is seen at the next break).
ssize_t readAt(int fd, char* into, qsizetype size, qint64 offset)
{
    for (;;) {
        const ssize_t got = ::pread(fd, into, size_t(size), off_t(offset));
        if (got >= 0)
            return got;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return -1;
        // A file system that would make the read wait is asked to wait.
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0 || (flags & O_NONBLOCK) == 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
            return -1;
    }
}

} // namespace

Status SourceFile::read(qint64 offset, char* into, qsizetype size)
{
    while (size > 0) {
        const ssize_t got = readAt(m_fd, into, size, m_start + offset);
        if (got < 0)
            return Failure{readFailure(m_path, systemErrorText(errno))};
        if (got == 0)
            return Failure{readFailure(m_path, changedReason())}; // it shrank
        into += got;
        offset += got;
        size -= got;
    }
    return Status::success();
}

Status SourceFile::readToEnd(qint64 offset, char* into, qsizetype size)
{
    // Each read asks for one byte more than is left, so the read that gives the last bytes also tells that
    // nothing follows them.
    for (qsizetype left = size;;) {
        const ssize_t got = readAt(m_fd, into, left + 1, m_start + offset);
        if (got < 0)
            return Failure{readFailure(m_path, systemErrorText(errno))};
        if (got > left)
            return Failure{readFailure(m_path, changedReason())}; // it grew
        if (got == 0 && left > 0)
            return Failure{readFailure(m_path, changedReason())}; // it shrank
        into += got;
        offset += got;
        left -= got;
        if (left == 0)
            break;
    }
    m_endSeen = true;
    return Status::success();
}

Status SourceFile::checkUnchanged()
{
    char more = 0;
    const ssize_t extra = std::exchange(m_endSeen, false) ? 0 : readAt(m_fd, &more, 1, m_start + m_size);
    struct stat now;
    if (extra != 0 || ::fstat(m_fd, &now) != 0 || now.st_size != m_start + m_size ||
        now.st_mtim.tv_sec != m_mtimeSeconds || now.st_mtim.tv_nsec != m_mtimeNanoseconds)
        return Failure{readFailure(m_path, changedReason())};
    return Status::success();
}

} // namespace ostrand
