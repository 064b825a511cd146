// SPDX-License-Identifier: MIT
// What every fuzz target shares: a reader over the fuzzer's bytes, a check that stops the run with both
// values shown, and plain, obviously correct versions of the rules the core implements fast.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <QByteArray>
#include <QDir>
#include <QList>
#include <QString>
#include <QTemporaryDir>

namespace fuzz {

// Stops the run (libFuzzer keeps the input) when a property does not hold.
inline void check(bool holds, const char* what, const QByteArray& got = {}, const QByteArray& expected = {})
{
    if (holds)
        return;
    std::fprintf(stderr, "property broken: %s\n", what);
    if (!got.isEmpty() || !expected.isEmpty()) {
        std::fprintf(stderr, "  got:      %s\n", got.left(400).toPercentEncoding(" ,;<>/").constData());
        std::fprintf(stderr, "  expected: %s\n", expected.left(400).toPercentEncoding(" ,;<>/").constData());
    }
    std::abort();
}

// A folder for the files of one run, memory-backed where the system has one: targets that write files
// write and sync one or two for every input.
inline QString workFolder()
{
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/ostrand-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/ostrand-fuzz-XXXXXX"));
    check(dir.isValid(), "a work folder can be made");
    return dir.path();
}

// Takes the fuzzer's bytes piece by piece; past the end it gives zeros and empty pieces.
class Input
{
public:
    Input(const std::uint8_t* data, std::size_t size)
        : m_data(reinterpret_cast<const char*>(data)), m_size(static_cast<qsizetype>(size))
    {
    }
    std::uint8_t byte() { return m_pos < m_size ? static_cast<std::uint8_t>(m_data[m_pos++]) : 0; }
    qint64 int64()
    {
        quint64 value = 0;
        for (int i = 0; i < 8; ++i)
            value = (value << 8) | byte();
        return static_cast<qint64>(value);
    }
    QByteArray bytes(qsizetype count)
    {
        const qsizetype n = qMin(count, m_size - m_pos);
        const QByteArray piece(m_data + m_pos, n);
        m_pos += n;
        return piece;
    }
    // A piece whose length is given by the next byte.
    QByteArray shortBytes() { return bytes(byte()); }
    QByteArray rest() { return bytes(m_size - m_pos); }

private:
    const char* m_data;
    qsizetype m_size;
    qsizetype m_pos = 0;
};

// Well-formed UTF-8, checked one character at a time from the Unicode standard's table of byte sequences.
inline bool plainIsUtf8(const QByteArray& bytes)
{
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned b = s[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        int more = 0;
        unsigned low = 0x80;
        unsigned high = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            more = 1;
        } else if (b == 0xE0) {
            more = 2;
            low = 0xA0;
        } else if (b == 0xED) {
            more = 2;
            high = 0x9F;
        } else if (b >= 0xE1 && b <= 0xEF) {
            more = 2;
        } else if (b == 0xF0) {
            more = 3;
            low = 0x90;
        } else if (b >= 0xF1 && b <= 0xF3) {
            more = 3;
        } else if (b == 0xF4) {
            more = 3;
            high = 0x8F;
        } else {
            return false;
        }
        if (i + more >= n)
            return false;
        if (s[i + 1] < low || s[i + 1] > high)
            return false;
        for (int k = 2; k <= more; ++k) {
            if (s[i + k] < 0x80 || s[i + k] > 0xBF)
                return false;
        }
        i += more + 1;
    }
    return true;
}

inline void appendUtf8(QByteArray& out, char32_t c)
{
    if (c < 0x80) {
        out.append(static_cast<char>(c));
    } else if (c < 0x800) {
        out.append(static_cast<char>(0xC0 | (c >> 6)));
        out.append(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.append(static_cast<char>(0xE0 | (c >> 12)));
        out.append(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.append(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.append(static_cast<char>(0xF0 | (c >> 18)));
        out.append(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.append(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.append(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// The 16-bit units of little-endian bytes; an odd last byte is one more unit with a zero high byte.
inline QList<char16_t> utf16LeUnits(const QByteArray& bytes)
{
    QList<char16_t> units;
    for (qsizetype i = 0; i < bytes.size(); i += 2) {
        const unsigned low = static_cast<unsigned char>(bytes[i]);
        const unsigned high = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
        units.append(static_cast<char16_t>(low | (high << 8)));
    }
    return units;
}

// UTF-16 units to UTF-8 one unit at a time; a surrogate without its partner becomes U+FFFD.
inline QByteArray plainUtf16ToUtf8(const QList<char16_t>& units)
{
    QByteArray out;
    for (qsizetype i = 0; i < units.size(); ++i) {
        const char16_t u = units[i];
        const bool high = u >= 0xD800 && u <= 0xDBFF;
        const bool low = u >= 0xDC00 && u <= 0xDFFF;
        if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(units[i + 1]) - 0xDC00));
            ++i;
        } else if (high || low) {
            appendUtf8(out, 0xFFFD);
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

// Windows-1252's characters for the bytes 80 to 9F (from the code page's published table); the five bytes
// it leaves undefined stand for the C1 control of the same number.
constexpr char16_t kCp1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

inline QByteArray plainWindows1252ToUtf8(const QByteArray& bytes)
{
    QByteArray out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        appendUtf8(out, b >= 0x80 && b < 0xA0 ? kCp1252[b - 0x80] : b);
    }
    return out;
}

// The way back from text to Windows-1252 bytes; false when a character has no byte.
inline bool windows1252BytesOf(const QString& text, QByteArray& bytes)
{
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            bytes.append(static_cast<char>(c));
            continue;
        }
        int found = -1;
        for (int k = 0; k < 32; ++k) {
            if (kCp1252[k] == c)
                found = k;
        }
        if (found < 0)
            return false;
        bytes.append(static_cast<char>(0x80 + found));
    }
    return true;
}

// The rows a document holds for a text, built the plain way: carriage returns out, lines at line feeds,
// empty lines skipped, fields cut left to right at each whole occurrence of the delimiter.
inline QByteArray plainRows(const QByteArray& text, const QByteArray& delimiter)
{
    QByteArray rows;
    QByteArray withoutCr = text;
    withoutCr.replace('\r', QByteArray());
    for (const QByteArray& line : withoutCr.split('\n')) {
        if (line.isEmpty())
            continue;
        rows += "<tr>\r\n";
        qsizetype from = 0;
        for (;;) {
            const qsizetype hit = delimiter.isEmpty() ? -1 : line.indexOf(delimiter, from);
            rows += "<td>" + line.mid(from, hit < 0 ? -1 : hit - from) + "</td>";
            if (hit < 0)
                break;
            from = hit + delimiter.size();
        }
        rows += "</tr>\r\n";
    }
    return rows;
}

// Reads the rows of a document body back: each row's fields, or false when the body is not rows of cells.
inline bool parseRows(const QByteArray& body, QList<QList<QByteArray>>& rows)
{
    qsizetype p = 0;
    const auto takes = [&](QByteArrayView tag) {
        if (!QByteArrayView(body).sliced(p).startsWith(tag))
            return false;
        p += tag.size();
        return true;
    };
    while (p < body.size()) {
        if (!takes("<tr>\r\n"))
            return false;
        QList<QByteArray> fields;
        while (takes("<td>")) {
            const qsizetype end = body.indexOf("</td>", p);
            if (end < 0)
                return false;
            fields.append(body.mid(p, end - p));
            p = end + 5;
        }
        if (!takes("</tr>\r\n"))
            return false;
        rows.append(fields);
    }
    return true;
}

// The non-empty lines of a text with their carriage returns removed: what each row must give back.
inline QList<QByteArray> plainLines(const QByteArray& text)
{
    QByteArray withoutCr = text;
    withoutCr.replace('\r', QByteArray());
    QList<QByteArray> lines;
    for (const QByteArray& line : withoutCr.split('\n')) {
        if (!line.isEmpty())
            lines.append(line);
    }
    return lines;
}

} // namespace fuzz
