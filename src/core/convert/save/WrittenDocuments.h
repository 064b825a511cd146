// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QHash>
#include <QSet>
#include <QString>

#include "core/convert/save/FileSystem.h"

namespace ostrand {

// The documents one conversion run has written, so that a later entry of the run never replaces one of them
// (two x.csv from different folders into one chosen folder, or x.csv beside x.txt), and the source each was
// converted from.
class WrittenDocuments
{
public:
    // True when the path names a document written earlier in the run, by its text or as the same file.
    bool contains(const QString& path) const;
    void add(const QString& path, const QString& sourcePath);
    // The same, for a caller who has just looked at the file at the path: its identity, none for a new name.
    bool contains(const QString& path, const std::optional<FileIdentity>& file) const;
    void add(const QString& path, const QString& sourcePath, const std::optional<FileIdentity>& file);
    // The source of the document the run wrote at the path (by its text or as the same file); empty when none.
    QString sourceOf(const QString& path) const;

    // The sources of the run, taken when it starts: none of them is ever replaced by another entry's document.
    // `looked`: the identity of the file there as the caller has just found it, which saves a look.
    void addSource(const QString& sourcePath, const std::optional<std::optional<FileIdentity>>& looked = {});
    // True when the path names a source of the run other than the given entry's own (by its text, or as the same
    // file: `file` is what is at the path, none for a new name); a document of the entry would replace data the
    // user listed to convert.
    bool isSourceOfAnother(const QString& path, const QString& sourcePath,
                           const std::optional<FileIdentity>& file) const;

private:
    QSet<QString> m_sourcePaths;
    QSet<FileIdentity> m_sourceFiles;
    QHash<QString, QString> m_paths;      // document path: source
    QHash<FileIdentity, QString> m_files; // document file: source
};

// A later entry's refusal to replace the document that an earlier entry of the run wrote at the output path.
QString SameOutputRefusal(const QString& outputPath);
bool IsSameOutputRefusal(const QString& description);
// A document's refusal to replace a source of another entry of the run.
QString SourceOfRunRefusal(const QString& outputPath);
// The output path a refusal names; empty for any other description.
QString SameOutputRefusalPath(const QString& description);

} // namespace ostrand
