// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>

namespace ostrand {

// The program's icon: a sheet with a small table on it, drawn at the usual icon sizes.
QIcon applicationIcon();

} // namespace ostrand
