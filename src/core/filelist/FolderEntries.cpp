// SPDX-License-Identifier: MIT
#include "core/filelist/FolderEntries.h"

#include <filesystem>

#include <QFile>
#include <QFileInfo>

#include "core/common/Paths.h"
#include "core/filelist/Wildcard.h"

namespace fs = std::filesystem;

namespace ostrand {

namespace {

// The longest path the platform looks up (in its own units); the listing's word on an entry with a longer
// path is not taken, since nothing else could reach the entry by that path.
constexpr std::size_t LongestPathLookedUp = 4095;

fs::path toFsPath(const QString& path)
{
#ifdef Q_OS_WIN
    return fs::path(path.toStdWString());
#else
    return fs::path(QFile::encodeName(path).toStdString());
#endif
}

QString nameOf(const fs::directory_entry& entry)
{
#ifdef Q_OS_WIN
    return QString::fromStdWString(entry.path().filename().native());
#else
    return QFile::decodeName(QByteArray::fromStdString(entry.path().filename().native()));
#endif
}

bool isWantedKind(const fs::directory_entry& entry, EntryKind kind)
{
    std::error_code ec; // a dangling link or a vanished entry is of no kind
    return kind == EntryKind::Files ? entry.is_regular_file(ec) : entry.is_directory(ec);
}

bool isWantedKind(const QString& path, EntryKind kind)
{
    const QFileInfo info(path);
    return kind == EntryKind::Files ? info.isFile() : info.isDir();
}

} // namespace

QString FolderEntries::errorText() const
{
    return error ? QString::fromLocal8Bit(error.message()) : QString();
}

bool FolderEntries::notFound() const
{
    return error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory;
}

bool FolderEntries::accessDenied() const
{
    return error == std::errc::permission_denied || error == std::errc::operation_not_permitted;
}

FolderEntries ReadFolderEntries(const QString& folder, EntryKind kind, const QString& pattern)
{
    FolderEntries result;
    fs::directory_iterator it(toFsPath(folder), result.error);
    const fs::directory_iterator end;
    const bool everyName = pattern == QLatin1String("*") || pattern == QLatin1String("*.*");
    QString prefix = folder;
    if (!prefix.endsWith(pathSeparator()))
        prefix += pathSeparator();
    for (; !result.error && it != end; it.increment(result.error)) {
        const QString name = nameOf(*it);
        if (!everyName && !WildcardMatch(name, pattern))
            continue;
        const bool addressable = !name.contains(QChar::ReplacementCharacter)
            && it->path().native().size() <= LongestPathLookedUp;
        const bool wanted = addressable ? isWantedKind(*it, kind) : isWantedKind(prefix + name, kind);
        if (wanted)
            result.names.append(name);
    }
    return result;
}

} // namespace ostrand
