// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include "core/common/Paths.h"
#include "core/filelist/FolderEntries.h"
#include "core/filelist/ScanHost.h"

namespace ostrand {

// A folder whose path (trailing separator included) reaches this length is not descended into: the classic
// limit of a path on Windows, the system's own elsewhere. It also ends a scan that goes round a junction.
inline constexpr qsizetype MaxScanFolderPath = nativePathRules() == PathRules::Windows ? 260 : 4096;
// A subfolder whose name reaches this length is left out.
inline constexpr qsizetype MaxScanFolderName = 256;

// True when the scan may enter the folder: a drive's top folder always; any other folder unless its
// attribute value is exactly 22 (a dot-folder) or 1046 (a link to a folder), so links are never followed
// and link cycles cannot occur.
bool IsExpandableFolder(const QString& folder);

// Extends a folder list breadth-first. Each entry is a folder path ending in the separator. Every
// expandable folder of `list` is read; its subfolders (in listing order, leaving out "." and "..", names
// of MaxScanFolderName characters or more and names with unsupported characters) form the next level,
// which with `recurse` is read the same way; then every level's expandable folders are appended to
// `list`, shallowest level first. The starting entries stay, except that a folder that turns out to be
// missing or unreadable while it is read is dropped (its first exactly equal entry); other read
// failures go to the host's error report and the scan carries on. The scan yields to the host while it
// works and ends early when the host asks it to stop, leaving `list` with the levels completed by then.
void GetSubDirectories2016(QStringList& list, bool recurse, ScanHost& host);

// What a scan kept from the folders it read, for the file listing that follows it: by folder entry (with
// its trailing separator), the files of every folder the scan read to its end, as ReadFolderContents gave
// them, and for a folder whose reading failed, that failure (`error` set).
using ScannedFolderFiles = QHash<QString, FolderEntries>;

// The same scan, keeping from each folder's reading the files that match `filePattern`, so that listing
// them needs no second reading. A folder that was not read, or was stopped on the way, has nothing kept.
void GetSubDirectories2016(QStringList& list, bool recurse, ScanHost& host, const QString& filePattern,
                           ScannedFolderFiles& files);

} // namespace ostrand
