// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QByteArray>
#include <QString>

#include "core/convert/ConversionOptions.h"

namespace ostrand {

// Converts the bytes of a source that is not a file (standard input) into the bytes of its document, as
// ConvertVantrel converts a file holding the same bytes: decoded the same way (no bytes give the "empty
// file" text), cut at the delimiter, with the host's appearance and document flags read as the document is
// started, the share of lines reported, and turns offered about every 10 ms. Empty when the host asked to
// stop.
std::optional<QByteArray> ConvertSourceBytes(ConversionHost& host, QByteArray bytes, const QString& delimiter);

} // namespace ostrand
