// SPDX-License-Identifier: MIT
#include "cli/ConverterArguments.h"

#include <algorithm>
#include <iterator>
#include <utility>

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

const std::pair<QLatin1String, DelimiterOption> kDelimiterSwitches[] = {
    {QLatin1String("--comma"), DelimiterOption::Comma},
    {QLatin1String("--comma-space"), DelimiterOption::CommaSpace},
    {QLatin1String("--semicolon"), DelimiterOption::Semicolon},
    {QLatin1String("--tab"), DelimiterOption::Tab},
};

const QLatin1String kValueOptions[] = {
    QLatin1String("--other"),      QLatin1String("--border"),
    QLatin1String("--text-color"), QLatin1String("--background-color"),
    QLatin1String("--output-dir"), QLatin1String("--extension"),
};

// Sets a switch; false when there is no such switch.
bool applySwitch(ConverterArguments& parsed, const QString& name)
{
    for (const auto& [option, delimiter] : kDelimiterSwitches) {
        if (name == option) {
            parsed.delimiterOption = delimiter;
            return true;
        }
    }
    if (name == QLatin1String("--next-to-source"))
        parsed.outputMode = OutputMode::SourceFolder;
    else if (name == QLatin1String("--saved-settings"))
        parsed.savedSettings = true;
    else if (name == QLatin1String("--quiet"))
        parsed.quiet = true;
    else if (name == QLatin1String("--help"))
        parsed.help = true;
    else if (name == QLatin1String("--version"))
        parsed.version = true;
    else
        return false;
    return true;
}

// Sets an option that takes a value; a description when the value is bad.
QString applyValue(ConverterArguments& parsed, const QString& name, const QString& value)
{
    if (name == QLatin1String("--other")) {
        parsed.delimiterOption = DelimiterOption::Other;
        parsed.otherText = value;
    } else if (name == QLatin1String("--border")) {
        parsed.borderWidth = value;
    } else if (name == QLatin1String("--output-dir")) {
        parsed.outputMode = OutputMode::ChosenFolder;
        parsed.outputFolder = value;
    } else if (name == QLatin1String("--extension")) {
        parsed.extension = value;
    } else {
        const Result<qint64> color = parseColor(value);
        if (!color)
            return color.error();
        (name == QLatin1String("--text-color") ? parsed.textColor : parsed.backgroundColor) = color.value();
    }
    return QString();
}

bool takesValue(const QString& name)
{
    return std::find(std::begin(kValueOptions), std::end(kValueOptions), name) != std::end(kValueOptions);
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
        if (!takesValue(name)) {
            if (!applySwitch(parsed, name))
                return Failure{QStringLiteral("unknown option '%1'").arg(argument)};
            if (equals >= 0)
                return Failure{QStringLiteral("option '%1' takes no value").arg(name)};
            continue;
        }
        QString value;
        if (equals >= 0)
            value = argument.mid(equals + 1);
        else if (i + 1 < arguments.size())
            value = arguments.at(++i); // taken whatever it looks like: "--other --" is a valid delimiter
        else
            return Failure{QStringLiteral("option '%1' needs a value").arg(name)};
        const QString problem = applyValue(parsed, name, value);
        if (!problem.isEmpty())
            return Failure{QStringLiteral("option '%1': %2").arg(name, problem)};
    }
    return parsed;
}

} // namespace ostrand
