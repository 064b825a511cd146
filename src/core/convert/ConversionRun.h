// SPDX-License-Identifier: MIT
#pragma once

#include "core/convert/ConversionOptions.h"

namespace ostrand {

// "Start Converting": refuses an empty list and a missing output folder, then converts every entry in
// list order with the busy pointer, the progress value and text, and the closing "Done.". The flag
// `Converting` belongs to the caller (the window) and keeps a second click from starting a second run. A
// document written earlier in the run is never replaced by a later entry with the same output path.
void RunConversion(RunHost& host, bool& Converting);

} // namespace ostrand
