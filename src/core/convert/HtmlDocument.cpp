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
                                                const QByteArray& delimiter, const SliceBreak& pause)
{
    HtmlDocument document(text, delimiter);
    if (!document.count(header, pause))
        return std::nullopt;
    return document;
}

HtmlDocument::HtmlDocument(const QByteArray& text, const QByteArray& delimiter) : m_text(text), m_delimiter(delimiter)
{
    // A delimiter holding a carriage return or a line feed never occurs in a line once those are gone.
    if (m_delimiter.contains('\r') || m_delimiter.contains('\n'))
        m_delimiter.clear();
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
    // corrects should carriage returns inside a line join new delimiters.
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
    for (qsizetype i = 0; i < m_lineCount; ++i) {
        const char* lineEnd = findByte(p, end, '\n');
        appendRow(p, lineEnd);
        p = lineEnd == end ? end : lineEnd + 1;
        if (i == 0) {
            if (!progress(percent(1)))
                return false;
        } else if (p >= nextCheck) {
            nextCheck = p + kCheckInterval;
            if (timer.elapsed() >= kSliceMs) {
                timer.restart();
                if (!progress(percent(i + 1)))
                    return false;
            }
        }
    }
    m_text = QByteArray();
    return m_lineCount == 0 || progress(100);
}

void HtmlDocument::appendRow(const char* begin, const char* end)
{
    while (end > begin && end[-1] == '\r')
        --end;
    if (findByte(begin, end, '\r') != end) {
        m_scratch.resize(end - begin);
        char* out = m_scratch.data();
        for (const char* q = begin; q != end; ++q) {
            if (*q != '\r')
                *out++ = *q;
        }
        begin = m_scratch.constData();
        end = out;
    }
    if (begin == end)
        return;

    append(kRowStart, kRowStartSize);
    const qsizetype delimiterSize = m_delimiter.size();
    const char* field = begin;
    for (;;) {
        const char* hit = end;
        if (delimiterSize == 1)
            hit = findByte(field, end, m_delimiter.front());
        else if (delimiterSize > 1)
            hit = findPattern(field, end, m_delimiter.constData(), delimiterSize);
        const qsizetype fieldSize = hit - field;
        ensureRoom(kCellTagsSize + fieldSize + kRowEndSize);
        char* out = m_buffer.data() + m_size;
        std::memcpy(out, kCellStart, kCellStartSize);
        std::memcpy(out + kCellStartSize, field, static_cast<size_t>(fieldSize));
        std::memcpy(out + kCellStartSize + fieldSize, kCellEnd, kCellEndSize);
        m_size += kCellTagsSize + fieldSize;
        if (hit == end)
            break;
        field = hit + delimiterSize;
    }
    append(kRowEnd, kRowEndSize);
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
