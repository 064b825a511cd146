// SPDX-License-Identifier: MIT
#include "core/common/ProgramArguments.h"

#include <windows.h>

namespace ostrand {

namespace {

// The command line split as the C runtime splits it into argv, on the UTF-16 text itself: arguments are parted by
// spaces and tabs outside quotes (nothing else is a space here, not even U+FEFF); 2n backslashes before a quote
// stand for n and the quote opens or closes a quoted part, 2n + 1 for n and a quote of the argument's own; two
// quotes in a quoted part stand for one. The program's name, first, is taken up to a space, or between quotes,
// as it stands.
QStringList splitCommandLine(const QString& line)
{
    QStringList arguments;
    qsizetype at = 0;
    const qsizetype size = line.size();
    QString program;
    if (at < size && line.at(at) == QLatin1Char('"')) {
        for (++at; at < size && line.at(at) != QLatin1Char('"'); ++at)
            program += line.at(at);
        ++at;
    } else {
        for (; at < size && line.at(at) != QLatin1Char(' ') && line.at(at) != QLatin1Char('\t'); ++at)
            program += line.at(at);
    }
    arguments.append(program);
    for (;;) {
        while (at < size && (line.at(at) == QLatin1Char(' ') || line.at(at) == QLatin1Char('\t')))
            ++at;
        if (at >= size)
            break;
        QString argument;
        bool quoted = false;
        for (; at < size; ++at) {
            const QChar c = line.at(at);
            if (!quoted && (c == QLatin1Char(' ') || c == QLatin1Char('\t')))
                break;
            if (c == QLatin1Char('\\')) {
                qsizetype backslashes = 0;
                while (at < size && line.at(at) == QLatin1Char('\\')) {
                    ++backslashes;
                    ++at;
                }
                if (at < size && line.at(at) == QLatin1Char('"')) {
                    argument += QString(backslashes / 2, QLatin1Char('\\'));
                    if (backslashes % 2 == 1)
                        argument += QLatin1Char('"');
                    else
                        --at; // the quote opens or closes a quoted part
                } else {
                    argument += QString(backslashes, QLatin1Char('\\'));
                    --at;
                }
            } else if (c == QLatin1Char('"')) {
                if (quoted && at + 1 < size && line.at(at + 1) == QLatin1Char('"')) {
                    argument += QLatin1Char('"');
                    ++at;
                } else {
                    quoted = !quoted;
                }
            } else {
                argument += c;
            }
        }
        arguments.append(argument);
    }
    return arguments;
}

} // namespace

// The system keeps the command line as UTF-16 text: each argument is read from there as it is. The arguments the
// application object took out of argv (its own options) are left out, the others matched to argv in order; one
// that matches none (a name the C runtime expanded from a wildcard) is read from argv's local 8-bit bytes.
QStringList ProgramArguments(int argc, char* argv[])
{
    const QStringList given = splitCommandLine(QString::fromWCharArray(::GetCommandLineW()));
    QStringList arguments;
    qsizetype next = 0;
    for (int i = 0; i < argc; ++i) {
        const QByteArray bytes(argv[i]);
        qsizetype at = next;
        while (at < given.size() && given.at(at).toLocal8Bit() != bytes)
            ++at;
        if (at < given.size()) {
            arguments.append(given.at(at));
            next = at + 1;
        } else {
            arguments.append(QString::fromLocal8Bit(bytes));
        }
    }
    return arguments;
}

} // namespace ostrand
