// SPDX-License-Identifier: MIT
#include "core/convert/save/KeptAttributes.h"

#include <cerrno>
#include <cstring>

#include <sys/xattr.h>

#include "core/common/SystemText.h"

namespace ostrand {

namespace {

// The attributes that hold access rules: the access control lists (POSIX and NFSv4) live in the system's own
// namespace, and losing one would widen who may read the document.
bool isAccessRule(const char* name)
{
    return std::strncmp(name, "system.", 7) == 0;
}

// Reads a list or value whose size is asked first and may change between the two calls; -1 with errno set on
// failure. The link at the path, if one was put there meanwhile, is not followed.
template <class Read> qsizetype readGrowing(QByteArray& into, Read read)
{
    for (;;) {
        const ssize_t size = read(nullptr, 0);
        if (size <= 0) {
            const int error = errno;
            into.clear();
            errno = error;
            return size;
        }
        into.resize(size);
        const ssize_t got = read(into.data(), size_t(size));
        if (got >= 0) {
            into.truncate(got);
            return got;
        }
        if (errno != ERANGE)
            return -1;
    }
}

Failure accessRuleFailure(const char* name, int error)
{
    return Failure{QStringLiteral("The access rules of the existing file (%1) cannot be kept: %2")
                       .arg(QString::fromLatin1(name), systemErrorText(error))};
}

// Whether the file system keeps no extended attributes at all: then the old file had none either.
bool noAttributes(int error)
{
    return error == ENOTSUP || error == ENOSYS;
}

} // namespace

Status keepAttributes(const QByteArray& from, int to)
{
    QByteArray names;
    if (readGrowing(names, [&](char* list, size_t size) { return ::llistxattr(from.constData(), list, size); }) < 0) {
        if (noAttributes(errno))
            return Status::success();
        return Failure{
            QStringLiteral("The access rules of the existing file cannot be read: %1").arg(systemErrorText(errno))};
    }
    QByteArray value;
    for (qsizetype at = 0; at < names.size(); at += qsizetype(std::strlen(names.constData() + at)) + 1) {
        const char* name = names.constData() + at;
        const qsizetype size = readGrowing(
            value, [&](char* into, size_t room) { return ::lgetxattr(from.constData(), name, into, room); });
        if (size < 0) {
            // Gone meanwhile, or not readable by this user (an attribute of users needs read access).
            if (errno == ENODATA || !isAccessRule(name))
                continue;
            return accessRuleFailure(name, errno);
        }
        if (::fsetxattr(to, name, value.constData(), size_t(size), 0) != 0 && isAccessRule(name))
            return accessRuleFailure(name, errno);
    }
    return Status::success();
}

} // namespace ostrand
