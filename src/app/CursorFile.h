// SPDX-License-Identifier: MIT
#pragma once

#include <QCursor>

#include "core/common/Result.h"

namespace ostrand {

// Reads a Windows cursor file (.CUR): the first image and its hot spot.
Result<QCursor> loadCursorFile(const QString& path);

} // namespace ostrand
