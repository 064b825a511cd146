// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include "core/common/Result.h"

namespace ostrand {

// Gives a new file what the file it replaces holds beyond its mode bits: its access control list and its extended
// attributes, as careful editors do. The access rules (the attributes the system keeps for itself, such as the
// access control list) must come along, or the new file would let in someone the old one kept out: a failure to
// read or set one of them fails, naming it; an access control list the new file has and the old one has not is
// removed. Any other attribute comes along where the program may set it and is let go otherwise, but for the
// integrity module's hashes and signatures of the old bytes, which would not match the new ones. `from` is a
// descriptor of the file replaced (one that only names the file will do), `to` the new file's.
Status keepAttributes(int from, int to);

// The permission bits that a file made in the folder (a descriptor) with the bits `requested` gets from the folder's
// default access control list; none when the folder has none, and the umask decides.
std::optional<int> modeFromDefaultAccessList(int folder, int requested);

} // namespace ostrand
