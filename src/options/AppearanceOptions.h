// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

#include <QString>

class QWidget;

namespace ostrand {

class GuardedOperation;
class SettingsStore;

// The window's colour dialog: started at a colour number, it gives the chosen one, or the one it was given
// on cancel.
using ColorPicker = std::function<qint64(qint64 initialColor)>;

// The colour buttons: the colour dialog starts at the swatch's colour, the swatch takes the dialog's colour
// and the store keeps it under the swatch's key. A cancel writes the colour the swatch already had.
void PickSwatchColor(GuardedOperation& operation, const ColorPicker& pickColor, QWidget* swatch, SettingsStore& store,
                     const QString& key);

} // namespace ostrand
