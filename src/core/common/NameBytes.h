// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

namespace ostrand {

// Names the system hands over as bytes (arguments, environment variables) are read as UTF-8. Bytes that are not
// valid UTF-8 read as U+FFFD, a name no file has: such a name cannot be used, only reported.

// The name the bytes stand for, read as UTF-8 as every name the system hands over is read: bytes that are not valid
// UTF-8 read as U+FFFD, and an initial U+FEFF is part of the name (Qt's own decoders drop it as a byte order mark,
// which would make the name another file's).
QString NameFromBytes(QByteArrayView bytes);

// True when the bytes read into the program as the same name they are.
bool IsValidUtf8Name(const QByteArray& bytes);

// The bytes `name` was read from, when it holds U+FFFD and comes from one of `sources` (arguments or environment
// values as the system gave them) whose bytes are not valid UTF-8: a source that reads as the whole name, as its start
// (the name of a folder the name lies in), or as its end after ASCII text ("--output-dir=" and the name). Empty when
// none does.
QByteArray UndecodedBytesOf(const QString& name, const QList<QByteArray>& sources);

// A name for a message: as it reads when it is valid UTF-8 without control characters; otherwise in the shell's
// $'...' form, each byte that is not part of a valid character and each control character written \xHH (\n, \t,
// \r and \e for those), a backslash and a quote escaped, so it shows safely and can be pasted back into a shell.
// The empty name is ''.
QString ShownName(const QByteArray& bytes);

} // namespace ostrand
