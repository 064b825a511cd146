// SPDX-License-Identifier: MIT
#include "app/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace ostrand {

QPoint CentredPlacement(const QSize& window, const QRect& available)
{
    const int left = window.width() > available.width() ? available.left()
                                                        : available.left() + (available.width() - window.width()) / 2;
    const int top = window.height() > available.height() ? available.top()
                                                         : available.top() + (available.height() - window.height()) / 2;
    return {left, top};
}

void placeOnItsScreen(QWidget& window)
{
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // The frame is known once the window is shown; until then its outer size is its own.
    window.move(CentredPlacement(window.frameGeometry().size(), screen->availableGeometry()));
}

} // namespace ostrand
