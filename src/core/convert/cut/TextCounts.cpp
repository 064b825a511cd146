// SPDX-License-Identifier: MIT
#include "core/convert/cut/TextCounts.h"

#include <utility>

#include "core/convert/cut/ByteScan.h"
#include "core/convert/document/Markup.h"

namespace ostrand {

CutRules::CutRules(const QByteArray& delimiter_, DocumentFlags flags_) : delimiter(delimiter_), flags(flags_)
{
    // A delimiter holding a carriage return or a line feed never occurs in a line once those are gone.
    if (delimiter.contains('\r') || delimiter.contains('\n'))
        delimiter.clear();
    // A quote cannot both open fields and separate them.
    if (delimiter.contains('"'))
        flags.rfc4180 = false;
}

qint64 TextCounts::documentLowerBound(qsizetype headerSize, const CutRules& rules) const
{
    // Every byte of the text but line ends and carriage returns reaches the document, escaped or not, except
    // the quotes a quoted field drops, a dropped byte order mark, and delimiters, each of which gives its place
    // to the tags between two cells.
    qint64 content = size - lineFeeds - carriageReturns;
    if (rules.flags.rfc4180)
        content -= quotes + (byteOrderMark ? 3 : 0);
    content = qMax<qint64>(content, 0);
    const qsizetype delimiterSize = rules.delimiter.size();
    if (delimiterSize > kCellTagsSize)
        content = content / delimiterSize * kCellTagsSize;
    return headerSize + documentFooter().size() + 2 + content;
}

TextCounter::TextCounter(const CutRules& rules, qsizetype longLine) : m_rfc4180(rules.flags.rfc4180)
{
    m_counts.longLine = longLine;
}

void TextCounter::add(const char* data, qsizetype size)
{
    if (size <= 0)
        return;
    m_counts.size += size;
    if (m_prefix.size() < 3)
        m_prefix.append(data, qMin(size, 3 - m_prefix.size()));
    if (!m_rfc4180) {
        const ByteCounts counts = countBytes(data, size, '\n', '\r', '\n');
        m_counts.lineFeeds += counts.first;
        m_counts.carriageReturns += counts.second;
        return;
    }
    // Quotes are paired in the text without its carriage returns, as the cut pairs them.
    const QByteArrayView piece = withoutCarriageReturns(data, size, m_scratch);
    const char* text = piece.data();
    const qsizetype textSize = piece.size();
    m_counts.carriageReturns += size - textSize;
    countQuotes(text, textSize);
}

void TextCounter::countQuotes(const char* text, qsizetype size)
{
    const char* p = text;
    const char* end = text + size;
    const auto at = [&](const char* x) { return m_at + (x - text); };
    while (p != end) {
        if (m_inRun) {
            if (*p == '"') {
                ++m_runLength;
                ++p;
                continue;
            }
            endRun();
        }
        const char* quote = findByte(p, end, '"');
        for (const char* lf = findByte(p, quote, '\n'); lf != quote; lf = findByte(lf + 1, quote, '\n')) {
            endLine(at(lf));
            ++m_counts.lineFeeds;
        }
        if (quote == end)
            break;
        m_inRun = true;
        m_runStart = at(quote);
        m_runLength = 1;
        m_lineHasQuote = true;
        p = quote + 1;
    }
    m_at += size;
}

void TextCounter::endRun()
{
    if (m_runLength % 2 == 1)
        m_lastOddRunInLine = m_runStart;
    m_counts.quotes += m_runLength;
    m_inRun = false;
}

void TextCounter::endLine(qint64 at)
{
    if (m_lastOddRunInLine >= 0)
        m_counts.lastLoneQuoteLine = m_line;
    if (m_lineHasQuote && at - m_lineStart >= m_counts.longLine)
        m_counts.longLines.push_back({qsizetype(m_line), m_lastOddRunInLine});
    ++m_line;
    m_lineStart = at + 1;
    m_lineHasQuote = false;
    m_lastOddRunInLine = -1;
}

qint64 TextCounter::documentLowerBoundSoFar(qsizetype headerSize, const CutRules& rules) const
{
    // Quotes of a run not yet ended may all be dropped, and a byte order mark may yet be one.
    TextCounts counts;
    counts.size = m_counts.size;
    counts.lineFeeds = m_counts.lineFeeds;
    counts.carriageReturns = m_counts.carriageReturns;
    counts.quotes = m_counts.quotes + (m_inRun ? m_runLength : 0);
    counts.byteOrderMark = true;
    return counts.documentLowerBound(headerSize, rules);
}

TextCounts TextCounter::finish()
{
    if (m_rfc4180) {
        if (m_inRun)
            endRun();
        endLine(m_at);
    }
    m_counts.byteOrderMark = m_prefix.startsWith("\xEF\xBB\xBF");
    return std::move(m_counts);
}

} // namespace ostrand
