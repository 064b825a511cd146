// SPDX-License-Identifier: MIT
#include "core/common/ProgramArguments.h"

#include <QCoreApplication>

namespace ostrand {

// Where the system keeps the command line as text (Windows, in UTF-16), the application object reads it whole;
// before it exists, the local 8-bit bytes are all there is.
QStringList ProgramArguments(int argc, char* argv[])
{
    if (QCoreApplication::instance())
        return QCoreApplication::arguments();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

} // namespace ostrand
