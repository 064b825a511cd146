// SPDX-License-Identifier: MIT
#include "core/convert/DocumentBatch.h"

#include <set>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "core/app/ErrorReport.h"

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <cstdio>
#include <sys/utsname.h>
#endif

namespace ostrand {

namespace {

constexpr qint64 kTurnMs = 10;

// Where a path puts its file: its folder, told by what the folder is rather than how it is named (links
// resolved), and its name; empty when the folder is not there. One look at the folder instead of one for each
// link of its path: this is asked twice for each document of a batch.
QString placeOf(const QString& path)
{
    const QFileInfo info(path);
#ifdef Q_OS_UNIX
    struct stat folder;
    if (::stat(QFile::encodeName(info.absolutePath()).constData(), &folder) != 0)
        return QString();
    return QStringLiteral("%1:%2/").arg(quint64(folder.st_dev)).arg(quint64(folder.st_ino)) + info.fileName();
#else
    const QString folder = info.absoluteDir().canonicalPath();
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + info.fileName();
#endif
}

#ifdef Q_OS_UNIX

#ifdef Q_OS_LINUX
// Whether a sync of a whole file system tells of a failed write-back of any of its files (Linux 5.8 and later);
// before that it always succeeded.
bool fileSystemSyncTellsFailures()
{
    struct utsname system;
    if (::uname(&system) != 0)
        return false;
    int major = 0, minor = 0;
    if (std::sscanf(system.release, "%d.%d", &major, &minor) != 2)
        return false;
    return major > 5 || (major == 5 && minor >= 8);
}
#endif

// Sends the bytes of every file to the disk. One sync of each file system they lie on writes them all in one go;
// when it succeeds (it tells of a failed write of any file opened on it since the first of them was), they are
// all durable. When it fails, or cannot tell, each file's own sync finds out which of them failed. One result
// for each file: 0, or the error.
std::vector<int> syncAll(const std::vector<int>& files)
{
    std::vector<int> errors(files.size(), 0);
#ifdef Q_OS_LINUX
    static const bool tells = fileSystemSyncTellsFailures();
    std::set<dev_t> synced;
    bool allSynced = tells;
    for (const int fd : files) {
        struct stat info;
        if (::fstat(fd, &info) != 0)
            allSynced = false;
        else if (synced.insert(info.st_dev).second && ::syncfs(fd) != 0)
            allSynced = false;
    }
    if (allSynced)
        return errors;
#endif
    for (size_t i = 0; i < files.size(); ++i) {
#ifdef Q_OS_LINUX
        const int done = ::fdatasync(files[i]);
#else
        const int done = ::fsync(files[i]);
#endif
        errors[i] = done == 0 ? 0 : errno;
    }
    return errors;
}

// Makes the names just put in these folders durable.
void syncFolders(const QSet<QString>& folders)
{
    for (const QString& folder : folders) {
        const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            continue;
        ::fsync(fd);
        ::close(fd);
    }
}

#endif

} // namespace

DocumentBatch::DocumentBatch(ConversionHost& host, WrittenDocuments& writtenInRun,
                             std::function<void(const QString&)> placed)
    : m_host(host), m_writtenInRun(writtenInRun), m_placed(std::move(placed)), m_reporter(*this)
{
    m_sinceTurn.start();
}

// Documents still waiting when the run goes away unfinished have their temporary files removed by their writers.
DocumentBatch::~DocumentBatch() = default;

void DocumentBatch::FinishingReporter::ReportError(const QString& description, const QString& tag, int line)
{
    m_batch.finish();
    m_batch.m_host.ReportError(description, tag, line);
}

void DocumentBatch::add(DocumentWriter writer, const QString& sourcePath)
{
    if (m_documents.empty())
        m_waiting.start();
    const QString path = writer.path();
    m_paths.add(path);
    if (const QString place = path == m_lookedAt ? m_lookedPlace : placeOf(path); !place.isEmpty())
        m_places.insert(place);
    m_lookedAt.clear();
    m_documents.push_back(Document{std::move(writer), sourcePath});
}

bool DocumentBatch::holds(const QString& path)
{
    m_lookedAt = path;
    m_lookedPlace = placeOf(path);
    if (m_documents.empty())
        return false;
    return m_paths.contains(path) || (!m_lookedPlace.isEmpty() && m_places.contains(m_lookedPlace));
}

bool DocumentBatch::due() const
{
    return !m_documents.empty() &&
           (m_documents.size() >= size_t(kMostDocuments) || m_waiting.elapsed() >= kLongestWaitMs);
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

void DocumentBatch::finish()
{
    if (m_documents.empty() || m_finishing)
        return;
    m_finishing = true;
    std::vector<Document> documents = std::move(m_documents);
    m_documents.clear();
    m_paths = WrittenDocuments();
    m_places.clear();
    const SliceBreak pause = [this] { return breakOffered(); };
    bool stopped = false; // the batch is finished all the same

    std::vector<Status> outcomes(documents.size());
#ifdef Q_OS_UNIX
    std::vector<int> files;
    for (const Document& document : documents)
        files.push_back(document.writer.handle());
    const std::vector<int> errors = offeringBreaks([&files] { return syncAll(files); }, pause, stopped);
    for (size_t i = 0; i < documents.size(); ++i) {
        if (errors[i] == 0)
            continue;
        documents[i].writer.cancel();
        outcomes[i] = Failure{QStringLiteral("Cannot write %1: %2")
                                  .arg(documents[i].writer.path(), QString::fromLocal8Bit(std::strerror(errors[i])))};
    }
#endif

    // In order, each document whose bytes are durable is put in place, its path checked again as it stands now.
    QSet<QString> folders;
    for (size_t i = 0; i < documents.size(); ++i) {
        if (!outcomes[i].ok())
            continue;
        outcomes[i] = documents[i].writer.place();
        if (outcomes[i].ok())
            folders.insert(QFileInfo(documents[i].writer.path()).absolutePath());
    }
#ifdef Q_OS_UNIX
    offeringBreaks(
        [&folders] {
            syncFolders(folders);
            return true;
        },
        pause, stopped);
#endif

    for (size_t i = 0; i < documents.size(); ++i) {
        const QString& path = documents[i].writer.path();
        if (outcomes[i].ok()) {
            m_writtenInRun.add(path);
            if (m_placed)
                m_placed(path);
        } else {
            report(documents[i].sourcePath, outcomes[i].error());
        }
    }
    m_finishing = false;
}

} // namespace ostrand
