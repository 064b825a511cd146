// SPDX-License-Identifier: MIT
#include "filelist/FileListFillers.h"

#include "app/Form1.h"
#include "app/PointerScheme.h"
#include "core/common/Paths.h"
#include "filelist/FileListView.h"

namespace ostrand {

void ConnectFileList(Form1& form)
{
    FileListView* list = form.ListView1;
    list->setBusyTest([&form] { return form.pointer().isBusy(); });
    list->setDragPointerFile(form.programFolder() + pathSeparator() + QStringLiteral("drag.ico"));
    form.pointer().resetOnMouseMove(list->viewport());
    list->setDropHandler([&form](const QStringList& paths) { AddDroppedPaths(form, paths); });
}

} // namespace ostrand
