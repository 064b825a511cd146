// SPDX-License-Identifier: MIT
#include "core/convert/save/WrittenDocuments.h"

namespace ostrand {

namespace {

QString sameOutputReason()
{
    return QStringLiteral("A document of an earlier entry of this run was written there, and it is kept");
}

} // namespace

QString SameOutputRefusal(const QString& outputPath)
{
    return QStringLiteral("Cannot write %1: %2").arg(outputPath, sameOutputReason());
}

bool IsSameOutputRefusal(const QString& description)
{
    return description.startsWith(QStringLiteral("Cannot write ")) &&
           description.endsWith(QStringLiteral(": ") + sameOutputReason());
}

QString SourceOfRunRefusal(const QString& outputPath)
{
    return QStringLiteral("Cannot write %1: It is the source of another entry of this run, which is never overwritten")
        .arg(outputPath);
}

void WrittenDocuments::addSource(const QString& sourcePath,
                                 const std::optional<std::optional<FileIdentity>>& looked)
{
    m_sourcePaths.insert(sourcePath);
    if (const std::optional<FileIdentity> file = looked ? *looked : identityAt(sourcePath))
        m_sourceFiles.insert(*file);
}

bool WrittenDocuments::isSourceOfAnother(const QString& path, const QString& sourcePath,
                                         const std::optional<FileIdentity>& file) const
{
    if (path == sourcePath)
        return false;
    if (m_sourcePaths.contains(path))
        return true;
    return file && m_sourceFiles.contains(*file) && file != identityAt(sourcePath);
}

QString SameOutputRefusalPath(const QString& description)
{
    if (!IsSameOutputRefusal(description))
        return QString();
    const qsizetype start = QStringLiteral("Cannot write ").size();
    return description.mid(start, description.size() - start - sameOutputReason().size() - 2);
}

bool WrittenDocuments::contains(const QString& path) const
{
    return contains(path, identityAt(path));
}

bool WrittenDocuments::contains(const QString& path, const std::optional<FileIdentity>& file) const
{
    return m_paths.contains(path) || (file && m_files.contains(*file));
}

void WrittenDocuments::add(const QString& path, const QString& sourcePath)
{
    add(path, sourcePath, identityAt(path));
}

void WrittenDocuments::add(const QString& path, const QString& sourcePath, const std::optional<FileIdentity>& file)
{
    m_paths.insert(path, sourcePath);
    if (file)
        m_files.insert(*file, sourcePath);
}

QString WrittenDocuments::sourceOf(const QString& path) const
{
    const auto byText = m_paths.constFind(path);
    if (byText != m_paths.constEnd())
        return *byText;
    const std::optional<FileIdentity> file = identityAt(path);
    return file ? m_files.value(*file) : QString();
}

} // namespace ostrand
