// SPDX-License-Identifier: MIT
#include "core/filelist/FolderEntries.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <filesystem>
#endif

#include <QFile>
#include <QFileInfo>

#include "core/common/NameBytes.h"
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

QString withSeparator(const QString& folder)
{
    return folder.endsWith(pathSeparator()) ? folder : folder + pathSeparator();
}

// The kinds one reading keeps: a kind whose list is null is not wanted.
struct Wanted
{
    QStringList* subfolders = nullptr;
    QString subfolderPattern;
    QStringList* files = nullptr;
    QString filePattern;
    int* undecodableFiles = nullptr; // counts the files left out because their names are not valid UTF-8
};

// How a reading ended.
struct ReadEnd
{
    std::error_code error;
    bool stopped = false;
};

#ifdef Q_OS_UNIX

// The deepest folder below an unreachable one that is still looked into.
constexpr int DeepestUnreachableFolder = 64;

// Counts the files of the pattern in the tree of a folder that no name we can hand on reaches (its own name is
// not valid UTF-8): none of them can be listed, and the user is told how many were left out. Hidden entries and
// files whose names begin with "~" are left out as the listing leaves them out; links to folders are not
// entered, as the scan never enters them.
int countUnreachableFiles(int parent, const char* name, const QString& pattern, int depth = 0)
{
    if (depth > DeepestUnreachableFolder)
        return 0;
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return 0;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return 0;
    }
    const bool anyFile = everyName(pattern);
    int count = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue; // ".", ".." and hidden entries
        bool folder = entry->d_type == DT_DIR;
        bool file = entry->d_type == DT_REG;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat target;
            folder = entry->d_type == DT_UNKNOWN &&
                     ::fstatat(::dirfd(dir), entry->d_name, &target, AT_SYMLINK_NOFOLLOW) == 0 &&
                     S_ISDIR(target.st_mode);
            file = !folder && ::fstatat(::dirfd(dir), entry->d_name, &target, 0) == 0 && S_ISREG(target.st_mode);
        }
        if (folder)
            count += countUnreachableFiles(::dirfd(dir), entry->d_name, pattern, depth + 1);
        else if (file && entry->d_name[0] != '~' &&
                 (anyFile || WildcardMatch(NameFromBytes(entry->d_name), pattern)))
            ++count;
    }
    ::closedir(dir);
    return count;
}

// Reads the folder with readdir: the entry's kind comes with its name, so entries of no wanted kind are
// passed over before their names are even decoded, and a plain file or folder needs no look-up. A link or
// an entry of unknown kind is looked up once, whichever kinds are wanted.
ReadEnd readFolder(const QString& folder, const Wanted& wanted, const WorkGoesOn& goOn)
{
    ReadEnd end;
    const QByteArray encodedFolder = QFile::encodeName(folder);
    DIR* dir = ::opendir(encodedFolder.constData());
    if (!dir) {
        end.error = std::error_code(errno, std::generic_category());
        return end;
    }
    // A folder that may be read but not searched names entries that nobody can open or look up: it has no
    // file and no subfolder to offer. One check for the folder spares a failing look-up per entry.
    if (::faccessat(::dirfd(dir), ".", X_OK, AT_EACCESS) != 0) {
        ::closedir(dir);
        return end;
    }
    const bool anySubfolder = everyName(wanted.subfolderPattern);
    const bool anyFile = everyName(wanted.filePattern);
    const QString prefix = withSeparator(folder);
    const qsizetype prefixLength = QFile::encodeName(prefix).size();
    GoOnChecks checks(goOn);
    for (;;) {
        if (!checks.goOn()) {
            end.stopped = true;
            break;
        }
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry) {
            if (errno != 0)
                end.error = std::error_code(errno, std::generic_category());
            break;
        }
        const unsigned char type = entry->d_type;
        const bool link = type == DT_LNK || type == DT_UNKNOWN;
        bool asSubfolder = wanted.subfolders && (link || type == DT_DIR);
        bool asFile = wanted.files && (link || type == DT_REG);
        // A folder that no name reaches holds files that are counted, never listed; a hidden one is never scanned.
        const bool mayBeUnreachable = wanted.undecodableFiles && type == DT_DIR && entry->d_name[0] != '.';
        if (!asSubfolder && !asFile && !mayBeUnreachable)
            continue;
        const qsizetype length = qsizetype(std::strlen(entry->d_name));
        if ((length == 1 && entry->d_name[0] == '.') || (length == 2 && std::strcmp(entry->d_name, "..") == 0))
            continue;
        const QString name = NameFromBytes(QByteArrayView(entry->d_name, length));
        if (mayBeUnreachable && name.contains(QChar::ReplacementCharacter) &&
            QFile::encodeName(name) != QByteArrayView(entry->d_name, length)) {
            *wanted.undecodableFiles += countUnreachableFiles(::dirfd(dir), entry->d_name, wanted.filePattern);
            continue;
        }
        asSubfolder = asSubfolder && (anySubfolder || WildcardMatch(name, wanted.subfolderPattern));
        asFile = asFile && (anyFile || WildcardMatch(name, wanted.filePattern));
        if (!asSubfolder && !asFile)
            continue;
        if (name.contains(QChar::ReplacementCharacter) &&
            QFile::encodeName(name) != QByteArrayView(entry->d_name, length)) {
            // No name we can hand on reaches this entry: a file among them is counted, never listed.
            struct stat target;
            if (asFile && wanted.undecodableFiles && ::fstatat(::dirfd(dir), entry->d_name, &target, 0) == 0 &&
                S_ISREG(target.st_mode))
                ++*wanted.undecodableFiles;
            continue;
        }
        if (name.contains(QChar::ReplacementCharacter) || prefixLength + length > LongestPathLookedUp) {
            // Looked up by the path callers will use.
            const QFileInfo info(prefix + name);
            asSubfolder = asSubfolder && info.isDir();
            asFile = asFile && info.isFile();
        } else if (link) {
            struct stat target;
            const bool found = ::fstatat(::dirfd(dir), entry->d_name, &target, 0) == 0;
            asSubfolder = asSubfolder && found && S_ISDIR(target.st_mode);
            asFile = asFile && found && S_ISREG(target.st_mode);
        }
        if (asSubfolder)
            wanted.subfolders->append(name);
        if (asFile)
            wanted.files->append(name);
    }
    ::closedir(dir);
    return end;
}

#else

// Reads the folder with the standard library where readdir is not at hand.
ReadEnd readFolder(const QString& folder, const Wanted& wanted, const WorkGoesOn& goOn)
{
    namespace fs = std::filesystem;
    ReadEnd end;
    fs::directory_iterator it(fs::path(folder.toStdWString()), end.error);
    const bool anySubfolder = everyName(wanted.subfolderPattern);
    const bool anyFile = everyName(wanted.filePattern);
    const QString prefix = withSeparator(folder);
    GoOnChecks checks(goOn);
    for (; !end.error && it != fs::directory_iterator(); it.increment(end.error)) {
        if (!checks.goOn()) {
            end.stopped = true;
            break;
        }
        const QString name = QString::fromStdWString(it->path().filename().native());
        bool asSubfolder = wanted.subfolders && (anySubfolder || WildcardMatch(name, wanted.subfolderPattern));
        bool asFile = wanted.files && (anyFile || WildcardMatch(name, wanted.filePattern));
        if (!asSubfolder && !asFile)
            continue;
        if (it->path().native().size() > std::size_t(LongestPathLookedUp)) {
            // Looked up by the path callers will use.
            const QFileInfo info(prefix + name);
            asSubfolder = asSubfolder && info.isDir();
            asFile = asFile && info.isFile();
        } else {
            std::error_code ec; // a dangling link or a vanished entry is of no kind
            asSubfolder = asSubfolder && it->is_directory(ec);
            asFile = asFile && it->is_regular_file(ec);
        }
        if (asSubfolder)
            wanted.subfolders->append(name);
        if (asFile)
            wanted.files->append(name);
    }
    return end;
}

#endif

void takeEnd(FolderEntries& entries, const ReadEnd& end)
{
    entries.error = end.error;
    entries.stopped = end.stopped;
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

FolderEntries ReadFolderEntries(const QString& folder, EntryKind kind, const QString& pattern, const WorkGoesOn& goOn)
{
    FolderEntries result;
    Wanted wanted;
    if (kind == EntryKind::Files) {
        wanted.files = &result.names;
        wanted.filePattern = pattern;
        wanted.undecodableFiles = &result.undecodableNames;
    } else {
        wanted.subfolders = &result.names;
        wanted.subfolderPattern = pattern;
    }
    takeEnd(result, readFolder(folder, wanted, goOn));
    return result;
}

FolderContents ReadFolderContents(const QString& folder, const QString& filePattern, const WorkGoesOn& goOn)
{
    FolderContents contents;
    const Wanted wanted{&contents.subfolders.names, QStringLiteral("*"), &contents.files.names, filePattern,
                        &contents.files.undecodableNames};
    const ReadEnd end = readFolder(folder, wanted, goOn);
    takeEnd(contents.subfolders, end);
    takeEnd(contents.files, end);
    return contents;
}

} // namespace ostrand
