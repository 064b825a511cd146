// SPDX-License-Identifier: MIT
#include "core/convert/ConversionRun.h"

#include "core/app/GuardedOperation.h"
#include "core/common/Paths.h"
#include "core/convert/ConvertVantrel.h"
#include "core/convert/RunEntries.h"
#include "core/convert/RunReports.h"
#include "core/convert/save/DocumentBatch.h"
#include "core/options/Delimiter.h"

namespace ostrand {

namespace {

// Clears the run flag on every way out of an accepted click.
class ConvertingFlag
{
public:
    explicit ConvertingFlag(bool& flag) : m_flag(flag) { m_flag = true; }
    ~ConvertingFlag() { m_flag = false; }
    ConvertingFlag(const ConvertingFlag&) = delete;
    ConvertingFlag& operator=(const ConvertingFlag&) = delete;

private:
    bool& m_flag;
};

} // namespace

void RunConversion(RunHost& host, bool& Converting)
{
    if (Converting)
        return;
    // The small documents of the run are made durable in batches; each is put in place, and listed, once its
    // bytes are on the disk, in the order of the list.
    WrittenDocuments writtenInRun;
    RunReports reports(host, &writtenInRun);
    DocumentBatch batch(reports, writtenInRun, [&host](const QString& path) { host.documentWritten(path); });
    GuardedOperation op(batch.reporter(), LocationTag::pushButton2());
    const ConvertingFlag running(Converting);

    if (!op.test(104, [&] { return host.entryCount() > 0; })) {
        op.step(154, [&] { host.showMessage(QStringLiteral("You forgot to add CSV files.")); });
        return;
    }
    const bool folderUsable =
        op.test(106, [&] { return host.outputMode() == OutputMode::SourceFolder || IsFolder(host.outputFolder()); });
    if (!folderUsable) {
        op.step(152, [&] { host.showMessage(QStringLiteral("Folder does not exist. Please select another folder.")); });
        return;
    }

    op.step(108, [&] { host.setBusyPointer(true); });
    // The entries of the list now are the run's, each converted once however the user reorders them meanwhile; no
    // document of the run ever replaces one of their sources.
    RunEntries listed;
    op.step(110, [&] {
        listed.start(host);
        for (qsizetype i = 1; i <= listed.count(); ++i)
            writtenInRun.addSource(host.entry(i), host.entryIdentity(i));
    });

    for (qsizetype i = 1; i <= listed.count(); ++i) {
        op.step(112, [&]() -> Status {
            const qsizetype entries = host.entryCount();
            if (entries <= 0)
                return Failure{QStringLiteral("Division by zero")};
            host.setProgressValue(static_cast<int>(qMin<qsizetype>(i * 100 / entries, 100)));
            return Status::success();
        });
        // An entry that is gone (the list shrank during the run) is reported and skipped.
        QString sourcePath;
        const bool haveEntry = op.step(114, [&]() -> Status {
            const qsizetype index = listed.takeNext(host);
            if (index == 0)
                return Failure{QStringLiteral("Subscript out of range")};
            sourcePath = host.entry(index);
            return Status::success();
        });
        if (!haveEntry)
            continue;
        op.step(116, [&] { host.setProgressText(QStringLiteral("Processing: ") + FileNameOf(sourcePath)); });
        op.step(118, [&] { host.yieldToEvents(); });
        if (host.stopRequested())
            break;

        QString delimiter;
        op.step(120, [&] {
            const DelimiterOption option = host.delimiterOption();
            delimiter =
                ResolveDelimiter(option, option == DelimiterOption::Other ? host.otherDelimiterText() : QString());
        });
        op.step(140, [&] {
            reports.converting(sourcePath);
            if (const auto written = ConvertVantrel(reports, sourcePath, delimiter, &writtenInRun, &batch))
                host.documentWritten(*written);
            batch.advance();
        });
        if (host.stopRequested())
            break;
    }
    // A stop finishes the batch too: the documents converted before it are put in place, and no temporary file
    // stays behind.
    batch.finish();

    op.step(144, [&] { host.setBusyPointer(false); });
    if (host.stopRequested())
        return;
    op.step(146, [&] { host.setProgressValue(0); });
    op.step(148, [&] { host.setProgressText(QStringLiteral("Progress Bar")); });
    // The reports that were gathered rather than shown are told of in one report, before the end.
    op.step(150, [&] {
        if (const auto summary = reports.summary())
            host.ReportError(summary->description, summary->tag, summary->line);
    });
    op.step(150, [&] { host.showMessage(QStringLiteral("Done.")); });
}

} // namespace ostrand
