// SPDX-License-Identifier: MIT
#include "core/convert/OutputFile.h"

#include <chrono>
#include <deque>
#include <future>

#include <QElapsedTimer>
#include <QFileInfo>
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

    // The chunk [offset, offset + size) was written. The first chunk is held back until a second one follows: a
    // document of one chunk is left to whoever syncs it, so that one sync for a batch of small documents writes
    // them all in one go.
    void written(qint64 offset, qint64 size)
    {
        if (offset == 0) {
            m_first = {offset, size};
            return;
        }
        if (m_first.size > 0) {
            send(m_first);
            m_first = {};
        }
        send({offset, size});
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

    void send(Range range)
    {
        start(range.offset, range.size);
        m_inFlight.push_back(range);
        m_inFlightBytes += range.size;
        while (m_inFlightBytes > kInFlightBytes)
            waitForOldest();
    }
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
    Range m_first;                // the first chunk, held back
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

// What a look at the output path found: the file that receives the document (the path itself, or the final
// target of the links at it) and what is there now.
struct OutputTarget
{
    QString file;
    bool exists = false;
    bool folder = false;
    int mode = -1;     // the permission bits of an existing file
    QString identity;  // an existing file's device and inode
    qint64 owner = -1; // an existing file's user and group
    qint64 group = -1;
};

// Whether the document may be written at the path as it stands: a new name, an existing regular file, or a
// link the kernel would follow to a regular file. Each link of a chain is judged in its own folder.
Result<OutputTarget> lookAtTarget(const QString& path)
{
    QString at = path;
    for (int hops = 0; hops < 40; ++hops) {
        const QByteArray encoded = QFile::encodeName(at);
        struct stat link;
        if (::lstat(encoded.constData(), &link) != 0) {
            if (hops == 0) // a new document; any other trouble shows when it is written
                return OutputTarget{path, false, false, -1, QString()};
            return writeFailure(path, QStringLiteral("It is a symbolic link that leads nowhere"));
        }
        if (S_ISREG(link.st_mode))
            return OutputTarget{at,
                                true,
                                false,
                                int(link.st_mode & 07777),
                                fileIdentity(link),
                                qint64(link.st_uid),
                                qint64(link.st_gid)};
        if (hops == 0 && S_ISDIR(link.st_mode))
            return OutputTarget{path, true, true, -1, QString()};
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

#else

Result<OutputTarget> lookAtTarget(const QString& path)
{
    const QFileInfo info(path);
    return OutputTarget{path, info.exists(), info.isDir(), -1, info.canonicalFilePath()};
}

#endif

// The identity of an existing file, compared with an output's.
QString identityOf(const QString& path)
{
#ifdef Q_OS_UNIX
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? fileIdentity(info) : QString();
#else
    return QFileInfo(path).canonicalFilePath();
#endif
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

bool WrittenDocuments::contains(const QString& path, const QString& file) const
{
    return m_paths.contains(path) || (!file.isEmpty() && m_files.contains(file));
}

void WrittenDocuments::add(const QString& path, const QString& file)
{
    m_paths.insert(path);
    if (!file.isEmpty())
        m_files.insert(file);
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

// Refuses what writeDocument refuses before it writes anything, or tells where the document goes. Only a file
// that exists can be the source itself.
Result<OutputTarget> checkPath(const QString& path, const QString& sourcePath)
{
    if (path.isEmpty())
        return Failure{QStringLiteral("No output folder is chosen: the document has nowhere to go")};
    Result<OutputTarget> target = lookAtTarget(path);
    if (target && target.value().exists && !target.value().identity.isEmpty() &&
        target.value().identity == identityOf(sourcePath))
        return writeFailure(path, QStringLiteral("It is the source file itself, which is never overwritten"));
    if (target && target.value().folder)
        return writeFailure(path, QStringLiteral("Filename refers to a directory"));
    return target;
}

#ifdef Q_OS_UNIX
// Whether anything is at the path now, links not followed.
bool anythingAt(const QString& path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}
#else
bool anythingAt(const QString& path)
{
    return QFileInfo::exists(path);
}
#endif

} // namespace

DocumentWriter::DocumentWriter() = default;

DocumentWriter::~DocumentWriter()
{
    cancel();
}

DocumentWriter::DocumentWriter(DocumentWriter&& other) noexcept
    : m_save(std::move(other.m_save)), m_flushBehind(std::move(other.m_flushBehind)), m_path(std::move(other.m_path)),
      m_file(std::move(other.m_file)), m_sourcePath(std::move(other.m_sourcePath)),
      m_lookedFile(std::move(other.m_lookedFile)), m_pending(std::move(other.m_pending)), m_written(other.m_written),
      m_failure(std::move(other.m_failure)), m_stopped(other.m_stopped)
{
    other.m_written = 0;
}

int DocumentWriter::handle() const
{
    return m_save.handle();
}

Status DocumentWriter::open(const QString& path, const QString& sourcePath)
{
    m_path = path;
    m_sourcePath = sourcePath;
    const Result<OutputTarget> target = checkPath(path, m_sourcePath);
    if (!target)
        return Failure{target.error()};
    const OutputTarget& found = target.value();
#ifdef Q_OS_UNIX
    if (found.exists && ::access(QFile::encodeName(found.file).constData(), W_OK) != 0)
        return writeFailure(path, QStringLiteral("Existing file %1 is not writable").arg(path));
#endif
    const AtomicSave::Replaced replaced{found.exists ? found.mode : -1, found.exists ? found.owner : -1,
                                        found.exists ? found.group : -1};
    if (const Status opened = m_save.open(found.file, replaced); !opened)
        return writeFailure(path, opened.error());
    m_file = found.file;
    m_lookedFile = found.identity;
    m_flushBehind = std::make_unique<FlushBehind>(m_save.handle());
    return Status::success();
}

bool DocumentWriter::isOpen() const
{
    return m_save.isOpen();
}

bool DocumentWriter::write(const char* data, qsizetype size, const SliceBreak& pause)
{
    if (!isOpen())
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
    if (const Status written = m_save.write(data, size); !written) {
        m_failure = writeFailure(m_path, written.error());
        cancel();
        return false;
    }
    m_flushBehind->written(m_written, size);
    m_written += size;
    return true;
}

void DocumentWriter::cancel()
{
    m_save.cancel();
    m_flushBehind.reset();
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
    if (!isOpen())
        return m_failure.ok() ? (m_stopped ? stopped() : writeFailure(path, QStringLiteral("Nothing was written")))
                              : m_failure;
    if (!m_pending.isEmpty()) {
        if (!writeChunk(m_pending.constData(), m_pending.size(), pause))
            return m_stopped ? stopped() : m_failure;
        m_pending.clear();
    }
    // A document for its own path is checked once more right before it is put in place; one for another path
    // is moved there now, and that path checked on the way.
    if (path != m_path) {
        if (const Status moved = moveTo(path, sourcePath, pause); !moved)
            return moved;
    }
    return Status::success();
}

Status DocumentWriter::place()
{
    bool stop = false;
    return placeChecked({}, stop);
}

// Checks the path as it stands now and puts the document in place; the rename runs beside the breaks, since
// freeing a large earlier document's blocks may take a while. The document is put in place even when a break
// says stop meanwhile.
Status DocumentWriter::placeChecked(const SliceBreak& pause, bool& stopped)
{
    if (!isOpen())
        return m_failure.ok() ? writeFailure(m_path, QStringLiteral("Nothing was written")) : m_failure;
    const Result<OutputTarget> target = checkPath(m_path, m_sourcePath);
    if (!target) {
        cancel();
        return Failure{target.error()};
    }
    // The file opened for is the one replaced. Should the path have become a link to another file meanwhile, the
    // link itself is replaced, as a rename would.
    const bool replaces = target.value().file == m_file ? target.value().exists : anythingAt(m_file);
    Status placed;
    if (m_written > kWriteChunk && pause) {
        AtomicSave* save = &m_save;
        placed = offeringBreaks([save, replaces] { return save->place(replaces); }, pause, stopped);
    } else {
        placed = m_save.place(replaces);
    }
    m_flushBehind.reset();
    return placed ? Status::success() : writeFailure(m_path, placed.error());
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
        qsizetype got = 0;
        while (got < size) {
#ifdef Q_OS_UNIX
            const ssize_t read = ::pread(handle(), chunk.data() + got, size_t(size - got), off_t(offset + got));
            if (read < 0 && errno == EINTR)
                continue;
            const QString reason = read < 0 ? systemText(errno) : QStringLiteral("The document was cut short");
#else
            const qint64 read = -1;
            const QString reason = QStringLiteral("The document could not be read back");
#endif
            if (read <= 0) {
                cancel();
                return writeFailure(path, reason);
            }
            got += read;
        }
        if (!moved.write(chunk.constData(), size, pause)) {
            cancel();
            if (moved.stopped())
                m_stopped = true;
            return moved.stopped() ? writeFailure(path, QStringLiteral("The write was stopped")) : moved.failure();
        }
    }
    cancel();
    m_save = std::move(moved.m_save);
    m_flushBehind = std::move(moved.m_flushBehind);
    m_pending = std::move(moved.m_pending);
    m_written = moved.m_written;
    m_path = path;
    m_file = moved.m_file;
    m_sourcePath = moved.m_sourcePath;
    m_lookedFile = moved.m_lookedFile;
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
    bool stop = false;
#ifdef Q_OS_UNIX
    // The document's one sync, beside the breaks for a large one. A stop during the sync still writes nothing;
    // once the document is being put in place, it is put in place.
    int synced = 0;
    if (m_written > kWriteChunk) {
        const int fd = handle();
        synced = offeringBreaks([fd] { return syncData(fd); }, pause, stop);
        if (stop)
            return stopped();
    } else {
        synced = syncData(handle());
    }
    if (synced != 0) {
        cancel();
        return writeFailure(path, systemText(synced));
    }
#endif
    if (const Status placed = placeChecked(pause, stop); !placed)
        return placed;
    AtomicSave::syncFolderOf(m_file);
    return Status::success();
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
    // A run of many small documents asks about one folder again and again: while the last look found plenty of
    // room, it stands for a few milliseconds. With little room every look is a new one.
    struct LastLook
    {
        QString folder;
        qint64 free = 0;
        QElapsedTimer taken;
    };
    thread_local LastLook last;
    constexpr qint64 kPlenty = 256 * 1024 * 1024;
    constexpr qint64 kStandsForMs = 20;
    const QString folder = QFileInfo(path).absolutePath();
    if (last.taken.isValid() && last.free >= kPlenty && last.folder == folder && last.taken.elapsed() < kStandsForMs)
        return last.free;
    struct statvfs info;
    if (::statvfs(QFile::encodeName(folder).constData(), &info) != 0)
        return std::nullopt;
    // Root may also take the blocks kept back for it.
    static const bool root = ::geteuid() == 0;
    const auto blocks = root ? info.f_bfree : info.f_bavail;
    last.folder = folder;
    last.free = qint64(blocks) * qint64(info.f_frsize);
    last.taken.start();
    return last.free;
#else
    const QStorageInfo storage(QFileInfo(path).absolutePath());
    if (!storage.isValid())
        return std::nullopt;
    return storage.bytesAvailable();
#endif
}

} // namespace ostrand
