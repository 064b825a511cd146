// SPDX-License-Identifier: MIT
#include "filelist/FileListFillers.h"

#include "core/app/GuardedOperation.h"
#include "core/common/Paths.h"
#include "core/filelist/FileListing.h"
#include "core/filelist/FolderExpansion.h"
#include "filelist/FileListHost.h"
#include "filelist/FileListView.h"

namespace ostrand {

namespace {

QString openFolderQuestion()
{
    return QStringLiteral("Would you like this software to open the folder where these sample files are stored "
                          "(so that you can view them before working with them)?");
}

} // namespace

void LoadSampleFiles(FileListHost& host)
{
    // A failing step ends the click; what was appended before it stays.
    GuardedOperation load(host, LocationTag::pushButton3());
    const QString folder = host.programFolder() + pathSeparator() + QStringLiteral("Samples");

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
            if (!host.fileList().IsInFileList(path))
                host.fileList().AppendEntry(path);
        }
    });
    if (!appended)
        return;

    bool open = false;
    if (!load.step(104, [&] { open = host.question(openFolderQuestion()); }))
        return;
    if (open)
        load.step(106, [&] { host.openFolderInFileManager(folder + pathSeparator()); });
}

} // namespace ostrand
