// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include "core/convert/decode/Utf8Check.h"

namespace ostrand {

// The text of a source that exists and holds no bytes.
inline QByteArray emptyFileText()
{
    return QByteArrayLiteral("empty file");
}

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

// The one rule that decides how a source's bytes are read as text: a byte order mark FF FE or FE FF names
// UTF-16, little- or big-endian (a first byte FF or FE without its partner is no byte order mark); otherwise the
// bytes are UTF-8 as they stand when every one of them is valid UTF-8 (a UTF-8 byte order mark stays the first
// character), and Windows-1252 when any is not. The bytes after the first are given in consecutive pieces.
class EncodingChoice
{
public:
    // Looks at the source's first bytes: two, or fewer for a shorter source.
    EncodingChoice(const char* first, qsizetype size) : m_marked(byteOrderMarkEncoding(first, size)) {}

    // True when the bytes must be looked at: the source has no byte order mark.
    bool needsPass() const { return m_marked == SourceEncoding::Utf8; }
    // Looks at the next piece of the source (from its first byte on); false once the choice is made, when the
    // bytes so far cannot be UTF-8.
    bool add(const char* data, qsizetype size)
    {
        if (!needsPass() || !m_valid)
            return false;
        m_valid = m_check.add(data, size);
        return m_valid;
    }
    // The encoding, once every piece was given (or add() said the choice is made).
    SourceEncoding encoding() const
    {
        if (!needsPass())
            return m_marked;
        return m_valid && m_check.complete() ? SourceEncoding::Utf8 : SourceEncoding::Windows1252;
    }

private:
    SourceEncoding m_marked;
    Utf8Check m_check;
    bool m_valid = true;
};

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

} // namespace ostrand
