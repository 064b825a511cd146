// SPDX-License-Identifier: MIT
#include "app/Legibility.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

namespace ostrand {

void forceLightColours(QWidget* widget)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    widget->setPalette(palette);
}

void followPaletteColours(QWidget* widget, const QColor& background)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::ButtonText));
    widget->setPalette(palette);
}

} // namespace ostrand
