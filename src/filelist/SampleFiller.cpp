// SPDX-License-Identifier: MIT
#include "filelist/FileListFillers.h"

#include <QFileInfo>

#include "core/app/GuardedOperation.h"
#include "core/common/Paths.h"
#include "core/filelist/FileListing.h"
#include "core/filelist/FolderExpansion.h"
#include "core/filelist/SampleCopy.h"
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
    const QString shipped = host.programFolder() + pathSeparator() + QStringLiteral("Samples");

    // Samples that cannot be converted where they are (a read-only install) are used from the user's copy.
    QString folder = shipped;
    QStringList names;
    const bool listed = load.step(100, [&]() -> Status {
        const Result<QString> usable = UsableSampleFolder(shipped, QFileInfo(shipped).isWritable(), UserSampleFolder());
        if (!usable)
            return Failure{usable.error()};
        folder = usable.value();
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
