// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QWidget;

namespace ostrand {

class Dialogs;
class GuardedOperation;
class SettingsStore;

// The colour buttons: the colour dialog starts at the swatch's colour, the swatch takes the dialog's colour
// and the store keeps it under the swatch's key. A cancel writes the colour the swatch already had.
void PickSwatchColor(GuardedOperation& operation, Dialogs& dialogs, QWidget* swatch, SettingsStore& store,
                     const QString& key);

} // namespace ostrand
