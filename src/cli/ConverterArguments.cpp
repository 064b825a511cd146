// SPDX-License-Identifier: MIT
#include "cli/ConverterArguments.h"

#include "core/options/ColorNumber.h"

namespace ostrand {

QString converterUsage()
{
    return QStringLiteral(
        "ostrand-convert [OPTIONS] PATH...\n"
        "  Converts each PATH into its .htm table document exactly as the desktop program's\n"
        "  \"Start Converting\" does for a file list holding the same paths.\n"
        "  PATH: a file, taken as given (no extension, existence or \"~\" test). A folder is scanned like a\n"
        "        folder dropped on the file list (every openable file of it and its usable subfolders, in\n"
        "        level order); with --extension EXT only files matching \"*.\" + EXT, like \"Add All\".\n"
        "  Delimiter, one of (default --comma):\n"
        "    --comma | --comma-space | --semicolon | --tab | --other TEXT   (TEXT may be empty or long)\n"
        "  Appearance:\n"
        "    --border TEXT               the border width, written as given (default \"1\")\n"
        "    --text-color COLOR          a colour number (red + 256*green + 65536*blue) or #RRGGBB (default 0)\n"
        "    --background-color COLOR    (default 16777215)\n"
        "  Output (default --next-to-source):\n"
        "    --output-dir DIR            every document goes into DIR; DIR must be an existing folder,\n"
        "                                otherwise \"Folder does not exist. Please select another folder.\"\n"
        "                                and exit status 2\n"
        "    --next-to-source            each document goes beside its source\n"
        "  Other:\n"
        "    --extension EXT             with folder PATHs: only files matching \"*.\" + EXT\n"
        "    --saved-settings            start from the choices the desktop program saved; options given win\n"
        "    --quiet                     no progress display\n"
        "    --help, --version\n"
        "  stdout: the path of each written document, one a line. stderr: each failure as the error report\n"
        "  text, and a progress display (files done, current file, percent) when stderr is a terminal.\n"
        "  Exit status: 0 every document written; 1 at least one failure reported; 2 bad usage (unknown\n"
        "  option, no PATH, missing output folder).\n");
}

namespace {

// One option: its name, whether a value follows it, and what it sets (a description when the value is bad).
struct OptionSpec
{
    QLatin1String name;
    bool takesValue;
    QString (*apply)(ConverterArguments& parsed, const QString& value);
};

QString setColor(std::optional<qint64>& target, const QString& value)
{
    const Result<qint64> color = parseColor(value);
    if (!color)
        return color.error();
    target = color.value();
    return QString();
}

const OptionSpec kOptions[] = {
    {QLatin1String("--comma"), false,
     [](ConverterArguments& a, const QString&) { a.delimiterOption = DelimiterOption::Comma; return QString(); }},
    {QLatin1String("--comma-space"), false,
     [](ConverterArguments& a, const QString&) { a.delimiterOption = DelimiterOption::CommaSpace; return QString(); }},
    {QLatin1String("--semicolon"), false,
     [](ConverterArguments& a, const QString&) { a.delimiterOption = DelimiterOption::Semicolon; return QString(); }},
    {QLatin1String("--tab"), false,
     [](ConverterArguments& a, const QString&) { a.delimiterOption = DelimiterOption::Tab; return QString(); }},
    {QLatin1String("--other"), true,
     [](ConverterArguments& a, const QString& v) {
         a.delimiterOption = DelimiterOption::Other;
         a.otherText = v;
         return QString();
     }},
    {QLatin1String("--border"), true, [](ConverterArguments& a, const QString& v) { a.borderWidth = v; return QString(); }},
    {QLatin1String("--text-color"), true, [](ConverterArguments& a, const QString& v) { return setColor(a.textColor, v); }},
    {QLatin1String("--background-color"), true,
     [](ConverterArguments& a, const QString& v) { return setColor(a.backgroundColor, v); }},
    {QLatin1String("--output-dir"), true,
     [](ConverterArguments& a, const QString& v) {
         a.outputMode = OutputMode::ChosenFolder;
         a.outputFolder = v;
         return QString();
     }},
    {QLatin1String("--next-to-source"), false,
     [](ConverterArguments& a, const QString&) { a.outputMode = OutputMode::SourceFolder; return QString(); }},
    {QLatin1String("--extension"), true, [](ConverterArguments& a, const QString& v) { a.extension = v; return QString(); }},
    {QLatin1String("--saved-settings"), false,
     [](ConverterArguments& a, const QString&) { a.savedSettings = true; return QString(); }},
    {QLatin1String("--quiet"), false, [](ConverterArguments& a, const QString&) { a.quiet = true; return QString(); }},
    {QLatin1String("--help"), false, [](ConverterArguments& a, const QString&) { a.help = true; return QString(); }},
    {QLatin1String("--version"), false, [](ConverterArguments& a, const QString&) { a.version = true; return QString(); }},
};

const OptionSpec* findOption(const QString& name)
{
    for (const OptionSpec& spec : kOptions) {
        if (spec.name == name)
            return &spec;
    }
    return nullptr;
}

} // namespace

Result<ConverterArguments> parseConverterArguments(const QStringList& arguments)
{
    ConverterArguments parsed;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (optionsEnded || !argument.startsWith(QLatin1String("--"))) {
            parsed.paths.append(argument);
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        const QString name = equals < 0 ? argument : argument.left(equals);
        const OptionSpec* spec = findOption(name);
        if (!spec)
            return Failure{QStringLiteral("unknown option '%1'").arg(argument)};

        QString value;
        if (!spec->takesValue) {
            if (equals >= 0)
                return Failure{QStringLiteral("option '%1' takes no value").arg(name)};
        } else if (equals >= 0) {
            value = argument.mid(equals + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments.at(++i); // taken whatever it looks like: --other -- is a valid delimiter
        } else {
            return Failure{QStringLiteral("option '%1' needs a value").arg(name)};
        }
        const QString problem = spec->apply(parsed, value);
        if (!problem.isEmpty())
            return Failure{QStringLiteral("option '%1': %2").arg(name, problem)};
    }
    return parsed;
}

} // namespace ostrand
