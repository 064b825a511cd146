// SPDX-License-Identifier: MIT
#include "app/HomeFolder.h"

#include <QFileInfo>
#include <QStringList>

#include "core/common/NameBytes.h"
#include "core/filelist/SampleCopy.h"
#include "core/settings/SettingsStore.h"

namespace ostrand {

bool SettingsLostWithHome(const SettingsStore& settings)
{
    return settings.folderVariableNotValidUtf8() == "HOME";
}

QString UnreachableHomeMessage(const SettingsStore& settings, const QString& programFolder)
{
    const QByteArray home = qgetenv("HOME");
    if (home.isEmpty() || IsValidUtf8Name(home))
        return QString();
    QStringList prevented;
    if (SettingsLostWithHome(settings))
        prevented << QStringLiteral("- Your choices cannot be saved: they will not be there at the next start.");
    const Result<QString> desktop = SettingsStore::desktopFolder();
    if (desktop && desktop.value().contains(QChar::ReplacementCharacter))
        prevented << QStringLiteral("- Documents have no folder to go to until you choose one with the \"...\" "
                                    "button beside the output folder.");
    const QString samples = programFolder + QStringLiteral("/Samples");
    if (UserSampleFolder().isEmpty() && QFileInfo(samples).isDir() && !QFileInfo(samples).isWritable())
        prevented << QStringLiteral("- The sample files are listed where they are installed, where their documents "
                                    "cannot be saved beside them.");
    if (prevented.isEmpty())
        return QString();
    return QStringLiteral("The name of your home folder, %1, is not valid UTF-8, so Ostrand cannot reach the folders "
                          "in it by their names:\r\n\r\n%2\r\n\r\nEverything else works as usual.")
        .arg(ShownName(home), prevented.join(QStringLiteral("\r\n")));
}

} // namespace ostrand
