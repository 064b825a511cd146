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
#include "core/convert/pace/TaskBeside.h"
#include "core/convert/save/DiskSync.h"

namespace ostrand {

namespace {

// One turn of the disk's work for a batch, on the worker thread: the bytes of the files (one sync per file
// system), then each document whose bytes are durable is put in place, in order, its path checked again as it
// stands now, and then the folders where names changed are synced. The main thread meanwhile converts the next
// documents and touches none of these writers.
std::vector<DocumentBatch::Outcome> syncAndPlace(std::vector<DocumentBatch::Document>& documents)
{
    std::vector<DocumentBatch::Outcome> outcomes(documents.size());
    std::vector<int> files;
    std::vector<qint64> devices;
    for (size_t i = 0; i < documents.size(); ++i) {
        files.push_back(documents[i].writer.handle());
        outcomes[i].file = identityOf(files.back()); // which the path names once the document is in place
        devices.push_back(outcomes[i].file ? qint64(outcomes[i].file->device) : -1);
    }
    const std::vector<int> errors = syncAll(files, devices);
    QSet<QString> folders;
    for (size_t i = 0; i < documents.size(); ++i) {
        DocumentWriter& writer = documents[i].writer;
        DocumentBatch::Outcome& outcome = outcomes[i];
        if (errors[i] != 0) {
            writer.cancel();
            outcome.status =
                Failure{QStringLiteral("Cannot write %1: %2").arg(writer.path(), systemErrorText(errors[i]))};
            continue;
        }
        outcome.status = writer.place();
        if (outcome.status.ok())
            folders.insert(QFileInfo(writer.file()).absolutePath()); // where its name changed
    }
    for (const QString& folder : folders)
        syncFolder(folder);
    return outcomes;
}

} // namespace

DocumentBatch::DocumentBatch(ConversionHost& host, WrittenDocuments& writtenInRun,
                             std::function<void(const QString&)> placed)
    : m_host(host), m_writtenInRun(writtenInRun), m_listed(std::move(placed)), m_reporter(*this)
{
    m_sinceTurn.start();
}

// A batch still being synced is waited for (the worker finishes it before it goes); documents still waiting when
// the run goes away unfinished have their temporary files removed by their writers.
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
    return !m_waiting.documents.empty() &&
           (m_waiting.documents.size() >= size_t(kMostDocuments) || m_sinceFirst.elapsed() >= kLongestWaitMs);
}

void DocumentBatch::advance()
{
    if (m_finishing)
        return;
    if (m_syncStarted && (!m_worker || m_worker->waitFor(std::chrono::milliseconds(0))))
        settle();
    if (m_syncStarted && m_waiting.documents.size() >= size_t(kMostWaiting)) {
        waitForSync();
        settle();
    }
    if (!m_syncStarted && due())
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

// Makes the waiting documents durable and puts them in place, on a worker thread.
void DocumentBatch::startSync()
{
    m_syncing = std::move(m_waiting);
    m_waiting = Batch();
    m_folders.clear();
    m_sinceFirst.start();
    m_syncStarted = true;
    if (!m_worker) {
        try {
            m_worker = std::make_unique<TaskBeside>();
        } catch (const std::system_error&) {
            // Without a worker thread to be had, the disk's work is done here.
            m_outcomes = syncAndPlace(m_syncing.documents);
            return;
        }
    }
    m_worker->start([this] {
        m_outcomes = syncAndPlace(m_syncing.documents);
        return Status::success();
    });
}

// Waits for the sync, offering breaks meanwhile so the program stays live.
void DocumentBatch::waitForSync()
{
    bool stopped = false;
    while (m_worker && !m_worker->waitFor(std::chrono::milliseconds(2))) {
        if (!stopped && !breakOffered())
            stopped = true;
    }
}

// Once a batch is done: lists each document put in place and durable, or reports why it is not, in order.
void DocumentBatch::settle()
{
    if (m_worker)
        m_worker->wait();
    m_syncStarted = false;
    const std::vector<Outcome> outcomes = std::move(m_outcomes);
    m_outcomes.clear();
    std::vector<Document> documents = std::move(m_syncing.documents);
    m_syncing = Batch();
    for (size_t i = 0; i < documents.size(); ++i) {
        const DocumentWriter& writer = documents[i].writer;
        const Outcome& outcome = outcomes[i];
        if (!outcome.status.ok()) {
            report(documents[i].sourcePath, outcome.status.error());
            continue;
        }
        if (outcome.file)
            m_writtenInRun.add(writer.path(), documents[i].sourcePath, outcome.file);
        else
            m_writtenInRun.add(writer.path(), documents[i].sourcePath);
        if (m_listed)
            m_listed(writer.path());
    }
    if (m_waiting.documents.empty())
        m_sinceFirst.start();
}

void DocumentBatch::finish()
{
    if (m_finishing)
        return;
    m_finishing = true;
    if (m_syncStarted) {
        waitForSync();
        settle();
    }
    while (!m_waiting.documents.empty()) {
        startSync();
        waitForSync();
        settle();
    }
    m_finishing = false;
}

} // namespace ostrand
