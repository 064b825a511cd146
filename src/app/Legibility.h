// SPDX-License-Identifier: MIT
#pragma once

class QColor;
class QPalette;
class QWidget;

namespace ostrand {

// The window's one palette: its designed white background with dark text, and the style's light colours for
// buttons, lists, text boxes and the progress bar, whatever the desktop's palette. Under a dark desktop palette
// the window so shows one light palette, not white frames beside dark buttons, and every text can be read; the
// colour swatches show the table's colours as they are.
QPalette designedPalette();

// Gives a control the window's designed white background and, with it, dark text.
void forceLightColours(QWidget* widget);

// Gives a control a background colour taken from the palette, with the palette's text colour for it.
void followPaletteColours(QWidget* widget, const QColor& background);

} // namespace ostrand
