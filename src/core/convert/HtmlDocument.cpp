// SPDX-License-Identifier: MIT
#include "core/convert/HtmlDocument.h"

#include <cstring>
#include <utility>

#include <QElapsedTimer>

#include "core/convert/ByteScan.h"
#include "core/convert/LargeBuffer.h"

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
constexpr qsizetype kRowTagsSize = kRowStartSize + kRowEndSize;

// Progress is offered after the first line, then whenever this much text has been handled and about
// 10 ms have passed since the last offer: a clock read every 64 KiB costs nothing, and lines of any length
// are covered.
constexpr qsizetype kCheckInterval = 64 * 1024;
constexpr qint64 kSliceMs = 10;

const char* findByte(const char* begin, const char* end, char c)
{
    const void* hit = std::memchr(begin, c, static_cast<size_t>(end - begin));
    return hit ? static_cast<const char*>(hit) : end;
}

// The entity of each character that markup gives a meaning to; null for every other byte.
struct Entities
{
    const char* text[256] = {};
    qsizetype size[256] = {};
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

std::optional<HtmlDocument> HtmlDocument::start(const QByteArray& header, const QByteArray& text,
                                                const QByteArray& delimiter, const SliceBreak& pause,
                                                DocumentFlags flags)
{
    HtmlDocument document(text, delimiter, flags);
    if (!document.count(header, pause))
        return std::nullopt;
    return document;
}

HtmlDocument::HtmlDocument(const QByteArray& text, const QByteArray& delimiter, DocumentFlags flags)
    : m_text(text), m_delimiter(delimiter), m_flags(flags)
{
    // A delimiter holding a carriage return or a line feed never occurs in a line once those are gone.
    if (m_delimiter.contains('\r') || m_delimiter.contains('\n'))
        m_delimiter.clear();
    // A quote cannot both open fields and separate them.
    if (m_delimiter.contains('"'))
        m_flags.rfc4180 = false;
}

bool HtmlDocument::count(const QByteArray& header, const SliceBreak& pause)
{
    const char* data = m_text.constData();
    const qsizetype size = m_text.size();
    const qsizetype delimiterSize = m_delimiter.size();
    const char firstDelimiterByte = delimiterSize == 1 ? m_delimiter.front() : '\n';
    qsizetype lineFeeds = 0;
    qsizetype carriageReturns = 0;
    qsizetype delimiters = 0;
    // Where the next delimiter of two or more bytes may begin: an occurrence that begins in one slice may
    // end in the next.
    const char* nextDelimiter = data;
    const bool counted = inSlices(size, pause, [&](qsizetype begin, qsizetype end) {
        const ByteCounts counts = countBytes(data + begin, end - begin, '\n', '\r', firstDelimiterByte);
        lineFeeds += counts.first;
        carriageReturns += counts.second;
        if (delimiterSize == 1)
            delimiters += counts.third;
        if (delimiterSize > 1) {
            const char* limit = data + qMin(size, end + delimiterSize - 1);
            for (const char* hit = findPattern(nextDelimiter, limit, m_delimiter.constData(), delimiterSize);
                 hit != limit; hit = findPattern(nextDelimiter, limit, m_delimiter.constData(), delimiterSize)) {
                ++delimiters;
                nextDelimiter = hit + delimiterSize;
            }
            nextDelimiter = qMax(nextDelimiter, data + end);
        }
    });
    if (!counted)
        return false;
    m_lineCount = carriageReturns == size ? 0 : lineFeeds + 1;

    // Exact for text whose carriage returns all stand at line ends; otherwise an estimate that appendRow
    // corrects should carriage returns inside a line join new delimiters. Entities and fields that span
    // lines grow the buffer as they come: data without markup costs no extra pass.
    const qsizetype content = size - lineFeeds - carriageReturns - delimiters * delimiterSize;
    const qsizetype estimate = header.size() + m_lineCount * kRowTagsSize + (delimiters + m_lineCount) * kCellTagsSize +
                               qMax<qsizetype>(content, 0) + documentFooter().size() + 2;
    resizeForWriting(m_buffer, estimate);
    append(header.constData(), header.size());
    return true;
}

bool HtmlDocument::appendRows(const LineProgress& progress)
{
    const char* p = m_text.constData();
    const char* end = p + m_text.size();
    const auto percent = [this](qsizetype linesDone) { return static_cast<int>(linesDone * 100 / m_lineCount); };
    QElapsedTimer timer;
    timer.start();
    const char* nextCheck = p + kCheckInterval;
    m_noCloseFrom = end;
    // Read as RFC 4180 fields, a byte order mark is no part of the first field: its quote still opens it.
    if (m_flags.rfc4180 && m_text.startsWith("\xEF\xBB\xBF"))
        p += 3;
    qsizetype linesDone = 0;
    while (linesDone < m_lineCount) {
        const bool first = linesDone == 0;
        if (m_flags.rfc4180) {
            p = appendRecord(p, end, linesDone);
        } else {
            const char* lineEnd = findByte(p, end, '\n');
            appendRow(p, lineEnd);
            p = lineEnd == end ? end : lineEnd + 1;
            ++linesDone;
        }
        if (first) {
            if (!progress(percent(linesDone)))
                return false;
        } else if (p >= nextCheck) {
            nextCheck = p + kCheckInterval;
            if (timer.elapsed() >= kSliceMs) {
                timer.restart();
                if (!progress(percent(linesDone)))
                    return false;
            }
        }
    }
    m_text = QByteArray();
    return m_lineCount == 0 || progress(100);
}

HtmlDocument::Line HtmlDocument::withoutCarriageReturns(const char* begin, const char* end)
{
    while (end > begin && end[-1] == '\r')
        --end;
    if (findByte(begin, end, '\r') == end)
        return {begin, end};
    m_scratch.resize(end - begin);
    char* out = m_scratch.data();
    for (const char* q = begin; q != end; ++q) {
        if (*q != '\r')
            *out++ = *q;
    }
    return {m_scratch.constData(), out};
}

const char* HtmlDocument::findDelimiter(const char* begin, const char* end) const
{
    const qsizetype delimiterSize = m_delimiter.size();
    if (delimiterSize == 1)
        return findByte(begin, end, m_delimiter.front());
    if (delimiterSize > 1)
        return findPattern(begin, end, m_delimiter.constData(), delimiterSize);
    return end;
}

void HtmlDocument::appendRow(const char* begin, const char* end)
{
    const Line line = withoutCarriageReturns(begin, end);
    if (line.begin == line.end)
        return;

    append(kRowStart, kRowStartSize);
    const char* field = line.begin;
    for (;;) {
        const char* hit = findDelimiter(field, line.end);
        appendCell(field, hit - field);
        if (hit == line.end)
            break;
        field = hit + m_delimiter.size();
    }
    append(kRowEnd, kRowEndSize);
}

const char* HtmlDocument::appendRecord(const char* start, const char* end, qsizetype& lines)
{
    const char* lineEnd = findByte(start, end, '\n');
    const char* next = lineEnd == end ? end : lineEnd + 1;
    ++lines;
    Line line = withoutCarriageReturns(start, lineEnd);
    if (line.begin == line.end)
        return next;

    append(kRowStart, kRowStartSize);
    const char* field = line.begin;
    for (;;) {
        if (field == line.end || *field != '"') {
            const char* hit = findDelimiter(field, line.end);
            appendCell(field, hit - field);
            if (hit == line.end)
                break;
            field = hit + m_delimiter.size();
            continue;
        }
        const char* close = findClosingQuote(field + 1, line.end);
        if (close == line.end && (next == end || !closedLater(next, end))) {
            // Never closed: the quote is text, and the field runs to the end of the line.
            appendCell(field, line.end - field);
            break;
        }
        append(kCellStart, kCellStartSize);
        if (close == line.end) {
            // The field goes on over the following lines up to the line that holds its closing quote.
            appendUnquoted(field + 1, line.end);
            while (close == line.end && next != end) {
                append("\n", 1);
                lineEnd = findByte(next, end, '\n');
                line = withoutCarriageReturns(next, lineEnd);
                next = lineEnd == end ? end : lineEnd + 1;
                ++lines;
                close = findClosingQuote(line.begin, line.end);
                appendUnquoted(line.begin, close);
            }
        } else {
            appendUnquoted(field + 1, close);
        }
        // What follows the closing quote up to the next delimiter stays as it is.
        const char* after = close == line.end ? close : close + 1;
        const char* hit = findDelimiter(after, line.end);
        appendText(after, hit);
        append(kCellEnd, kCellEndSize);
        if (hit == line.end)
            break;
        field = hit + m_delimiter.size();
    }
    append(kRowEnd, kRowEndSize);
    return next;
}

// Whether a lone quote stands anywhere in [from, end), carriage returns left out: the close of a quoted field
// that has gone past its first line. Pairs of quotes cannot span a line feed, so the search needs no state
// but its position; once a search has found nothing, any later one that reaches a character other than a
// quote at or after its start would find nothing too, which keeps every search short after the first.
bool HtmlDocument::closedLater(const char* from, const char* end)
{
    const char* p = from;
    for (;;) {
        const char* q = findByte(p, end, '"');
        for (const char* known = qMax(p, m_noCloseFrom); known < q; ++known) {
            if (*known != '\r') {
                m_noCloseFrom = qMin(m_noCloseFrom, from);
                return false;
            }
        }
        if (q == end) {
            m_noCloseFrom = qMin(m_noCloseFrom, from);
            return false;
        }
        const char* r = q + 1;
        while (r != end && *r == '\r')
            ++r;
        if (r == end || *r != '"')
            return true;
        p = r + 1;
    }
}

void HtmlDocument::appendCell(const char* field, qsizetype size)
{
    if (m_flags.escapeHtml && findEntityByte(field, field + size) != field + size) {
        append(kCellStart, kCellStartSize);
        appendEscaped(field, field + size);
        append(kCellEnd, kCellEndSize);
        return;
    }
    ensureRoom(kCellTagsSize + size + kRowEndSize);
    char* out = m_buffer.data() + m_size;
    std::memcpy(out, kCellStart, kCellStartSize);
    std::memcpy(out + kCellStartSize, field, static_cast<size_t>(size));
    std::memcpy(out + kCellStartSize + size, kCellEnd, kCellEndSize);
    m_size += kCellTagsSize + size;
}

void HtmlDocument::appendText(const char* begin, const char* end)
{
    if (m_flags.escapeHtml)
        appendEscaped(begin, end);
    else
        append(begin, end - begin);
}

void HtmlDocument::appendEscaped(const char* begin, const char* end)
{
    for (const char* p = findEntityByte(begin, end); p != end; p = findEntityByte(begin, end)) {
        append(begin, p - begin);
        append(entityOf(*p), kEntities.size[static_cast<unsigned char>(*p)]);
        begin = p + 1;
    }
    append(begin, end - begin);
}

// The inside of a quoted field, whose quotes all come in pairs: each pair stands for one quote.
void HtmlDocument::appendUnquoted(const char* begin, const char* end)
{
    for (const char* q = findByte(begin, end, '"'); q != end; q = findByte(begin, end, '"')) {
        appendText(begin, q + 1);
        begin = qMin(q + 2, end);
    }
    appendText(begin, end);
}

void HtmlDocument::appendFooter()
{
    const QByteArray footer = documentFooter();
    append(footer.constData(), footer.size());
}

QByteArray HtmlDocument::takeFileBytes()
{
    append("\r\n", 2);
    m_buffer.resize(m_size);
    m_size = 0;
    return std::exchange(m_buffer, QByteArray());
}

void HtmlDocument::append(const char* data, qsizetype size)
{
    ensureRoom(size);
    std::memcpy(m_buffer.data() + m_size, data, static_cast<size_t>(size));
    m_size += size;
}

void HtmlDocument::ensureRoom(qsizetype size)
{
    if (m_buffer.size() - m_size >= size)
        return;
    m_buffer.resize(qMax(m_size + size, m_buffer.size() + m_buffer.size() / 2));
}

} // namespace ostrand
