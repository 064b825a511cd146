// SPDX-License-Identifier: MIT
#include "options/OutputFolder.h"

#include <QLineEdit>

#include "core/app/GuardedOperation.h"
#include "core/common/Paths.h"
#include "core/settings/SettingsStore.h"

namespace ostrand {

void BrowseOutputFolder(GuardedOperation& operation, const FolderBrowser& browseForFolder, SettingsStore& store,
                        QLineEdit* folderBox)
{
    QString startFolder;
    QString chosen;
    operation.step(100, [&] { startFolder = store.ReadSetting(SettingKey::lastFolderDot(), QString()); });
    operation.step(102, [&] { chosen = browseForFolder(outputFolderBrowseTitle(), startFolder); });
    if (chosen.isEmpty()) // 104: cancelled
        return;
    operation.step(106, [&] { store.WriteSetting(SettingKey::lastFolderDot(), chosen); });
    operation.step(108,
                   [&] { folderBox->setText(chosen.endsWith(pathSeparator()) ? chosen : chosen + pathSeparator()); });
}

} // namespace ostrand
