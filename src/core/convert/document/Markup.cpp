// SPDX-License-Identifier: MIT
#include "core/convert/document/Markup.h"

#include "core/options/ColorNumber.h"

namespace ostrand {

QByteArray documentHeader(qint64 textColor, const QString& borderWidth, qint64 backgroundColor)
{
    return QByteArrayLiteral("<html><title></title><body><table width='100%' style='color:") +
           ColorToHTML(textColor).toLatin1() + QByteArrayLiteral("' border='") + borderWidth.toUtf8() +
           QByteArrayLiteral("' bgcolor='") + ColorToHTML(backgroundColor).toLatin1() +
           QByteArrayLiteral("'><tbody>\r\n");
}

} // namespace ostrand
