// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QLineEdit;

namespace ostrand {

class Dialogs;
class GuardedOperation;
class SettingsStore;

// The title of the output folder's browser.
inline QString outputFolderBrowseTitle()
{
    return QStringLiteral("Please select folder:");
}

// The output folder's browse button: the browser starts at "LastFolderDot"; a chosen folder is remembered
// there and put into the folder box ending in a separator. A cancel changes nothing.
void BrowseOutputFolder(GuardedOperation& operation, Dialogs& dialogs, SettingsStore& store, QLineEdit* folderBox);

} // namespace ostrand
