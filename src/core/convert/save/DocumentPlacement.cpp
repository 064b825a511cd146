// SPDX-License-Identifier: MIT
#include "core/convert/save/DocumentPlacement.h"

#include "core/convert/save/DocumentBatch.h"
#include "core/convert/save/FreeSpace.h"
#include "core/convert/save/OutputTarget.h"

namespace ostrand {

namespace {

// Why a document has no output path: no output option is selected, or the chosen folder is empty.
Status nowhereToWrite(OutputMode mode)
{
    if (mode == OutputMode::None)
        return Failure{QStringLiteral("No output option is selected: choose \"Save results to this folder:\" or "
                                      "\"Save results in folder of original file\"")};
    return Failure{QStringLiteral("No output folder is chosen: the document has nowhere to go")};
}

} // namespace

DocumentPlacement::DocumentPlacement(const QString& sourcePath, WrittenDocuments* writtenInRun, DocumentBatch* batch)
    : m_sourcePath(sourcePath), m_writtenInRun(writtenInRun), m_batch(batch)
{
}

void DocumentPlacement::plan(const QString& path)
{
    m_plannedPath = path;
    m_room = path.isEmpty() ? std::nullopt : freeSpaceFor(path);
    m_plannedFree = false;
    m_taken = false;
}

void DocumentPlacement::sourceOpened(qint64 size)
{
    // Whether the name is free is looked at before a large source is read, which takes a while; for a small one the
    // writer's own look, moments later, is the look at the start.
    m_plannedFree = !m_plannedPath.isEmpty() && size > DocumentWriter::kChunkBytes && !anythingAt(m_plannedPath);
    m_smallSource = m_batch && DocumentBatch::takes(size);
    if (m_batch && !m_smallSource)
        m_batch->finish();
}

QString DocumentPlacement::notEnoughSpace(const QString& path, qint64 needed, qint64 free)
{
    return QStringLiteral("Not enough disk space for %1: the document needs at least %2 bytes, and %3 are free")
        .arg(path)
        .arg(needed)
        .arg(free);
}

Status DocumentPlacement::checkRoom(qint64 needed)
{
    if (m_plannedPath.isEmpty())
        return Status::success();
    const std::optional<qint64> free = m_smallSource ? m_room : freeSpaceFor(m_plannedPath);
    if (free && *free < needed)
        return Failure{notEnoughSpace(m_plannedPath, needed, *free)};
    return Status::success();
}

void DocumentPlacement::open()
{
    m_taken = m_plannedFree && anythingAt(m_plannedPath);
    if (!m_taken)
        m_writer.open(m_plannedPath, m_sourcePath);
}

std::function<bool(QByteArrayView bytes)> DocumentPlacement::take(const SliceBreak& pause)
{
    return [this, pause](QByteArrayView bytes) {
        if (!m_writer.isOpen())
            return m_writer.failure().ok() && !m_writer.stopped();
        return m_writer.writeBehind(bytes.data(), bytes.size(), pause);
    };
}

Status DocumentPlacement::put(const QString& outputPath, OutputMode mode,
                              const std::function<Status(const QString&)>& again, const SliceBreak& pause,
                              bool& batched)
{
    if (outputPath.isEmpty()) {
        m_writer.cancel();
        return nowhereToWrite(mode);
    }
    if (m_taken && outputPath == m_plannedPath)
        return cannotWrite(outputPath, nameTakenMeanwhile());
    // The writer's look at its path tells what file is there, if it looked at this path.
    const std::optional<FileIdentity> there =
        m_writer.isOpen() && m_writer.path() == outputPath ? m_writer.lookedFile() : identityAt(outputPath);
    if (m_writtenInRun && m_writtenInRun->isSourceOfAnother(outputPath, m_sourcePath, there)) {
        m_writer.cancel();
        return Failure{SourceOfRunRefusal(outputPath)};
    }
    const bool joins =
        m_batch && m_writer.isOpen() && DocumentBatch::takes(m_writer.size()) && !m_batch->holds(outputPath, &m_writer);
    if (m_batch && !joins)
        m_batch->finish();
    if (m_writtenInRun && (joins ? m_batch->writtenBefore(outputPath) : m_writtenInRun->contains(outputPath))) {
        m_writer.cancel();
        return Failure{SameOutputRefusal(outputPath)};
    }
    if (joins) {
        const Status prepared = m_writer.prepare(outputPath, m_sourcePath, pause);
        if (prepared.ok()) {
            m_batch->add(std::move(m_writer), m_sourcePath);
            batched = true;
        }
        return prepared;
    }
    if (m_writer.isOpen())
        return m_writer.commit(outputPath, m_sourcePath, pause);
    if (!m_writer.failure().ok() && outputPath == m_plannedPath)
        return m_writer.failure();
    return again(outputPath);
}

} // namespace ostrand
