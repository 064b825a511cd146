// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>

namespace ostrand {

// The program's icon: a sheet with a small table on it, the same as in the icon theme, at every size.
QIcon applicationIcon();

} // namespace ostrand
