// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <vector>

#include <QElapsedTimer>
#include <QSet>
#include <QString>

#include "core/convert/ConversionOptions.h"
#include "core/convert/OutputFile.h"

namespace ostrand {

// The small documents of a conversion run, made durable together instead of one sync each. Each document is
// written whole to its temporary file beside its path and handed over; the batch then, at once for all of
// them, sends their bytes to the disk (one sync per file system) and checks each document's own file; only
// then does it put them in place, in the order they were handed over, and sync each of their folders once. A
// document is so never put in place before its bytes are durable, a crash leaves the earlier document or the
// complete new one, and a document whose bytes could not be made durable is reported, at the write, and not
// put in place.
//
// Every report the run makes goes through reporter(), which first finishes the batch: the reports come in the
// order of the list, as they would one document at a time.
class DocumentBatch
{
public:
    // Documents larger than this are written and synced by themselves, as they are made.
    static constexpr qint64 kLargestDocument = DocumentWriter::kChunkBytes;
    // The batch is due once it holds this many documents, or its first one has waited this long.
    static constexpr int kMostDocuments = 32;
    static constexpr qint64 kLongestWaitMs = 100;

    // placed is called, in order, with the path of each document once it is in place; writtenInRun holds every
    // document the run has put in place.
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
    // True when a document waiting in the batch goes to this path, by its text or as the same file. Where the
    // path puts its file is kept for the add() that follows.
    bool holds(const QString& path);
    bool due() const;
    bool isEmpty() const { return m_documents.empty(); }
    // Makes the documents durable and puts them in place. It runs to its end even when the host asks to stop
    // meanwhile: a stop leaves the documents converted before it in place and no temporary file behind.
    void finish();

private:
    struct Document
    {
        DocumentWriter writer;
        QString sourcePath;
    };

    class FinishingReporter : public ErrorReporter
    {
    public:
        explicit FinishingReporter(DocumentBatch& batch) : m_batch(batch) {}
        void ReportError(const QString& description, const QString& tag, int line) override;

    private:
        DocumentBatch& m_batch;
    };

    bool breakOffered();
    void report(const QString& sourcePath, const QString& description);

    ConversionHost& m_host;
    WrittenDocuments& m_writtenInRun;
    std::function<void(const QString&)> m_placed;
    FinishingReporter m_reporter;
    std::vector<Document> m_documents;
    WrittenDocuments m_paths; // the paths of the documents waiting, by text and as files that exist
    QSet<QString> m_places;   // their real folders and names, for documents that do not exist yet
    // The last path holds() looked at and where it puts its file, for the add() that follows it.
    QString m_lookedAt;
    QString m_lookedPlace;
    QElapsedTimer m_waiting; // since the first document of the batch
    QElapsedTimer m_sinceTurn;
    bool m_finishing = false;
};

} // namespace ostrand
