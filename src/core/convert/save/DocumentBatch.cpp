// SPDX-License-Identifier: MIT
#include "core/convert/save/DocumentBatch.h"

#include <chrono>
#include <set>
#include <system_error>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "core/app/ErrorReport.h"
#include "core/common/SystemText.h"
#include "core/convert/pace/EventTurns.h"
#include "core/convert/save/DiskSync.h"

namespace ostrand {

namespace {

// One turn of the disk's work for the batches: the bytes of the files, then the folders of the documents put in
// place before (a sync of a file system may well have made those names durable already, so their own syncs
// wait for little). The error of each file's sync, 0 when it is durable.
std::vector<int> syncBatch(const std::vector<int>& files, const QSet<QString>& folders)
{
    std::vector<int> errors = syncAll(files);
    for (const QString& folder : folders)
        syncFolder(folder);
    return errors;
}

} // namespace

DocumentBatch::DocumentBatch(ConversionHost& host, WrittenDocuments& writtenInRun,
                             std::function<void(const QString&)> placed)
    : m_host(host), m_writtenInRun(writtenInRun), m_listed(std::move(placed)), m_reporter(*this)
{
    m_sinceTurn.start();
}

// A sync still running is waited for (the future does); documents still waiting when the run goes away
// unfinished have their temporary files removed by their writers.
DocumentBatch::~DocumentBatch() = default;

void DocumentBatch::FinishingReporter::ReportError(const QString& description, const QString& tag, int line)
{
    m_batch.finish();
    m_batch.m_host.ReportError(description, tag, line);
}

// A folder is looked at once for the documents of a batch: they follow each other within moments, and a path
// that names the same folder by the same text names the same place anyway.
DocumentBatch::Look DocumentBatch::lookAt(const QString& path, const DocumentWriter* lookedBy)
{
    const QFileInfo info(path);
    QString folder = info.absolutePath();
    auto known = m_folders.constFind(folder);
    if (known == m_folders.constEnd())
        known = m_folders.insert(folder, identityAt(folder));
    std::optional<FileIdentity> file = lookedBy && lookedBy->path() == path ? lookedBy->lookedFile() : identityAt(path);
    std::optional<Place> place;
    if (*known)
        place = Place{**known, info.fileName()};
    return {path, file, place};
}

bool DocumentBatch::Batch::holds(const Look& look) const
{
    return !documents.empty() && (paths.contains(look.path) || (look.file && files.contains(*look.file)) ||
                                  (look.place && places.contains(*look.place)));
}

void DocumentBatch::add(DocumentWriter writer, const QString& sourcePath)
{
    if (m_waiting.documents.empty())
        m_sinceFirst.start();
    const Look look = writer.path() == m_looked.path ? m_looked : lookAt(writer.path());
    m_waiting.paths.insert(look.path);
    if (look.file)
        m_waiting.files.insert(*look.file);
    if (look.place)
        m_waiting.places.insert(*look.place);
    m_looked = Look();
    m_waiting.documents.push_back(Document{std::move(writer), sourcePath});
}

bool DocumentBatch::holds(const QString& path, const DocumentWriter* lookedBy)
{
    m_looked = lookAt(path, lookedBy);
    return m_waiting.holds(m_looked) || m_syncing.holds(m_looked);
}

bool DocumentBatch::writtenBefore(const QString& path)
{
    if (path != m_looked.path)
        m_looked = lookAt(path);
    return m_writtenInRun.contains(path, m_looked.file);
}

bool DocumentBatch::due() const
{
    return (!m_waiting.documents.empty() || !m_placed.empty()) &&
           (m_waiting.documents.size() >= size_t(kMostDocuments) || m_sinceFirst.elapsed() >= kLongestWaitMs);
}

void DocumentBatch::advance()
{
    if (m_finishing)
        return;
    if (m_sync.valid() && m_sync.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
        settle();
    if (m_sync.valid() && m_waiting.documents.size() >= size_t(kMostWaiting)) {
        waitForSync();
        settle();
    }
    if (!m_sync.valid() && due())
        startSync();
}

bool DocumentBatch::breakOffered()
{
    if (m_sinceTurn.elapsed() >= kTurnMs) {
        m_host.yieldToEvents();
        m_sinceTurn.restart();
    }
    return !m_host.stopRequested();
}

void DocumentBatch::report(const QString& sourcePath, const QString& description)
{
    m_host.reportsConcern(sourcePath);
    m_host.ReportError(description, LocationTag::convertVantrel(), 168);
    m_host.reportsConcern(QString());
}

// Sends the waiting documents' bytes and the folders of those put in place to the disk, on a worker thread.
void DocumentBatch::startSync()
{
    m_syncing = std::move(m_waiting);
    m_waiting = Batch();
    m_folders.clear();
    m_sinceFirst.start();
    m_listing = std::move(m_placed);
    m_placed.clear();
    std::vector<int> files;
    for (const Document& document : m_syncing.documents)
        files.push_back(document.writer.handle());
    QSet<QString> folders = std::move(m_placedFolders);
    m_placedFolders.clear();
    try {
        m_sync = std::async(std::launch::async, [files = std::move(files), folders = std::move(folders)] {
            return syncBatch(files, folders);
        });
    } catch (const std::system_error&) {
        // Without a worker thread to be had, the disk's work is done here.
        std::promise<std::vector<int>> done;
        done.set_value(syncBatch(files, folders));
        m_sync = done.get_future();
    }
}

// Waits for the sync, offering breaks meanwhile so the program stays live.
void DocumentBatch::waitForSync()
{
    bool stopped = false;
    while (m_sync.wait_for(std::chrono::milliseconds(2)) != std::future_status::ready) {
        if (!stopped && !breakOffered())
            stopped = true;
    }
}

// Once a sync is done: lists the documents whose folders it synced, then puts each document whose bytes are now
// durable in place, in order, its path checked again as it stands now.
void DocumentBatch::settle()
{
    const std::vector<int> errors = m_sync.get();
    std::vector<Placed> listing = std::move(m_listing);
    m_listing.clear();
    for (const Placed& placed : listing) {
        if (placed.outcome.ok()) {
            if (m_listed)
                m_listed(placed.path);
        } else {
            report(placed.sourcePath, placed.outcome.error());
        }
    }
    std::vector<Document> documents = std::move(m_syncing.documents);
    m_syncing = Batch();
    for (size_t i = 0; i < documents.size(); ++i) {
        DocumentWriter& writer = documents[i].writer;
        Status outcome;
        std::optional<FileIdentity> file; // the document's own file, which the path names once it is in place
        if (errors[i] != 0) {
            writer.cancel();
            outcome = Failure{QStringLiteral("Cannot write %1: %2").arg(writer.path(), systemErrorText(errors[i]))};
        } else {
            file = identityOf(writer.handle());
            outcome = writer.place();
        }
        if (outcome.ok()) {
            if (file)
                m_writtenInRun.add(writer.path(), documents[i].sourcePath, file);
            else
                m_writtenInRun.add(writer.path(), documents[i].sourcePath);
            m_placedFolders.insert(QFileInfo(writer.file()).absolutePath()); // where its name changed
        }
        m_placed.push_back(Placed{documents[i].sourcePath, writer.path(), outcome});
    }
    if (m_waiting.documents.empty())
        m_sinceFirst.start();
}

void DocumentBatch::finish()
{
    if (m_finishing)
        return;
    m_finishing = true;
    if (m_sync.valid()) {
        waitForSync();
        settle();
    }
    // The waiting documents, then the folders of the last ones put in place.
    while (!m_waiting.documents.empty() || !m_placed.empty()) {
        startSync();
        waitForSync();
        settle();
    }
    m_finishing = false;
}

} // namespace ostrand
