// SPDX-License-Identifier: MIT
#include "app/CursorFile.h"

#include <QFile>
#include <QImage>
#include <QPixmap>

namespace ostrand {

namespace {

quint16 readWord(const QByteArray& bytes, qsizetype at)
{
    return static_cast<quint16>(static_cast<quint8>(bytes.at(at)) | (static_cast<quint8>(bytes.at(at + 1)) << 8));
}

} // namespace

Result<QCursor> loadCursorFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Failure{file.errorString()};
    const QByteArray bytes = file.readAll();
    // Header: reserved 0, type 2 (cursor), image count; then one 16-byte entry per image whose
    // fields 4 and 6 hold the hot spot.
    if (bytes.size() < 22 || readWord(bytes, 0) != 0 || readWord(bytes, 2) != 2 || readWord(bytes, 4) < 1)
        return Failure{QStringLiteral("Invalid picture: %1 is not a cursor file").arg(path)};
    const int hotX = readWord(bytes, 6 + 4);
    const int hotY = readWord(bytes, 6 + 6);
    QImage image;
    if (!image.loadFromData(bytes, "CUR") && !image.loadFromData(bytes, "ICO"))
        return Failure{QStringLiteral("Invalid picture: %1 cannot be decoded").arg(path)};
    return QCursor(QPixmap::fromImage(image), hotX, hotY);
}

} // namespace ostrand
