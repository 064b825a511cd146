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

// The system's own description of a Windows error code (GetLastError()), in the user's language, as
// FormatMessageW words it. Built on Windows only.
QString windowsErrorText(quint32 code);

} // namespace ostrand
