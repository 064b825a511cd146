// SPDX-License-Identifier: MIT
#include "filelist/FileListFillers.h"

#include "core/app/GuardedOperation.h"
#include "core/common/Paths.h"
#include "filelist/FileListHost.h"
#include "filelist/FileListView.h"

namespace ostrand {

namespace {

QString dialogTitle()
{
    return QStringLiteral("Add File(s) - Hold Ctrl to select multiple files");
}

QString csvFilter()
{
    return QStringLiteral("CSV Files (*.csv)");
}

QString tooManyFilesText()
{
    return QStringLiteral("You've selected too many files to add.\r\rPlease try adding via the \"Add All\" button.");
}

// The folder of a chosen file as the dialog names it: without a trailing separator, except the top folder.
QString dialogFolderOf(const QString& path)
{
    QString folder = FolderOf(path);
    if (!folder.isEmpty() && !IsRootFolder(folder))
        folder.chop(1);
    return folder;
}

// A file of a multi-selection as the list takes it: the dialog's folder and the name, joined and normalized.
QString joinedPath(const QString& path)
{
    const QString folder = dialogFolderOf(path);
    if (folder.isEmpty())
        return path;
    return NormalizePath(folder + pathSeparator() + FileNameOf(path));
}

} // namespace

qsizetype FileDialogResultLength(const QStringList& paths)
{
    if (paths.size() <= 1)
        return paths.isEmpty() ? 0 : paths.first().size();
    qsizetype length = dialogFolderOf(paths.first()).size() + 1;
    for (const QString& path : paths)
        length += FileNameOf(path).size() + 1;
    return length + 1;
}

void AddFilesByDialog(FileListHost& host)
{
    GuardedOperation add(host, LocationTag::pushButton1());

    QStringList chosen;
    add.step(102, [&] { chosen = host.openFileNames(dialogTitle(), csvFilter()); });
    if (FileDialogResultLength(chosen) > MaxFileDialogResult) {
        host.showMessage(tooManyFilesText());
        return;
    }
    if (add.test(104, [&] { return chosen.isEmpty(); })) // cancelled
        return;
    if (add.test(106, [&] { return chosen.size() == 1; })) {
        add.step(108, [&] { host.fileList().AppendEntry(chosen.first()); });
        return;
    }
    add.step(110, [&] {
        QStringList paths;
        paths.reserve(chosen.size());
        for (const QString& path : std::as_const(chosen))
            paths.append(joinedPath(path));
        host.fileList().AppendEntries(paths);
    });
}

} // namespace ostrand
