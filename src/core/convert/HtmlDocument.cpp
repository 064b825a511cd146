// SPDX-License-Identifier: MIT
#include "core/convert/HtmlDocument.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <QElapsedTimer>

#include "core/convert/ByteScan.h"

namespace ostrand {

namespace {

constexpr char kRowStart[] = "<tr>\r\n";
constexpr char kRowEnd[] = "</tr>\r\n";
constexpr char kCellStart[] = "<td>";
constexpr char kCellEnd[] = "</td>";
constexpr qsizetype kRowStartSize = sizeof kRowStart - 1;
constexpr qsizetype kRowEndSize = sizeof kRowEnd - 1;
constexpr qsizetype kCellStartSize = sizeof kCellStart - 1;
constexpr qsizetype kCellEndSize = sizeof kCellEnd - 1;
constexpr qsizetype kCellTagsSize = kCellStartSize + kCellEndSize;

// Progress is offered after the first line, then whenever this much text has been handled and about
// 10 ms have passed since the last offer: a clock read every 64 KiB costs nothing, and lines of any length
// are covered.
constexpr qsizetype kCheckInterval = 64 * 1024;
constexpr qint64 kSliceMs = 10;

const char* findByte(const char* begin, const char* end, char c)
{
    if (begin == end)
        return end;
    const void* hit = std::memchr(begin, c, static_cast<size_t>(end - begin));
    return hit ? static_cast<const char*>(hit) : end;
}

// The piece without its carriage returns: the piece itself when it holds none, otherwise a copy in scratch.
QByteArrayView withoutCarriageReturns(const char* data, qsizetype size, QByteArray& scratch)
{
    const char* end = data + size;
    if (size <= 0 || findByte(data, end, '\r') == end)
        return QByteArrayView(data, size);
    scratch.resize(size);
    char* out = scratch.data();
    for (const char* p = data; p != end;) {
        const char* cr = findByte(p, end, '\r');
        std::memcpy(out, p, static_cast<size_t>(cr - p));
        out += cr - p;
        p = cr == end ? cr : cr + 1;
    }
    return QByteArrayView(scratch.constData(), out - scratch.constData());
}

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
constexpr Entities kEntities;

const char* entityOf(char c)
{
    return kEntities.text[static_cast<unsigned char>(c)];
}

// The first byte in [begin, end) that escaping replaces, or end.
const char* findEntityByte(const char* begin, const char* end)
{
    const char* p = begin;
    while (p != end && !entityOf(*p))
        ++p;
    return p;
}

// The first lone double quote in [begin, end), pairs of quotes passed over; end when there is none.
const char* findClosingQuote(const char* begin, const char* end)
{
    for (const char* q = findByte(begin, end, '"'); q != end; q = findByte(q + 2, end, '"')) {
        if (q + 1 == end || q[1] != '"')
            return q;
    }
    return end;
}

// Where the bytes that end a run of plain cell text stand in a block of 64 bytes of text: the line feed, the
// delimiter (when it is one byte) and, when escaping, the five characters markup gives a meaning to. Bit i of
// a mask is set when byte i of the block is one of them.
class TextMarks
{
public:
    static constexpr qsizetype kBlock = 64;

    explicit TextMarks(char delimiter) : m_delimiter(delimiter) {}

    // The marks of the 64 bytes at p.
    template <bool Escape> std::uint64_t block(const char* p) const
    {
#if defined(__SSE2__)
        const __m128i lineFeed = _mm_set1_epi8('\n');
        const __m128i delimiter = _mm_set1_epi8(m_delimiter);
        std::uint64_t mask = 0;
        for (int i = 0; i < 4; ++i) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
            __m128i hit = _mm_or_si128(_mm_cmpeq_epi8(v, lineFeed), _mm_cmpeq_epi8(v, delimiter));
            if constexpr (Escape) {
                // " alone; & and ' differ in their lowest bit only, < and > in the next one.
                hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, _mm_set1_epi8('"')));
                hit = _mm_or_si128(hit, _mm_cmpeq_epi8(_mm_or_si128(v, _mm_set1_epi8(1)), _mm_set1_epi8('\'')));
                hit = _mm_or_si128(hit, _mm_cmpeq_epi8(_mm_or_si128(v, _mm_set1_epi8(2)), _mm_set1_epi8('>')));
            }
            mask |= std::uint64_t(unsigned(_mm_movemask_epi8(hit))) << (16 * i);
        }
        return mask;
#else
        return tail<Escape>(p, kBlock);
#endif
    }

    // The marks of the size bytes at p, fewer than a block or as many.
    template <bool Escape> std::uint64_t tail(const char* p, qsizetype size) const
    {
        std::uint64_t mask = 0;
        for (qsizetype i = 0; i < size; ++i) {
            const bool marked = p[i] == '\n' || p[i] == m_delimiter || (Escape && entityOf(p[i]));
            mask |= std::uint64_t(marked) << i;
        }
        return mask;
    }

private:
    char m_delimiter;
};

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
void putTag(char*& out, const Tag& tag)
{
    std::memcpy(out, tag.bytes, 16);
    out += tag.size;
}

// Copies [begin, end) of text that holds at least 32 bytes from begin on: a short run as one 32-byte copy
// (the output has room for it), a longer one as it is.
void putText(char*& out, const char* begin, const char* end, const char* textEnd)
{
    const std::size_t size = static_cast<std::size_t>(end - begin);
    if (size <= 32 && textEnd - begin >= 32)
        std::memcpy(out, begin, 32);
    else
        std::memcpy(out, begin, size);
    out += size;
}

} // namespace

QString ColorToHTML(qint64 value)
{
    // A colour value is a 32-bit integer: a negative one shows as its two's complement.
    const QString digits = QString::number(static_cast<quint32>(value), 16).toUpper().rightJustified(6, u'0');
    return QLatin1Char('#') + digits.right(2) + digits.mid(2, 2) + digits.left(2);
}

QByteArray documentHeader(qint64 textColor, const QString& borderWidth, qint64 backgroundColor)
{
    return QByteArrayLiteral("<html><title></title><body><table width='100%' style='color:") +
           ColorToHTML(textColor).toLatin1() + QByteArrayLiteral("' border='") + borderWidth.toUtf8() +
           QByteArrayLiteral("' bgcolor='") + ColorToHTML(backgroundColor).toLatin1() +
           QByteArrayLiteral("'><tbody>\r\n");
}

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

RowCutter::RowCutter(const CutRules& rules, const TextCounts& counts) : m_rules(rules), m_counts(counts)
{
    // Read as RFC 4180 fields, a byte order mark is no part of the first field: its quote still opens it.
    if (m_rules.flags.rfc4180 && m_counts.byteOrderMark)
        m_skip = 3;
    m_timer.start();
    m_nextCheck = kCheckInterval;
}

bool RowCutter::add(const char* data, qsizetype size, const LineProgress& progress)
{
    return size <= 0 || feed(data, size, false, progress);
}

bool RowCutter::finish(const LineProgress& progress)
{
    if (!feed(nullptr, 0, true, progress))
        return false;
    if (m_state != State::LineStart) {
        append(kCellEnd, kCellEndSize);
        append(kRowEnd, kRowEndSize);
        m_state = State::LineStart;
    }
    // The last line, which no line feed ends.
    if (!lineEnded(nullptr, nullptr, progress))
        return false;
    return m_counts.lineCount() == 0 || !progress || progress(100);
}

bool RowCutter::feed(const char* data, qsizetype size, bool last, const LineProgress& progress)
{
    const QByteArrayView piece = withoutCarriageReturns(data, size, m_scratch);
    const char* text = piece.data();
    qsizetype textSize = piece.size();
    if (m_skip > 0) {
        const qsizetype dropped = qMin<qsizetype>(m_skip, textSize);
        text += dropped;
        textSize -= dropped;
        m_skip -= dropped;
        m_offset += dropped;
    }
    const char* begin = text;
    const char* end = text + textSize;
    const bool carried = !m_carry.isEmpty();
    if (carried) {
        m_carry.append(text, textSize);
        begin = m_carry.constData();
        end = begin + m_carry.size();
    }
    bool stopped = false;
    m_begin = begin;
    const char* rest = cut(begin, end, last, progress, stopped);
    m_offset += rest - begin;
    if (carried)
        m_carry.remove(0, rest - begin);
    else if (rest != end)
        m_carry = QByteArray(rest, end - rest);
    return !stopped;
}

const char* RowCutter::cut(const char* p, const char* end, bool last, const LineProgress& progress, bool& stopped)
{
    const qsizetype delimiterSize = m_rules.delimiter.size();
    const bool rfc4180 = m_rules.flags.rfc4180;
    // The first line feed at or after a point passed: found once per line, not once per field.
    const char* knownLineEnd = nullptr;
    const auto lineEndFrom = [&](const char* from) {
        if (!knownLineEnd || knownLineEnd < from)
            knownLineEnd = findByte(from, end, '\n');
        return knownLineEnd;
    };
    // Likewise the next quote, inside a quoted field that spans many lines.
    const char* knownQuote = nullptr;
    const auto quoteFrom = [&](const char* from) {
        if (!knownQuote || knownQuote < from)
            knownQuote = findByte(from, end, '"');
        return knownQuote;
    };
    for (;;) {
        if (plainCutApplies(p, end)) {
            p = m_rules.flags.escapeHtml ? cutPlain<true>(p, end, progress, stopped)
                                         : cutPlain<false>(p, end, progress, stopped);
            if (stopped)
                return p;
        }
        switch (m_state) {
        case State::LineStart:
            if (p == end)
                return p;
            if (*p == '\n') {
                ++p;
                if (!lineEnded(p, m_begin, progress)) {
                    stopped = true;
                    return p;
                }
                continue;
            }
            append(kRowStart, kRowStartSize);
            m_state = State::FieldStart;
            continue;
        case State::FieldStart:
            if (rfc4180) {
                if (p == end && !last)
                    return p;
                if (p != end && *p == '"') {
                    bool decided = true;
                    const bool closes = closesInLine(p, lineEndFrom(p), end, last, decided);
                    if (!decided)
                        return p;
                    append(kCellStart, kCellStartSize);
                    // A quote closed in its line or on a later one opens a quoted field; otherwise it is text
                    // and its field runs to the end of the line.
                    if (closes || m_counts.lastLoneQuoteLine > m_lines) {
                        ++p;
                        m_state = State::Quoted;
                    } else {
                        m_state = State::WholeLine;
                    }
                    continue;
                }
            }
            append(kCellStart, kCellStartSize);
            m_state = State::InCell;
            continue;
        case State::InCell: {
            const char* lineEnd = lineEndFrom(p);
            const char* hit = findDelimiter(p, lineEnd);
            if (hit != lineEnd) {
                appendText(p, hit);
                append(kCellEnd, kCellEndSize);
                p = hit + delimiterSize;
                m_state = State::FieldStart;
                continue;
            }
            if (lineEnd == end) {
                // The first bytes of a delimiter may stand at the end: they wait for the next piece.
                const char* upTo = last || delimiterSize <= 1 ? end : qMax(p, end - (delimiterSize - 1));
                appendText(p, upTo);
                return upTo;
            }
            appendText(p, lineEnd);
            append(kCellEnd, kCellEndSize);
            append(kRowEnd, kRowEndSize);
            p = lineEnd + 1;
            m_state = State::LineStart;
            if (!lineEnded(p, m_begin, progress)) {
                stopped = true;
                return p;
            }
            continue;
        }
        case State::Quoted: {
            const char* quote = quoteFrom(p);
            const char* lineEnd = lineEndFrom(p);
            if (lineEnd < quote) {
                // The field goes on over the next line.
                appendText(p, lineEnd);
                append("\n", 1);
                p = lineEnd + 1;
                ++m_lines;
                continue;
            }
            if (quote == end) {
                appendText(p, end);
                return end;
            }
            if (quote + 1 == end && !last) {
                appendText(p, quote);
                return quote;
            }
            if (quote + 1 != end && quote[1] == '"') {
                appendText(p, quote + 1);
                p = quote + 2;
                continue;
            }
            // The closing quote; what follows it up to the next delimiter stays as it is.
            appendText(p, quote);
            p = quote + 1;
            m_state = State::InCell;
            continue;
        }
        case State::WholeLine: {
            const char* lineEnd = lineEndFrom(p);
            appendText(p, lineEnd);
            if (lineEnd == end)
                return end;
            append(kCellEnd, kCellEndSize);
            append(kRowEnd, kRowEndSize);
            p = lineEnd + 1;
            m_state = State::LineStart;
            if (!lineEnded(p, m_begin, progress)) {
                stopped = true;
                return p;
            }
            continue;
        }
        }
    }
}

// Lines, fields and escaped characters are cut a block of 64 bytes at a time while the delimiter is at most one
// byte long: the marks of a block tell where each run of plain text ends, and runs and tags are copied with
// whole-vector stores. A field that may be quoted is left to cut().
bool RowCutter::plainCutApplies(const char* p, const char* end) const
{
    if (p == end || m_rules.delimiter.size() > 1)
        return false;
    return m_state == State::LineStart || m_state == State::InCell ||
           (m_state == State::FieldStart && !(m_rules.flags.rfc4180 && *p == '"'));
}

// Cuts from p in the states LineStart, FieldStart and InCell; returns where it stopped: the end, the opening quote
// of a field that cut() reads, or the line after which progress asked to stop.
template <bool Escape>
const char* RowCutter::cutPlain(const char* p, const char* end, const LineProgress& progress, bool& stopped)
{
    const bool oneByte = m_rules.delimiter.size() == 1;
    const char delimiter = oneByte ? m_rules.delimiter.front() : '\n';
    const bool rfc4180 = m_rules.flags.rfc4180;
    const TextMarks marks(delimiter);
    // The tags of a block take at most 18 bytes for each of its bytes (a line feed right after a delimiter).
    constexpr qsizetype kBlockRoom = TextMarks::kBlock * 18 + 32;

    State state = m_state;
    const char* text = p; // the first byte not yet handled: text of the open cell, or where a field or line starts
    char* out = nullptr;
    // Opens the cell whose text starts at text (and its row); false when it is a field that may be quoted.
    const auto openCell = [&] {
        if (state == State::InCell)
            return true;
        if (state == State::LineStart) {
            putTag(out, kRowStartTag);
            state = State::FieldStart;
        }
        if (rfc4180 && text != end && *text == '"')
            return false;
        putTag(out, kCellStartTag);
        state = State::InCell;
        return true;
    };
    const auto leave = [&](const char* at) {
        m_outSize = out - m_out.data();
        m_state = state;
        return at;
    };

    while (p != end) {
        const bool whole = end - p >= TextMarks::kBlock;
        const char* blockEnd = whole ? p + TextMarks::kBlock : end;
        std::uint64_t mask = whole ? marks.template block<Escape>(p) : marks.template tail<Escape>(p, end - p);
        out = room(kBlockRoom + (p - text)); // text pending from earlier blocks is copied in this one
        for (; mask != 0; mask &= mask - 1) {
            const char* hit = p + std::countr_zero(mask);
            if (*hit == '\n') {
                if (state != State::LineStart || hit != text) {
                    if (!openCell())
                        return leave(text);
                    putText(out, text, hit, end);
                    putTag(out, kLineEndTag);
                    state = State::LineStart;
                }
                text = hit + 1;
                leave(text);
                if (!lineEnded(text, m_begin, progress)) {
                    stopped = true;
                    return text;
                }
                out = m_out.data() + m_outSize;
                continue;
            }
            if (!openCell())
                return leave(text);
            putText(out, text, hit, end);
            if (oneByte && *hit == delimiter) {
                putTag(out, kCellEndTag);
                state = State::FieldStart;
            } else {
                const unsigned char c = static_cast<unsigned char>(*hit);
                std::memcpy(out, kEntities.padded[c], 8);
                out += kEntities.size[c];
            }
            text = hit + 1;
        }
        m_outSize = out - m_out.data();
        p = blockEnd;
    }
    // The rest is text of a cell that goes on in the next piece.
    if (text != end) {
        out = room(end - text + 16);
        if (!openCell())
            return leave(text);
        std::memcpy(out, text, static_cast<std::size_t>(end - text));
        out += end - text;
    }
    return leave(end);
}

// Whether a lone quote after the quote that opens a field closes it in the same line (pairs of quotes passed
// over). Undecided while neither the line's end nor enough of it is in view; for a line too long to be held,
// the count knows where its last odd run of quotes begins: the field closes in the line unless that run is
// the one that opens it.
bool RowCutter::closesInLine(const char* quote, const char* lineEnd, const char* end, bool last, bool& decided)
{
    if (lineEnd != end || last)
        return findClosingQuote(quote + 1, lineEnd) != lineEnd;
    if (end - quote < m_counts.longLine) {
        decided = false;
        return false;
    }
    const auto& longLines = m_counts.longLines;
    while (m_nextLongLine < longLines.size() && longLines[m_nextLongLine].line < m_lines)
        ++m_nextLongLine;
    if (m_nextLongLine < longLines.size() && longLines[m_nextLongLine].line == m_lines)
        return longLines[m_nextLongLine].lastOddRun != m_offset + (quote - m_begin);
    return true;
}

// Counts a line that a line feed (or the end of the text) ended along with its record, and tells progress the
// share of lines done after the first record, then about every 10 ms of work.
bool RowCutter::lineEnded(const char* next, const char* begin, const LineProgress& progress)
{
    ++m_lines;
    const qint64 lineCount = m_counts.lineCount();
    if (lineCount == 0 || !progress)
        return true;
    const int percent = static_cast<int>(qMin(m_lines, lineCount) * 100 / lineCount);
    if (!m_reportedFirst) {
        m_reportedFirst = true;
        m_timer.restart();
        return progress(percent);
    }
    const qint64 at = next ? m_offset + (next - begin) : m_nextCheck;
    if (at >= m_nextCheck) {
        m_nextCheck = at + kCheckInterval;
        if (m_timer.elapsed() >= kSliceMs) {
            m_timer.restart();
            return progress(percent);
        }
    }
    return true;
}

void RowCutter::grow(qsizetype size)
{
    m_out.resize(qMax(m_outSize + size, qMax<qsizetype>(2 * m_out.size(), 64 * 1024)));
}

const char* RowCutter::findDelimiter(const char* begin, const char* end) const
{
    const qsizetype delimiterSize = m_rules.delimiter.size();
    if (delimiterSize == 1)
        return findByte(begin, end, m_rules.delimiter.front());
    if (delimiterSize > 1)
        return findPattern(begin, end, m_rules.delimiter.constData(), delimiterSize);
    return end;
}

void RowCutter::appendText(const char* begin, const char* end)
{
    if (!m_rules.flags.escapeHtml) {
        append(begin, end - begin);
        return;
    }
    for (const char* p = findEntityByte(begin, end); p != end; p = findEntityByte(begin, end)) {
        append(begin, p - begin);
        append(entityOf(*p), kEntities.size[static_cast<unsigned char>(*p)]);
        begin = p + 1;
    }
    append(begin, end - begin);
}

std::optional<HtmlDocument> HtmlDocument::start(const QByteArray& header, const QByteArray& text,
                                                const QByteArray& delimiter, const SliceBreak& pause,
                                                DocumentFlags flags)
{
    HtmlDocument document(text, CutRules(delimiter, flags));
    TextCounter counter(document.m_rules);
    if (!inSlices(text.size(), pause,
                  [&](qsizetype begin, qsizetype end) { counter.add(text.constData() + begin, end - begin); }))
        return std::nullopt;
    document.m_counts = counter.finish();
    document.m_buffer = header;
    return document;
}

bool HtmlDocument::appendRows(const LineProgress& progress)
{
    RowCutter cutter(m_rules, m_counts);
    const qsizetype slice = streamSliceBytes();
    for (qsizetype begin = 0; begin < m_text.size(); begin += slice) {
        const bool goingOn = cutter.add(m_text.constData() + begin, qMin(slice, m_text.size() - begin), progress);
        m_buffer.append(cutter.output());
        cutter.clearOutput();
        if (!goingOn)
            return false;
    }
    const bool complete = cutter.finish(progress);
    m_buffer.append(cutter.output());
    m_text = QByteArray();
    return complete;
}

void HtmlDocument::appendFooter()
{
    m_buffer.append(documentFooter());
}

QByteArray HtmlDocument::takeFileBytes()
{
    m_buffer.append("\r\n", 2);
    return std::exchange(m_buffer, QByteArray());
}

} // namespace ostrand
