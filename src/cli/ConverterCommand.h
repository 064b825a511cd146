// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <utility>

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <QTextStream>

#include "cli/ConverterHost.h"
#include "core/common/Result.h"

namespace ostrand {

// ostrand-convert: turns its arguments into a file list and options, runs the conversion run over them and
// answers with an exit status (0 every document written, 1 a failure reported, 2 bad usage, 128 plus the
// signal's number when a signal stopped it).
class ConverterCommand
{
public:
    explicit ConverterCommand(ConverterTerminal terminal = {});

    // Runs one command line (without the program name), writing to the given streams. The PATH "-" reads
    // the process's standard input and writes its document to out's device (or to out itself when it has
    // none).
    int run(const QStringList& arguments, QTextStream& out, QTextStream& err);
    // The arguments as the system gave them (without the program name), so that a name whose bytes are not valid
    // UTF-8 is reported as itself.
    void setArgumentBytes(QList<QByteArray> bytes) { m_argumentBytes = std::move(bytes); }

    // Asks a run in progress to stop at its next turn, writing no further document; the exit status is then
    // 128 + signal. Safe in a signal handler.
    static void requestStop(int signal) noexcept;

private:
    int convertStandardInput(ConverterHost& host, QTextStream& out);
    Status convertStream(ConverterHost& host, QTextStream& out);
    static int stoppedStatus();

    ConverterTerminal m_terminal;
    QList<QByteArray> m_argumentBytes;
    static std::atomic<bool> s_stopRequested;
    static std::atomic<int> s_stopSignal;
};

} // namespace ostrand
