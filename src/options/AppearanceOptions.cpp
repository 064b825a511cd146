// SPDX-License-Identifier: MIT
#include "options/AppearanceOptions.h"

#include "core/app/GuardedOperation.h"
#include "core/settings/SettingsStore.h"
#include "options/ColorSwatch.h"

namespace ostrand {

void PickSwatchColor(GuardedOperation& operation, const ColorPicker& pickColor, QWidget* swatch, SettingsStore& store,
                     const QString& key)
{
    qint64 color = 0;
    operation.step(100, [&] { color = swatchColor(swatch); });
    operation.step(102, [&] { color = pickColor(color); });
    operation.step(104, [&] { setSwatchColor(swatch, color); });
    operation.step(106, [&] { store.WriteSetting(key, QString::number(color)); });
}

} // namespace ostrand
