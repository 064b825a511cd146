// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>

#include "core/convert/source/WorkSlices.h"

namespace ostrand {

// Sizes a buffer for bytes about to be written into it (its new bytes are left unset). A large buffer is
// backed by huge pages where the system offers them, so filling hundreds of megabytes costs a few hundred
// page faults instead of tens of thousands.
void resizeForWriting(QByteArray& buffer, qsizetype size);

// Empties a buffer. A large one held by nobody else gives its memory back a slice at a time with a break
// offered between slices, so that unmapping hundreds of megabytes of small pages never stalls the program.
void releaseLargeBuffer(QByteArray& buffer, const SliceBreak& pause);

} // namespace ostrand
