// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>

#include <QByteArray>
#include <QString>

namespace ostrand {

// The document's first line, CR LF included: the table with its text colour, border and background.
QByteArray documentHeader(qint64 textColor, const QString& borderWidth, qint64 backgroundColor);

// The document's last piece; the file receives it followed by CR LF.
inline QByteArray documentFooter()
{
    return QByteArrayLiteral("</body></html>");
}

// The tags around the rows and cells of the table.
constexpr char kRowStart[] = "<tr>\r\n";
constexpr char kRowEnd[] = "</tr>\r\n";
constexpr char kCellStart[] = "<td>";
constexpr char kCellEnd[] = "</td>";
constexpr qsizetype kRowStartSize = sizeof kRowStart - 1;
constexpr qsizetype kRowEndSize = sizeof kRowEnd - 1;
constexpr qsizetype kCellStartSize = sizeof kCellStart - 1;
constexpr qsizetype kCellEndSize = sizeof kCellEnd - 1;
constexpr qsizetype kCellTagsSize = kCellStartSize + kCellEndSize;

// The entity of each character that markup gives a meaning to; null for every other byte.
struct Entities
{
    const char* text[256] = {};
    qsizetype size[256] = {};
    char padded[256][8] = {}; // each entity in eight bytes, for one whole-word store
    constexpr Entities()
    {
        text[int('&')] = "&amp;";
        size[int('&')] = 5;
        text[int('<')] = "&lt;";
        size[int('<')] = 4;
        text[int('>')] = "&gt;";
        size[int('>')] = 4;
        text[int('"')] = "&quot;";
        size[int('"')] = 6;
        text[int('\'')] = "&#39;";
        size[int('\'')] = 5;
        for (int c = 0; c < 256; ++c) {
            for (qsizetype i = 0; i < size[c]; ++i)
                padded[c][i] = text[c][i];
        }
    }
};
inline constexpr Entities kEntities;

inline const char* entityOf(char c)
{
    return kEntities.text[static_cast<unsigned char>(c)];
}

// The first byte in [begin, end) that escaping replaces, or end.
inline const char* findEntityByte(const char* begin, const char* end)
{
    const char* p = begin;
    while (p != end && !entityOf(*p))
        ++p;
    return p;
}

// A tag of at most 16 bytes, kept in 16 so that it is stored with one whole-vector copy.
struct Tag
{
    char bytes[16] = {};
    qsizetype size = 0;
    template <std::size_t N> constexpr Tag(const char (&tag)[N]) : size(N - 1)
    {
        static_assert(N <= 17);
        for (std::size_t i = 0; i + 1 < N; ++i)
            bytes[i] = tag[i];
    }
};
constexpr Tag kRowStartTag("<tr>\r\n");
constexpr Tag kCellStartTag("<td>");
constexpr Tag kCellEndTag("</td>");
constexpr Tag kLineEndTag("</td></tr>\r\n");

// Stores a tag; the output has room for 16 bytes.
inline void putTag(char*& out, const Tag& tag)
{
    std::memcpy(out, tag.bytes, 16);
    out += tag.size;
}

// Copies [begin, end) of text that holds at least 32 bytes from begin on: a short run as one 32-byte copy
// (the output has room for it), a longer one as it is.
inline void putText(char*& out, const char* begin, const char* end, const char* textEnd)
{
    const std::size_t size = static_cast<std::size_t>(end - begin);
    if (size <= 32 && textEnd - begin >= 32)
        std::memcpy(out, begin, 32);
    else
        std::memcpy(out, begin, size);
    out += size;
}

} // namespace ostrand
