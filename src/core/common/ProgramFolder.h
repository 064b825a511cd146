// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace ostrand {

// The folder that holds the program's companion files (HAND-M.CUR, drag.ico, Samples/, the optional x/o.cjs):
// the program's own folder when they are beside it (the build tree, a portable copy), otherwise
// ../share/ostrand relative to it (an install under any prefix). Without either, the program's own folder.
// No trailing separator.
QString LocateProgramFolder(const QString& programDir);

} // namespace ostrand
