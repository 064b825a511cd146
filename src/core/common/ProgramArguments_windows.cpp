// SPDX-License-Identifier: MIT
#include "core/common/ProgramArguments.h"

#include <windows.h>

#include <shellapi.h>

namespace ostrand {

// The system keeps the command line as UTF-16 text: each argument is read from there as it is. The arguments the
// application object took out of argv (its own options) are left out, the others matched to argv in order; one
// that matches none (a name the C runtime expanded from a wildcard) is read from argv's local 8-bit bytes.
QStringList ProgramArguments(int argc, char* argv[])
{
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    QStringList given;
    for (int i = 0; wide && i < count; ++i)
        given.append(QString::fromWCharArray(wide[i]));
    if (wide)
        ::LocalFree(wide);
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
