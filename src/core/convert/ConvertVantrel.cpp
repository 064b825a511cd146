// SPDX-License-Identifier: MIT
#include "core/convert/ConvertVantrel.h"

#include "core/app/GuardedOperation.h"
#include "core/convert/DocumentRows.h"
#include "core/convert/document/Markup.h"
#include "core/convert/pace/EventTurns.h"
#include "core/convert/save/DocumentBatch.h"
#include "core/convert/save/DocumentPlacement.h"
#include "core/convert/save/OutputPath.h"
#include "core/convert/source/SourcePasses.h"

namespace ostrand {

namespace {

// Hands the document's bytes to a writer of its own.
DocumentRows::Take into(DocumentWriter& writer, const SliceBreak& pause)
{
    return [&writer, pause](QByteArrayView bytes) { return writer.writeBehind(bytes.data(), bytes.size(), pause); };
}

// Cuts the source again into a writer for the path: the document the conversion made could not be kept for
// it (its path could not be written when the conversion began, or the options now name another place).
Status writeAgain(SourcePasses& passes, const CutRules& rules, const QByteArray& header, const QString& path,
                  const QString& sourcePath, const SliceBreak& pause)
{
    // The rows outlive the writer, which may still be writing their last bytes when it goes.
    DocumentRows rows(rules, passes.counts(), header);
    DocumentWriter writer;
    if (const Status opened = writer.open(path, sourcePath); !opened)
        return opened;
    const Result<PassEnd> cut = rows.cut(passes, {}, into(writer, pause), pause);
    if (!cut)
        return Failure{cut.error()};
    if (cut.value() == PassEnd::Complete && rows.end(into(writer, pause)))
        return writer.commit(path, sourcePath, pause);
    if (!writer.failure().ok())
        return writer.failure();
    writer.cancel();
    return Failure{QStringLiteral("Cannot write %1: The write was stopped").arg(path)};
}

// One file's conversion, step by step: the header, the count, the start of the document, its rows, its end, the
// output path, and the write.
class Conversion
{
public:
    Conversion(ConversionHost& host, const QString& sourcePath, const QString& delimiter,
               WrittenDocuments* writtenInRun, DocumentBatch* batch)
        : m_host(host), m_sourcePath(sourcePath), m_delimiter(delimiter), m_writtenInRun(writtenInRun),
          m_op(batch ? batch->reporter() : static_cast<ErrorReporter&>(host), LocationTag::convertVantrel()),
          m_turns(host), m_placement(sourcePath, writtenInRun, batch)
    {
    }

    std::optional<QString> run()
    {
        makeHeader();
        if (!countSource() || !startDocument() || !cutRows())
            return std::nullopt;
        endDocument();
        chooseOutputPath();
        return save();
    }

private:
    void makeHeader();
    bool countSource();
    bool startDocument();
    bool cutRows();
    void endDocument();
    void chooseOutputPath();
    std::optional<QString> save();

    ConversionHost& m_host;
    const QString& m_sourcePath;
    const QString& m_delimiter;
    WrittenDocuments* m_writtenInRun;
    GuardedOperation m_op;
    EventTurns m_turns;
    QByteArray m_header;
    std::optional<CutRules> m_rules;
    SourcePasses m_passes;
    // The rows outlive the placement, whose writer may still be writing their last bytes when it goes.
    std::optional<DocumentRows> m_rows;
    DocumentPlacement m_placement;
    QString m_outputPath;
    OutputMode m_mode = OutputMode::None;
};

void Conversion::makeHeader()
{
    m_op.step(112, [&] {
        const qint64 textColor = m_host.textColor();
        const QString borderWidth = m_host.borderWidth();
        m_header = documentHeader(textColor, borderWidth, m_host.backgroundColor());
    });
}

// Opens and counts the source. An unreadable source is reported and writes nothing: an earlier document at the
// output path may be the last copy of that data. The count ends as soon as what it has seen cannot fit on the
// disk.
bool Conversion::countSource()
{
    // Where the document is meant to go is needed before the rows are cut: its temporary file is written as they
    // are made, and the disk must have room for it. The output options are read again once the rows are done, as
    // ever; a document meant for another place by then is moved there.
    const OutputMode plannedMode = m_host.outputMode();
    m_placement.plan(OutputPath(m_sourcePath, plannedMode,
                                plannedMode == OutputMode::ChosenFolder ? m_host.outputFolder() : QString(),
                                OutputFileName(m_sourcePath)));
    m_rules.emplace(m_delimiter.toUtf8(), m_host.documentFlags());
    bool noRoom = false;
    const bool read = m_op.step(114, [&]() -> Status {
        if (const Status opened = m_passes.open(m_sourcePath, m_turns.slices()); !opened)
            return m_turns.stopped() ? Status::success() : opened;
        m_placement.sourceOpened(m_passes.size());
        const Result<PassEnd> counted = m_passes.count(*m_rules, m_turns.slices(), m_placement.room(), m_header.size());
        if (!counted)
            return Failure{counted.error()};
        noRoom = counted.value() == PassEnd::NoRoom;
        return Status::success();
    });
    if (m_turns.stopped() || !read)
        return false;
    if (noRoom) {
        m_op.fail(168, DocumentPlacement::notEnoughSpace(m_placement.plannedPath(), m_passes.noRoomFor(),
                                                         *m_placement.room()));
        m_op.end();
        return false;
    }
    return true;
}

// A document that cannot fit on the disk is reported at once, before any of it is written.
bool Conversion::startDocument()
{
    const bool started = m_op.step(116, [&] {
        if (const Status room = m_placement.checkRoom(m_passes.counts().documentLowerBound(m_header.size(), *m_rules));
            !room) {
            m_op.fail(168, room.error());
            m_op.end();
            return;
        }
        m_rows.emplace(*m_rules, m_passes.counts(), m_header);
        m_placement.open();
    });
    return started && m_rows;
}

// Cuts the rows into the writer. A source that cannot be read is reported and writes nothing; a stop is no
// failure to report.
bool Conversion::cutRows()
{
    bool stopped = false;
    QString readFailure;
    m_op.step(120, [&]() -> Status {
        const Result<PassEnd> cut = m_rows->cut(
            m_passes,
            [&](int percent) {
                m_host.setProgressValue(percent);
                return m_turns.now();
            },
            m_placement.take(m_turns.slices()), m_turns.slices());
        if (!cut)
            readFailure = cut.error();
        else
            stopped = cut.value() == PassEnd::Stopped || m_placement.stopped();
        return Status::success();
    });
    if (!readFailure.isEmpty()) {
        m_placement.cancel();
        m_op.fail(114, readFailure);
        m_op.end();
        return false;
    }
    if (stopped || m_turns.stopped()) {
        m_placement.cancel();
        return false;
    }
    return true;
}

void Conversion::endDocument()
{
    m_op.step(142, [&] { m_rows->end(m_placement.take(m_turns.slices())); });
}

void Conversion::chooseOutputPath()
{
    QString outputName;
    m_op.step(144, [&] { outputName = OutputFileName(m_sourcePath); });
    m_op.step(160, [&] {
        m_mode = m_host.outputMode();
        const QString folder = m_mode == OutputMode::ChosenFolder ? m_host.outputFolder() : QString();
        m_outputPath = OutputPath(m_sourcePath, m_mode, folder, outputName);
    });
}

// Puts the document at the output path. A failed write ends the conversion; any earlier document at the path
// stays as it was. So does a stop during the write, which is no failure to report.
std::optional<QString> Conversion::save()
{
    bool stoppedWriting = false;
    bool batched = false;
    const bool written = m_op.step(168, [&]() -> Status {
        const SliceBreak pause = m_turns.slices();
        const auto again = [&](const QString& path) {
            return writeAgain(m_passes, *m_rules, m_header, path, m_sourcePath, pause);
        };
        const Status status = m_placement.put(m_outputPath, m_mode, again, pause, batched);
        stoppedWriting = !status.ok() && m_turns.stopped();
        return stoppedWriting ? Status::success() : status;
    });
    if (stoppedWriting)
        return std::nullopt;
    if (!written) {
        m_op.end();
        return std::nullopt;
    }
    if (batched)
        return std::nullopt;
    if (m_writtenInRun)
        m_writtenInRun->add(m_outputPath, m_sourcePath);
    return m_outputPath;
}

} // namespace

std::optional<QString> ConvertVantrel(ConversionHost& host, const QString& sourcePath, const QString& delimiter,
                                      WrittenDocuments* writtenInRun, DocumentBatch* batch)
{
    return Conversion(host, sourcePath, delimiter, writtenInRun, batch).run();
}

} // namespace ostrand
