// SPDX-License-Identifier: MIT
#include "filelist/FileListFillers.h"

#include "core/app/GuardedOperation.h"
#include "core/filelist/FolderExpansion.h"
#include "core/settings/SettingsStore.h"
#include "filelist/FileListHost.h"
#include "filelist/FileListView.h"
#include "filelist/SkippedNames.h"

namespace ostrand {

namespace {

QString extensionPrompt()
{
    return QStringLiteral("Enter file extension to load:\r\r"
                          "(* for all files, txt for all txt files, doc for all doc files, etc.)");
}

QString browserTitle()
{
    return QStringLiteral("Please select folder:");
}

// The hourglass for as long as the scope lives, the default pointer after it, on every way out. When
// another long operation already shows the hourglass, it stays that operation's to take away.
class BusyPointerScope
{
public:
    explicit BusyPointerScope(FileListHost& host) : m_host(host), m_wasBusy(host.isBusy())
    {
        m_host.setBusyPointer(true);
    }
    ~BusyPointerScope()
    {
        if (!m_wasBusy)
            m_host.setBusyPointer(false);
    }
    BusyPointerScope(const BusyPointerScope&) = delete;
    BusyPointerScope& operator=(const BusyPointerScope&) = delete;

private:
    FileListHost& m_host;
    bool m_wasBusy;
};

} // namespace

void AddAllFilesInFolder(FileListHost& host)
{
    GuardedOperation add(host, LocationTag::pushButton5());
    SettingsStore& settings = host.settings();

    QString extension;
    add.step(100, [&] { extension = settings.read(SettingKey::extension()); });
    QString answer;
    add.step(102, [&] { answer = host.inputText(extensionPrompt(), extension); });
    if (add.test(104, [&] { return !answer.isEmpty(); }))
        add.step(104, [&] { settings.WriteSetting(SettingKey::extension(), answer); });
    if (add.test(106, [&] { return answer.isEmpty(); })) // also a cancelled input box
        return;

    QString startFolder;
    add.step(108, [&] { startFolder = settings.read(SettingKey::lastFolder()); });
    QString folder;
    add.step(110, [&] { folder = host.browseForFolder(browserTitle(), startFolder); });
    if (add.test(112, [&] { return folder.isEmpty(); }))
        return;
    add.step(114, [&] { settings.WriteSetting(SettingKey::lastFolder(), folder); });

    // 116 to 122: the tree is scanned under the hourglass and each folder's files are appended as they
    // arrive, so the list grows while the window stays live.
    SkippedNamesCount scan(host);
    {
        const BusyPointerScope busy(host);
        add.step(118, [&] {
            CollectFilesInTree(folder, PatternForExtension(answer), scan,
                               [&](const QString&, const Result<QStringList>& paths) {
                                   if (paths)
                                       host.fileList().AppendEntries(paths.value());
                                   else
                                       add.fail(120, paths.error());
                               });
        });
    }
    // Files the scan could not take by name are told of once, after the scan.
    add.step(124, [&] { scan.tell(QStringLiteral("in the chosen folder or its subfolders"),
                                QStringLiteral("in the chosen folder and its subfolders")); });
}

} // namespace ostrand
