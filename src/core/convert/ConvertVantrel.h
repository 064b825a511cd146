// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QString>

#include "core/convert/ConversionOptions.h"

namespace ostrand {

// Converts one CSV file into its .htm table document. Reads the appearance options while building the
// header and the output options after the body is complete, reports the per-line progress, yields, and
// reports every failure through the host under the conversion's location tag. Never fails towards its
// caller; returns the path of the document it wrote, if any.
std::optional<QString> ConvertVantrel(ConversionHost& host, const QString& sourcePath, const QString& delimiter);

} // namespace ostrand
