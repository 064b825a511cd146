// SPDX-License-Identifier: MIT
// ostrand-convert: the headless converter.
#include <csignal>
#include <cstdio>

#include <QCoreApplication>
#include <QTextStream>

#include "cli/ConverterCommand.h"

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace {

void onSignal(int signal)
{
    ostrand::ConverterCommand::requestStop(signal);
}

// Ctrl-C and SIGTERM end the run at its next turn, leaving no temporary file and every earlier document.
// A wait for input ends too (no restart of the interrupted call); a second signal ends the program at once.
void installStopHandlers()
{
#ifdef Q_OS_UNIX
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
#else
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
#endif
}

ostrand::ConverterTerminal terminal()
{
    ostrand::ConverterTerminal terminal;
#ifdef Q_OS_UNIX
    terminal.stdinIsTerminal = isatty(STDIN_FILENO) != 0;
    terminal.stdoutIsTerminal = isatty(STDOUT_FILENO) != 0;
    terminal.stderrIsTerminal = isatty(STDERR_FILENO) != 0;
    terminal.columns = [] {
        struct winsize size = {};
        return ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? int(size.ws_col) : 0;
    };
#endif
    return terminal;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    installStopHandlers();

    QTextStream out(stdout);
    QTextStream err(stderr);
    ostrand::ConverterCommand command(terminal());
    return command.run(app.arguments().mid(1), out, err);
}
