// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace ostrand {

// The border width's numeric test: the text converts to a number by the user's locale (blanks around it,
// a sign, grouping, one decimal separator, an exponent). An empty or all-blank text is not numeric.
bool IsNumericEntry(const QString& text);

} // namespace ostrand
