// SPDX-License-Identifier: MIT
#include "filelist/FileListFillers.h"

#include "core/common/Paths.h"
#include "core/filelist/FolderExpansion.h"
#include "filelist/FileListHost.h"
#include "filelist/FileListView.h"

namespace ostrand {

void AddDroppedPaths(FileListHost& host, const QStringList& paths)
{
    FileListView* list = &host.fileList();
    QStringList files; // dropped files since the last folder, appended together
    for (const QString& path : paths) {
        if (host.stopRequested())
            break;
        if (!IsFolder(path)) {
            files.append(path); // as received: no checks, no normalizing
            continue;
        }
        list->AppendEntries(files);
        files.clear();
        // A folder that cannot be listed adds nothing; the scan reports its own failures.
        CollectFilesInTree(path, EveryFilePattern(), host, [list](const QString&, const Result<QStringList>& found) {
            if (found)
                list->AppendEntries(found.value());
        });
    }
    list->AppendEntries(files);
}

} // namespace ostrand
