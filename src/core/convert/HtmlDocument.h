// SPDX-License-Identifier: MIT
#pragma once

#include <cstring>
#include <functional>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QByteArrayView>
#include <QElapsedTimer>
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

// The delimiter and flags a document is cut with, as the cut reads them: a delimiter holding a carriage return
// or a line feed never occurs in a line once those are gone and is left out; a delimiter holding a quote leaves
// every quote ordinary.
struct CutRules
{
    CutRules(const QByteArray& delimiter, DocumentFlags flags);
    QByteArray delimiter;
    DocumentFlags flags;
};

// What a pass over the whole text finds out before it is cut: the line count for the progress, a lower bound
// of the document's size, and, with rfc4180, where quotes that can close a quoted field stand.
struct TextCounts
{
    // A line of at least `longLine` bytes (carriage returns left out) that holds a quote, and where the last
    // odd run of quotes in it begins (an offset into the text without its carriage returns; -1 for none).
    struct LongLine
    {
        qsizetype line = 0;
        qint64 lastOddRun = -1;
    };

    qint64 size = 0; // bytes of text
    qint64 lineFeeds = 0;
    qint64 carriageReturns = 0;
    qint64 quotes = 0;             // with rfc4180
    bool byteOrderMark = false;    // the text begins with EF BB BF
    qint64 lastLoneQuoteLine = -1; // with rfc4180: the last line holding an odd run of quotes
    qsizetype longLine = 0;
    std::vector<LongLine> longLines;

    // Lines of the text, empty ones included; 0 for a text of carriage returns only.
    qint64 lineCount() const { return carriageReturns == size ? 0 : lineFeeds + 1; }
    // Bytes the document takes at least, its header, footer and closing CR LF included.
    qint64 documentLowerBound(qsizetype headerSize, const CutRules& rules) const;
};

// Counts a text given in consecutive pieces, which may cut it anywhere.
class TextCounter
{
public:
    explicit TextCounter(const CutRules& rules, qsizetype longLine = streamSliceBytes());
    void add(const char* data, qsizetype size);
    // A lower bound of the document's size from the text counted so far: it only grows as more is added, and
    // it never exceeds documentLowerBound of the whole text.
    qint64 documentLowerBoundSoFar(qsizetype headerSize, const CutRules& rules) const;
    TextCounts finish();

private:
    void countQuotes(const char* data, qsizetype size);
    void endRun();
    void endLine(qint64 at);

    bool m_rfc4180;
    TextCounts m_counts;
    QByteArray m_prefix;  // the text's first bytes, up to three, for the byte order mark
    QByteArray m_scratch; // a piece without its carriage returns
    qint64 m_at = 0;      // offset of the next byte, carriage returns left out
    qint64 m_lineStart = 0;
    qint64 m_line = 0;
    bool m_lineHasQuote = false;
    qint64 m_lastOddRunInLine = -1;
    bool m_inRun = false;
    qint64 m_runStart = 0;
    qint64 m_runLength = 0;
};

// Cuts a text given in consecutive pieces into the document's rows, which it appends to output(); the caller
// takes them out as it likes. The result is the same wherever the pieces are cut: a line, a field, a quoted
// field or a delimiter may run over any number of pieces and is never held whole. What the cut cannot yet
// decide (the first bytes of a delimiter, a quote that may pair with the next byte, a quoted field whose
// line has not been seen far enough) waits for the next piece.
class RowCutter
{
public:
    RowCutter(const CutRules& rules, const TextCounts& counts);

    // Cuts the next piece; false when progress asked to stop.
    bool add(const char* data, qsizetype size, const LineProgress& progress);
    // Cuts what is left and ends the last row; false when progress asked to stop.
    bool finish(const LineProgress& progress);
    // The document's bytes made so far and not yet let go.
    QByteArrayView output() const { return QByteArrayView(m_out.constData(), m_outSize); }
    // Lets go of the bytes output() gave; their room is kept for the next ones.
    void clearOutput() { m_outSize = 0; }
    // Appends bytes of the document's own (its header, its footer) to the output.
    void append(const char* data, qsizetype size)
    {
        if (size <= 0)
            return;
        if (m_out.size() - m_outSize < size)
            grow(size);
        std::memcpy(m_out.data() + m_outSize, data, static_cast<size_t>(size));
        m_outSize += size;
    }

private:
    enum class State {
        LineStart,  // before the first byte of a line
        FieldStart, // before the first byte of a field, no cell open
        InCell,     // a cell is open: its text runs to the next delimiter or line end
        Quoted,     // inside a quoted field
        WholeLine,  // a quote nothing closes: the cell runs to the end of the line
    };

    bool feed(const char* data, qsizetype size, bool last, const LineProgress& progress);
    const char* cut(const char* p, const char* end, bool last, const LineProgress& progress, bool& stopped);
    bool plainCutApplies(const char* p, const char* end) const;
    template <bool Escape>
    const char* cutPlain(const char* p, const char* end, const LineProgress& progress, bool& stopped);
    bool closesInLine(const char* quote, const char* lineEnd, const char* end, bool last, bool& decided);
    bool lineEnded(const char* next, const char* begin, const LineProgress& progress);
    const char* findDelimiter(const char* begin, const char* end) const;
    void appendText(const char* begin, const char* end);
    void grow(qsizetype size);
    // Makes room for size more bytes of output, and 32 beyond them for whole-vector stores.
    char* room(qsizetype size)
    {
        if (m_out.size() - m_outSize < size + 32)
            grow(size + 32);
        return m_out.data() + m_outSize;
    }

    CutRules m_rules;
    const TextCounts& m_counts;
    QByteArray m_out; // its first m_outSize bytes are the output
    qsizetype m_outSize = 0;
    QByteArray m_carry;   // text not yet cut, carriage returns left out
    QByteArray m_scratch; // a piece without its carriage returns
    State m_state = State::LineStart;
    const char* m_begin = nullptr; // the first byte of the text being cut
    qint64 m_offset = 0;           // offset of the first byte of the text being cut, carriage returns left out
    qint64 m_lines = 0;            // lines ended so far
    qint64 m_skip = 0;             // bytes of a byte order mark still to drop
    std::size_t m_nextLongLine = 0;
    bool m_reportedFirst = false;
    qint64 m_nextCheck = 0;
    QElapsedTimer m_timer;
};

// Builds one document in a single buffer from the whole text, through RowCutter.
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
    // Counts the lines of the UTF-8 text in slices, offering a break between them, and starts the document
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
    HtmlDocument(const QByteArray& text, const CutRules& rules) : m_text(text), m_rules(rules) {}

    QByteArray m_text; // shares the caller's bytes
    CutRules m_rules;
    TextCounts m_counts;
    QByteArray m_buffer;
};

} // namespace ostrand
