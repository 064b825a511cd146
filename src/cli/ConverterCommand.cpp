// SPDX-License-Identifier: MIT
#include "cli/ConverterCommand.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include <QFileInfo>
#include <QSettings>

#include "cli/ConverterArguments.h"
#include "cli/StandardStreams.h"
#include "cli/TerminalText.h"
#include "core/common/CountedText.h"
#include "core/common/NameBytes.h"
#include "core/common/Paths.h"
#include "core/common/SystemText.h"
#include "core/convert/ConversionRun.h"
#include "core/convert/ConvertStream.h"
#include "core/filelist/FolderExpansion.h"
#include "core/options/Delimiter.h"
#include "core/settings/SettingsStore.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace ostrand {

namespace {

constexpr int kAllWritten = 0;
constexpr int kFailures = 1;
constexpr int kBadUsage = 2;
constexpr int kSignalBase = 128;
constexpr int kStdinDescriptor = 0;
constexpr int kStdoutDescriptor = 1;

const QString kProgram = QStringLiteral("ostrand-convert");

void say(QTextStream& err, const QString& text)
{
    err << kProgram << ": " << text << '\n';
    err.flush();
}

// Why an explicit PATH names nothing: the system's description, or an empty text when it exists.
// What a PATH names: why nothing can be read there, or whether it is a folder (links followed), in one look.
struct PathKind
{
    QString missingReason; // "" when the path names something
    bool folder = false;
    std::optional<FileIdentity> identity; // of what it names, where the look tells
};

PathKind lookAt(const QString& path)
{
    if (path.isEmpty())
        return {systemErrorText(ENOENT), false, {}};
#ifdef Q_OS_UNIX
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        const int error = errno;
        const QString undecodable = error == ENOENT ? UndecodableNameReason(path) : QString();
        return {undecodable.isEmpty() ? systemErrorText(error) : undecodable, false, {}};
    }
    return {QString(), S_ISDIR(info.st_mode), FileIdentity{quint64(info.st_dev), quint64(info.st_ino)}};
#else
    if (!QFileInfo::exists(path))
        return {systemErrorText(ENOENT), false, {}};
    return {QString(), IsFolder(path), {}};
#endif
}

int usageError(QTextStream& err, const QString& text)
{
    say(err, text);
    err << "Try '" << kProgram << " --help' for more information.\n";
    err.flush();
    return kBadUsage;
}

// The folder scan's host: its failures are reported like the conversion's, and an interrupt stops it.
class FolderScanHost : public ScanHost
{
public:
    FolderScanHost(ConverterHost& host, const std::atomic<bool>& stop) : m_host(host), m_stop(stop) {}
    void ReportError(const QString& description, const QString& tag, int line) override
    {
        m_host.ReportError(description, tag, line);
    }
    void yieldToEvents() override {}
    bool stopRequested() const override { return m_stop; }
    void namesNotValidUtf8(const QString& folder, int count) override
    {
        m_host.reportFailure(folder, CountedFiles(count) + QStringLiteral(" left out: the name is not valid UTF-8"));
        m_skipped += count;
    }
    // The files the scan left out, for the summary.
    int skipped() const { return m_skipped; }

private:
    ConverterHost& m_host;
    const std::atomic<bool>& m_stop;
    int m_skipped = 0;
};

// The choices the desktop program saved, as its window restores them: the last selected option button of a
// group stays selected. A stored value that cannot be read is named on stderr and its default used.
ConverterHost::Choices savedChoices(QTextStream& err)
{
    const std::unique_ptr<QSettings> settings = SettingsStore::openUserSettings();
    const SettingsStore store(*settings);
    if (const QString reason = store.unreadableReason(); !reason.isEmpty())
        say(err, QStringLiteral("cannot read the saved settings %1: %2; using the defaults")
                     .arg(store.shownFileName(), reason));
    const auto yesNo = [&](const QString& key) {
        const SettingDefault* entry = findSettingDefault(key);
        const bool fallback = entry && entry->defaultText == QLatin1String("1");
        const Result<bool> value = store.readYesNo(key, fallback);
        if (value)
            return value.value();
        say(err, QStringLiteral("saved setting \"%1\": %2").arg(key, value.error()));
        return fallback;
    };
    const auto color = [&](const QString& key) {
        const qint64 fallback = findSettingDefault(key)->defaultText.toLongLong();
        const Result<qint64> value = SettingsStore::parseColorNumber(store.read(key));
        if (value)
            return value.value();
        say(err, QStringLiteral("saved setting \"%1\": %2").arg(key, value.error()));
        return fallback;
    };

    ConverterHost::Choices choices;
    choices.delimiterOption = DelimiterOption::None;
    const QString delimiterKeys[] = {SettingKey::option1(), SettingKey::option2(), SettingKey::option3(),
                                     SettingKey::option4(), SettingKey::option5()};
    for (int i = 0; i < 5; ++i) {
        if (yesNo(delimiterKeys[i]))
            choices.delimiterOption = static_cast<DelimiterOption>(i + 1);
    }
    choices.otherText = store.read(SettingKey::other());
    choices.options.BorderWidth = store.read(SettingKey::borderWidth());
    choices.options.TextColor = color(SettingKey::textColor());
    choices.options.BackgroundColor = color(SettingKey::backgroundColor());
    choices.options.OutputMode = OutputMode::None;
    if (yesNo(SettingKey::option6()))
        choices.options.OutputMode = OutputMode::ChosenFolder;
    if (yesNo(SettingKey::option7()))
        choices.options.OutputMode = OutputMode::SourceFolder;
    choices.options.OutputFolder = store.read(SettingKey::outputFolder());
    return choices;
}

// The defaults (or the saved choices) with every option the command line gives laid over them.
ConverterHost::Choices choicesFor(const ConverterArguments& arguments, QTextStream& err)
{
    ConverterHost::Choices choices = arguments.savedSettings ? savedChoices(err) : ConverterHost::Choices{};
    if (arguments.delimiterOption) {
        choices.delimiterOption = *arguments.delimiterOption;
        choices.otherText = arguments.otherText;
    }
    if (arguments.borderWidth)
        choices.options.BorderWidth = *arguments.borderWidth;
    if (arguments.textColor)
        choices.options.TextColor = *arguments.textColor;
    if (arguments.backgroundColor)
        choices.options.BackgroundColor = *arguments.backgroundColor;
    if (arguments.outputMode) {
        choices.options.OutputMode = *arguments.outputMode;
        choices.options.OutputFolder = arguments.outputFolder;
    }
    choices.options.Flags = arguments.flags;
    return choices;
}

} // namespace

std::atomic<bool> ConverterCommand::s_stopRequested{false};
std::atomic<int> ConverterCommand::s_stopSignal{0};

ConverterCommand::ConverterCommand(ConverterTerminal terminal) : m_terminal(std::move(terminal))
{
}

void ConverterCommand::requestStop(int signal) noexcept
{
    s_stopSignal = signal;
    s_stopRequested = true;
}

int ConverterCommand::stoppedStatus()
{
    return kSignalBase + s_stopSignal;
}

int ConverterCommand::run(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const Result<ConverterArguments> parsed = parseConverterArguments(arguments);
    if (!parsed)
        return usageError(err, parsed.error());
    const ConverterArguments& args = parsed.value();
    if (args.help) {
        out << converterUsage();
        out.flush();
        return kAllWritten;
    }
    if (args.version) {
        out << kProgram << ' ' << QStringLiteral(OSTRAND_VERSION) << '\n';
        out.flush();
        return kAllWritten;
    }
    if (args.paths.isEmpty())
        return usageError(err, QStringLiteral("no PATH given"));

    ConverterHost::Choices choices = choicesFor(args, err);
    const QString delimiter = ResolveDelimiter(choices.delimiterOption, choices.otherText);
    if (args.flags.rfc4180 && delimiter.contains(QLatin1Char('"')))
        return usageError(err, QStringLiteral("option '--rfc4180' cannot be used with a delimiter that holds '\"'"));
    const bool standardInput = args.paths == QStringList{standardStreamPath()};
    if (standardInput)
        choices.options.OutputMode = OutputMode::SourceFolder; // the document goes to stdout, never to a folder
    if (choices.options.OutputMode != OutputMode::SourceFolder) {
        // The output folder is looked at once, before anything is converted, and named with the system's reason.
        const QString folder = choices.options.OutputFolder;
        const PathKind kind = lookAt(folder);
        if (!kind.missingReason.isEmpty() || !kind.folder) {
            // A name read from bytes that are not valid UTF-8 (given with -o, or the home folder's) names no folder.
            if (const QByteArray bytes = UndecodedBytesOf(folder, m_argumentBytes + QList<QByteArray>{qgetenv("HOME")});
                !bytes.isEmpty()) {
                say(err,
                    ShownName(bytes) + QStringLiteral(": The folder's name is not valid UTF-8, so the folder cannot be "
                                                      "reached by it. Please select another folder."));
                return kBadUsage;
            }
            const QString reason = kind.missingReason.isEmpty() ? systemErrorText(ENOTDIR) : kind.missingReason;
            say(err, (m_terminal.stderrIsTerminal || folder.isEmpty() ? quotedForTerminal(folder) : folder) +
                         QStringLiteral(": ") + reason);
            return kBadUsage;
        }
    }

    s_stopRequested = false;
    ConverterOutput output;
    output.showProgress = m_terminal.stderrIsTerminal && !args.quiet;
    output.fullReports = args.fullReports;
    output.nullEnded = args.nullEnded;
    ConverterHost host(choices, out, err, m_terminal, output, s_stopRequested);
    host.setArgumentBytes(m_argumentBytes);
    if (standardInput)
        return convertStandardInput(host, out);

    // A folder PATH stands for the files of its tree, as a folder dropped on the file list does; a PATH that
    // names nothing is a failure of its own and writes nothing.
    FolderScanHost scanHost(host, s_stopRequested);
    const QString pattern = args.extension ? PatternForExtension(*args.extension) : EveryFilePattern();
    bool foldersGiven = false;
    for (const QString& path : args.paths) {
        if (s_stopRequested)
            break;
        const PathKind kind = lookAt(path);
        if (!kind.missingReason.isEmpty()) {
            host.reportFailure(path, kind.missingReason);
        } else if (kind.folder) {
            foldersGiven = true;
            host.setSubject(path);
            host.appendEntries(CollectFilesInTree(path, pattern, scanHost));
        } else {
            host.appendEntry(path, kind.identity);
        }
    }
    if (host.entryCount() == 0 && foldersGiven && !s_stopRequested)
        host.say(QStringLiteral("no files to convert in the given folders"));
    if (host.entryCount() > 0 && !s_stopRequested) {
        bool converting = false;
        RunConversion(host, converting);
        host.clearProgress();
    }

    if (s_stopRequested)
        return stoppedStatus();
    if (!host.refusal().isEmpty())
        return kBadUsage;
    if (scanHost.skipped() > 0)
        host.say(CountedFiles(scanHost.skipped()) +
                 QStringLiteral(" of the given folders skipped: the name is not valid UTF-8"));
    return host.failures() == 0 ? kAllWritten : kFailures;
}

// "-": the CSV comes from standard input and its document goes to standard output.
int ConverterCommand::convertStandardInput(ConverterHost& host, QTextStream& out)
{
    const QString path = standardStreamPath();
    for (const auto& [closed, stream] :
         {std::pair{m_terminal.stdinClosed, "input"}, {m_terminal.stdoutClosed, "output"}}) {
        if (closed) {
            host.reportFailure(path, QStringLiteral("standard %1 was closed").arg(QLatin1String(stream)));
            return kFailures;
        }
    }
    // As cat does: a document appended to, or written over, the file it is made from would grow or destroy it.
    if (sameRegularFile(kStdinDescriptor, kStdoutDescriptor)) {
        host.reportFailure(path, QStringLiteral("input file is output file"));
        return kFailures;
    }
    if (m_terminal.stdinIsTerminal)
        host.say(QStringLiteral("reading CSV from the terminal; end it with Ctrl-D on a line of its own"));
    // The stream is read once into a file of its own, then converted through the same passes as a file; the
    // document goes out as it is made. Memory the system cannot give ends the conversion with a report.
    Status converted;
    try {
        converted = convertStream(host, out);
    } catch (const std::bad_alloc&) {
        converted = Failure{QStringLiteral("Cannot convert standard input: %1").arg(systemErrorText(ENOMEM))};
    }
    host.clearProgress();
    if (s_stopRequested)
        return stoppedStatus();
    if (!converted) {
        host.reportFailure(path, converted.error());
        return kFailures;
    }
    return kAllWritten;
}

Status ConverterCommand::convertStream(ConverterHost& host, QTextStream& out)
{
    SourcePasses passes;
    // While the input is kept, nothing is written yet: a reader of the document that has gone is looked for
    // between slices, so that an endless input is not kept for nobody.
    bool readerLeft = false;
    const SliceBreak stop = [&readerLeft] {
        readerLeft = !s_stopRequested && readerGone(kStdoutDescriptor);
        return !s_stopRequested && !readerLeft;
    };
    if (const Status opened = passes.openStream(kStdinDescriptor, QStringLiteral("standard input"), stop); !opened) {
        if (readerLeft)
            return endForGoneReader();
        return opened.error().isEmpty() ? Status::success() : opened;
    }
    host.appendEntries({standardStreamPath()});
    host.entry(1);
    // The document goes straight to standard output as it is made, past the text stream (flushed first).
    Status written;
    const DocumentRows::Take put = [&](QByteArrayView bytes) {
        written = writeWholeStream(kStdoutDescriptor, bytes, s_stopRequested);
        return written.ok() && !s_stopRequested;
    };
    out.flush();
    const Status converted =
        ConvertStream(host, passes, ResolveDelimiter(host.delimiterOption(), host.otherDelimiterText()), put);
    return converted.ok() ? written : converted;
}

} // namespace ostrand
