// SPDX-License-Identifier: MIT
#include "core/convert/ConvertVantrel.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include "core/app/GuardedOperation.h"
#include "core/convert/DocumentBatch.h"
#include "core/convert/HtmlDocument.h"
#include "core/convert/OutputFile.h"
#include "core/convert/RunReports.h"
#include "core/convert/SourcePasses.h"
#include "core/convert/SourceText.h"

namespace ostrand {

namespace {

constexpr qint64 kSliceMs = 10;

// Why a document has no output path: no output option is selected, or the chosen folder is empty.
Status nowhereToWrite(OutputMode mode)
{
    if (mode == OutputMode::None)
        return Failure{QStringLiteral("No output option is selected: choose \"Save results to this folder:\" or "
                                      "\"Save results in folder of original file\"")};
    return Failure{QStringLiteral("No output folder is chosen: the document has nowhere to go")};
}

// Gives the host's event loop a turn about every 10 ms of work, whichever pass is running, and remembers a
// stop the host asked for after a turn.
class EventTurns
{
public:
    explicit EventTurns(ConversionHost& host) : m_host(host) { m_clock.start(); }

    // A turn now; false once the host asks to stop.
    bool now()
    {
        m_host.yieldToEvents();
        m_clock.restart();
        m_stopped = m_host.stopRequested();
        return !m_stopped;
    }
    // A turn when about 10 ms have passed since the last one; false once the host asks to stop.
    bool due() { return m_stopped ? false : m_clock.elapsed() < kSliceMs || now(); }
    // The break the slices of a long pass are offered.
    SliceBreak slices()
    {
        return [this] { return due(); };
    }
    bool stopped() const { return m_stopped; }

private:
    ConversionHost& m_host;
    QElapsedTimer m_clock;
    bool m_stopped = false;
};

// Writes the document's bytes as the cut makes them, a chunk or more at a time (the rest stays where it is
// until `all`); without a writer (its path could not be opened) they are let go, and the write at the end
// tells why.
bool takeInto(DocumentWriter& writer, RowCutter& cutter, const SliceBreak& pause, bool all = false)
{
    const QByteArrayView bytes = cutter.output();
    if (!writer.isOpen()) {
        cutter.clearOutput();
        return writer.failure().ok() && !writer.stopped();
    }
    if (!all && bytes.size() < DocumentWriter::kChunkBytes)
        return true;
    const bool taken = writer.write(bytes.data(), bytes.size(), pause);
    cutter.clearOutput();
    return taken;
}

// Appends the footer and the closing CR LF to the cut's output.
void appendFooter(RowCutter& cutter)
{
    const QByteArray end = documentFooter() + QByteArrayLiteral("\r\n");
    cutter.append(end.constData(), end.size());
}

QString notEnoughSpace(const QString& path, qint64 needed, qint64 free)
{
    return QStringLiteral("Not enough disk space for %1: the document needs at least %2 bytes, and %3 are free")
        .arg(path)
        .arg(needed)
        .arg(free);
}

// Cuts the source again into a writer for the path: the document the conversion made could not be kept for
// it (its path could not be written when the conversion began, or the options now name another place).
Status writeAgain(SourcePasses& passes, const CutRules& rules, const QByteArray& header, const QString& path,
                  const QString& sourcePath, const SliceBreak& pause)
{
    DocumentWriter writer;
    if (const Status opened = writer.open(path, sourcePath); !opened)
        return opened;
    RowCutter cutter(rules, passes.counts());
    cutter.append(header.constData(), header.size());
    const auto take = [&] { return takeInto(writer, cutter, pause); };
    const Result<PassEnd> cut = passes.cut(cutter, {}, take, pause);
    if (!cut)
        return Failure{cut.error()};
    if (cut.value() == PassEnd::Complete) {
        appendFooter(cutter);
        if (takeInto(writer, cutter, pause, true))
            return writer.commit(path, sourcePath, pause);
    }
    if (!writer.failure().ok())
        return writer.failure();
    writer.cancel();
    return Failure{QStringLiteral("Cannot write %1: The write was stopped").arg(path)};
}

} // namespace

std::optional<QString> ConvertVantrel(ConversionHost& host, const QString& sourcePath, const QString& delimiter,
                                      WrittenDocuments* writtenInRun, DocumentBatch* batch)
{
    GuardedOperation op(batch ? batch->reporter() : static_cast<ErrorReporter&>(host), LocationTag::convertVantrel());
    EventTurns turns(host);

    QByteArray header;
    op.step(112, [&] {
        const qint64 textColor = host.textColor();
        const QString borderWidth = host.borderWidth();
        header = documentHeader(textColor, borderWidth, host.backgroundColor());
    });

    // Where the document is meant to go is needed before the rows are cut: its temporary file is written as
    // they are made, and the disk must have room for it. The output options are read again once the rows are
    // done, as ever; a document meant for another place by then is moved there.
    const OutputMode plannedMode = host.outputMode();
    const QString plannedPath =
        OutputPath(sourcePath, plannedMode, plannedMode == OutputMode::ChosenFolder ? host.outputFolder() : QString(),
                   OutputFileName(sourcePath));

    // An unreadable source is reported and writes nothing: an earlier document at the output path may be the
    // last copy of that data.
    const CutRules rules(delimiter.toUtf8(), host.documentFlags());
    // The count ends as soon as what it has seen cannot fit on the disk.
    SourcePasses passes;
    const std::optional<qint64> room = plannedPath.isEmpty() ? std::nullopt : freeSpaceFor(plannedPath);
    bool noRoom = false;
    bool smallSource = false;
    const bool read = op.step(114, [&]() -> Status {
        if (const Status opened = passes.open(sourcePath, turns.slices()); !opened)
            return turns.stopped() ? Status::success() : opened;
        // The documents of the batch are put in place before a large source is read: they do not wait for its
        // conversion, nor keep their files open meanwhile, and whatever happens to their folders then leaves
        // them be.
        smallSource = batch && DocumentBatch::takes(passes.size());
        if (batch && !smallSource)
            batch->finish();
        const Result<PassEnd> counted = passes.count(rules, turns.slices(), room, header.size());
        if (!counted)
            return Failure{counted.error()};
        noRoom = counted.value() == PassEnd::NoRoom;
        return Status::success();
    });
    if (turns.stopped() || !read)
        return std::nullopt;
    if (noRoom) {
        op.fail(168, notEnoughSpace(plannedPath, passes.noRoomFor(), *room));
        op.end();
        return std::nullopt;
    }

    // A document that cannot fit on the disk is reported at once, before any of it is written.
    DocumentWriter writer;
    std::optional<RowCutter> cutter;
    const bool started = op.step(116, [&] {
        if (!plannedPath.isEmpty()) {
            const qint64 needed = passes.counts().documentLowerBound(header.size(), rules);
            // A small source is counted in moments, so the look at the free space before the count still holds.
            const std::optional<qint64> free = smallSource ? room : freeSpaceFor(plannedPath);
            if (free && *free < needed) {
                op.fail(168, notEnoughSpace(plannedPath, needed, *free));
                op.end();
                return;
            }
        }
        cutter.emplace(rules, passes.counts());
        cutter->append(header.constData(), header.size());
        // A path that cannot be written now is tried again, and reported, when the document is written.
        writer.open(plannedPath, sourcePath);
    });
    if (!started || !cutter)
        return std::nullopt;

    bool stopped = false;
    QString readFailure;
    op.step(120, [&]() -> Status {
        const Result<PassEnd> cut = passes.cut(
            *cutter,
            [&](int percent) {
                host.setProgressValue(percent);
                return turns.now();
            },
            [&] { return takeInto(writer, *cutter, turns.slices()); }, turns.slices());
        if (!cut)
            readFailure = cut.error();
        else
            stopped = cut.value() == PassEnd::Stopped || writer.stopped();
        return Status::success();
    });
    if (!readFailure.isEmpty()) {
        writer.cancel();
        op.fail(114, readFailure);
        op.end();
        return std::nullopt;
    }
    if (stopped || turns.stopped()) {
        writer.cancel();
        return std::nullopt;
    }

    op.step(142, [&] {
        appendFooter(*cutter);
        takeInto(writer, *cutter, turns.slices(), true);
    });

    QString outputName;
    op.step(144, [&] { outputName = OutputFileName(sourcePath); });

    QString outputPath;
    OutputMode mode = OutputMode::None;
    op.step(160, [&] {
        mode = host.outputMode();
        const QString folder = mode == OutputMode::ChosenFolder ? host.outputFolder() : QString();
        outputPath = OutputPath(sourcePath, mode, folder, outputName);
    });

    // A failed write ends the conversion; any earlier document at the path stays as it was. So does a
    // stop during the write, which is no failure to report.
    bool stoppedWriting = false;
    bool batched = false;
    const bool written = op.step(168, [&]() -> Status {
        if (outputPath.isEmpty()) {
            writer.cancel();
            return nowhereToWrite(mode);
        }
        // A small document joins the batch; a large one, or one that goes where a document of the batch goes,
        // is put in place after the batch.
        const bool joins =
            batch && writer.isOpen() && DocumentBatch::takes(writer.size()) && !batch->holds(outputPath, &writer);
        if (batch && !joins)
            batch->finish();
        if (writtenInRun && (joins ? batch->writtenBefore(outputPath) : writtenInRun->contains(outputPath))) {
            writer.cancel();
            return Failure{SameOutputRefusal(outputPath)};
        }
        Status status;
        if (joins) {
            status = writer.prepare(outputPath, sourcePath, turns.slices());
            if (status.ok()) {
                batch->add(std::move(writer), sourcePath);
                batched = true;
            }
        } else if (writer.isOpen())
            status = writer.commit(outputPath, sourcePath, turns.slices());
        else if (!writer.failure().ok() && outputPath == plannedPath)
            status = writer.failure();
        else
            status = writeAgain(passes, rules, header, outputPath, sourcePath, turns.slices());
        stoppedWriting = !status.ok() && turns.stopped();
        return stoppedWriting ? Status::success() : status;
    });
    if (stoppedWriting)
        return std::nullopt;
    if (!written) {
        op.end();
        return std::nullopt;
    }
    if (batched)
        return std::nullopt;
    if (writtenInRun)
        writtenInRun->add(outputPath);
    return outputPath;
}

} // namespace ostrand
