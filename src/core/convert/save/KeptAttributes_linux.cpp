// SPDX-License-Identifier: MIT
#include "core/convert/save/KeptAttributes.h"

#include <cerrno>
#include <cstring>

#include <sys/xattr.h>

#include <QByteArray>

#include "core/common/SystemText.h"

namespace ostrand {

namespace {

// The attributes that hold access rules: the access control lists (POSIX and NFSv4) live in the system's own
// namespace, and losing one would widen who may read the document.
bool isAccessRule(const char* name)
{
    return std::strncmp(name, "system.", 7) == 0;
}

// The access control list of a file, beyond its mode bits.
constexpr const char* kAccessList = "system.posix_acl_access";

// Attributes bound to the old bytes: the integrity module's hash and signature of them. Carried onto new bytes they
// would no longer match, and a system that appraises files would refuse to open the document.
bool isBoundToContent(const char* name)
{
    return std::strcmp(name, "security.ima") == 0 || std::strcmp(name, "security.evm") == 0;
}

// Reads a list or value whose size is asked first and may change between the two calls; -1 with errno set on
// failure.
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

Status keepAttributes(int from, int to)
{
    // The descriptor may only name the file: its attributes are read through the name the system gives it.
    const QByteArray file = "/proc/self/fd/" + QByteArray::number(from);
    QByteArray names;
    if (readGrowing(names, [&](char* list, size_t size) { return ::listxattr(file.constData(), list, size); }) < 0) {
        if (noAttributes(errno))
            return Status::success();
        return Failure{
            QStringLiteral("The access rules of the existing file cannot be read: %1").arg(systemErrorText(errno))};
    }
    QByteArray value;
    bool accessList = false;
    for (qsizetype at = 0; at < names.size(); at += qsizetype(std::strlen(names.constData() + at)) + 1) {
        const char* name = names.constData() + at;
        if (isBoundToContent(name))
            continue;
        const qsizetype size = readGrowing(
            value, [&](char* into, size_t room) { return ::getxattr(file.constData(), name, into, room); });
        if (size < 0) {
            // Gone meanwhile, or not readable by this user (an attribute of users needs read access).
            if (errno == ENODATA || !isAccessRule(name))
                continue;
            return accessRuleFailure(name, errno);
        }
        if (::fsetxattr(to, name, value.constData(), size_t(size), 0) != 0 && isAccessRule(name))
            return accessRuleFailure(name, errno);
        accessList = accessList || std::strcmp(name, kAccessList) == 0;
    }
    // A new file in a folder with a default access control list has one of its own, which the old file may not have.
    if (!accessList && ::fremovexattr(to, kAccessList) != 0 && errno != ENODATA && !noAttributes(errno))
        return accessRuleFailure(kAccessList, errno);
    return Status::success();
}

std::optional<int> modeFromDefaultAccessList(int folder, int requested)
{
    // The list as the kernel stores it: a version (2), then entries of a tag, permissions and an id, little-endian.
    QByteArray list;
    const qsizetype size = readGrowing(list, [&](char* into, size_t room) {
        return ::fgetxattr(folder, "system.posix_acl_default", into, room);
    });
    if (size < 4 || (size - 4) % 8 != 0)
        return std::nullopt;
    const auto little = [&](qsizetype at) { return int(uchar(list[at])) | int(uchar(list[at + 1])) << 8; };
    int owner = 0, group = 0, mask = -1, others = 0;
    for (qsizetype at = 4; at < size; at += 8) {
        const int permissions = little(at + 2) & 7;
        switch (little(at)) {
        case 0x01: owner = permissions; break;
        case 0x04: group = permissions; break;
        case 0x10: mask = permissions; break;
        case 0x20: others = permissions; break;
        default: break;
        }
    }
    return requested & (owner << 6 | (mask >= 0 ? mask : group) << 3 | others);
}

} // namespace ostrand
