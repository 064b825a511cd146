// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QString>

#include "core/convert/ConversionOptions.h"
#include "core/convert/save/DocumentWriter.h"
#include "core/convert/save/FileSystem.h"
#include "core/convert/save/WrittenDocuments.h"

namespace ostrand {

class TaskBeside;

// The small documents of a conversion run, made durable together instead of one sync each. Each document is
// written whole to its temporary file beside its path and handed over; the batch then, at once for all of
// them, sends their bytes to the disk (one sync per file system) and checks each document's own file; only
// then does it put them in place, in the order they were handed over, and sync each of their folders once. A
// document is so never put in place before its bytes are durable, a crash leaves the earlier document or the
// complete new one, and a document whose bytes could not be made durable is reported, at the write, and not
// put in place.
//
// The disk's work and the placing work beside the conversion: while one batch is synced and put in place on a
// worker thread, the next documents are converted and gather in the next batch, which is handed to the worker
// once it is due and the batch before is done (a slow disk so gets fewer, larger batches). A batch's documents
// are then listed, or their failures reported, in order.
//
// Every report the run makes goes through reporter(), which first finishes every batch: the reports come in the
// order of the list, as they would one document at a time.
class DocumentBatch
{
public:
    // Documents larger than this are written and synced by themselves, as they are made.
    static constexpr qint64 kLargestDocument = DocumentWriter::kChunkBytes;
    // A batch is synced once it holds this many documents or its first one has waited this long, whichever comes
    // first, and the batch before it is done.
    static constexpr int kMostDocuments = 32;
    static constexpr qint64 kLongestWaitMs = 100;
    // The documents that may gather while a batch is synced (each keeps its file open); beyond, the run waits
    // for the disk.
    static constexpr int kMostWaiting = 128;

    // placed is called, in order, with the path of each document once it is in place and its folder synced;
    // writtenInRun holds every document the run has put in place.
    DocumentBatch(ConversionHost& host, WrittenDocuments& writtenInRun, std::function<void(const QString&)> placed);
    ~DocumentBatch();
    DocumentBatch(const DocumentBatch&) = delete;
    DocumentBatch& operator=(const DocumentBatch&) = delete;

    // Reports through the host, after finishing the batch.
    ErrorReporter& reporter() { return m_reporter; }

    // Whether a document of this size joins the batch rather than being synced by itself.
    static bool takes(qint64 size) { return size <= kLargestDocument; }
    // Takes a prepared writer (DocumentWriter::prepare) of the document converted from the source.
    void add(DocumentWriter writer, const QString& sourcePath);
    // True when a document waiting in a batch goes to this path, by its text or as the same file. Where the
    // path puts its file is kept for the add() that follows.
    // A writer opened for the path has just looked at what is there: it is taken instead of a look of its own.
    bool holds(const QString& path, const DocumentWriter* lookedBy = nullptr);
    // True when the run has put a document in place at this path, by its text or as the same file (after
    // holds() for the path, whose look it takes).
    bool writtenBefore(const QString& path);
    // Moves the batches on, waiting for the disk only when too many documents wait: puts the documents of a
    // finished sync in place and lists the ones before them, and starts the next sync when it is due.
    void advance();
    // Makes every document durable, puts it in place and lists it. It runs to its end even when the host asks to
    // stop meanwhile: a stop leaves the documents converted before it in place and no temporary file behind.
    void finish();

    // A document handed over, and how its placing ended (on the worker thread).
    struct Document
    {
        DocumentWriter writer;
        QString sourcePath;
    };
    struct Outcome
    {
        Status status;
        std::optional<FileIdentity> file; // the document's own file, which the path names once it is in place
    };

private:
    // A name in a folder, the folder known by its identity.
    struct Place
    {
        FileIdentity folder;
        QString name;
        bool operator==(const Place&) const = default;
        friend size_t qHash(const Place& place, size_t seed = 0) { return qHashMulti(seed, place.folder, place.name); }
    };
    // Where a path puts its document: its text, the file there (none for a new name) and its real folder and
    // name (none when the folder is not there). One look at each instead of one for each link of the path.
    struct Look
    {
        QString path;
        std::optional<FileIdentity> file;
        std::optional<Place> place;
    };
    Look lookAt(const QString& path, const DocumentWriter* lookedBy = nullptr);
    // Documents handed over together, and where they go.
    struct Batch
    {
        std::vector<Document> documents;
        QSet<QString> paths;
        QSet<FileIdentity> files;
        QSet<Place> places;
        bool holds(const Look& look) const;
    };
    class FinishingReporter : public ErrorReporter
    {
    public:
        explicit FinishingReporter(DocumentBatch& batch) : m_batch(batch) {}
        void ReportError(const QString& description, const QString& tag, int line) override;

    private:
        DocumentBatch& m_batch;
    };

    bool due() const;
    void startSync();
    void waitForSync();
    void settle();
    bool breakOffered();
    void report(const QString& sourcePath, const QString& description);

    ConversionHost& m_host;
    WrittenDocuments& m_writtenInRun;
    std::function<void(const QString&)> m_listed;
    FinishingReporter m_reporter;
    Batch m_waiting;                      // gathering
    Batch m_syncing; // being made durable and put in place by the worker, which alone touches its documents
    std::vector<Outcome> m_outcomes; // for m_syncing: how each document's placing ended, once the worker is done
    bool m_syncStarted = false;      // m_syncing was handed to the worker, and is not settled yet
    QElapsedTimer m_sinceFirst;      // since the first document of m_waiting, or the last ones were placed
    QElapsedTimer m_sinceTurn;
    Look m_looked;                                         // the last path holds() looked at
    QHash<QString, std::optional<FileIdentity>> m_folders; // the folders looked at for the waiting batch
    bool m_finishing = false;
    // Syncs and places one batch at a time, the run through; last, so that it is done before the batch goes.
    std::unique_ptr<TaskBeside> m_worker;
};

} // namespace ostrand
