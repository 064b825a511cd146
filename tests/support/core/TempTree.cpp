// SPDX-License-Identifier: MIT
#include "support/core/TempTree.h"

#include <fcntl.h>
#include <unistd.h>
#ifdef Q_OS_WIN
#include <windows.h>
#endif

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace ostrand::test {

TempTree::TempTree() = default;

QString TempTree::root() const
{
    return QDir::toNativeSeparators(m_dir.path());
}

QString TempTree::path(const QString& relative) const
{
    return QDir::toNativeSeparators(m_dir.path() + QLatin1Char('/') + relative);
}

QString TempTree::writeFile(const QString& relative, const QByteArray& bytes) const
{
    const QString full = path(relative);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile file(full);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
    return full;
}

bool TempTree::writeFileNamed(const QString& folder, const QByteArray& name, const QByteArray& bytes) const
{
    const QByteArray full = QFile::encodeName(makeFolder(folder)) + '/' + name;
    const int fd = ::open(full.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && written;
}

QString TempTree::makeFolder(const QString& relative) const
{
    const QString full = path(relative);
    QDir().mkpath(full);
    return full;
}

void TempTree::hideDotNames() const
{
#ifdef Q_OS_WIN
    QDirIterator it(m_dir.path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo entry(it.next());
        if (!entry.fileName().startsWith(QLatin1Char('.')))
            continue;
        const std::wstring name = QDir::toNativeSeparators(entry.filePath()).toStdWString();
        const DWORD attributes = ::GetFileAttributesW(name.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            continue;
        // What a Windows system marks its own hidden files and folders with.
        const DWORD hidden = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM
                                                                     : FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
        ::SetFileAttributesW(name.c_str(), attributes | hidden);
    }
#endif
}

QByteArray TempTree::readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QMap<QString, QByteArray> TempTree::snapshot(const QString& root)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        entries.insert(path.mid(root.size()), it.fileInfo().isFile() ? readFile(path) : QByteArrayLiteral("<folder>"));
    }
    return entries;
}

} // namespace ostrand::test
