// SPDX-License-Identifier: MIT
#include "core/convert/OutputFile.h"

#include <chrono>
#include <filesystem>
#include <future>
#include <system_error>

#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#endif
#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ostrand {

namespace {

// True when both paths exist and name one file, through symbolic or hard links alike.
bool isSameFile(const QString& a, const QString& b)
{
    std::error_code error;
    return std::filesystem::equivalent(QFileInfo(a).filesystemFilePath(), QFileInfo(b).filesystemFilePath(), error);
}

// The bytes written between two breaks: a few milliseconds of copying, and at most a few tens of
// milliseconds for the disk to take them.
constexpr qint64 kWriteChunk = 2 * 1024 * 1024;

// Sends each written chunk on to the disk at once and waits for the chunk before the previous one, so
// that waiting for the disk is spread over the chunks instead of falling on the final sync. Where the
// system offers no such control it does nothing and the final sync does all the waiting.
class FlushBehind
{
public:
    explicit FlushBehind(int fd) : m_fd(fd) {}

    // The chunk [offset, offset + size) was written.
    void written(qint64 offset, qint64 size)
    {
        start(offset, size);
        if (m_pending == 2)
            waitFor(m_oldest);
        else
            ++m_pending;
        m_oldest = m_newer;
        m_newer = {offset, size};
    }

    // Waits for the oldest chunk still on its way; false when none is left.
    bool waitForOldest()
    {
        if (m_pending == 0)
            return false;
        waitFor(m_pending == 2 ? m_oldest : m_newer);
        if (m_pending == 2)
            m_oldest = m_newer;
        --m_pending;
        return true;
    }

private:
    struct Range
    {
        qint64 offset = 0;
        qint64 size = 0;
    };

    // Errors are left to the final sync, which reports them.
    void start([[maybe_unused]] qint64 offset, [[maybe_unused]] qint64 size)
    {
#ifdef Q_OS_LINUX
        if (m_fd >= 0)
            ::sync_file_range(m_fd, offset, size, SYNC_FILE_RANGE_WRITE);
#endif
    }
    void waitFor([[maybe_unused]] Range range)
    {
#ifdef Q_OS_LINUX
        if (m_fd >= 0)
            ::sync_file_range(m_fd, range.offset, range.size,
                              SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
#endif
    }

    int m_fd;
    int m_pending = 0; // chunks started and not yet waited for: 0, 1 or 2
    Range m_oldest;    // the older of two pending chunks
    Range m_newer;     // the newest pending chunk
};

// Runs a call that may block for long (a sync that waits for the disk's cache, a rename that frees the
// blocks of a large earlier document) on a worker thread, offering breaks meanwhile so the program stays live.
// Once a break has said stop, no more are offered and the call is waited for; stopped tells the caller.
// Without a worker thread to be had, the call runs here.
template <class Call> auto offeringBreaks(Call call, const SliceBreak& pause, bool& stopped)
{
    std::future<decltype(call())> result;
    try {
        result = std::async(std::launch::async, call);
    } catch (const std::system_error&) {
        return call();
    }
    while (result.wait_for(std::chrono::milliseconds(2)) != std::future_status::ready) {
        if (!stopped && !offerBreak(pause))
            stopped = true;
    }
    return result.get();
}

Failure writeFailure(const QString& path, const QString& reason)
{
    return Failure{QStringLiteral("Cannot write %1: %2").arg(path, reason)};
}

#ifdef Q_OS_UNIX

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Sends a file's data to the disk; 0, or the error that kept it from getting there.
int syncData(int fd)
{
#ifdef Q_OS_LINUX
    return ::fdatasync(fd) == 0 ? 0 : errno;
#else
    return ::fsync(fd) == 0 ? 0 : errno;
#endif
}

QString fileIdentity(const struct stat& info)
{
    return QStringLiteral("%1:%2").arg(quint64(info.st_dev)).arg(quint64(info.st_ino));
}

// Whether the document may be written at the path as it stands: a new name, an existing regular file, or a
// link the kernel would follow to a regular file. Each link of a chain is judged in its own folder.
Status checkTarget(const QString& path)
{
    QString at = path;
    for (int hops = 0; hops < 40; ++hops) {
        const QByteArray encoded = QFile::encodeName(at);
        struct stat link;
        if (::lstat(encoded.constData(), &link) != 0)
            return hops == 0 ? Status::success() // a new document; any other trouble shows when it is written
                             : writeFailure(path, QStringLiteral("It is a symbolic link that leads nowhere"));
        if (S_ISREG(link.st_mode) || (hops == 0 && S_ISDIR(link.st_mode)))
            return Status::success();
        if (!S_ISLNK(link.st_mode))
            return writeFailure(path, hops == 0 ? QStringLiteral("It is not a regular file")
                                                : QStringLiteral("It is a symbolic link to something that is "
                                                                 "not a regular file"));
        const QFileInfo info(at);
        struct stat folder;
        if (::stat(QFile::encodeName(info.absolutePath()).constData(), &folder) != 0)
            return writeFailure(path, systemText(errno));
        const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
        if (shared && link.st_uid != ::geteuid() && link.st_uid != folder.st_uid)
            return writeFailure(path, QStringLiteral("It is a symbolic link in a shared folder, owned by another "
                                                     "user; it is not followed"));
        at = info.symLinkTarget();
    }
    return writeFailure(path, systemText(ELOOP));
}

#endif

// Writes all of a chunk, going on after a short write so that a full disk is told by the system's own text.
bool writeAll(QSaveFile& file, const char* data, qint64 size)
{
    while (size > 0) {
        const qint64 done = file.write(data, size);
        if (done <= 0)
            return false;
        data += done;
        size -= done;
    }
    return true;
}

} // namespace

QString OutputFileName(const QString& sourcePath, PathRules rules)
{
    const QString name = FileNameOf(sourcePath, rules);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return (dot < 0 ? name : name.left(dot)) + QStringLiteral(".htm");
}

QString OutputPath(const QString& sourcePath, OutputMode mode, const QString& outputFolder, const QString& outputName,
                   PathRules rules)
{
    switch (mode) {
    case OutputMode::ChosenFolder:
        if (outputFolder.isEmpty())
            return QString();
        return NormalizePath(outputFolder + pathSeparator(rules) + outputName, rules);
    case OutputMode::SourceFolder: {
        const QString folder = FolderOf(sourcePath, rules);
        if (folder.isEmpty())
            return outputName;
        return NormalizePath(folder + pathSeparator(rules) + outputName, rules);
    }
    case OutputMode::None:
        break;
    }
    return QString();
}

bool WrittenDocuments::contains(const QString& path) const
{
    if (m_paths.contains(path))
        return true;
#ifdef Q_OS_UNIX
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && m_files.contains(fileIdentity(info));
#else
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return !canonical.isEmpty() && m_files.contains(canonical);
#endif
}

void WrittenDocuments::add(const QString& path)
{
    m_paths.insert(path);
#ifdef Q_OS_UNIX
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) == 0)
        m_files.insert(fileIdentity(info));
#else
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (!canonical.isEmpty())
        m_files.insert(canonical);
#endif
}

Status writeDocument(const QString& path, const QByteArray& bytes, const QString& sourcePath, const SliceBreak& pause)
{
    if (path.isEmpty())
        return Failure{QStringLiteral("No output folder is chosen: the document has nowhere to go")};
    if (isSameFile(path, sourcePath))
        return writeFailure(path, QStringLiteral("It is the source file itself, which is never overwritten"));
#ifdef Q_OS_UNIX
    if (const Status target = checkTarget(path); !target)
        return target;
#endif

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return writeFailure(path, file.errorString());
    const auto stopped = [&] {
        file.cancelWriting();
        return writeFailure(path, QStringLiteral("The write was stopped"));
    };
    FlushBehind flushBehind(file.handle());
    const qint64 size = bytes.size();
    for (qint64 offset = 0; offset < size; offset += kWriteChunk) {
        if (offset > 0 && !offerBreak(pause))
            return stopped();
        const qint64 chunk = qMin(kWriteChunk, size - offset);
        if (!writeAll(file, bytes.constData() + offset, chunk)) {
            const QString reason = file.errorString();
            file.cancelWriting();
            return writeFailure(path, reason);
        }
        flushBehind.written(offset, chunk);
    }
    // What is still on its way to the disk is waited for a chunk at a time, with a break after each.
    while (size > kWriteChunk && flushBehind.waitForOldest()) {
        if (!offerBreak(pause))
            return stopped();
    }
#ifdef Q_OS_UNIX
    // The final sync and the rename run beside the breaks. A stop during the sync still writes nothing; once
    // the document is being put in place, it is put in place.
    if (size > kWriteChunk) {
        bool stop = false;
        const int fd = file.handle();
        const int synced = offeringBreaks([fd] { return syncData(fd); }, pause, stop);
        if (stop)
            return stopped();
        if (synced != 0) {
            file.cancelWriting();
            return writeFailure(path, systemText(synced));
        }
        if (!offeringBreaks([&file] { return file.commit(); }, pause, stop))
            return writeFailure(path, file.errorString());
        return Status::success();
    }
    // The commit syncs too but does not tell a failing sync (a disk that fills only then).
    if (const int error = syncData(file.handle()); error != 0) {
        file.cancelWriting();
        return writeFailure(path, systemText(error));
    }
#endif
    if (!file.commit())
        return writeFailure(path, file.errorString());
    return Status::success();
}

} // namespace ostrand
