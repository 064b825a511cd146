// SPDX-License-Identifier: MIT
#include "core/options/Delimiter.h"

namespace ostrand {

QString ResolveDelimiter(DelimiterOption option, const QString& otherText)
{
    switch (option) {
    case DelimiterOption::Comma:
        return QStringLiteral(",");
    case DelimiterOption::CommaSpace:
        return QStringLiteral(", ");
    case DelimiterOption::Semicolon:
        return QStringLiteral(";");
    case DelimiterOption::Tab:
        return QStringLiteral("\t");
    case DelimiterOption::Other:
        return otherText;
    case DelimiterOption::None:
        break;
    }
    return QString();
}

} // namespace ostrand
