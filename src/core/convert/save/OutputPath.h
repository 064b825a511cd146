// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include "core/common/Paths.h"
#include "core/convert/ConversionOptions.h"

namespace ostrand {

// The document's file name: the source's file name without its last "." and what follows it, plus ".htm"
// (sales.csv gives sales.htm, a.b.csv a.b.htm, .csv .htm, report. report.htm). A name without any "."
// keeps its whole text: README gives README.htm.
QString OutputFileName(const QString& sourcePath, PathRules rules = nativePathRules());

// Where the document goes, cleaned by NormalizePath:
//  - ChosenFolder: the output folder, a separator, the name; "" when no folder is given (never the root);
//  - SourceFolder: the source's folder, a separator, the name; just the name when the source path has no
//    folder part (beside the source, relative to the working folder);
//  - None: "" (there is nowhere to write).
QString OutputPath(const QString& sourcePath, OutputMode mode, const QString& outputFolder, const QString& outputName,
                   PathRules rules = nativePathRules());

} // namespace ostrand
