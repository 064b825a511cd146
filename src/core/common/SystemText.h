// SPDX-License-Identifier: MIT
#pragma once

#include <cstring>

#include <QString>

namespace ostrand {

// The system's own description of an error number ("No space left on device"), in the user's language.
inline QString systemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace ostrand
