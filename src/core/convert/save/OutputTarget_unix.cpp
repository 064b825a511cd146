// SPDX-License-Identifier: MIT
#include "core/convert/save/OutputTarget.h"

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>

#include "core/common/NameBytes.h"
#include "core/common/SystemText.h"
#include "core/convert/save/UnixLook.h"

namespace ostrand {

namespace {

// The text of the symbolic link at the path; empty, with errno set, when it cannot be read.
QByteArray linkText(const QByteArray& path)
{
    QByteArray text(4096, Qt::Uninitialized);
    for (;;) {
        const ssize_t size = ::readlink(path.constData(), text.data(), size_t(text.size()));
        if (size < 0)
            return QByteArray();
        if (size < text.size())
            return text.left(size);
        text.resize(text.size() * 2);
    }
}

} // namespace

Result<OutputTarget> lookAtTarget(const QString& path)
{
    QString at = path;
    // As many links as the system follows in one path (Linux: 40), and not one more.
    for (int hops = 0; hops <= 40; ++hops) {
        const QByteArray encoded = QFile::encodeName(at);
        UnixLook look;
        if (lookAt(AT_FDCWD, encoded.constData(), AT_SYMLINK_NOFOLLOW, look) != 0) {
            if (hops == 0) // a new document; any other trouble shows when it is written
                return OutputTarget{path, false, false, std::nullopt};
            return cannotWrite(path, QStringLiteral("It is a symbolic link that leads nowhere"));
        }
        if (S_ISREG(look.mode))
            return OutputTarget{at, true, false, look.seen.identity, look.seen.born};
        if (hops == 0 && S_ISDIR(look.mode))
            return OutputTarget{path, true, true, std::nullopt};
        if (!S_ISLNK(look.mode))
            return cannotWrite(path, hops == 0 ? QStringLiteral("It is not a regular file")
                                               : QStringLiteral("It is a symbolic link to something that is "
                                                                "not a regular file"));
        const QFileInfo info(at);
        struct stat folder;
        if (::stat(QFile::encodeName(info.absolutePath()).constData(), &folder) != 0)
            return cannotWrite(path, systemErrorText(errno));
        const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
        if (shared && look.owner != ::geteuid() && look.owner != folder.st_uid)
            return cannotWrite(path, QStringLiteral("It is a symbolic link in a shared folder, owned by another "
                                                    "user; it is not followed"));
        // The link's own text, taken from its folder when relative (the kernel's way, which
        // QFileInfo::symLinkTarget does not follow for a relative path).
        const QByteArray target = linkText(encoded);
        if (target.isEmpty())
            return cannotWrite(path, systemErrorText(errno));
        at = target.startsWith('/') ? NameFromBytes(target)
                                    : info.absolutePath() + QLatin1Char('/') + NameFromBytes(target);
    }
    return cannotWrite(path, systemErrorText(ELOOP));
}

} // namespace ostrand
