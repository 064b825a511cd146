// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include "core/common/Result.h"
#include "core/convert/decode/SourceDecoder.h"
#include "core/convert/source/WorkSlices.h"

namespace ostrand {

// Whole texts: a source's bytes decoded at once in memory, through the same decoder and the same choice of
// encoding as the streamed conversion. They serve tests and tools that hold a source whole.

// Reads a whole source file into one buffer of its length and returns its text as UTF-8 (decodeSourceBytes).
// The file is opened without waiting and its kind checked on the opened file; a file that changes while it
// is read, or that is too large for the memory at hand, fails like an unreadable one.
// A zero-byte file gives emptyFileText(). Fails, with the platform's description, when the path is missing,
// is not a regular file (a folder, FIFO or device is refused at once, never read), or cannot be read.
// Reading and decoding offer a break between slices; when one ends the read, the text is empty.
Result<QByteArray> ReadCSVText(const QString& path, const SliceBreak& pause = {});

// The text of a source's bytes, as UTF-8:
//  - first bytes FF FE: UTF-16 little-endian (utf16LeToUtf8), the byte order mark kept;
//  - first bytes FE FF: UTF-16 big-endian (utf16BeToUtf8), the byte order mark kept;
//  - a first byte FF or FE without its partner is no byte order mark and takes the paths below;
//  - otherwise valid UTF-8 as it stands (a UTF-8 byte order mark stays the first character);
//  - otherwise Windows-1252 (windows1252ToUtf8).
// Takes the bytes by value so that valid UTF-8 is passed on without a copy. Offers a break between slices;
// when one ends the decoding, the text is empty.
QByteArray decodeSourceBytes(QByteArray bytes, const SliceBreak& pause = {});

// UTF-16 little-endian to UTF-8: an odd last byte is one more code unit with a zero high byte, and an
// unpaired surrogate becomes U+FFFD. Empty when a break ended it.
QByteArray utf16LeToUtf8(const char* data, qsizetype size, const SliceBreak& pause = {});

// The same for UTF-16 big-endian; an odd last byte is likewise one more code unit with a zero high byte.
QByteArray utf16BeToUtf8(const char* data, qsizetype size, const SliceBreak& pause = {});

// Windows-1252 to UTF-8; its five undefined bytes 81, 8D, 8F, 90 and 9D become U+0081 ... U+009D, so no
// byte is lost. Empty when a break ended it.
QByteArray windows1252ToUtf8(const char* data, qsizetype size, const SliceBreak& pause = {});

} // namespace ostrand
