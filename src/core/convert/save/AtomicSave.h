// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include <QByteArray>
#include <QString>

#include "core/common/Result.h"

namespace ostrand {

// One file saved atomically: its bytes go to a temporary file in the folder of the file it replaces, and it is
// put in place only by place(). Until then, and after a failure or cancel(), the file stays as it was and no
// temporary file is left. Where the system has unnamed files the temporary file has no name at all, so not
// even a crash leaves one behind; elsewhere it has a fresh name of its own, removed on cancel. A new file gets
// the permissions 0666 less the umask; an existing file's permission bits are kept. The bytes are not synced
// here: whoever writes them decides when they are durable (handle() names the file). Failures are the system's
// own texts.
class AtomicSave
{
public:
    AtomicSave();
    ~AtomicSave();
    AtomicSave(const AtomicSave&) = delete;
    AtomicSave& operator=(const AtomicSave&) = delete;
    AtomicSave(AtomicSave&& other) noexcept;
    AtomicSave& operator=(AtomicSave&& other) noexcept;

    // What the new file keeps of the file it replaces: its permission bits, its access control list and extended
    // attributes (read from the file replaced; an access control list that cannot be kept fails the open) and,
    // where the program may (as root, or a group it belongs to), its owner and group; -1 and empty for a new file.
    struct Replaced
    {
        int mode = -1;
        qint64 owner = -1;
        qint64 group = -1;
        QString file;
    };
    // Opens the temporary file for the file, which is a regular file or a new name (links already resolved).
    Status open(const QString& file, const Replaced& replaced);
    bool isOpen() const;
    // The temporary file's descriptor; -1 when it is not open.
    int handle() const;
    // Appends all the bytes.
    Status write(const char* data, qint64 size);
    // Puts the file in place and closes it. replaces: a file was there when the caller last looked; it is
    // replaced in one step. Otherwise the file is linked in under its name, which fails, changing nothing, when
    // a file has appeared there meanwhile. On failure the temporary file is gone and the file is as it was.
    Status place(bool replaces);
    // Makes the name just put in place durable: syncs the file's folder.
    static void syncFolderOf(const QString& file);
    // Reads back size bytes written from offset on; fails when the file ends before them.
    Status readBack(qint64 offset, char* into, qsizetype size);
    // Drops the temporary file; the file stays as it was.
    void cancel();

private:
    int m_fd = -1;
    int m_folder = -1;      // the temporary file's folder, for a named one
    QByteArray m_file;      // where the document goes, encoded
    QByteArray m_temporary; // the temporary file's name; empty for an unnamed file
    class Fallback;         // where the save is Qt's own
    std::unique_ptr<Fallback> m_fallback;
};

} // namespace ostrand
