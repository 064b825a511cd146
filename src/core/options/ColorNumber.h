// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include "core/common/Result.h"

namespace ostrand {

// The colour number of red, green and blue: red + 256 * green + 65536 * blue.
constexpr qint64 colorNumber(int red, int green, int blue)
{
    return red + 256 * qint64(green) + 65536 * qint64(blue);
}

// Reads a colour given as a decimal colour number (the 32-bit range, as the settings store keeps it) or as
// "#RRGGBB" (six hexadecimal digits, either case). Anything else fails with a description naming the text.
Result<qint64> parseColor(const QString& text);

} // namespace ostrand
