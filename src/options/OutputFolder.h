// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

#include <QString>

class QLineEdit;

namespace ostrand {

class GuardedOperation;
class SettingsStore;

// The title of the output folder's browser.
inline QString outputFolderBrowseTitle()
{
    return QStringLiteral("Please select folder:");
}

// The window's folder browser: given a title and a start folder, the chosen folder's path, "" on cancel.
using FolderBrowser = std::function<QString(const QString& title, const QString& startFolder)>;

// The output folder's browse button: the browser starts at "LastFolderDot"; a chosen folder is remembered
// there and put into the folder box ending in a separator. A cancel changes nothing.
void BrowseOutputFolder(GuardedOperation& operation, const FolderBrowser& browseForFolder, SettingsStore& store,
                        QLineEdit* folderBox);

} // namespace ostrand
