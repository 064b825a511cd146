// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>

#include "core/common/Paths.h"
#include "core/common/Result.h"
#include "core/convert/ConversionOptions.h"
#include "core/convert/WorkSlices.h"

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

// The documents one conversion run has written, so that a later entry of the run never replaces one of them
// (two x.csv from different folders into one chosen folder, or x.csv beside x.txt).
class WrittenDocuments
{
public:
    // True when the path names a document written earlier in the run, by its text or as the same file.
    bool contains(const QString& path) const;
    void add(const QString& path);

private:
    QSet<QString> m_paths;
    QSet<QString> m_files; // the identity of each written file (device and inode, or its canonical path)
};

// Writes the bytes to the path atomically (a temporary file in the target folder, then put in place): a
// failed write leaves any earlier file untouched and nothing half-written. Refuses, writing nothing, an
// empty path and a path that names the source file itself (links resolved). An existing path that is not a
// regular file (a FIFO, a device) is refused. A symbolic link is followed only where the kernel would follow
// it when links in shared sticky folders are protected (the link belongs to the user or to the folder's
// owner, or the folder is not both sticky and writable by all), and only to a regular file; otherwise the
// write is refused and nothing changes. A full disk or any other failing write or sync is reported with the
// system's own text.
//
// Large documents are written in chunks with a break offered between two of them; where the system allows,
// each chunk is sent on to the disk as soon as it is written, so that no single wait for the disk, the
// final sync included, covers more than a couple of chunks; the final sync and the rename go on while
// breaks are offered. A break that ends the write before the document is put in place removes the temporary
// file and fails, leaving the path as it was; once it is being put in place, the write completes.
Status writeDocument(const QString& path, const QByteArray& bytes, const QString& sourcePath,
                     const SliceBreak& pause = {});

} // namespace ostrand
