// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>

#include <QStringList>
#include <QTextStream>

namespace ostrand {

// ostrand-convert: turns its arguments into a file list and options, runs the conversion run over them and
// answers with an exit status (0 every document written, 1 a failure reported, 2 bad usage, 130 stopped).
class ConverterCommand
{
public:
    // stderrIsTerminal: show the progress display there (unless --quiet).
    explicit ConverterCommand(bool stderrIsTerminal = false);

    // Runs one command line (without the program name), writing to the given streams.
    int run(const QStringList& arguments, QTextStream& out, QTextStream& err);

    // Asks a run in progress to stop before its next document is written; safe in a signal handler.
    static void requestStop() noexcept;

private:
    bool m_stderrIsTerminal;
    static std::atomic<bool> s_stopRequested;
};

} // namespace ostrand
