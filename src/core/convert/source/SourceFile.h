// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include <QString>

#include "core/common/Result.h"
#include "core/convert/source/WorkSlices.h"

class QFile;

namespace ostrand {

// A source read in slices at the offsets asked for, so that its bytes never need to be in memory whole: a file
// named by its path, or a stream (standard input) held in a file of its own. A file is opened without waiting
// and its kind is checked on the opened file. A file that changes while it is read (shorter, longer, written
// to) fails the read: its text would be neither the old nor the new one.
class SourceFile
{
public:
    SourceFile();
    ~SourceFile();
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;

    // Opens the file; fails, with the platform's description, when the path is missing (or its name is not
    // valid UTF-8), is not a regular file (a folder, FIFO or device is refused at once, never read), or cannot
    // be read. A file whose size the system does not tell (the kernel's files) is read to its end once and kept,
    // as a stream is, up to a bound far beyond what any of them holds (256 MiB), past which it fails. A break may end the wait for an interrupted open: then it fails with an empty description.
    Status open(const QString& path, const SliceBreak& pause = {});
    // Takes a stream that is already open (standard input) under a name for the reports. A regular file is read
    // where it stands, from its current offset on; anything else (a pipe, a terminal, a file whose size the
    // system does not tell) is first copied to an unnamed temporary file in the temporary folder, a slice at a
    // time with a break offered between slices, so that it can be read twice; the copy stops, failing, before
    // the folder's disk would have less than 1 GiB (or 5 % of a smaller disk) free. Fails with the system's
    // description, or with an empty one when a break ended the copy.
    Status openStream(int fd, const QString& name, const SliceBreak& pause = {});
    qint64 size() const { return m_size; }
    // Reads size bytes from offset; fails when the file ends before them.
    Status read(qint64 offset, char* into, qsizetype size);
    // Reads the file's last size bytes, from offset to the end it had when opened, and makes sure in the same
    // reads that nothing follows them (`into` has room for one byte more); fails when the file ends before
    // them or goes on past them.
    Status readToEnd(qint64 offset, char* into, qsizetype size);
    // Fails when the file has changed since it was opened: its size or modification time, or bytes past the
    // end it had (looked for again unless readToEnd has just seen the end).
    Status checkUnchanged();

private:
    // Reads the stream to its end once, into a temporary file of its own that becomes the source; a stream longer
    // than `bound` bytes (none when negative) fails.
    Status keep(int fd, const SliceBreak& pause, qint64 bound = -1);
    static QString readFailure(const QString& path, const QString& reason);
    static QString notFoundReason(const QString& path);
    static QString changedReason();

    QString m_path;
    qint64 m_size = 0;
    qint64 m_start = 0; // where the source begins in the file: a stream's offset when it was taken
    int m_fd = -1;
    bool m_endSeen = false; // readToEnd found nothing past the end since the last check
    qint64 m_mtimeSeconds = 0;
    qint64 m_mtimeNanoseconds = 0;
    std::unique_ptr<QFile> m_file; // where files are read through Qt
};

} // namespace ostrand
