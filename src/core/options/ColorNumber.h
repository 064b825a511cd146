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

// "#RRGGBB" of a colour value (red in bits 0-7, green 8-15, blue 16-23): the value in upper-case
// hexadecimal (a negative value in its eight-digit two's complement form), padded to six digits, then the
// last two digits, the third and fourth, and the first two. Digits beyond six are not dropped: 0x80000005
// gives "#050080".
QString ColorToHTML(qint64 value);

} // namespace ostrand
