// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>

#include "core/common/Result.h"
#include "core/convert/WorkSlices.h"

namespace ostrand {

// The text of a source that exists and holds no bytes.
inline QByteArray emptyFileText()
{
    return QByteArrayLiteral("empty file");
}

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

// How a source's bytes are read as text.
enum class SourceEncoding {
    Utf8,
    Utf16LittleEndian,
    Utf16BigEndian,
    Windows1252,
};

// The encoding that a source's first bytes name by a byte order mark (FF FE or FE FF); Utf8 otherwise, which
// stands for "valid UTF-8 as it is, else Windows-1252" until a pass over the bytes has decided.
SourceEncoding byteOrderMarkEncoding(const char* data, qsizetype size);

// Decodes a source's bytes to UTF-8 piece by piece, as decodeSourceBytes decodes them whole: a code unit, a
// pair of surrogates or a byte split between two pieces gives the same text as if it were not split.
class SourceDecoder
{
public:
    explicit SourceDecoder(SourceEncoding encoding) : m_encoding(encoding) {}

    // The text of the next piece of bytes, valid until the next call; UTF-8 is passed on as it stands.
    QByteArrayView add(const char* data, qsizetype size);
    // The text of what the pieces left unfinished: an odd last byte, a high surrogate without its partner.
    QByteArrayView finish();

private:
    char* putUnit(char* out, char16_t unit);

    SourceEncoding m_encoding;
    QByteArray m_out;
    bool m_hasOddByte = false;
    unsigned char m_oddByte = 0;
    char16_t m_highSurrogate = 0;
};

// A source file read in slices at the offsets asked for, so that its bytes never need to be in memory whole.
// It is opened without waiting and its kind is checked on the opened file, as ReadCSVText does. A file that
// changes while it is read (shorter, longer, written to) fails the read: its text would be neither the old
// nor the new one.
class SourceFile
{
public:
    SourceFile() = default;
    ~SourceFile();
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;

    // Opens the file; fails, with the platform's description, as ReadCSVText fails. A break may end the
    // wait for an interrupted open: then it fails with an empty description.
    Status open(const QString& path, const SliceBreak& pause = {});
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
    QString m_path;
    qint64 m_size = 0;
#ifdef Q_OS_UNIX
    int m_fd = -1;
    bool m_endSeen = false; // readToEnd found nothing past the end since the last check
    qint64 m_mtimeSeconds = 0;
    qint64 m_mtimeNanoseconds = 0;
#else
    QFile* m_file = nullptr;
#endif
};

} // namespace ostrand
