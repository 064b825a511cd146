// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

namespace ostrand {

class FileListHost;

// Ties ListView1 to its window: removal waits while the window is busy, the drag pointer comes from
// drag.ico beside the program, and drops go to AddDroppedPaths.
void ConnectFileList(FileListHost& host);

// "Add CSV File(s)": the files picked in the file dialog, one as returned, several joined from their
// folder and names; a selection too long for the dialog's result is refused with a message.
void AddFilesByDialog(FileListHost& host);

// "Add All CSV File(s) In Folder": asks for an extension and a folder, then appends every matching file
// of the folder's tree, folder by folder, under the busy pointer.
void AddAllFilesInFolder(FileListHost& host);

// A drop on the list: each file as received, each folder as every file of its tree, in the dropped order.
// Failures go to the window's error report, and the drop goes on with the next path.
void AddDroppedPaths(FileListHost& host, const QStringList& paths);
// A failure that ended the handling of a drop, in the window's error report.
void ReportDropFailure(FileListHost& host, const QString& description);

// "Load Sample/Example Files": the files of the Samples folder beside the program that are not listed
// yet, then the offer to open that folder.
void LoadSampleFiles(FileListHost& host);

// The longest result the file dialog holds, in characters.
inline constexpr qsizetype MaxFileDialogResult = 30000;

// The length of the file dialog's result for a selection: the path of a single file; for several, the
// folder, a NUL, each name followed by a NUL, and a final NUL.
qsizetype FileDialogResultLength(const QStringList& paths);

} // namespace ostrand
