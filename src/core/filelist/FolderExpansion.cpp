// SPDX-License-Identifier: MIT
#include "core/filelist/FolderExpansion.h"

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

// The kept files of one folder, as full normalized paths. The listing has already kept only files that
// can be opened, so each path is not looked up again for that. A name holds no separator, so normalizing
// the folder part once gives the same paths as normalizing each whole path.
QStringList filesOf(const QString& folder, const QStringList& names)
{
    const QString joined = folder + pathSeparator();
    const QString normalized = NormalizePath(joined);
    QStringList paths;
    paths.reserve(names.size());
    for (const QString& name : names) {
        if (name.startsWith(QLatin1Char('~')) || isHiddenArchiveFile(joined + name, name))
            continue;
        paths.append(normalized + name);
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
    QStringList folders{folder + pathSeparator()};
    GetSubDirectories2016(folders, true, host);
    Pacer pacer(host);
    for (QString entry : std::as_const(folders)) {
        if (host.stopRequested())
            return;
        entry.chop(1); // the trailing separator
        const Result<QStringList> names = GetFilesInFolder(entry, pattern);
        if (names)
            receive(entry, filesOf(entry, names.value()));
        else
            receive(entry, Failure{names.error()});
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
