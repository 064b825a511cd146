// SPDX-License-Identifier: MIT
#include "cli/ConverterArguments.h"

#include <QCommandLineParser>
#include <QDir>
#include <QSet>

#include "core/options/ColorNumber.h"
#include "core/options/NumericEntry.h"

namespace ostrand {

QString converterUsage()
{
    return QStringLiteral("Usage: ostrand-convert [OPTION]... PATH...\n"
                          "Convert CSV files into HTML table documents: one .htm document per file,\n"
                          "one table row per non-empty line, one cell per field.\n"
                          "\n"
                          "Each PATH is a file, a folder (every file of it and of its subfolders, see\n"
                          "--extension), or - for standard input, whose document then goes to standard\n"
                          "output. A PATH that does not exist is reported and writes nothing. Sources\n"
                          "may be UTF-8, UTF-16 with a byte order mark, or Windows-1252; documents are\n"
                          "UTF-8 with CR LF line ends. Without the document options below, a document\n"
                          "is byte for byte the one the Ostrand window writes: every line is cut at\n"
                          "every delimiter, quotes are ordinary characters and nothing is escaped.\n"
                          "\n"
                          "Delimiter (one of them; default --comma):\n"
                          "      --comma                fields are separated by \",\"\n"
                          "      --comma-space          by \", \" (a comma and a space)\n"
                          "      --semicolon            by \";\"\n"
                          "      --tab                  by a tab\n"
                          "  -d, --other=TEXT           by TEXT, any text of any length (empty: one\n"
                          "                             cell per line)\n"
                          "\n"
                          "Table:\n"
                          "      --border=WIDTH         border width, a number (default 1)\n"
                          "      --text-color=COLOR     text colour, #RRGGBB or a colour number\n"
                          "                             (red + 256*green + 65536*blue); default #000000\n"
                          "      --background-color=COLOR\n"
                          "                             background colour; default #FFFFFF\n"
                          "\n"
                          "Document options (off unless given; the window never uses them):\n"
                          "      --escape-html          write & < > \" ' in fields as HTML entities, so\n"
                          "                             that markup in the data shows as text\n"
                          "      --rfc4180              read quoted fields as RFC 4180 defines them: a\n"
                          "                             field that starts with \" ends at the next lone \",\n"
                          "                             delimiters and line breaks inside belong to it,\n"
                          "                             \"\" inside is one \", and the enclosing quotes are\n"
                          "                             removed; a quote that is never closed is kept as\n"
                          "                             text to the end of its line. Carriage returns and\n"
                          "                             a byte order mark at the start are dropped\n"
                          "\n"
                          "Output (one of them; default --next-to-source):\n"
                          "  -o, --output-dir=DIR       write every document into DIR, an existing folder\n"
                          "      --next-to-source       write each document beside its source, named\n"
                          "                             after it with .htm in place of its extension\n"
                          "  -z, --null                 end each path printed on standard output with a\n"
                          "                             NUL character instead of a newline (xargs -0)\n"
                          "\n"
                          "Other options:\n"
                          "  -e, --extension=EXT        in folder PATHs, convert only files named *.EXT\n"
                          "      --saved-settings       start from the choices the Ostrand window saved;\n"
                          "                             the options given here win\n"
                          "      --full-reports         print each failure as the window's full error\n"
                          "                             report instead of one line\n"
                          "  -q, --quiet                draw no progress display\n"
                          "  -h, --help                 display this help and exit\n"
                          "  -V, --version              output version information and exit\n"
                          "\n"
                          "Streams:\n"
                          "  Standard output lists the path of each document written, one a line (unless\n"
                          "  a document goes there itself). Standard error has one line per failure,\n"
                          "  \"ostrand-convert: PATH: REASON\", naming the file the system's reason is\n"
                          "  about, and, on a terminal, a progress display (files done of all, current\n"
                          "  file, its share). The PATHs after a failure are still converted; an earlier\n"
                          "  document is never replaced by a failed write.\n"
                          "\n"
                          "Exit status:\n"
                          "  0    every document was written\n"
                          "  1    at least one failure was reported\n"
                          "  2    bad usage: an unknown option, conflicting options, a bad value, no\n"
                          "       PATH, or an output folder that does not exist\n"
                          "  130  stopped by an interrupt (SIGINT, Ctrl-C)\n"
                          "  143  stopped by SIGTERM\n"
                          "\n"
                          "Examples:\n"
                          "  ostrand-convert --semicolon --border 2 -o ~/tables exports/\n"
                          "        Convert every file under exports/ into ~/tables, cutting at \";\".\n"
                          "  printf 'a,\"b<c\"\\n' | ostrand-convert --rfc4180 --escape-html - > t.htm\n"
                          "        Convert quoted data from a pipe into one document on standard output.\n");
}

namespace {

const QString kStdin = standardStreamPath();

// The delimiter switches in the order of the window's option buttons.
const std::pair<QLatin1String, DelimiterOption> kDelimiterSwitches[] = {
    {QLatin1String("comma"), DelimiterOption::Comma},
    {QLatin1String("comma-space"), DelimiterOption::CommaSpace},
    {QLatin1String("semicolon"), DelimiterOption::Semicolon},
    {QLatin1String("tab"), DelimiterOption::Tab},
    {QLatin1String("other"), DelimiterOption::Other},
};

// Every option with its short name (if any) first, as the parser knows them.
QList<QCommandLineOption> converterOptions()
{
    const auto value = [](const QStringList& names, const char* valueName) {
        return QCommandLineOption(names, QString(), QLatin1String(valueName));
    };
    const auto flag = [](const QStringList& names) { return QCommandLineOption(names); };
    return {
        flag({QStringLiteral("comma")}),
        flag({QStringLiteral("comma-space")}),
        flag({QStringLiteral("semicolon")}),
        flag({QStringLiteral("tab")}),
        value({QStringLiteral("d"), QStringLiteral("other")}, "TEXT"),
        value({QStringLiteral("border")}, "WIDTH"),
        value({QStringLiteral("text-color")}, "COLOR"),
        value({QStringLiteral("background-color")}, "COLOR"),
        flag({QStringLiteral("escape-html")}),
        flag({QStringLiteral("rfc4180")}),
        value({QStringLiteral("o"), QStringLiteral("output-dir")}, "DIR"),
        flag({QStringLiteral("next-to-source")}),
        flag({QStringLiteral("z"), QStringLiteral("null")}),
        value({QStringLiteral("e"), QStringLiteral("extension")}, "EXT"),
        flag({QStringLiteral("saved-settings")}),
        flag({QStringLiteral("full-reports")}),
        flag({QStringLiteral("q"), QStringLiteral("quiet")}),
        flag({QStringLiteral("h"), QStringLiteral("help")}),
        flag({QStringLiteral("V"), QStringLiteral("version")}),
    };
}

// "--name", the way a user would write the option.
QString spelled(const QString& name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// The one value of an option; a failure when it was given twice with different values.
Result<std::optional<QString>> singleValue(const QCommandLineParser& parser, const QString& name)
{
    const QStringList values = parser.values(name);
    if (values.isEmpty())
        return std::optional<QString>();
    if (QSet<QString>(values.cbegin(), values.cend()).size() > 1)
        return Failure{QStringLiteral("option '--%1' is given twice with different values").arg(name)};
    return std::optional<QString>(values.constFirst());
}

// A colour option's one colour: given twice, both must name the same colour, however each is spelled.
Result<std::optional<qint64>> colorValue(const QCommandLineParser& parser, const QString& name)
{
    std::optional<qint64> chosen;
    for (const QString& text : parser.values(name)) {
        const Result<qint64> color = parseColor(text);
        if (!color)
            return Failure{QStringLiteral("option '--%1': %2").arg(name, color.error())};
        if (chosen && *chosen != color.value())
            return Failure{QStringLiteral("option '--%1' is given twice with different values").arg(name)};
        chosen = color.value();
    }
    return chosen;
}

// The delimiter, from at most one of the delimiter options.
Status readDelimiter(const QCommandLineParser& parser, ConverterArguments& parsed)
{
    QString chosen;
    for (const auto& [name, option] : kDelimiterSwitches) {
        if (!parser.isSet(name))
            continue;
        if (!chosen.isEmpty())
            return Failure{QStringLiteral("options '--%1' and '--%2' cannot be used together: give one delimiter")
                               .arg(chosen, name)};
        chosen = name;
        parsed.delimiterOption = option;
    }
    const Result<std::optional<QString>> other = singleValue(parser, QStringLiteral("other"));
    if (!other)
        return Failure{other.error()};
    if (other.value())
        parsed.otherText = *other.value();
    return Status::success();
}

Status readOutput(const QCommandLineParser& parser, ConverterArguments& parsed)
{
    const Result<std::optional<QString>> folder = singleValue(parser, QStringLiteral("output-dir"));
    if (!folder)
        return Failure{folder.error()};
    if (folder.value() && parser.isSet(QStringLiteral("next-to-source")))
        return Failure{QStringLiteral("options '--output-dir' and '--next-to-source' cannot be used together: "
                                      "give one place for the documents")};
    if (folder.value()) {
        parsed.outputMode = OutputMode::ChosenFolder;
        parsed.outputFolder = QDir::toNativeSeparators(*folder.value());
    } else if (parser.isSet(QStringLiteral("next-to-source"))) {
        parsed.outputMode = OutputMode::SourceFolder;
    }
    parsed.nullEnded = parser.isSet(QStringLiteral("null"));
    return Status::success();
}

Status readAppearance(const QCommandLineParser& parser, ConverterArguments& parsed)
{
    const Result<std::optional<QString>> border = singleValue(parser, QStringLiteral("border"));
    if (!border)
        return Failure{border.error()};
    if (border.value() && !IsNumericEntry(*border.value()))
        return Failure{QStringLiteral("option '--border': \"%1\" is not a number").arg(*border.value())};
    parsed.borderWidth = border.value();
    const Result<std::optional<qint64>> text = colorValue(parser, QStringLiteral("text-color"));
    if (!text)
        return Failure{text.error()};
    parsed.textColor = text.value();
    const Result<std::optional<qint64>> background = colorValue(parser, QStringLiteral("background-color"));
    if (!background)
        return Failure{background.error()};
    parsed.backgroundColor = background.value();
    return Status::success();
}

// Standard input stands alone: its document goes to standard output, where no path list can go.
Status checkStandardStream(const ConverterArguments& parsed)
{
    if (!parsed.paths.contains(kStdin))
        return Status::success();
    if (parsed.paths.size() > 1)
        return Failure{QStringLiteral("the PATH '-' (standard input) cannot be given with other PATHs")};
    const char* option = parsed.outputMode == OutputMode::ChosenFolder   ? "--output-dir"
                         : parsed.outputMode == OutputMode::SourceFolder ? "--next-to-source"
                         : parsed.nullEnded                              ? "--null"
                                                                         : nullptr;
    if (option)
        return Failure{QStringLiteral("option '%1' cannot be used with the PATH '-': its document goes to "
                                      "standard output")
                           .arg(QLatin1String(option))};
    return Status::success();
}

} // namespace

Result<ConverterArguments> parseConverterArguments(const QStringList& arguments)
{
    const QList<QCommandLineOption> options = converterOptions();
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    parser.addOptions(options);
    if (!parser.parse(QStringList{QStringLiteral("ostrand-convert")} + arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty())
            return Failure{QStringLiteral("unknown option '%1'").arg(spelled(unknown.constFirst()))};
        // Qt's own sentence ("Missing value after '--other'.") in the style of the other messages.
        QString text = parser.errorText();
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
        if (!text.isEmpty())
            text[0] = text.at(0).toLower();
        return Failure{text};
    }

    ConverterArguments parsed;
    parsed.help = parser.isSet(QStringLiteral("help"));
    parsed.version = parser.isSet(QStringLiteral("version"));
    // Paths are taken with the system's own separators ("C:/data" is "C:\data" on Windows).
    for (const QString& path : parser.positionalArguments())
        parsed.paths.append(QDir::toNativeSeparators(path));
    for (const Status& status :
         {readDelimiter(parser, parsed), readAppearance(parser, parsed), readOutput(parser, parsed)}) {
        if (!status)
            return Failure{status.error()};
    }
    const Result<std::optional<QString>> extension = singleValue(parser, QStringLiteral("extension"));
    if (!extension)
        return Failure{extension.error()};
    parsed.extension = extension.value();
    parsed.flags.escapeHtml = parser.isSet(QStringLiteral("escape-html"));
    parsed.flags.rfc4180 = parser.isSet(QStringLiteral("rfc4180"));
    parsed.savedSettings = parser.isSet(QStringLiteral("saved-settings"));
    parsed.fullReports = parser.isSet(QStringLiteral("full-reports"));
    parsed.quiet = parser.isSet(QStringLiteral("quiet"));
    if (const Status status = checkStandardStream(parsed); !status)
        return Failure{status.error()};
    return parsed;
}

} // namespace ostrand
