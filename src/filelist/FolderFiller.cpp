// SPDX-License-Identifier: MIT
#include "filelist/FileListFillers.h"

#include "app/Dialogs.h"
#include "app/Form1.h"
#include "app/PointerScheme.h"
#include "core/app/GuardedOperation.h"
#include "core/filelist/FolderExpansion.h"
#include "filelist/FileListView.h"
#include "filelist/WindowScanHost.h"

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
    explicit BusyPointerScope(PointerScheme& pointer) : m_pointer(pointer), m_wasBusy(pointer.isBusy())
    {
        m_pointer.setPointer(MousePointer::Busy);
    }
    ~BusyPointerScope()
    {
        if (!m_wasBusy)
            m_pointer.setPointer(MousePointer::Default);
    }
    BusyPointerScope(const BusyPointerScope&) = delete;
    BusyPointerScope& operator=(const BusyPointerScope&) = delete;

private:
    PointerScheme& m_pointer;
    bool m_wasBusy;
};

} // namespace

void AddAllFilesInFolder(Form1& form)
{
    GuardedOperation add(form, LocationTag::pushButton5());
    SettingsStore& settings = form.settings();

    QString extension;
    add.step(100, [&] { extension = settings.read(SettingKey::extension()); });
    QString answer;
    add.step(102, [&] { answer = form.dialogs().inputText(extensionPrompt(), form.applicationTitle(), extension); });
    if (add.test(104, [&] { return !answer.isEmpty(); }))
        add.step(104, [&] { settings.WriteSetting(SettingKey::extension(), answer); });
    if (add.test(106, [&] { return answer.isEmpty(); })) // also a cancelled input box
        return;

    QString startFolder;
    add.step(108, [&] { startFolder = settings.read(SettingKey::lastFolder()); });
    QString folder;
    add.step(110, [&] { folder = form.dialogs().browseForFolder(browserTitle(), startFolder); });
    if (add.test(112, [&] { return folder.isEmpty(); }))
        return;
    add.step(114, [&] { settings.WriteSetting(SettingKey::lastFolder(), folder); });

    // 116 to 122: the tree is scanned under the hourglass and each folder's files are appended as they
    // arrive, so the list grows while the window stays live.
    const BusyPointerScope busy(form.pointer());
    WindowScanHost host(form);
    add.step(118, [&] {
        CollectFilesInTree(folder, PatternForExtension(answer), host,
                           [&](const QString&, const Result<QStringList>& paths) {
                               if (paths)
                                   form.ListView1->AppendEntries(paths.value());
                               else
                                   add.fail(120, paths.error());
                           });
    });
}

} // namespace ostrand
