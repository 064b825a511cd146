// SPDX-License-Identifier: MIT
#include "app/ApplicationTitle.h"

namespace ostrand {

QString productName()
{
    return QStringLiteral("Ostrand Table Converter " OSTRAND_VERSION);
}

QString ApplicationTitle(const QString& productName)
{
    QString title = productName;
    do {
        const qsizetype lastBlank = title.lastIndexOf(QLatin1Char(' '));
        if (lastBlank < 0)
            break;
        title.truncate(lastBlank);
    } while (title.size() > 40);
    return title;
}

} // namespace ostrand
