// SPDX-License-Identifier: MIT
#include "options/ColorSwatch.h"

#include <QPalette>
#include <QVariant>
#include <QWidget>

#include "core/options/ColorNumber.h"

namespace ostrand {

namespace {
constexpr const char* kColorNumberProperty = "colorNumber";
}

QColor colorOfNumber(qint64 number)
{
    return QColor(ColorToHTML(number));
}

qint64 numberOfColor(const QColor& color)
{
    return color.red() + 256 * color.green() + 65536 * qint64(color.blue());
}

void setSwatchColor(QWidget* swatch, qint64 number)
{
    swatch->setProperty(kColorNumberProperty, number);
    QPalette palette = swatch->palette();
    palette.setColor(QPalette::Window, colorOfNumber(number));
    swatch->setPalette(palette);
    swatch->setAutoFillBackground(true);
}

qint64 swatchColor(const QWidget* swatch)
{
    const QVariant number = swatch->property(kColorNumberProperty);
    if (number.isValid())
        return number.toLongLong();
    return numberOfColor(swatch->palette().color(QPalette::Window));
}

} // namespace ostrand
