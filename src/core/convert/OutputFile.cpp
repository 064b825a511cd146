// SPDX-License-Identifier: MIT
#include "core/convert/OutputFile.h"

#include <chrono>
#include <deque>
#include <filesystem>
#include <future>
#include <system_error>

#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#endif
#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/statvfs.h>
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
constexpr qint64 kWriteChunk = DocumentWriter::kChunkBytes;

// Sends each written chunk on to the disk at once, and waits for the oldest chunks once more than a few are on
// their way, so that waiting for the disk is spread over the chunks instead of falling on the final sync. Several
// chunks in flight keep the disk busy while the next ones are made; few enough that the final sync waits for
// little. Where the system offers no such control it does nothing and the final sync does all the waiting.
} // namespace

class DocumentWriter::FlushBehind
{
public:
    explicit FlushBehind(int fd) : m_fd(fd) {}

    // The chunk [offset, offset + size) was written.
    void written(qint64 offset, qint64 size)
    {
        start(offset, size);
        m_inFlight.push_back({offset, size});
        m_inFlightBytes += size;
        while (m_inFlightBytes > kInFlightBytes)
            waitForOldest();
    }

    // Waits for the oldest chunk still on its way; false when none is left.
    bool waitForOldest()
    {
        if (m_inFlight.empty())
            return false;
        const Range oldest = m_inFlight.front();
        m_inFlight.pop_front();
        m_inFlightBytes -= oldest.size;
        waitFor(oldest);
        return true;
    }

private:
    // The bytes sent on and not yet waited for: a few chunks.
    static constexpr qint64 kInFlightBytes = 8 * kWriteChunk;

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
    std::deque<Range> m_inFlight; // oldest first
    qint64 m_inFlightBytes = 0;
};

namespace {

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

namespace {

// Refuses what writeDocument refuses before it writes anything.
Status checkPath(const QString& path, const QString& sourcePath)
{
    if (path.isEmpty())
        return Failure{QStringLiteral("No output folder is chosen: the document has nowhere to go")};
    if (isSameFile(path, sourcePath))
        return writeFailure(path, QStringLiteral("It is the source file itself, which is never overwritten"));
#ifdef Q_OS_UNIX
    if (const Status target = checkTarget(path); !target)
        return target;
#endif
    return Status::success();
}

} // namespace

DocumentWriter::DocumentWriter() = default;

DocumentWriter::~DocumentWriter()
{
    cancel();
}

DocumentWriter::DocumentWriter(DocumentWriter&& other) noexcept
    : m_file(std::move(other.m_file)), m_flushBehind(std::move(other.m_flushBehind)), m_path(std::move(other.m_path)),
      m_pending(std::move(other.m_pending)), m_written(other.m_written), m_failure(std::move(other.m_failure)),
      m_stopped(other.m_stopped)
{
    other.m_written = 0;
}

int DocumentWriter::handle() const
{
    return m_file ? m_file->handle() : -1;
}

Status DocumentWriter::open(const QString& path, const QString& sourcePath)
{
    m_path = path;
    if (const Status checked = checkPath(path, sourcePath); !checked)
        return checked;
    auto file = std::make_unique<QSaveFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return writeFailure(path, file->errorString());
    m_flushBehind = std::make_unique<FlushBehind>(file->handle());
    m_file = std::move(file);
    m_pending.reserve(kWriteChunk);
    return Status::success();
}

bool DocumentWriter::isOpen() const
{
    return m_file != nullptr;
}

bool DocumentWriter::write(const char* data, qsizetype size, const SliceBreak& pause)
{
    if (!m_file)
        return false;
    // A piece of a chunk or more is written from the caller's bytes, its last part with the chunk before it, so
    // that no write is a small one.
    if (m_pending.isEmpty() && size >= kWriteChunk) {
        for (qsizetype offset = 0; offset < size;) {
            const qsizetype left = size - offset;
            const qsizetype chunk = left < 2 * kWriteChunk ? left : qsizetype(kWriteChunk);
            if (!writeChunk(data + offset, chunk, pause))
                return false;
            offset += chunk;
        }
        return true;
    }
    while (size > 0) {
        const qsizetype taken = qMin(size, qsizetype(kWriteChunk) - m_pending.size());
        m_pending.append(data, taken);
        data += taken;
        size -= taken;
        if (m_pending.size() == kWriteChunk) {
            if (!writeChunk(m_pending.constData(), m_pending.size(), pause))
                return false;
            m_pending.clear();
        }
    }
    return true;
}

bool DocumentWriter::writeChunk(const char* data, qsizetype size, const SliceBreak& pause)
{
    if (m_written > 0 && !offerBreak(pause)) {
        m_stopped = true;
        cancel();
        return false;
    }
    if (!writeAll(*m_file, data, size)) {
        m_failure = writeFailure(m_path, m_file->errorString());
        cancel();
        return false;
    }
    m_flushBehind->written(m_written, size);
    m_written += size;
    return true;
}

void DocumentWriter::cancel()
{
    if (m_file)
        m_file->cancelWriting();
    m_flushBehind.reset();
    m_file.reset();
    m_pending = QByteArray();
}

Status DocumentWriter::commit(const QString& path, const QString& sourcePath, const SliceBreak& pause)
{
    if (const Status prepared = prepare(path, sourcePath, pause); !prepared)
        return prepared;
    return finish(pause);
}

Status DocumentWriter::prepare(const QString& path, const QString& sourcePath, const SliceBreak& pause)
{
    const auto stopped = [&] {
        m_stopped = true;
        cancel();
        return writeFailure(path, QStringLiteral("The write was stopped"));
    };
    if (!m_file)
        return m_failure.ok() ? (m_stopped ? stopped() : writeFailure(path, QStringLiteral("Nothing was written")))
                              : m_failure;
    if (const Status checked = checkPath(path, sourcePath); !checked) {
        cancel();
        return checked;
    }
    if (!m_pending.isEmpty()) {
        if (!writeChunk(m_pending.constData(), m_pending.size(), pause))
            return m_stopped ? stopped() : m_failure;
        m_pending.clear();
    }
    if (path != m_path) {
        if (const Status moved = moveTo(path, sourcePath, pause); !moved)
            return moved;
    }
    return Status::success();
}

Status DocumentWriter::place(const QString& sourcePath)
{
    if (!m_file)
        return m_failure.ok() ? writeFailure(m_path, QStringLiteral("Nothing was written")) : m_failure;
    if (const Status checked = checkPath(m_path, sourcePath); !checked) {
        cancel();
        return checked;
    }
    const bool committed = m_file->commit();
    const QString reason = m_file->errorString();
    m_flushBehind.reset();
    m_file.reset();
    return committed ? Status::success() : writeFailure(m_path, reason);
}

// Copies the bytes written so far into a new atomic save at the path, and drops the old temporary file.
Status DocumentWriter::moveTo(const QString& path, const QString& sourcePath, const SliceBreak& pause)
{
    DocumentWriter moved;
    if (const Status opened = moved.open(path, sourcePath); !opened) {
        cancel();
        return opened;
    }
    QByteArray chunk(kWriteChunk, Qt::Uninitialized);
    for (qint64 offset = 0; offset < m_written; offset += kWriteChunk) {
        const qsizetype size = qsizetype(qMin<qint64>(kWriteChunk, m_written - offset));
#ifdef Q_OS_UNIX
        qsizetype got = 0;
        while (got < size) {
            const ssize_t read = ::pread(m_file->handle(), chunk.data() + got, size_t(size - got), off_t(offset + got));
            if (read < 0 && errno == EINTR)
                continue;
            if (read <= 0) {
                const QString reason = read < 0 ? systemText(errno) : QStringLiteral("The document was cut short");
                cancel();
                return writeFailure(path, reason);
            }
            got += read;
        }
#else
        if (!m_file->seek(offset) || m_file->read(chunk.data(), size) != size) {
            cancel();
            return writeFailure(path, QStringLiteral("The document could not be read back"));
        }
#endif
        if (!moved.write(chunk.constData(), size, pause)) {
            cancel();
            if (moved.stopped())
                m_stopped = true;
            return moved.stopped() ? writeFailure(path, QStringLiteral("The write was stopped")) : moved.failure();
        }
    }
    cancel();
    m_file = std::move(moved.m_file);
    m_flushBehind = std::move(moved.m_flushBehind);
    m_pending = std::move(moved.m_pending);
    m_written = moved.m_written;
    m_path = path;
    if (!m_pending.isEmpty()) {
        if (!writeChunk(m_pending.constData(), m_pending.size(), pause))
            return m_stopped ? writeFailure(path, QStringLiteral("The write was stopped")) : m_failure;
        m_pending.clear();
    }
    return Status::success();
}

Status DocumentWriter::finish(const SliceBreak& pause)
{
    const QString path = m_path;
    const auto stopped = [&] {
        m_stopped = true;
        cancel();
        return writeFailure(path, QStringLiteral("The write was stopped"));
    };
    // What is still on its way to the disk is waited for a chunk at a time, with a break after each.
    while (m_written > kWriteChunk && m_flushBehind->waitForOldest()) {
        if (!offerBreak(pause))
            return stopped();
    }
#ifdef Q_OS_UNIX
    // The final sync and the rename run beside the breaks. A stop during the sync still writes nothing; once
    // the document is being put in place, it is put in place.
    if (m_written > kWriteChunk) {
        bool stop = false;
        const int fd = m_file->handle();
        const int synced = offeringBreaks([fd] { return syncData(fd); }, pause, stop);
        if (stop)
            return stopped();
        if (synced != 0) {
            cancel();
            return writeFailure(path, systemText(synced));
        }
        QSaveFile* file = m_file.get();
        const bool committed = offeringBreaks([file] { return file->commit(); }, pause, stop);
        const QString reason = m_file->errorString();
        m_flushBehind.reset();
        m_file.reset();
        return committed ? Status::success() : writeFailure(path, reason);
    }
    // The commit syncs too but does not tell a failing sync (a disk that fills only then).
    if (const int error = syncData(m_file->handle()); error != 0) {
        cancel();
        return writeFailure(path, systemText(error));
    }
#endif
    const bool committed = m_file->commit();
    const QString reason = m_file->errorString();
    m_flushBehind.reset();
    m_file.reset();
    return committed ? Status::success() : writeFailure(path, reason);
}

Status writeDocument(const QString& path, const QByteArray& bytes, const QString& sourcePath, const SliceBreak& pause)
{
    DocumentWriter writer;
    if (const Status opened = writer.open(path, sourcePath); !opened)
        return opened;
    if (!writer.write(bytes.constData(), bytes.size(), pause))
        return writer.stopped() ? writeFailure(path, QStringLiteral("The write was stopped")) : writer.failure();
    return writer.commit(path, sourcePath, pause);
}

std::optional<qint64> freeSpaceFor(const QString& path)
{
#ifdef Q_OS_UNIX
    struct statvfs info;
    if (::statvfs(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), &info) != 0)
        return std::nullopt;
    // Root may also take the blocks kept back for it.
    const auto blocks = ::geteuid() == 0 ? info.f_bfree : info.f_bavail;
    return qint64(blocks) * qint64(info.f_frsize);
#else
    const QStorageInfo storage(QFileInfo(path).absolutePath());
    if (!storage.isValid())
        return std::nullopt;
    return storage.bytesAvailable();
#endif
}

} // namespace ostrand
