// SPDX-License-Identifier: MIT
#include "filelist/FileListFillers.h"

#include "app/Dialogs.h"
#include "app/Form1.h"
#include "core/app/GuardedOperation.h"
#include "core/common/Paths.h"
#include "core/filelist/FileListing.h"
#include "core/filelist/FolderExpansion.h"
#include "filelist/FileListView.h"

namespace ostrand {

namespace {

QString openFolderQuestion()
{
    return QStringLiteral("Would you like this software to open the folder where these sample files are stored "
                          "(so that you can view them before working with them)?");
}

} // namespace

void LoadSampleFiles(Form1& form)
{
    // A failing step ends the click; what was appended before it stays.
    GuardedOperation load(form, LocationTag::pushButton3());
    const QString folder = form.programFolder() + pathSeparator() + QStringLiteral("Samples");

    QStringList names;
    const bool listed = load.step(100, [&]() -> Status {
        const Result<QStringList> found = GetFilesInFolder(folder, EveryFilePattern());
        if (!found)
            return Failure{found.error()};
        names = found.value();
        return {};
    });
    if (!listed)
        return;

    const bool appended = load.step(102, [&] {
        for (const QString& name : std::as_const(names)) {
            const QString path = folder + pathSeparator() + name;
            if (!form.ListView1->IsInFileList(path))
                form.ListView1->AppendEntry(path);
        }
    });
    if (!appended)
        return;

    bool open = false;
    if (!load.step(104, [&] { open = form.dialogs().question(openFolderQuestion(), form.applicationTitle()); }))
        return;
    if (open)
        load.step(106, [&] { form.dialogs().openFolderInFileManager(folder + pathSeparator()); });
}

} // namespace ostrand
