// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QDir>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace ostrand::test {

// Paths written with "/" in a test, in the system's own separators, as the program gives them.
inline QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}
inline QStringList native(QStringList paths)
{
    for (QString& path : paths)
        path = QDir::toNativeSeparators(path);
    return paths;
}

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
    // Hides what a Unix system hides by its name alone: on Windows, where hidden is an attribute, every file and
    // folder of the tree whose name begins with a dot gets the attributes Windows gives its own hidden ones
    // (hidden and archive; a folder hidden and system), so that a tree written for Unix means the same there.
    void hideDotNames() const;
    static QByteArray readFile(const QString& path);
    // Every file and folder under a root with the bytes of each file: what a test compares before and after.
    static QMap<QString, QByteArray> snapshot(const QString& root);

private:
    QTemporaryDir m_dir;
};

} // namespace ostrand::test
