// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>

class QWidget;

namespace ostrand {

// A colour number is red + 256 * green + 65536 * blue. It shows as the colour the document gets for it
// (ColorToHTML), also outside 0 to 16777215.
QColor colorOfNumber(qint64 number);
qint64 numberOfColor(const QColor& color);

// A swatch keeps the colour number it was given and shows it as its background colour.
void setSwatchColor(QWidget* swatch, qint64 number);
qint64 swatchColor(const QWidget* swatch);

} // namespace ostrand
