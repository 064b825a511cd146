// SPDX-License-Identifier: MIT
#include "core/app/ErrorReport.h"

namespace ostrand {

QString ErrorReportText(const QString& description, const QString& tag, int line)
{
    return description + QStringLiteral("\r\n") + tag + QStringLiteral("at line ") + QString::number(line) +
           QStringLiteral("\r\r") + QStringLiteral("Please email screenshot of this message to ") + supportAddress();
}

} // namespace ostrand
