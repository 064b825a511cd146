// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace ostrand {

// A count with its noun in the right number: "1 file", "2 files", "0 files".
inline QString Counted(qint64 count, const QString& one, const QString& many)
{
    return QString::number(count) + QLatin1Char(' ') + (count == 1 ? one : many);
}

inline QString CountedFiles(qint64 count)
{
    return Counted(count, QStringLiteral("file"), QStringLiteral("files"));
}

} // namespace ostrand
