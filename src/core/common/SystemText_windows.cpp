// SPDX-License-Identifier: MIT
#include "core/common/SystemText.h"

#include <windows.h>

namespace ostrand {

QString windowsErrorText(quint32 code)
{
    wchar_t text[1024];
    const DWORD size = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                        text, DWORD(std::size(text)), nullptr);
    if (size == 0)
        return QStringLiteral("System error %1").arg(code);
    // The system's texts end in a line break.
    return QString::fromWCharArray(text, int(size)).trimmed();
}

} // namespace ostrand
