// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>

#include "core/common/Result.h"

namespace ostrand {

// Gives a new file what the file it replaces holds beyond its mode bits: its access control list and its extended
// attributes, as careful editors do. The access rules (the attributes the system keeps for itself, such as the
// access control list) must come along, or the new file would let in someone the old one kept out: a failure to
// read or set one of them fails, naming it. Any other attribute comes along where the program may set it and is
// let go otherwise. `from` is the encoded path of the file replaced, `to` the new file's descriptor.
Status keepAttributes(const QByteArray& from, int to);

} // namespace ostrand
