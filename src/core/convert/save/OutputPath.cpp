// SPDX-License-Identifier: MIT
#include "core/convert/save/OutputPath.h"

namespace ostrand {

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

} // namespace ostrand
