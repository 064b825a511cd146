// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <optional>

#include <QByteArray>
#include <QString>

#include "core/convert/ConversionOptions.h"
#include "core/convert/WorkSlices.h"

namespace ostrand {

// "#RRGGBB" of a colour value (red in bits 0-7, green 8-15, blue 16-23): the value in upper-case
// hexadecimal (a negative value in its eight-digit two's complement form), padded to six digits, then the
// last two digits, the third and fourth, and the first two. Digits beyond six are not dropped: 0x80000005
// gives "#050080".
QString ColorToHTML(qint64 value);

// The document's first line, CR LF included: the table with its text colour, border and background.
QByteArray documentHeader(qint64 textColor, const QString& borderWidth, qint64 backgroundColor);

// The document's last piece; the file receives it followed by CR LF.
inline QByteArray documentFooter()
{
    return QByteArrayLiteral("</body></html>");
}

// Told the share of the source's lines handled so far (0 to 100), at the first line, then about every
// 10 ms of work, then 100 at the end; returns false to stop the document there.
using LineProgress = std::function<bool(int percent)>;

// Builds one document in a single buffer, sized once before any row is added.
//
// Cutting: every carriage return is removed, the text is cut into lines at every line feed, empty lines are
// skipped, and each line is cut at every occurrence of the delimiter, left to right, each occurrence
// consumed whole (an empty delimiter leaves the line whole). Each line becomes "<tr>" CR LF, one
// "<td>field</td>" per field, "</tr>" CR LF; fields are copied unchanged.
//
// The document flags change that, each only when set:
//  - escapeHtml: & < > " ' in a field's text become &amp; &lt; &gt; &quot; &#39;.
//  - rfc4180: a field whose text (carriage returns removed as always) begins with a double quote is quoted.
//    It ends at the next lone quote; "" inside stands for one quote; delimiters and line feeds inside belong
//    to it (the lines it spans make one row), and the enclosing quotes are removed. Text after the closing
//    quote up to the next delimiter is kept as it stands. A quote that no lone quote closes anywhere later
//    in the text is an ordinary character, and its field runs to the end of its line. Quotes elsewhere are
//    ordinary characters. A delimiter holding a quote leaves every quote ordinary. A byte order mark at the
//    start of the text is dropped, so that it cannot keep the first field from being quoted.
class HtmlDocument
{
public:
    // Counts the lines and delimiters of the UTF-8 text in slices, offering a break between them; then
    // reserves room for the header, the rows, the footer and the closing CR LF, and starts the document
    // with the header. Empty when a break ended the counting.
    static std::optional<HtmlDocument> start(const QByteArray& header, const QByteArray& text,
                                             const QByteArray& delimiter, const SliceBreak& pause = {},
                                             DocumentFlags flags = {});

    // Appends one row per non-empty line of the text, then lets the text go; false when progress asked to
    // stop.
    bool appendRows(const LineProgress& progress);
    // Appends the footer.
    void appendFooter();
    // Ends the document with CR LF and hands over the bytes the file receives; the builder is then empty.
    QByteArray takeFileBytes();

private:
    // One line without its carriage returns: in the text itself, or in m_scratch.
    struct Line
    {
        const char* begin;
        const char* end;
    };

    HtmlDocument(const QByteArray& text, const QByteArray& delimiter, DocumentFlags flags);
    bool count(const QByteArray& header, const SliceBreak& pause);
    Line withoutCarriageReturns(const char* begin, const char* end);
    void appendRow(const char* begin, const char* end);
    // Appends the row of the record that begins at `line`, which may span several lines when quoted fields
    // hold line feeds; returns where the next record begins and counts the lines it took.
    const char* appendRecord(const char* line, const char* end, qsizetype& lines);
    const char* findDelimiter(const char* begin, const char* end) const;
    bool closedLater(const char* from, const char* end);
    void appendCell(const char* field, qsizetype size);
    void appendText(const char* begin, const char* end);
    void appendEscaped(const char* begin, const char* end);
    void appendUnquoted(const char* begin, const char* end);
    void append(const char* data, qsizetype size);
    void ensureRoom(qsizetype size);

    QByteArray m_text; // shares the caller's bytes
    QByteArray m_delimiter;
    QByteArray m_buffer; // sized once; m_size bytes of it hold the document
    qsizetype m_size = 0;
    qsizetype m_lineCount = 0; // lines of the text (empty ones included), 0 for an empty text
    QByteArray m_scratch;      // a line with carriage returns inside it, without them
    DocumentFlags m_flags;
    // With rfc4180: a search for a closing quote that began here found none, and every later search that
    // reaches a character other than a quote from here on would repeat it.
    const char* m_noCloseFrom = nullptr;
};

} // namespace ostrand
