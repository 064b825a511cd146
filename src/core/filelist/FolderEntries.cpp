// SPDX-License-Identifier: MIT
#include "core/filelist/FolderEntries.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#else
#include <filesystem>
#endif

#include <QFile>
#include <QFileInfo>

#include "core/common/Paths.h"
#include "core/filelist/Wildcard.h"

namespace ostrand {

namespace {

// The longest path the platform looks up, in its own units. The listing's word on an entry with a longer
// path is not taken: nothing else could reach the entry by that path.
constexpr qsizetype LongestPathLookedUp = 4095;

bool everyName(const QString& pattern)
{
    return pattern == QLatin1String("*") || pattern == QLatin1String("*.*");
}

// Looks an entry up by the path callers will use.
bool isKindAt(const QString& path, EntryKind kind)
{
    const QFileInfo info(path);
    return kind == EntryKind::Files ? info.isFile() : info.isDir();
}

QString withSeparator(const QString& folder)
{
    return folder.endsWith(pathSeparator()) ? folder : folder + pathSeparator();
}

#ifdef Q_OS_UNIX

bool isKind(mode_t mode, EntryKind kind)
{
    return kind == EntryKind::Files ? S_ISREG(mode) : S_ISDIR(mode);
}

// Reads the folder with readdir: the entry's kind comes with its name, so most entries of the other
// kind are passed over before their names are even decoded.
FolderEntries readFolder(const QString& folder, EntryKind kind, const QString& pattern)
{
    FolderEntries result;
    const QByteArray encodedFolder = QFile::encodeName(folder);
    DIR* dir = ::opendir(encodedFolder.constData());
    if (!dir) {
        result.error = std::error_code(errno, std::generic_category());
        return result;
    }
    const bool anyName = everyName(pattern);
    const QString prefix = withSeparator(folder);
    const qsizetype folderLength = encodedFolder.size() + 1;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry) {
            if (errno != 0)
                result.error = std::error_code(errno, std::generic_category());
            break;
        }
        const unsigned char type = entry->d_type;
        const bool link = type == DT_LNK || type == DT_UNKNOWN;
        if (!link && type != (kind == EntryKind::Files ? DT_REG : DT_DIR))
            continue;
        const qsizetype length = qsizetype(std::strlen(entry->d_name));
        if ((length == 1 && entry->d_name[0] == '.') || (length == 2 && std::strcmp(entry->d_name, "..") == 0))
            continue;
        const QString name = QString::fromLocal8Bit(QByteArrayView(entry->d_name, length));
        if (!anyName && !WildcardMatch(name, pattern))
            continue;
        bool wanted = true;
        if (name.contains(QChar::ReplacementCharacter) || folderLength + length > LongestPathLookedUp) {
            wanted = isKindAt(prefix + name, kind);
        } else if (link) {
            struct stat target;
            wanted = ::fstatat(::dirfd(dir), entry->d_name, &target, 0) == 0 && isKind(target.st_mode, kind);
        }
        if (wanted)
            result.names.append(name);
    }
    ::closedir(dir);
    return result;
}

#else

// Reads the folder with the standard library where readdir is not at hand.
FolderEntries readFolder(const QString& folder, EntryKind kind, const QString& pattern)
{
    namespace fs = std::filesystem;
    FolderEntries result;
    fs::directory_iterator it(fs::path(folder.toStdWString()), result.error);
    const bool anyName = everyName(pattern);
    const QString prefix = withSeparator(folder);
    for (; !result.error && it != fs::directory_iterator(); it.increment(result.error)) {
        const QString name = QString::fromStdWString(it->path().filename().native());
        if (!anyName && !WildcardMatch(name, pattern))
            continue;
        std::error_code ec; // a dangling link or a vanished entry is of no kind
        const bool fits = it->path().native().size() <= std::size_t(LongestPathLookedUp);
        const bool wanted = !fits ? isKindAt(prefix + name, kind)
            : kind == EntryKind::Files ? it->is_regular_file(ec) : it->is_directory(ec);
        if (wanted)
            result.names.append(name);
    }
    return result;
}

#endif

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
    return readFolder(folder, kind, pattern);
}

} // namespace ostrand
