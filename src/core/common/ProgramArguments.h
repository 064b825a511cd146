// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>

namespace ostrand {

// The program's arguments as the names and texts they are, the program's own name first: where the system hands
// them over as bytes, each is read as NameFromBytes reads a name, an initial U+FEFF included. Once the application
// object exists, argc and argv are what it left of them (it takes its own options out).
QStringList ProgramArguments(int argc, char* argv[]);

} // namespace ostrand
