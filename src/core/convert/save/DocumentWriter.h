// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <optional>

#include <QByteArray>
#include <QString>

#include "core/common/Result.h"
#include "core/convert/save/AtomicSave.h"
#include "core/convert/save/FileSystem.h"
#include "core/convert/source/WorkSlices.h"

namespace ostrand {

class TaskBeside;

// Writes the bytes to the path atomically (a temporary file in the target folder, then put in place): a
// failed write leaves any earlier file untouched and nothing half-written. Refuses, writing nothing, an
// empty path and a path that names the source file itself (links resolved). An existing path that is not a
// regular file (a FIFO, a device) is refused. A symbolic link is followed only where the kernel would follow
// it when links in shared sticky folders are protected (the link belongs to the user or to the folder's
// owner, or the folder is not both sticky and writable by all), and only to a regular file; otherwise the
// write is refused and nothing changes. A full disk or any other failing write or sync is reported with the
// system's own text.
//
// Large documents are written in chunks with a break offered between two of them; where the system allows,
// each chunk is sent on to the disk as soon as it is written, so that no single wait for the disk, the
// final sync included, covers more than a few chunks; the final sync and the rename go on while
// breaks are offered. A break that ends the write before the document is put in place removes the temporary
// file and fails, leaving the path as it was; once it is being put in place, the write completes.
Status writeDocument(const QString& path, const QByteArray& bytes, const QString& sourcePath,
                     const SliceBreak& pause = {});

// The atomic save of a document that is written as it is made, as writeDocument writes one: the bytes go to a
// temporary file in the target folder in chunks, each sent on to the disk as it is written, with a break
// offered between two chunks, and the file is put in place only by commit. Until then the path stays as it
// was; a writer destroyed without a commit removes its temporary file.
class DocumentWriter
{
public:
    DocumentWriter();
    ~DocumentWriter();
    DocumentWriter(const DocumentWriter&) = delete;
    DocumentWriter& operator=(const DocumentWriter&) = delete;
    DocumentWriter(DocumentWriter&& other) noexcept;

    // The bytes written between two breaks: pieces given to write() of at least this size are written at
    // once, smaller ones gathered until they reach it.
    static constexpr qsizetype kChunkBytes = 2 * 1024 * 1024;

    // Refuses the path as writeDocument does, or opens the temporary file for it.
    Status open(const QString& path, const QString& sourcePath);
    bool isOpen() const;
    // The path the writer was opened for.
    const QString& path() const { return m_path; }
    // The file that receives the document: the path, or the final target of the links at it.
    const QString& file() const { return m_file; }
    // What the writer's last look at its path found there: the file the path names, none for a new name.
    const std::optional<FileIdentity>& lookedFile() const { return m_lookedFile; }
    // Appends bytes. False once a write has failed (failure() tells how, in the system's words) or a break
    // said stop (stopped()); the temporary file is then gone and later calls do nothing.
    bool write(const char* data, qsizetype size, const SliceBreak& pause = {});
    // Appends bytes as write() does, but the chunks of a large document after its first are written on a worker
    // thread while the caller makes the next ones: the bytes must stay as they are until the writer's next call.
    // A chunk that fails to be written fails the next call.
    bool writeBehind(const char* data, qsizetype size, const SliceBreak& pause = {});
    const Status& failure() const { return m_failure; }
    bool stopped() const { return m_stopped; }
    // Syncs the document's bytes once, checks the path again as writeDocument checks it, puts the document in
    // place and syncs its folder. A path other than the one it was opened for receives a copy of the bytes
    // written, itself saved atomically. Fails,
    // leaving the path as it was, when anything fails or a break says stop before the document is being put in
    // place.
    Status commit(const QString& path, const QString& sourcePath, const SliceBreak& pause = {});
    // Removes the temporary file; the path stays as it was.
    void cancel();

    // The two halves of a commit for a document that is made durable together with others (DocumentBatch):
    // prepare writes every byte to the temporary file for the path (moved there, the path checked, when the
    // writer was opened for another), which stays open and is not synced; once the caller has made its bytes
    // durable (handle() names the file), place checks the path again and puts the document in place. Either
    // fails as commit does, leaving the path as it was. The folder is not synced.
    Status prepare(const QString& path, const QString& sourcePath, const SliceBreak& pause = {});
    Status place();
    // The bytes given to write() so far.
    qint64 size() const { return m_written + m_pending.size(); }
    // The temporary file's descriptor; -1 when it is not open.
    int handle() const;

private:
    bool append(const char* data, qsizetype size, const SliceBreak& pause, bool behind);
    bool writeChunk(const char* data, qsizetype size, const SliceBreak& pause, bool behind = false);
    // Waits for the chunk being written behind, if any; false, the temporary file gone, when its write failed.
    bool awaitBehind();
    Status moveTo(const QString& path, const QString& sourcePath, const SliceBreak& pause);
    Status finish(const SliceBreak& pause);
    Status placeChecked(const SliceBreak& pause, bool& stopped);

    AtomicSave m_save;
    class FlushBehind;
    std::unique_ptr<FlushBehind> m_flushBehind;
    std::unique_ptr<TaskBeside> m_writeBehind; // made for the second chunk given to writeBehind
    QString m_path;
    QString m_file;       // the file that receives the document: the path, or the final target of its links
    QString m_sourcePath; // the source, which the document never replaces
    std::optional<FileIdentity> m_lookedFile;
    qint64 m_lookedBorn = -1; // when the looked file was made, where the file system tells
    std::optional<std::optional<FileIdentity>> m_sourceFile; // the source's identity, once looked at
    bool m_replaces = false; // a file was at the path when the writer opened: the document replaces it; a name
                             // that was free is taken only while it stays free
    QByteArray m_pending;    // bytes not yet written, less than a chunk
    qint64 m_written = 0;
    Status m_failure;
    bool m_stopped = false;
};

} // namespace ostrand
