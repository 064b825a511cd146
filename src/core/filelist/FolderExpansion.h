// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

#include <QString>
#include <QStringList>

#include "core/common/Result.h"
#include "core/filelist/ScanHost.h"

namespace ostrand {

// The pattern of the "Add All" command for the extension the user typed, used as typed: "csv" gives
// "*.csv", "*" gives "*.*" (every file), ".csv" gives "*..csv".
QString PatternForExtension(const QString& extension);

// The pattern for a dropped folder or a folder given to the converter: every file.
inline QString EveryFilePattern()
{
    return QStringLiteral("*.*");
}

// Receives the files of one folder of a tree: their normalized full paths in listing order (possibly
// none), or the failure that kept the folder from being listed.
using FolderFilesReceiver = std::function<void(const QString& folder, const Result<QStringList>& paths)>;

// Expands a folder into the files of its tree, as "Add All", a dropped folder and the converter's folder
// arguments do: the folder and its expandable subfolders are scanned breadth-first (GetSubDirectories2016,
// whose failures go to the host's error report); then, folder by folder in that order, the openable
// files matching `pattern` are taken in listing order, leaving out names that begin with "~" and hidden
// files (attribute value 34), and each path is normalized. Each folder is read once: the scan keeps the
// files of the folders it reads, and only a folder it did not read is read for its files. `receive` is
// called once for every folder of the scan (without its trailing separator), so a window can append each
// batch and stay live; the host is yielded to between folders and, time-sliced, while a large folder is
// read and its files are taken, and can stop the expansion at any of those points (a folder whose files
// were not all taken is not delivered). A folder whose reading failed during the scan is reported by
// the scan and delivered without files; one that was not read by the scan and fails now is delivered as
// that failure, and so is the folder asked for when it may not be read at all (the scan drops such a
// folder silently), so every failure is reported once. Files whose names are not valid UTF-8 cannot be
// handed on by name: they are left out and counted to the host (namesNotValidUtf8).
void CollectFilesInTree(const QString& folder, const QString& pattern, ScanHost& host,
                        const FolderFilesReceiver& receive);

// The same, gathering every path into one list; folders that cannot be listed add nothing.
QStringList CollectFilesInTree(const QString& folder, const QString& pattern, ScanHost& host);

} // namespace ostrand
