// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

namespace ostrand {

// The slice size of streamed conversions, set so that slice boundaries fall everywhere; 0 gives back the usual
// one. The core defines it and keeps it out of its own headers.
void setStreamSliceBytesForTests(qsizetype bytes);

} // namespace ostrand
