// SPDX-License-Identifier: MIT
#include "cli/ConverterCommand.h"

#include <memory>

#include <QSettings>

#include "cli/ConverterArguments.h"
#include "cli/ConverterHost.h"
#include "core/common/Paths.h"
#include "core/convert/ConversionRun.h"
#include "core/filelist/FolderExpansion.h"
#include "core/settings/SettingsStore.h"

namespace ostrand {

namespace {

constexpr int kAllWritten = 0;
constexpr int kFailures = 1;
constexpr int kBadUsage = 2;
constexpr int kStopped = 130;

const QString kProgram = QStringLiteral("ostrand-convert");

void say(QTextStream& err, const QString& text)
{
    err << kProgram << ": " << text << '\n';
    err.flush();
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

private:
    ConverterHost& m_host;
    const std::atomic<bool>& m_stop;
};

// The choices the desktop program saved, as its window restores them: the last selected option button of a
// group stays selected. A stored value that cannot be read is named on stderr and its default used.
ConverterHost::Choices savedChoices(QTextStream& err)
{
    const std::unique_ptr<QSettings> settings = SettingsStore::openUserSettings();
    const SettingsStore store(*settings);
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
    return choices;
}

} // namespace

std::atomic<bool> ConverterCommand::s_stopRequested{false};

ConverterCommand::ConverterCommand(bool stderrIsTerminal) : m_stderrIsTerminal(stderrIsTerminal)
{
}

void ConverterCommand::requestStop() noexcept
{
    s_stopRequested = true;
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

    const ConverterHost::Choices choices = choicesFor(args, err);
    if (choices.options.OutputMode != OutputMode::SourceFolder && !IsFolder(choices.options.OutputFolder)) {
        err << "Folder does not exist. Please select another folder.\n";
        err.flush();
        return kBadUsage;
    }

    s_stopRequested = false;
    ConverterHost host(choices, out, err, m_stderrIsTerminal && !args.quiet, s_stopRequested);
    // A folder PATH stands for the files of its tree, as a folder dropped on the file list does.
    FolderScanHost scanHost(host, s_stopRequested);
    const QString pattern = args.extension ? PatternForExtension(*args.extension) : EveryFilePattern();
    for (const QString& path : args.paths) {
        if (s_stopRequested)
            break;
        if (IsFolder(path))
            host.appendEntries(CollectFilesInTree(path, pattern, scanHost));
        else
            host.appendEntries({path});
    }
    if (host.entryCount() == 0 && !s_stopRequested)
        say(err, QStringLiteral("no files to convert in the given folders"));
    if (host.entryCount() > 0 && !s_stopRequested) {
        bool converting = false;
        RunConversion(host, converting);
        host.clearProgress();
    }

    if (s_stopRequested)
        return kStopped;
    if (!host.refusal().isEmpty())
        return kBadUsage;
    return host.failures() == 0 ? kAllWritten : kFailures;
}

} // namespace ostrand
