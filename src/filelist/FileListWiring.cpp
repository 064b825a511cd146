// SPDX-License-Identifier: MIT
#include "filelist/FileListFillers.h"

#include "core/common/Paths.h"
#include "filelist/FileListHost.h"
#include "filelist/FileListView.h"

namespace ostrand {

void ConnectFileList(FileListHost& host)
{
    FileListView& list = host.fileList();
    list.setBusyTest([&host] { return host.isBusy(); });
    list.setDragPointerFile(host.programFolder() + pathSeparator() + QStringLiteral("drag.ico"));
    list.setDropHandler([&host](const QStringList& paths) { AddDroppedPaths(host, paths); });
    list.setDropFailureReport([&host](const QString& description) { ReportDropFailure(host, description); });
}

} // namespace ostrand
