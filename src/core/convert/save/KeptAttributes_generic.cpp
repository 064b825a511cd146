// SPDX-License-Identifier: MIT
#include "core/convert/save/KeptAttributes.h"

namespace ostrand {

// Where the save is Qt's own, the system's replace keeps what the file holds beyond its contents.
Status keepAttributes(int, int)
{
    return Status::success();
}

std::optional<int> modeFromDefaultAccessList(int, int)
{
    return std::nullopt;
}

} // namespace ostrand
