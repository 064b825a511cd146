// SPDX-License-Identifier: MIT
// ostrand-convert: the headless converter.
#include <csignal>
#include <cstdio>

#include <QCoreApplication>
#include <QTextStream>

#include "cli/ConverterCommand.h"
#include "core/common/ProgramArguments.h"

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
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
    // A file-size limit makes a write fail with EFBIG, reported like any failed write, instead of ending the
    // program with a temporary file left behind.
    std::signal(SIGXFSZ, SIG_IGN);
#else
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
#endif
}

// A standard stream closed at the start is held open on /dev/null before anything else is opened: a file the run
// opens would otherwise take its number, and the list of documents or the messages would go into a document.
// True when the stream was closed.
bool holdIfClosed([[maybe_unused]] int fd)
{
#ifdef Q_OS_UNIX
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
        return false;
    const int held = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (held >= 0 && held != fd) {
        ::dup2(held, fd);
        ::close(held);
    }
    return true;
#else
    return false;
#endif
}

ostrand::ConverterTerminal terminal()
{
    ostrand::ConverterTerminal terminal;
    terminal.stdinClosed = holdIfClosed(0);
    terminal.stdoutClosed = holdIfClosed(1);
    holdIfClosed(2);
#ifdef Q_OS_UNIX
    terminal.stdinIsTerminal = isatty(STDIN_FILENO) != 0;
    terminal.stdoutIsTerminal = isatty(STDOUT_FILENO) != 0;
    terminal.stderrIsTerminal = isatty(STDERR_FILENO) != 0;
    terminal.columns = [] {
        struct winsize size = {};
        return ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? int(size.ws_col) : 0;
    };
#endif
#ifdef Q_OS_WIN
    // Sources and documents pass the standard streams byte for byte: no line ending becomes another.
    for (const int fd : {0, 1, 2})
        ::_setmode(fd, _O_BINARY);
    terminal.stdinIsTerminal = ::_isatty(0) != 0;
    terminal.stdoutIsTerminal = ::_isatty(1) != 0;
    terminal.stderrIsTerminal = ::_isatty(2) != 0;
#endif
    return terminal;
}

} // namespace

int main(int argc, char* argv[])
{
    const ostrand::ConverterTerminal streams = terminal();
    QList<QByteArray> argumentBytes;
    for (int i = 1; i < argc; ++i)
        argumentBytes.append(QByteArray(argv[i]));
    QCoreApplication app(argc, argv);
    installStopHandlers();

    QTextStream out(stdout);
    QTextStream err(stderr);
    ostrand::ConverterCommand command(streams);
    command.setArgumentBytes(argumentBytes);
    return command.run(ostrand::ProgramArguments(argc, argv).mid(1), out, err);
}
