// SPDX-License-Identifier: MIT
#include "core/convert/OutputFile.h"

#include <filesystem>
#include <system_error>

#include <QFileInfo>
#include <QSaveFile>

namespace ostrand {

namespace {

// True when both paths exist and name one file, through symbolic or hard links alike.
bool isSameFile(const QString& a, const QString& b)
{
    std::error_code error;
    return std::filesystem::equivalent(QFileInfo(a).filesystemFilePath(), QFileInfo(b).filesystemFilePath(), error);
}

Failure writeFailure(const QString& path, const QString& reason)
{
    return Failure{QStringLiteral("Cannot write %1: %2").arg(path, reason)};
}

} // namespace

QString OutputFileName(const QString& sourcePath, PathRules rules)
{
    const QString name = FileNameOf(sourcePath, rules);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return (dot < 0 ? name : name.left(dot)) + QStringLiteral(".htm");
}

QString OutputPath(const QString& sourcePath, OutputMode mode, const QString& outputFolder, const QString& outputName,
                   PathRules rules)
{
    switch (mode) {
    case OutputMode::ChosenFolder:
        if (outputFolder.isEmpty())
            return QString();
        return NormalizePath(outputFolder + pathSeparator(rules) + outputName, rules);
    case OutputMode::SourceFolder: {
        const QString folder = FolderOf(sourcePath, rules);
        if (folder.isEmpty())
            return outputName;
        return NormalizePath(folder + pathSeparator(rules) + outputName, rules);
    }
    case OutputMode::None:
        break;
    }
    return QString();
}

Status writeDocument(const QString& path, const QByteArray& bytes, const QString& sourcePath)
{
    if (path.isEmpty())
        return Failure{QStringLiteral("No output folder is chosen: the document has nowhere to go")};
    if (isSameFile(path, sourcePath))
        return writeFailure(path, QStringLiteral("It is the source file itself, which is never overwritten"));

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return writeFailure(path, file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return writeFailure(path, reason);
    }
    if (!file.commit())
        return writeFailure(path, file.errorString());
    return Status::success();
}

} // namespace ostrand
