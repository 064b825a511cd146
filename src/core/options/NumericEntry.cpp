// SPDX-License-Identifier: MIT
#include "core/options/NumericEntry.h"

#include <QLocale>

namespace ostrand {

bool IsNumericEntry(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return false;
    const QLocale locale;
    bool numeric = false;
    locale.toDouble(text, &numeric);
    if (!numeric)
        locale.toDouble(trimmed, &numeric);
    return numeric;
}

} // namespace ostrand
