// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QHashFunctions>
#include <QString>

namespace ostrand {

// What makes a file the same file whatever name reaches it: its device and inode.
struct FileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// A file as a look found it: its identity and, where the file system keeps it, the moment it was made. An inode
// number freed by a removal is soon given to the next new file: only that moment tells the two apart.
struct SeenFile
{
    FileIdentity identity;
    qint64 born = -1; // nanoseconds since the epoch; -1 where the file system does not tell
    // The same file, as far as both looks tell.
    bool sameAs(const SeenFile& other) const
    {
        return identity == other.identity && (born < 0 || other.born < 0 || born == other.born);
    }
};

inline size_t qHash(const FileIdentity& identity, size_t seed = 0)
{
    return qHashMulti(seed, identity.device, identity.inode);
}

// The identity of the file at the path, links followed; none when nothing is there or the system cannot tell.
std::optional<FileIdentity> identityAt(const QString& path);
// The identity of an open file; none when the system cannot tell.
std::optional<FileIdentity> identityOf(int fd);
// Whether anything is at the path now, links not followed.
bool anythingAt(const QString& path);
// Whether this program may write the existing file.
bool mayWrite(const QString& file);
// Makes the names just put in a folder durable: syncs the folder. Failures are left unsaid: the documents in
// it are durable already.
void syncFolder(const QString& folder);

} // namespace ostrand
