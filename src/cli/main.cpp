// SPDX-License-Identifier: MIT
// ostrand-convert: the headless converter.
#include <csignal>
#include <cstdio>

#include <QCoreApplication>
#include <QTextStream>

#include "cli/ConverterCommand.h"

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

void onInterrupt(int)
{
    ostrand::ConverterCommand::requestStop();
}

bool stderrIsTerminal()
{
#ifdef Q_OS_UNIX
    return isatty(STDERR_FILENO) != 0;
#else
    return false;
#endif
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    // Ctrl+C ends the run before its next document is written, leaving no temporary file behind.
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);

    QTextStream out(stdout);
    QTextStream err(stderr);
    ostrand::ConverterCommand command(stderrIsTerminal());
    return command.run(app.arguments().mid(1), out, err);
}
