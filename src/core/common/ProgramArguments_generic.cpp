// SPDX-License-Identifier: MIT
#include "core/common/ProgramArguments.h"

#include <QCoreApplication>

namespace ostrand {

// Elsewhere the application object reads them; before it exists, their local 8-bit bytes are all there is.
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
