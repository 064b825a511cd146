// SPDX-License-Identifier: MIT
#include "core/convert/save/DocumentWriter.h"

#include <deque>
#include <system_error>

#include "core/common/SystemText.h"
#include "core/convert/pace/TaskBeside.h"
#include "core/convert/save/DiskSync.h"
#include "core/convert/save/OutputTarget.h"

namespace ostrand {

namespace {

// The bytes written between two breaks: a few milliseconds of copying, and at most a few tens of
// milliseconds for the disk to take them.
constexpr qint64 kWriteChunk = DocumentWriter::kChunkBytes;

// Sends each written chunk on to the disk at once, and waits for the oldest chunks once many are on their way, so
// that the dirty bytes of a document stay bounded and the rest of the waiting is spread over the chunks. The
// window is wide: a disk given a long queue writes at its full speed, where one that is waited for every few
// chunks idles between the waits (a document of 100 to 200 MB took about a tenth longer with 16 MiB on their way
// than with the whole of it). The final sync waits for what is left a chunk at a time, with a break after each.
// Where the system offers no such control it does nothing and the final sync does all the waiting.
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
    // The bytes sent on and not yet waited for.
    static constexpr qint64 kInFlightBytes = 128 * kWriteChunk;

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
    void start(qint64 offset, qint64 size) { startWriteBack(m_fd, offset, size); }
    void waitFor(Range range) { waitForWriteBack(m_fd, range.offset, range.size); }

    int m_fd;
    Range m_first;                // the first chunk, held back
    std::deque<Range> m_inFlight; // oldest first
    qint64 m_inFlightBytes = 0;
};

namespace {

// Refuses what writeDocument refuses before it writes anything, or tells where the document goes. Only a file
// that exists can be the source itself.
// `source` is the source's identity, looked at once for the writer.
Result<OutputTarget> checkPath(const QString& path, const QString& sourcePath,
                               std::optional<std::optional<FileIdentity>>& source)
{
    if (path.isEmpty())
        return Failure{QStringLiteral("No output folder is chosen: the document has nowhere to go")};
    Result<OutputTarget> target = lookAtTarget(path);
    if (target && target.value().exists && target.value().identity && !source)
        source = identityAt(sourcePath);
    if (target && target.value().exists && target.value().identity && target.value().identity == *source)
        return cannotWrite(path, QStringLiteral("It is the source file itself, which is never overwritten"));
    if (target && target.value().folder)
        return cannotWrite(path, QStringLiteral("Filename refers to a directory"));
    return target;
}

} // namespace

DocumentWriter::DocumentWriter() = default;

DocumentWriter::~DocumentWriter()
{
    cancel();
}

// A chunk still being written behind is waited for first: its job names the other writer's file.
DocumentWriter::DocumentWriter(DocumentWriter&& other) noexcept
    : m_save((other.awaitBehind(), std::move(other.m_save))), m_flushBehind(std::move(other.m_flushBehind)),
      m_writeBehind(std::move(other.m_writeBehind)), m_path(std::move(other.m_path)),
      m_file(std::move(other.m_file)), m_sourcePath(std::move(other.m_sourcePath)),
      m_lookedFile(std::move(other.m_lookedFile)), m_lookedBorn(other.m_lookedBorn),
      m_sourceFile(std::move(other.m_sourceFile)),
      m_replaces(other.m_replaces), m_pending(std::move(other.m_pending)),
      m_written(other.m_written), m_failure(std::move(other.m_failure)), m_stopped(other.m_stopped)
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
    m_sourceFile.reset();
    const Result<OutputTarget> target = checkPath(path, m_sourcePath, m_sourceFile);
    if (!target)
        return Failure{target.error()};
    const OutputTarget& found = target.value();
    if (found.exists && !mayWrite(found.file))
        return cannotWrite(path, QStringLiteral("Existing file %1 is not writable").arg(path));
    if (const Status opened = m_save.open(found.file); !opened)
        return cannotWrite(path, opened.error());
    m_file = found.file;
    m_lookedFile = found.identity;
    m_lookedBorn = found.born;
    m_replaces = found.exists;
    m_flushBehind = std::make_unique<FlushBehind>(m_save.handle());
    return Status::success();
}

bool DocumentWriter::isOpen() const
{
    return m_save.isOpen();
}

bool DocumentWriter::write(const char* data, qsizetype size, const SliceBreak& pause)
{
    return append(data, size, pause, false);
}

bool DocumentWriter::writeBehind(const char* data, qsizetype size, const SliceBreak& pause)
{
    return append(data, size, pause, true);
}

bool DocumentWriter::append(const char* data, qsizetype size, const SliceBreak& pause, bool behind)
{
    if (!isOpen() || !awaitBehind())
        return false;
    // A piece of a chunk or more is written from the caller's bytes, its last part with the chunk before it, so
    // that no write is a small one.
    if (m_pending.isEmpty() && size >= kWriteChunk) {
        for (qsizetype offset = 0; offset < size;) {
            const qsizetype left = size - offset;
            const qsizetype chunk = left < 2 * kWriteChunk ? left : qsizetype(kWriteChunk);
            if (!writeChunk(data + offset, chunk, pause, behind))
                return false;
            offset += chunk;
        }
        return true;
    }
    // Gathered bytes are the writer's own, reused for the next chunk: they are written here.
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

bool DocumentWriter::awaitBehind()
{
    if (!m_writeBehind)
        return true;
    if (const Status written = m_writeBehind->wait(); !written) {
        m_failure = cannotWrite(m_path, written.error());
        cancel();
        return false;
    }
    return true;
}

bool DocumentWriter::writeChunk(const char* data, qsizetype size, const SliceBreak& pause, bool behind)
{
    if (m_written > 0 && !offerBreak(pause)) {
        m_stopped = true;
        cancel();
        return false;
    }
    if (!awaitBehind())
        return false;
    // The first chunk is written here: a document of one chunk never waits for a thread to start.
    if (behind && m_written > 0 && !m_writeBehind) {
        try {
            m_writeBehind = std::make_unique<TaskBeside>();
        } catch (const std::system_error&) {
            behind = false; // without a worker thread to be had, every chunk is written here
        }
    }
    // The chunk is written and sent on to the disk beside the caller, which makes the next one meanwhile.
    if (behind && m_writeBehind) {
        m_writeBehind->start([save = &m_save, flush = m_flushBehind.get(), offset = m_written, data, size] {
            Status written = save->write(data, size);
            if (written)
                flush->written(offset, size);
            return written;
        });
        m_written += size;
        return true;
    }
    if (const Status written = m_save.write(data, size); !written) {
        m_failure = cannotWrite(m_path, written.error());
        cancel();
        return false;
    }
    m_flushBehind->written(m_written, size);
    m_written += size;
    return true;
}

void DocumentWriter::cancel()
{
    // A chunk still being written is let finish before its file goes.
    if (m_writeBehind)
        m_writeBehind->wait();
    m_writeBehind.reset();
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
        return cannotWrite(path, QStringLiteral("The write was stopped"));
    };
    if (!isOpen() || !awaitBehind())
        return m_failure.ok() ? (m_stopped ? stopped() : cannotWrite(path, QStringLiteral("Nothing was written")))
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
        return m_failure.ok() ? cannotWrite(m_path, QStringLiteral("Nothing was written")) : m_failure;
    // A name that was free when the writer opened is looked at again only when something appeared there: the link
    // that puts the document there never replaces anything, and finds that out itself.
    if (m_replaces) {
        const Result<OutputTarget> target = checkPath(m_path, m_sourcePath, m_sourceFile);
        if (!target) {
            cancel();
            return Failure{target.error()};
        }
    }
    // The file opened for is the one replaced, if it is still the file there; should the path have become a link to
    // another file meanwhile, the link itself is replaced, as a rename would. A file someone put at the name
    // meanwhile, where it was free or in place of the one there, is theirs.
    const std::optional<SeenFile> replacing =
        m_replaces && m_lookedFile ? std::optional<SeenFile>(SeenFile{*m_lookedFile, m_lookedBorn}) : std::nullopt;
    Status placed;
    if (m_written > kWriteChunk && pause) {
        AtomicSave* save = &m_save;
        placed = offeringBreaks([save, replacing] { return save->place(replacing); }, pause, stopped);
    } else {
        placed = m_save.place(replacing);
    }
    m_flushBehind.reset();
    if (placed)
        return Status::success();
    // What appeared at a free name is told as a look at it tells it (a folder, a link, the source itself).
    if (!m_replaces && placed.error() == nameTakenMeanwhile()) {
        if (const Result<OutputTarget> target = checkPath(m_path, m_sourcePath, m_sourceFile); !target)
            return Failure{target.error()};
    }
    return cannotWrite(m_path, placed.error());
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
        if (const Status read = m_save.readBack(offset, chunk.data(), size); !read) {
            cancel();
            return cannotWrite(path, read.error());
        }
        if (!moved.write(chunk.constData(), size, pause)) {
            cancel();
            if (moved.stopped())
                m_stopped = true;
            return moved.stopped() ? cannotWrite(path, QStringLiteral("The write was stopped")) : moved.failure();
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
    m_lookedBorn = moved.m_lookedBorn;
    m_sourceFile = moved.m_sourceFile;
    m_replaces = moved.m_replaces;
    if (!m_pending.isEmpty()) {
        if (!writeChunk(m_pending.constData(), m_pending.size(), pause))
            return m_stopped ? cannotWrite(path, QStringLiteral("The write was stopped")) : m_failure;
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
        return cannotWrite(path, QStringLiteral("The write was stopped"));
    };
    // What is still on its way to the disk is waited for a chunk at a time, with a break after each.
    while (m_written > kWriteChunk && m_flushBehind->waitForOldest()) {
        if (!offerBreak(pause))
            return stopped();
    }
    bool stop = false;
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
        return cannotWrite(path, systemErrorText(synced));
    }
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
        return writer.stopped() ? cannotWrite(path, QStringLiteral("The write was stopped")) : writer.failure();
    return writer.commit(path, sourcePath, pause);
}

} // namespace ostrand
