// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QString>

#include "core/app/ErrorReport.h"
#include "core/convert/save/FileSystem.h"

namespace ostrand {

// Where the documents go.
enum class OutputMode {
    None, // neither option selected: the output path is empty and the write fails
    ChosenFolder,
    SourceFolder
};

// How a document treats the text of its fields. Both are off unless asked for: the desktop program never sets
// them, so its documents are always cut and copied as they stand.
struct DocumentFlags
{
    bool escapeHtml = false; // & < > " ' in a field become entities
    bool rfc4180 = false;    // quoted fields as RFC 4180 defines them
};

// A snapshot of the values one file's conversion reads. The desktop program never keeps one: it reads its
// controls through ConversionHost at the moment of use. The converter and tests fill one from arguments.
struct ConversionOptions
{
    QString Delimiter = QStringLiteral(",");
    QString BorderWidth = QStringLiteral("1");
    qint64 TextColor = 0;
    qint64 BackgroundColor = 16777215;
    ostrand::OutputMode OutputMode = ostrand::OutputMode::SourceFolder;
    QString OutputFolder;
    DocumentFlags Flags;
};

// What one file's conversion asks of the program that runs it. Each option is read at the moment the
// conversion reaches it: the appearance while building the header, the output after the body is complete.
class ConversionHost : public ErrorReporter
{
public:
    virtual QString borderWidth() = 0;
    virtual qint64 textColor() = 0;
    virtual qint64 backgroundColor() = 0;
    virtual OutputMode outputMode() = 0;
    virtual QString outputFolder() = 0;
    // Read when the document is started; the window keeps the plain document.
    virtual DocumentFlags documentFlags() { return {}; }

    // The share of the current file's lines handled so far, 0 to 100.
    virtual void setProgressValue(int value) = 0;
    // Lets pending window events run; called about every 10 ms of work, not for every line.
    virtual void yieldToEvents() = 0;
    // True once the program is closing: the conversion stops at once and writes nothing.
    virtual bool stopRequested() { return false; }
    // The reports that follow concern the document of this source, converted earlier in the run and written
    // only now (with others, in one batch); an empty path gives them back to the entry being converted.
    virtual void reportsConcern(const QString& /*sourcePath*/) {}
};

// The delimiter option buttons, in their order of precedence (Comma first); None when none is selected.
enum class DelimiterOption { None = 0, Comma = 1, CommaSpace = 2, Semicolon = 3, Tab = 4, Other = 5 };

// What the conversion run asks of the program that runs it, on top of one file's needs. Entries are
// numbered from 1 and read live: the user may reorder them during a run, and append more.
class RunHost : public ConversionHost
{
public:
    virtual qsizetype entryCount() = 0;
    virtual QString entry(qsizetype index) = 0;
    // A number that belongs to entry index alone and stays with it wherever the user moves it (two entries of one
    // path have two). A list whose entries never move may use the index itself.
    virtual quint64 entryKey(qsizetype index) { return quint64(index); }
    // Grows each time entries change places or are removed; stays while entries are only appended.
    virtual quint64 entryMoves() { return 0; }
    // The identity of the file at entry index as the host found it when it listed the entry moments before the
    // run (none: nothing was there); nothing when the host did not look, and the run looks itself.
    virtual std::optional<std::optional<FileIdentity>> entryIdentity(qsizetype /*index*/) { return std::nullopt; }

    // The first selected delimiter option, and the free text of "Other", read just before each file.
    virtual DelimiterOption delimiterOption() = 0;
    virtual QString otherDelimiterText() = 0;

    virtual void setProgressText(const QString& text) = 0;
    // A plain message with the application title and an OK button.
    virtual void showMessage(const QString& text) = 0;
    // The hourglass while the run works, the default pointer after it.
    virtual void setBusyPointer(bool busy) = 0;
    // A document was written (the converter prints its path).
    virtual void documentWritten(const QString& /*path*/) {}
    // True when the run's reports are gathered (RunReports): the window shows a few boxes of each kind and one
    // message at the end for the rest; the converter prints every report.
    virtual bool gathersReports() { return false; }
};

} // namespace ostrand
