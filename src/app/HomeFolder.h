// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace ostrand {

class SettingsStore;

// What the window tells once at its start when the name of the user's home folder ($HOME) is not valid UTF-8: the
// folders named after it cannot be reached, and what that prevents here (saving the choices, a default folder for
// the documents, a copy of the samples to convert); "" when the name is valid or it prevents nothing.
QString UnreachableHomeMessage(const SettingsStore& settings, const QString& programFolder);

// Whether the settings cannot be saved because the name of the home folder is not valid UTF-8, which the message
// above tells.
bool SettingsLostWithHome(const SettingsStore& settings);

} // namespace ostrand
