// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include "core/convert/ConversionOptions.h"

namespace ostrand {

// The delimiter an option stands for: "," ", " ";" tab, the free text for Other, "" for none.
QString ResolveDelimiter(DelimiterOption option, const QString& otherText);

} // namespace ostrand
