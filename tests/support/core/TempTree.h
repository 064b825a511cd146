// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

namespace ostrand::test {

// A temporary folder tree on disk for one test, removed afterwards.
class TempTree
{
public:
    TempTree();
    bool isValid() const { return m_dir.isValid(); }
    // The tree's root, without a trailing separator, in the system's own separators ("\\" on Windows), as the
    // program's paths are.
    QString root() const;
    // root + "/" + relative, in the system's separators
    QString path(const QString& relative) const;
    // Writes a file (creating its folders) and returns its full path.
    QString writeFile(const QString& relative, const QByteArray& bytes) const;
    // Writes a file named by raw bytes, which need not be valid text, into a folder (creating it); true
    // when it was written.
    bool writeFileNamed(const QString& folder, const QByteArray& name, const QByteArray& bytes) const;
    // Creates a folder (and its parents) and returns its full path.
    QString makeFolder(const QString& relative) const;
    static QByteArray readFile(const QString& path);
    // Every file and folder under a root with the bytes of each file: what a test compares before and after.
    static QMap<QString, QByteArray> snapshot(const QString& root);

private:
    QTemporaryDir m_dir;
};

} // namespace ostrand::test
