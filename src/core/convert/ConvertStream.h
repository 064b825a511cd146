// SPDX-License-Identifier: MIT
#pragma once

#include "core/common/Result.h"
#include "core/convert/ConversionOptions.h"
#include "core/convert/DocumentRows.h"
#include "core/convert/source/SourcePasses.h"

namespace ostrand {

// Converts a source that is not a file in a folder (standard input, held in a file of its own by its passes)
// into its document through the same stages as ConvertVantrel: decoded the same way (no bytes give the "empty
// file" text), cut at the delimiter, with the host's appearance and document flags read as the document is
// started, the share of lines reported and turns offered about every 10 ms. The document's bytes go to `put` as
// they are made, never held whole. Fails, with its description, when the source cannot be read; a stop, or a
// `put` that takes no more, ends it early without a failure (the caller knows which).
Status ConvertStream(ConversionHost& host, SourcePasses& passes, const QString& delimiter,
                     const DocumentRows::Take& put);

} // namespace ostrand
