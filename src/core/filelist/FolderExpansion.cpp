// SPDX-License-Identifier: MIT
#include "core/filelist/FolderExpansion.h"

#include <optional>
#include <utility>

#include "core/common/FileAttributes.h"
#include "core/common/Paths.h"
#include "core/filelist/FileListing.h"
#include "core/filelist/FolderScan.h"
#include "core/filelist/Pacer.h"

namespace ostrand {

namespace {

// True for a file whose attribute value is exactly hidden + archive (34). Here only a name beginning
// with "." is hidden, so no other listed file needs a look-up; elsewhere every file is asked.
bool isHiddenArchiveFile(const QString& path, const QString& name)
{
    if constexpr (nativePathRules() == PathRules::Posix) {
        if (!name.startsWith(QLatin1Char('.')))
            return false;
    }
    return AttributesOf(path) == (Attribute::Hidden | Attribute::Archive);
}

// The kept files of one folder, as full normalized paths, or std::nullopt when told to stop on the way.
// The listing has already kept only files that can be opened, so each path is not looked up again for
// that. A name holds no separator, so normalizing the folder part once gives the same paths as
// normalizing each whole path. Each name is let go as soon as its path is made.
std::optional<QStringList> filesOf(const QString& folder, QStringList names, const WorkGoesOn& goOn)
{
    const QString joined = folder + pathSeparator();
    const QString normalized = NormalizePath(joined);
    QStringList paths;
    paths.reserve(names.size());
    GoOnChecks checks(goOn);
    for (QString& name : names) {
        if (!checks.goOn())
            return std::nullopt;
        if (!name.startsWith(QLatin1Char('~')) && !isHiddenArchiveFile(joined + name, name))
            paths.append(normalized + name);
        name = QString();
    }
    return paths;
}

} // namespace

QString PatternForExtension(const QString& extension)
{
    return QStringLiteral("*.") + extension;
}

void CollectFilesInTree(const QString& folder, const QString& pattern, ScanHost& host,
                        const FolderFilesReceiver& receive)
{
    const QString start = folder + pathSeparator();
    QStringList folders{start};
    ScannedFolderFiles scanned;
    GetSubDirectories2016(folders, true, host, pattern, scanned);
    if (folders.isEmpty()) {
        // The scan drops a folder it may not read without a word; the folder asked for is the caller's to report.
        const auto found = scanned.constFind(start);
        if (found != scanned.cend() && found->error && !host.stopRequested())
            receive(folder, Failure{found->errorText()});
        return;
    }
    Pacer pacer(host);
    const WorkGoesOn goOn = [&pacer] { return pacer.yield(); };
    for (QString entry : std::as_const(folders)) {
        if (host.stopRequested())
            return;
        // The scan read most folders already and kept their files; any other folder is read now.
        std::optional<FolderEntries> kept;
        if (const auto found = scanned.find(entry); found != scanned.end()) {
            kept = std::move(found.value());
            scanned.erase(found);
        }
        entry.chop(1); // the trailing separator
        FolderEntries files = kept ? std::move(*kept) : ReadFolderEntries(entry, EntryKind::Files, pattern, goOn);
        if (files.stopped)
            return;
        if (files.undecodableNames > 0)
            host.namesNotValidUtf8(entry, files.undecodableNames);
        if (kept && files.error) {
            receive(entry, QStringList()); // the scan could not read it and has reported why
        } else if (files.listingFailed()) {
            receive(entry, Failure{files.errorText()});
        } else {
            if (!SortInListingOrder(files.names, goOn))
                return;
            const std::optional<QStringList> paths = filesOf(entry, std::move(files.names), goOn);
            if (!paths)
                return;
            receive(entry, *paths);
        }
        if (!pacer.yield())
            return;
    }
}

QStringList CollectFilesInTree(const QString& folder, const QString& pattern, ScanHost& host)
{
    QStringList all;
    CollectFilesInTree(folder, pattern, host, [&all](const QString&, const Result<QStringList>& paths) {
        if (paths)
            all.append(paths.value());
    });
    return all;
}

} // namespace ostrand
