// SPDX-License-Identifier: MIT
#include "app/Legibility.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QWidget>

namespace ostrand {

QPalette designedPalette()
{
    QPalette palette = QApplication::style()->standardPalette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Window, Qt::white);
        palette.setColor(group, QPalette::WindowText, Qt::black);
    }
    return palette;
}

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
