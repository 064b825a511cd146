// SPDX-License-Identifier: MIT
#include "app/AppIcon.h"

namespace ostrand {

QIcon applicationIcon()
{
    // The PNGs of the icon theme, built into the program from the one SVG source.
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/hicolor/%1x%1/apps/ostrand.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace ostrand
