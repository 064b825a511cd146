// SPDX-License-Identifier: MIT
#include "core/common/Paths.h"

#include <QDir>
#include <QFileInfo>

#include "core/common/FileAttributes.h"

namespace ostrand {

QChar pathSeparator(PathRules rules)
{
    return rules == PathRules::Windows ? QLatin1Char('\\') : QLatin1Char('/');
}

QString NormalizePath(const QString& path, PathRules rules)
{
    if (path.isEmpty())
        return path;
    const QChar sep = pathSeparator(rules);
    QString out;
    out.reserve(path.size() + 1);
    qsizetype i = 0;
    if (path.front() == sep) {
        while (i < path.size() && path.at(i) == sep)
            ++i;
        out.append(sep);
        if (rules == PathRules::Windows)
            out.append(sep);
    }
    while (i < path.size()) {
        const QChar c = path.at(i);
        out.append(c);
        i += (c == sep && i + 1 < path.size() && path.at(i + 1) == sep) ? 2 : 1;
    }
    return out;
}

QString FolderOf(const QString& path, PathRules rules)
{
    const qsizetype last = path.lastIndexOf(pathSeparator(rules));
    return last < 0 ? QString() : path.left(last + 1);
}

QString UndecodableNameReason(const QString& path)
{
    if (path.contains(QChar::ReplacementCharacter))
        return QStringLiteral("The name is not valid UTF-8, so the file cannot be reached by it");
    return QString();
}

QString FileNameOf(const QString& path, PathRules rules)
{
    const qsizetype last = path.lastIndexOf(pathSeparator(rules));
    return last < 0 ? path : path.mid(last + 1);
}

bool IsFolder(const QString& path)
{
    const int attributes = AttributesOf(path);
    return attributes >= 0 && (attributes & Attribute::Folder) != 0;
}

bool FileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

bool IsRootFolder(const QString& path)
{
    if (path.isEmpty())
        return false;
    return QFileInfo(path).isRoot() || QDir(path).isRoot();
}

} // namespace ostrand
