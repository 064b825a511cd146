// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QSet>
#include <QString>

#include "core/convert/save/FileSystem.h"

namespace ostrand {

// The documents one conversion run has written, so that a later entry of the run never replaces one of them
// (two x.csv from different folders into one chosen folder, or x.csv beside x.txt).
class WrittenDocuments
{
public:
    // True when the path names a document written earlier in the run, by its text or as the same file.
    bool contains(const QString& path) const;
    void add(const QString& path);
    // The same, for a caller who has just looked at the file at the path: its identity, none for a new name.
    bool contains(const QString& path, const std::optional<FileIdentity>& file) const;
    void add(const QString& path, const std::optional<FileIdentity>& file);

    // The sources of the run, taken when it starts: none of them is ever replaced by another entry's document.
    void addSource(const QString& sourcePath);
    // True when the path names a source of the run other than the given entry's own (by its text or as the same
    // file); a document of the entry would replace data the user listed to convert.
    bool isSourceOfAnother(const QString& path, const QString& sourcePath) const;

private:
    QSet<QString> m_paths;
    QSet<FileIdentity> m_files;
    QSet<QString> m_sourcePaths;
    QSet<FileIdentity> m_sourceFiles;
};

// A later entry's refusal to replace the document that an earlier entry of the run wrote at the output path.
QString SameOutputRefusal(const QString& outputPath);
bool IsSameOutputRefusal(const QString& description);
// A document's refusal to replace a source of another entry of the run.
QString SourceOfRunRefusal(const QString& outputPath);

} // namespace ostrand
