// SPDX-License-Identifier: MIT
#include "core/convert/ConvertVantrel.h"

#include "core/app/GuardedOperation.h"
#include "core/convert/HtmlDocument.h"
#include "core/convert/OutputFile.h"
#include "core/convert/SourceText.h"

namespace ostrand {

namespace {

Status noDocument()
{
    return Failure{QStringLiteral("The document could not be started")};
}

} // namespace

std::optional<QString> ConvertVantrel(ConversionHost& host, const QString& sourcePath, const QString& delimiter)
{
    GuardedOperation op(host, LocationTag::convertVantrel());

    QByteArray header;
    op.step(112, [&] {
        const qint64 textColor = host.textColor();
        const QString borderWidth = host.borderWidth();
        header = documentHeader(textColor, borderWidth, host.backgroundColor());
    });

    // An unreadable source is reported and counts as empty text: the document still gets its header and footer.
    QByteArray text;
    op.step(114, [&]() -> Status {
        Result<QByteArray> read = ReadCSVText(sourcePath);
        if (!read)
            return Failure{read.error()};
        text = std::move(read.value());
        return Status::success();
    });

    std::optional<HtmlDocument> document;
    op.step(116, [&] { document.emplace(header, text, delimiter.toUtf8()); });

    bool stopped = false;
    op.step(120, [&]() -> Status {
        if (!document)
            return noDocument();
        stopped = !document->appendRows([&host](int percent) {
            host.setProgressValue(percent);
            host.yieldToEvents();
            return !host.stopRequested();
        });
        return Status::success();
    });
    if (stopped)
        return std::nullopt;
    text = QByteArray();

    op.step(142, [&]() -> Status {
        if (!document)
            return noDocument();
        document->appendFooter();
        return Status::success();
    });

    QString outputName;
    op.step(144, [&] { outputName = OutputFileName(sourcePath); });

    QString outputPath;
    op.step(160, [&] {
        const OutputMode mode = host.outputMode();
        const QString folder = mode == OutputMode::ChosenFolder ? host.outputFolder() : QString();
        outputPath = OutputPath(sourcePath, mode, folder, outputName);
    });

    // A failed write ends the conversion; any earlier document at the path stays as it was.
    const bool written = op.step(168, [&]() -> Status {
        if (!document)
            return noDocument();
        return writeDocument(outputPath, document->takeFileBytes(), sourcePath);
    });
    if (!written) {
        op.end();
        return std::nullopt;
    }
    return outputPath;
}

} // namespace ostrand
