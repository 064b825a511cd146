// SPDX-License-Identifier: MIT
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace ostrand {

// The top-left corner of a window of the given outer size on a screen's available area (the screen less its
// panels): centred. A window taller than the area has its top at the area's top, so its title bar stays on
// the screen; one wider than the area has its left edge at the area's left edge.
QPoint CentredPlacement(const QSize& window, const QRect& available);

// Places a top-level window so on the available area of its screen.
void placeOnItsScreen(QWidget& window);

} // namespace ostrand
