// SPDX-License-Identifier: MIT
#pragma once

#include <array>

#include <QString>

#include "core/convert/ConversionOptions.h"

class QRadioButton;
class QWidget;

namespace ostrand {

class SettingsStore;

// Selects or clears one option button as a stored value does; true when its state changed. Clearing the
// selected button leaves its group with no selection, which a user's click never does.
bool setOptionValue(QRadioButton* button, bool selected);

// The five delimiter option buttons in their order of precedence, Comma first.
using DelimiterButtons = std::array<QRadioButton*, 5>;

// The click of any delimiter option: saves the state of all five, "Option1" to "Option5" in this order.
void SaveDelimiterOptions(SettingsStore& store, const DelimiterButtons& buttons);

// The first selected delimiter option; None when none is selected.
DelimiterOption SelectedDelimiterOption(const DelimiterButtons& buttons);

// The click of Option6 or Option7: saves both and lets the output folder be used exactly while
// "Save results to this folder:" is chosen.
void SaveOutputOptions(SettingsStore& store, const QRadioButton* option6, const QRadioButton* option7,
                       QWidget* folderFrame);

// Where the documents go, from the two output option buttons.
OutputMode SelectedOutputMode(const QRadioButton* option6, const QRadioButton* option7);

} // namespace ostrand
