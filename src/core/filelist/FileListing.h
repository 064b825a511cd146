// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

#include "core/common/Result.h"
#include "core/filelist/GoOnChecks.h"

namespace ostrand {

// True when a folder name holds a character the folder scan cannot take: a code below 32, a code from
// 127 to 159, "?", or U+FFFD (what a name whose bytes are not valid text decodes to). "" gives false.
bool HasUnsupportedChars(const QString& name);

// The order in which folders are listed, for files and subfolders alike: names compared after turning
// them to upper case, ties broken by the exact text (so "_" sorts after the letters, "A" before "a").
bool ListingOrderLess(const QString& a, const QString& b);
void SortInListingOrder(QStringList& names);
// The same for a list long enough to need yields: `goOn` is asked every EntriesPerGoOnCheck names while
// they are prepared and between the slices of the sort. False when it answered false; `names` is then
// left as it was.
bool SortInListingOrder(QStringList& names, const WorkGoesOn& goOn);

// True for an existing regular file, links followed. Folders, FIFOs, sockets, devices, dangling links
// and "" give false. Looks the path up only; never opens it, so it cannot block.
bool FileCanBeOpened(const QString& path);

// The bare names of the openable files of a folder (with or without its trailing separator) that match
// the wildcard pattern, hidden files included, in listing order. A missing folder has no files; a folder
// that cannot be listed gives the platform's failure text.
Result<QStringList> GetFilesInFolder(const QString& folder, const QString& pattern);

} // namespace ostrand
