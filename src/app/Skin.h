// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include "core/common/Result.h"

class QWidget;

namespace ostrand {

// The optional skin beside the program: a Qt style sheet.
QString skinPath(const QString& programFolder);
bool skinFileExists(const QString& path);

// Gives the window, its option buttons, check boxes, frames and labels the button-face background, then
// applies the style sheet read from the skin file.
Status applySkin(QWidget& window, const QString& path);

} // namespace ostrand
