// SPDX-License-Identifier: MIT
#include "app/CommandLine.h"

#include <algorithm>

#include <QCommandLineParser>
#include <QDir>
#include <QUrl>

#include "app/Form1.h"
#include "filelist/FileListFillers.h"

namespace ostrand {

namespace {

// The toolkit's own options that it removes from the arguments when the application object is built.
bool isToolkitOption(const QString& name)
{
    static const QStringList names{
        QStringLiteral("platform"),
        QStringLiteral("platformpluginpath"),
        QStringLiteral("platformtheme"),
        QStringLiteral("plugin"),
        QStringLiteral("qwindowgeometry"),
        QStringLiteral("geometry"),
        QStringLiteral("qwindowtitle"),
        QStringLiteral("title"),
        QStringLiteral("qwindowicon"),
        QStringLiteral("icon"),
        QStringLiteral("reverse"),
        QStringLiteral("session"),
        QStringLiteral("style"),
        QStringLiteral("stylesheet"),
        QStringLiteral("widgetcount"),
        QStringLiteral("display"),
        QStringLiteral("name"),
        QStringLiteral("nograb"),
        QStringLiteral("dograb"),
        QStringLiteral("sync"),
        QStringLiteral("visual"),
        QStringLiteral("qmljsdebugger"),
        QStringLiteral("fontengine"),
    };
    return names.contains(name);
}

// The help names the program by its name, not by the path it was started from.
QString helpTextOf(const QCommandLineParser& parser)
{
    QString text = parser.helpText();
    const QLatin1String usage("Usage: ");
    if (text.startsWith(usage)) {
        const qsizetype end = text.indexOf(QLatin1Char(' '), usage.size());
        if (end > 0)
            text.replace(usage.size(), end - usage.size(), QStringLiteral("ostrand"));
    }
    return text;
}

} // namespace

CommandLine ParseCommandLine(const QStringList& arguments, bool toolkitMayFollow)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Ostrand turns CSV files into HTML table documents. Each PATH is added to the file list "
                       "as if it had been dropped on it: a file as given, a folder as every file of its tree."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Print this help and exit."));
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("V"), QStringLiteral("version")},
                                     QStringLiteral("Print the version and exit."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("PATH"), QStringLiteral("A CSV file or a folder to add to the list."),
                                 QStringLiteral("[PATH...]"));

    CommandLine line;
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (toolkitMayFollow && std::any_of(unknown.begin(), unknown.end(), isToolkitOption)) {
            line.action = CommandLine::Action::Undecided;
            return line;
        }
        line.action = CommandLine::Action::BadUsage;
        line.text = parser.errorText() + QLatin1Char('\n') + helpTextOf(parser);
        return line;
    }
    if (parser.isSet(help)) {
        line.action = CommandLine::Action::ShowHelp;
        line.text = helpTextOf(parser);
    } else if (parser.isSet(version)) {
        line.action = CommandLine::Action::ShowVersion;
        line.text = QStringLiteral("ostrand %1\n").arg(QStringLiteral(OSTRAND_VERSION));
    }
    line.paths = parser.positionalArguments();
    return line;
}

void AddCommandLinePaths(Form1& form, const QStringList& paths)
{
    QStringList dropped;
    for (const QString& path : paths) {
        const QString local = path.startsWith(QLatin1String("file:")) ? QUrl(path).toLocalFile() : path;
        // As the file dialog gives a path: absolute, without "." or ".." or doubled separators.
        dropped.append(QDir::toNativeSeparators(QDir::cleanPath(QDir::current().absoluteFilePath(local))));
    }
    if (!dropped.isEmpty())
        AddDroppedPaths(form.fileListHost(), dropped);
}

} // namespace ostrand
