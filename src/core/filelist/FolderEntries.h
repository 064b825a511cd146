// SPDX-License-Identifier: MIT
#pragma once

#include <system_error>

#include <QString>
#include <QStringList>

#include "core/filelist/GoOnChecks.h"

namespace ostrand {

// Which entries of a folder a listing keeps.
enum class EntryKind {
    Files,     // regular files, links to regular files included
    Subfolders // folders, links to folders included
};

// The names one listing of a folder gave, in the file system's own order, and how the listing ended.
struct FolderEntries
{
    QStringList names;
    std::error_code error;    // set when the folder could not be listed to its end; `names` holds what was read
    bool stopped = false;     // the reader was told to stop before the end; `names` holds what was read
    int undecodableNames = 0; // files of the wanted kind left out because their names are not valid UTF-8
    QString errorText() const;
    bool notFound() const;     // the folder is missing or is not a folder
    bool accessDenied() const; // the folder may not be listed
    // A file listing made from these entries fails: the folder is there but could not be listed to its
    // end (a missing folder merely has no files).
    bool listingFailed() const { return error && !notFound(); }
};

// Reads a folder with one directory listing. A folder that may be read but not searched gives no entries:
// none of them could be opened. The kind of each entry comes from the listing itself where the file system
// says it, so a plain entry costs no extra look-up; links and entries of unknown kind are
// looked up once. An entry that cannot be reached by the decoded name (bytes that are not valid text)
// or whose path is too long to be looked up is kept only when a look-up of that path finds the wanted kind.
// Only the names that WildcardMatch accepts for `pattern` are kept, tested before any look-up. `goOn` is
// asked every EntriesPerGoOnCheck entries; when it answers false the reading ends with `stopped` set.
FolderEntries ReadFolderEntries(const QString& folder, EntryKind kind, const QString& pattern = QStringLiteral("*"),
                                const WorkGoesOn& goOn = {});

// A folder's subfolders and its files from one directory listing, each as ReadFolderEntries would give
// them: every subfolder, and the files that match `filePattern`. An entry of either kind is looked up at
// most once. Both parts carry the same error and stop.
struct FolderContents
{
    FolderEntries subfolders;
    FolderEntries files;
};
FolderContents ReadFolderContents(const QString& folder, const QString& filePattern, const WorkGoesOn& goOn = {});

} // namespace ostrand
