// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace ostrand {

// The two ways of writing paths: "/" here, "\" with network paths on Windows.
enum class PathRules
{
    Posix,
    Windows
};

constexpr PathRules nativePathRules()
{
#ifdef Q_OS_WIN
    return PathRules::Windows;
#else
    return PathRules::Posix;
#endif
}

QChar pathSeparator(PathRules rules = nativePathRules());

// Collapses doubled separators in one left-to-right pass over non-overlapping pairs; the leading run of
// separators becomes exactly two on Windows (network paths) and exactly one here.
QString NormalizePath(const QString& path, PathRules rules = nativePathRules());

// The part of a path up to and including its last separator; "" when it has none.
QString FolderOf(const QString& path, PathRules rules = nativePathRules());

// The part of a path after its last separator; the whole text when it has none.
QString FileNameOf(const QString& path, PathRules rules = nativePathRules());

// Why a path that was not found may not be found: a name holding U+FFFD came from bytes that are not valid UTF-8,
// and no name the program can pass on reaches that file. "" for any other path.
QString UndecodableNameReason(const QString& path);

// True when the path's attributes can be read (links followed) and include the folder attribute.
bool IsFolder(const QString& path);

// True when the path's metadata can be read, folders included.
bool FileExists(const QString& path);

// True for the top folder of a drive ("/" here).
bool IsRootFolder(const QString& path);

} // namespace ostrand
