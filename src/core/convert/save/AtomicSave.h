// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <optional>

#include <QByteArray>
#include <QString>

#include "core/common/Result.h"
#include "core/convert/save/FileSystem.h"

namespace ostrand {

// One file saved atomically: its bytes go to a temporary file in the folder of the file it replaces, and it is
// put in place only by place(). Until then, and after a failure or cancel(), the file stays as it was and no
// temporary file is left. Where the system has unnamed files the temporary file has no name at all, so nobody else
// can open it and not even a crash leaves one behind; elsewhere it has a fresh name of its own, private to this
// user from its first byte (as mkstemp makes one), removed on cancel. Access comes only when the file is put in
// place: a new file gets what any new file gets in its folder (0666 less the umask, or the folder's default access
// control list), a file that replaces another takes that file's access rules as they are at that moment. The bytes
// are not synced here: whoever writes them decides when they are durable (handle() names the file). Failures are
// the system's own texts.
class AtomicSave
{
public:
    AtomicSave();
    ~AtomicSave();
    AtomicSave(const AtomicSave&) = delete;
    AtomicSave& operator=(const AtomicSave&) = delete;
    AtomicSave(AtomicSave&& other) noexcept;
    AtomicSave& operator=(AtomicSave&& other) noexcept;

    // Opens the temporary file for the file, which is a regular file or a new name (links already resolved).
    Status open(const QString& file);
    bool isOpen() const;
    // The temporary file's descriptor; -1 when it is not open.
    int handle() const;
    // Appends all the bytes.
    Status write(const char* data, qint64 size);
    // Puts the file in place and closes it. `replacing`: the file that was there when the caller last looked. It is
    // replaced in one step if it is still the file there; the new file then takes what it has at this moment beyond
    // its bytes: its permission bits, its access control list and extended attributes (an access control list that
    // cannot be kept fails the place) and, where the program may (as root, or a group it belongs to), its owner and
    // group. Another file there now is someone else's: it is left alone and the place fails. None, or nothing there
    // any more: the file is linked in under its name, which fails, changing nothing, when a file has appeared there
    // meanwhile. On failure the temporary file is gone and the file is as it was.
    Status place(const std::optional<SeenFile>& replacing);
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
