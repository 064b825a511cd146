// SPDX-License-Identifier: MIT
#include "core/convert/save/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

namespace ostrand {

namespace {

FileIdentity identityOfStat(const struct stat& info)
{
    return FileIdentity{quint64(info.st_dev), quint64(info.st_ino)};
}

} // namespace

std::optional<FileIdentity> identityAt(const QString& path)
{
    struct stat info;
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return identityOfStat(info);
}

std::optional<FileIdentity> identityOf(int fd)
{
    struct stat info;
    if (fd < 0 || ::fstat(fd, &info) != 0)
        return std::nullopt;
    return identityOfStat(info);
}

bool anythingAt(const QString& path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

bool mayWrite(const QString& file)
{
    return ::access(QFile::encodeName(file).constData(), W_OK) == 0;
}

void syncFolder(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace ostrand
