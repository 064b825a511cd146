// SPDX-License-Identifier: MIT
#pragma once

class QColor;
class QWidget;

namespace ostrand {

// Gives a control the window's designed white background and, with it, dark text, whatever the desktop's
// palette: light text of a dark palette on a forced white background could not be read. Controls not forced
// this way keep the palette's colours.
void forceLightColours(QWidget* widget);

// Gives a control a background colour taken from the palette, with the palette's text colour for it.
void followPaletteColours(QWidget* widget, const QColor& background);

} // namespace ostrand
