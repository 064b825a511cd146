// SPDX-License-Identifier: MIT
#include "filelist/FileListFillers.h"

#include "core/app/GuardedOperation.h"
#include "core/common/Paths.h"
#include "core/filelist/FolderExpansion.h"
#include "filelist/FileListHost.h"
#include "filelist/FileListView.h"
#include "filelist/SkippedNames.h"

namespace ostrand {

namespace {

// The numbered steps of a drop, as its error reports name them.
namespace DropStep {
enum : int {
    Handle = 100,       // the drop as a whole
    AppendFiles = 102,  // dropped files, as received
    AppendFolder = 104, // the files of a dropped folder's tree
    TellSkipped = 106   // the files left out of the trees because their names are not valid UTF-8
};
} // namespace DropStep

} // namespace

void ReportDropFailure(FileListHost& host, const QString& description)
{
    host.ReportError(description, LocationTag::listView1DragDrop(), DropStep::Handle);
}

void AddDroppedPaths(FileListHost& host, const QStringList& paths)
{
    // Failures go to the window's error report; the drop goes on with the next path, and what was appended
    // stays.
    GuardedOperation drop(host, LocationTag::listView1DragDrop());
    FileListView& list = host.fileList();
    SkippedNamesCount scan(host);
    QStringList files; // dropped files since the last folder, appended together
    int folders = 0;
    const auto appendFiles = [&] {
        drop.step(DropStep::AppendFiles, [&] { list.AppendEntries(files); });
        files.clear();
    };
    for (const QString& path : paths) {
        if (host.stopRequested())
            break;
        if (!IsFolder(path)) {
            files.append(path); // as received: no checks, no normalizing
            continue;
        }
        appendFiles();
        ++folders;
        // The scan reports its own failures; a folder whose files cannot be listed is reported here.
        drop.step(DropStep::AppendFolder, [&] {
            CollectFilesInTree(path, EveryFilePattern(), scan, [&](const QString&, const Result<QStringList>& found) {
                if (found)
                    list.AppendEntries(found.value());
                else
                    drop.fail(DropStep::AppendFolder, found.error());
            });
        });
    }
    appendFiles();
    drop.step(DropStep::TellSkipped, [&] {
        if (folders == 1)
            scan.tell(QStringLiteral("in the added folder or its subfolders"),
                      QStringLiteral("in the added folder and its subfolders"));
        else
            scan.tell(QStringLiteral("in the added folders or their subfolders"),
                      QStringLiteral("in the added folders and their subfolders"));
    });
}

} // namespace ostrand
