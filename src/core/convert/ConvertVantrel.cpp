// SPDX-License-Identifier: MIT
#include "core/convert/ConvertVantrel.h"

#include <QElapsedTimer>

#include "core/app/GuardedOperation.h"
#include "core/convert/HtmlDocument.h"
#include "core/convert/LargeBuffer.h"
#include "core/convert/OutputFile.h"
#include "core/convert/SourceText.h"

namespace ostrand {

namespace {

constexpr qint64 kSliceMs = 10;

Status noDocument()
{
    return Failure{QStringLiteral("The document could not be started")};
}

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

} // namespace

std::optional<QString> ConvertVantrel(ConversionHost& host, const QString& sourcePath, const QString& delimiter,
                                      WrittenDocuments* writtenInRun)
{
    GuardedOperation op(host, LocationTag::convertVantrel());
    EventTurns turns(host);

    QByteArray header;
    op.step(112, [&] {
        const qint64 textColor = host.textColor();
        const QString borderWidth = host.borderWidth();
        header = documentHeader(textColor, borderWidth, host.backgroundColor());
    });

    // An unreadable source is reported and writes nothing: an earlier document at the output path may be
    // the last copy of that data.
    QByteArray text;
    const bool read = op.step(114, [&]() -> Status {
        Result<QByteArray> read = ReadCSVText(sourcePath, turns.slices());
        if (turns.stopped())
            return Status::success();
        if (!read)
            return Failure{read.error()};
        text = std::move(read.value());
        return Status::success();
    });
    if (turns.stopped() || !read)
        return std::nullopt;

    // A document that cannot be built (no memory for it) is reported once and nothing is written.
    std::optional<HtmlDocument> document;
    const bool started = op.step(116, [&] {
        document = HtmlDocument::start(header, text, delimiter.toUtf8(), turns.slices(), host.documentFlags());
    });
    if (turns.stopped() || !started)
        return std::nullopt;

    bool stopped = false;
    const bool built = op.step(120, [&]() -> Status {
        if (!document)
            return noDocument();
        stopped = !document->appendRows([&](int percent) {
            host.setProgressValue(percent);
            return turns.now();
        });
        return Status::success();
    });
    if (stopped || !built)
        return std::nullopt;
    // The document no longer needs the text: its memory goes back before the document is written.
    releaseLargeBuffer(text, turns.slices());

    op.step(142, [&]() -> Status {
        if (!document)
            return noDocument();
        document->appendFooter();
        return Status::success();
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
    const bool written = op.step(168, [&]() -> Status {
        if (!document)
            return noDocument();
        if (outputPath.isEmpty())
            return nowhereToWrite(mode);
        if (writtenInRun && writtenInRun->contains(outputPath))
            return Failure{QStringLiteral("Cannot write %1: A document of an earlier entry of this run was written "
                                          "there, and it is kept")
                               .arg(outputPath)};
        QByteArray bytes = document->takeFileBytes();
        const Status status = writeDocument(outputPath, bytes, sourcePath, turns.slices());
        stoppedWriting = !status.ok() && turns.stopped();
        releaseLargeBuffer(bytes, turns.slices());
        return stoppedWriting ? Status::success() : status;
    });
    if (stoppedWriting)
        return std::nullopt;
    if (!written) {
        op.end();
        return std::nullopt;
    }
    if (writtenInRun)
        writtenInRun->add(outputPath);
    return outputPath;
}

} // namespace ostrand
