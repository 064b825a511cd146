// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

namespace ostrand {

class Form1;

// `ostrand [OPTIONS] [PATH...]`: what the desktop program was asked to do.
struct CommandLine
{
    enum class Action {
        OpenWindow, // open the window, then add the paths
        ShowHelp,   // print the help on stdout, exit 0
        ShowVersion,
        BadUsage,  // print the error and the usage on stderr, exit 2
        Undecided, // the arguments may hold the toolkit's own options: decide once it has taken them
    };
    Action action = Action::OpenWindow;
    QStringList paths; // as given: files, folders or file URLs
    QString text;      // what to print for help, version and bad usage
};

// Parses the arguments (the program name first). With toolkitMayFollow the toolkit has not yet taken its own
// options (-platform, -style, ...): an unknown option that may be one of them gives Undecided.
CommandLine ParseCommandLine(const QStringList& arguments, bool toolkitMayFollow = false);

// Adds the paths given on the command line to the file list exactly as a drop of them would: a file as
// given, a folder as every file of its tree. Relative paths and file URLs become absolute local paths.
void AddCommandLinePaths(Form1& form, const QStringList& paths);

} // namespace ostrand
