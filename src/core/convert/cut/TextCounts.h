// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <vector>

#include <QByteArray>

#include "core/convert/ConversionOptions.h"
#include "core/convert/source/WorkSlices.h"

namespace ostrand {

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

} // namespace ostrand
