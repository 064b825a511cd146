// SPDX-License-Identifier: MIT
#include "core/common/ProgramArguments.h"

#include "core/common/NameBytes.h"

namespace ostrand {

QStringList ProgramArguments(int argc, char* argv[])
{
    QStringList arguments;
    arguments.reserve(argc);
    for (int i = 0; i < argc; ++i)
        arguments.append(NameFromBytes(argv[i]));
    return arguments;
}

} // namespace ostrand
