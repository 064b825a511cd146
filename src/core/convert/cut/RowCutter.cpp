// SPDX-License-Identifier: MIT
#include "core/convert/cut/RowCutter.h"

#include <bit>
#include <cstdint>

#include "core/convert/cut/BlockMarks.h"
#include "core/convert/cut/ByteScan.h"
#include "core/convert/document/Markup.h"
#include "core/convert/pace/EventTurns.h"

namespace ostrand {

namespace {

// Progress is offered after the first line, then whenever this much text has been handled and about
// 10 ms have passed since the last offer: a clock read every 64 KiB costs nothing, and lines of any length
// are covered.
constexpr qsizetype kCheckInterval = 64 * 1024;

} // namespace

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

// The piece of text being cut: where it ends, whether it is the last, and the next line feed and quote in it,
// each found once per line or quoted field instead of once per field.
struct RowCutter::Piece
{
    const char* end;
    bool last;
    const LineProgress& progress;
    bool stopped = false;
    const char* lineEnd = nullptr;
    const char* quote = nullptr;

    const char* lineEndFrom(const char* from)
    {
        if (!lineEnd || lineEnd < from)
            lineEnd = findByte(from, end, '\n');
        return lineEnd;
    }
    const char* quoteFrom(const char* from)
    {
        if (!quote || quote < from)
            quote = findByte(from, end, '"');
        return quote;
    }
};

const char* RowCutter::cut(const char* p, const char* end, bool last, const LineProgress& progress, bool& stopped)
{
    Piece piece{end, last, progress};
    for (;;) {
        if (plainCutApplies(p, end)) {
            p = m_rules.flags.escapeHtml ? cutPlain<true>(p, end, progress, stopped)
                                         : cutPlain<false>(p, end, progress, stopped);
            if (stopped)
                return p;
        }
        bool goOn = false;
        switch (m_state) {
        case State::LineStart:
            goOn = atLineStart(p, piece);
            break;
        case State::FieldStart:
            goOn = atFieldStart(p, piece);
            break;
        case State::InCell:
            goOn = inCell(p, piece);
            break;
        case State::Quoted:
            goOn = inQuotedField(p, piece);
            break;
        case State::WholeLine:
            goOn = inWholeLine(p, piece);
            break;
        }
        if (!goOn) {
            stopped = piece.stopped;
            return p;
        }
    }
}

// Each state's step moves p on and returns true to go on cutting, or false to end the piece's cut at p (its end,
// bytes that wait for the next piece, or the line after which progress asked to stop).

bool RowCutter::atLineStart(const char*& p, Piece& piece)
{
    if (p == piece.end)
        return false;
    if (*p == '\n') {
        ++p;
        return endLine(p, piece);
    }
    append(kRowStart, kRowStartSize);
    m_state = State::FieldStart;
    return true;
}

bool RowCutter::atFieldStart(const char*& p, Piece& piece)
{
    if (m_rules.flags.rfc4180) {
        if (p == piece.end && !piece.last)
            return false;
        if (p != piece.end && *p == '"') {
            bool decided = true;
            const bool closes = closesInLine(p, piece.lineEndFrom(p), piece.end, piece.last, decided);
            if (!decided)
                return false;
            append(kCellStart, kCellStartSize);
            // A quote closed in its line or on a later one opens a quoted field; otherwise it is text and its
            // field runs to the end of the line.
            if (closes || m_counts.lastLoneQuoteLine > m_lines) {
                ++p;
                m_state = State::Quoted;
            } else {
                m_state = State::WholeLine;
            }
            return true;
        }
    }
    append(kCellStart, kCellStartSize);
    m_state = State::InCell;
    return true;
}

bool RowCutter::inCell(const char*& p, Piece& piece)
{
    const qsizetype delimiterSize = m_rules.delimiter.size();
    const char* lineEnd = piece.lineEndFrom(p);
    const char* hit = findDelimiter(p, lineEnd);
    if (hit != lineEnd) {
        appendText(p, hit);
        append(kCellEnd, kCellEndSize);
        p = hit + delimiterSize;
        m_state = State::FieldStart;
        return true;
    }
    if (lineEnd == piece.end) {
        // The first bytes of a delimiter may stand at the end: they wait for the next piece.
        const char* upTo = piece.last || delimiterSize <= 1 ? piece.end : qMax(p, piece.end - (delimiterSize - 1));
        appendText(p, upTo);
        p = upTo;
        return false;
    }
    appendText(p, lineEnd);
    append(kCellEnd, kCellEndSize);
    append(kRowEnd, kRowEndSize);
    p = lineEnd + 1;
    m_state = State::LineStart;
    return endLine(p, piece);
}

bool RowCutter::inQuotedField(const char*& p, Piece& piece)
{
    const char* quote = piece.quoteFrom(p);
    const char* lineEnd = piece.lineEndFrom(p);
    if (lineEnd < quote) {
        // The field goes on over the next line.
        appendText(p, lineEnd);
        append("\n", 1);
        p = lineEnd + 1;
        ++m_lines;
        return true;
    }
    if (quote == piece.end) {
        appendText(p, piece.end);
        p = piece.end;
        return false;
    }
    if (quote + 1 == piece.end && !piece.last) {
        appendText(p, quote);
        p = quote;
        return false;
    }
    if (quote + 1 != piece.end && quote[1] == '"') {
        appendText(p, quote + 1);
        p = quote + 2;
        return true;
    }
    // The closing quote; what follows it up to the next delimiter stays as it is.
    appendText(p, quote);
    p = quote + 1;
    m_state = State::InCell;
    return true;
}

bool RowCutter::inWholeLine(const char*& p, Piece& piece)
{
    const char* lineEnd = piece.lineEndFrom(p);
    appendText(p, lineEnd);
    if (lineEnd == piece.end) {
        p = piece.end;
        return false;
    }
    append(kCellEnd, kCellEndSize);
    append(kRowEnd, kRowEndSize);
    p = lineEnd + 1;
    m_state = State::LineStart;
    return endLine(p, piece);
}

// A line ended before p: counted, and progress told; false (the cut ends there) when progress asked to stop.
bool RowCutter::endLine(const char* p, Piece& piece)
{
    if (lineEnded(p, m_begin, piece.progress))
        return true;
    piece.stopped = true;
    return false;
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
        if (m_timer.elapsed() >= kTurnMs) {
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

} // namespace ostrand
