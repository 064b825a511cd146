// SPDX-License-Identifier: MIT
#include "core/convert/SourcePasses.h"

#include <utility>

#include "core/convert/ByteScan.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ostrand {

namespace {

// Counts the code units of UTF-16 given in pieces that may cut a unit, and among them the line feeds and
// carriage returns, without decoding: eight units at a time where the processor allows. Every unit gives at
// least one byte of text, so the units are a lower bound of the text's size.
class Utf16Count
{
public:
    explicit Utf16Count(bool littleEndian) : m_littleEndian(littleEndian) {}

    void add(const char* data, qsizetype size)
    {
        const auto* s = reinterpret_cast<const unsigned char*>(data);
        qsizetype i = 0;
        if (m_hasOddByte && size > 0) {
            m_hasOddByte = false;
            unit(m_littleEndian ? m_oddByte | (s[0] << 8) : (m_oddByte << 8) | s[0]);
            i = 1;
        }
#if defined(__SSE2__)
        // Each matching unit gives a lane of all ones, that is -1, which subtracted counts it; the lanes are
        // summed before any can pass 65535.
        const __m128i lineFeed = _mm_set1_epi16(short(m_littleEndian ? 0x000A : 0x0A00));
        const __m128i carriageReturn = _mm_set1_epi16(short(m_littleEndian ? 0x000D : 0x0D00));
        while (i + 16 <= size) {
            __m128i lineFeeds = _mm_setzero_si128();
            __m128i carriageReturns = _mm_setzero_si128();
            const qsizetype blockEnd = i + qMin<qsizetype>((size - i) / 16, 65535) * 16;
            for (; i < blockEnd; i += 16) {
                const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
                lineFeeds = _mm_sub_epi16(lineFeeds, _mm_cmpeq_epi16(units, lineFeed));
                carriageReturns = _mm_sub_epi16(carriageReturns, _mm_cmpeq_epi16(units, carriageReturn));
                m_units += 8;
            }
            m_lineFeeds += laneSum(lineFeeds);
            m_carriageReturns += laneSum(carriageReturns);
        }
#endif
        for (; i + 1 < size; i += 2)
            unit(m_littleEndian ? s[i] | (s[i + 1] << 8) : (s[i] << 8) | s[i + 1]);
        if (i < size) {
            m_hasOddByte = true;
            m_oddByte = s[i];
        }
    }

    // The counts so far; an odd last byte is one more unit with a zero high byte.
    TextCounts counts(bool last) const
    {
        TextCounts counts;
        counts.size = m_units + (m_hasOddByte ? 1 : 0);
        counts.lineFeeds = m_lineFeeds + (last && m_hasOddByte && m_oddByte == '\n' ? 1 : 0);
        counts.carriageReturns = m_carriageReturns + (last && m_hasOddByte && m_oddByte == '\r' ? 1 : 0);
        counts.byteOrderMark = true;
        counts.longLine = streamSliceBytes();
        return counts;
    }

private:
#if defined(__SSE2__)
    // The sum of eight unsigned 16-bit lanes.
    static qint64 laneSum(__m128i lanes)
    {
        const __m128i low = _mm_unpacklo_epi16(lanes, _mm_setzero_si128());
        const __m128i high = _mm_unpackhi_epi16(lanes, _mm_setzero_si128());
        const __m128i sums = _mm_add_epi32(low, high);
        alignas(16) quint32 parts[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(parts), sums);
        return qint64(parts[0]) + parts[1] + parts[2] + parts[3];
    }
#endif

    void unit(unsigned value)
    {
        ++m_units;
        m_lineFeeds += value == 0x0A;
        m_carriageReturns += value == 0x0D;
    }

    bool m_littleEndian;
    bool m_hasOddByte = false;
    unsigned m_oddByte = 0;
    qint64 m_units = 0;
    qint64 m_lineFeeds = 0;
    qint64 m_carriageReturns = 0;
};

} // namespace

Status SourcePasses::open(const QString& path, const SliceBreak& pause)
{
    m_held = false;
    m_readInPass = false;
    return m_file.open(path, pause);
}

Status SourcePasses::readSlice(qint64 offset, qsizetype size)
{
    // A source of one slice is read once: its second pass cuts the bytes the first one checked.
    if (m_held && offset == m_heldOffset && size == m_heldSize)
        return Status::success();
    m_held = false;
    m_readInPass = true;
    // One more byte than the slice for the last one, which also looks past the end.
    if (m_slice.size() < size + 1)
        m_slice.resize(size + 1);
    const bool last = offset + size == m_file.size();
    const Status read =
        last ? m_file.readToEnd(offset, m_slice.data(), size) : m_file.read(offset, m_slice.data(), size);
    if (!read)
        return read;
    m_held = true;
    m_heldOffset = offset;
    m_heldSize = size;
    return read;
}

Status SourcePasses::checkUnchanged()
{
    // Bytes held from an earlier pass were checked at its end.
    if (!std::exchange(m_readInPass, false))
        return Status::success();
    return m_file.checkUnchanged();
}

template <class Each> Result<std::optional<PassEnd>> SourcePasses::eachSlice(const SliceBreak& pause, Each&& each)
{
    const qint64 size = m_file.size();
    const qsizetype slice = streamSliceBytes();
    for (qint64 offset = 0; offset < size; offset += slice) {
        if (offset > 0 && !offerBreak(pause))
            return std::optional<PassEnd>(PassEnd::Stopped);
        const qsizetype length = qsizetype(qMin<qint64>(slice, size - offset));
        if (const Status read = readSlice(offset, length); !read)
            return Failure{read.error()};
        if (const std::optional<PassEnd> end = each(m_slice.constData(), length))
            return end;
    }
    return std::optional<PassEnd>();
}

Result<PassEnd> SourcePasses::count(const CutRules& rules, const SliceBreak& pause, std::optional<qint64> room,
                                    qsizetype headerSize)
{
    const auto tooLarge = [&](const TextCounter& counter) {
        if (!room)
            return false;
        m_noRoomFor = counter.documentLowerBoundSoFar(headerSize, rules);
        return m_noRoomFor > *room;
    };
    const qint64 size = m_file.size();
    if (size == 0) {
        TextCounter counter(rules);
        const QByteArray text = emptyFileText();
        counter.add(text.constData(), text.size());
        m_counts = counter.finish();
        return PassEnd::Complete;
    }

    // Valid UTF-8 is counted while it is checked; bytes that turn out not to be UTF-8 are counted again as
    // Windows-1252 text. The first slice tells the byte order mark, and is held for the pass.
    if (const Status read = readSlice(0, qsizetype(qMin<qint64>(qMax<qsizetype>(streamSliceBytes(), 2), size))); !read)
        return Failure{read.error()};
    m_encoding = byteOrderMarkEncoding(m_slice.constData(), qMin<qint64>(2, size));
    if (m_encoding == SourceEncoding::Utf8) {
        TextCounter counter(rules);
        Utf8Check check;
        bool valid = true;
        const Result<std::optional<PassEnd>> read =
            eachSlice(pause, [&](const char* data, qsizetype length) -> std::optional<PassEnd> {
                valid = check.add(data, length);
                // Text that turns out to be Windows-1252 is at least as long as its bytes, so what is counted
                // here is a lower bound either way. Bytes that are not UTF-8 end the reading: they are counted
                // again as Windows-1252.
                counter.add(data, length);
                if (tooLarge(counter))
                    return PassEnd::NoRoom;
                return valid ? std::nullopt : std::optional<PassEnd>(PassEnd::Complete);
            });
        if (!read)
            return Failure{read.error()};
        if (read.value() && *read.value() != PassEnd::Complete)
            return *read.value();
        if (valid && check.complete()) {
            if (const Status same = checkUnchanged(); !same)
                return Failure{same.error()};
            m_counts = counter.finish();
            return PassEnd::Complete;
        }
        if (!offerBreak(pause))
            return PassEnd::Stopped;
        m_encoding = SourceEncoding::Windows1252;
    }

    // Without quoted fields the cut needs only the lines of UTF-16 text, which its code units tell.
    if (m_encoding != SourceEncoding::Windows1252 && !rules.flags.rfc4180) {
        Utf16Count units(m_encoding == SourceEncoding::Utf16LittleEndian);
        const Result<std::optional<PassEnd>> read =
            eachSlice(pause, [&](const char* data, qsizetype length) -> std::optional<PassEnd> {
                units.add(data, length);
                if (room) {
                    m_noRoomFor = units.counts(false).documentLowerBound(headerSize, rules);
                    if (m_noRoomFor > *room)
                        return PassEnd::NoRoom;
                }
                return std::nullopt;
            });
        if (!read)
            return Failure{read.error()};
        if (read.value())
            return *read.value();
        if (const Status same = checkUnchanged(); !same)
            return Failure{same.error()};
        m_counts = units.counts(true);
        return PassEnd::Complete;
    }

    TextCounter counter(rules);
    SourceDecoder decoder(m_encoding);
    const Result<std::optional<PassEnd>> read =
        eachSlice(pause, [&](const char* data, qsizetype length) -> std::optional<PassEnd> {
            const QByteArrayView text = decoder.add(data, length);
            counter.add(text.data(), text.size());
            if (tooLarge(counter))
                return PassEnd::NoRoom;
            return std::nullopt;
        });
    if (!read)
        return Failure{read.error()};
    if (read.value())
        return *read.value();
    const QByteArrayView rest = decoder.finish();
    counter.add(rest.data(), rest.size());
    if (const Status same = checkUnchanged(); !same)
        return Failure{same.error()};
    m_counts = counter.finish();
    return PassEnd::Complete;
}

Result<PassEnd> SourcePasses::cut(RowCutter& cutter, const LineProgress& progress, const std::function<bool()>& take,
                                  const SliceBreak& pause)
{
    const qint64 size = m_file.size();
    if (size == 0) {
        const QByteArray text = emptyFileText();
        if (!cutter.add(text.constData(), text.size(), progress))
            return PassEnd::Stopped;
    }
    SourceDecoder decoder(m_encoding);
    const Result<std::optional<PassEnd>> read =
        eachSlice(pause, [&](const char* data, qsizetype length) -> std::optional<PassEnd> {
            const QByteArrayView text = decoder.add(data, length);
            if (!cutter.add(text.data(), text.size(), progress))
                return PassEnd::Stopped;
            if (!take())
                return PassEnd::Abandoned;
            return std::nullopt;
        });
    if (!read)
        return Failure{read.error()};
    if (read.value())
        return *read.value();
    const QByteArrayView rest = decoder.finish();
    if (!cutter.add(rest.data(), rest.size(), progress) || !cutter.finish(progress))
        return PassEnd::Stopped;
    if (const Status same = checkUnchanged(); !same)
        return Failure{same.error()};
    return take() ? PassEnd::Complete : PassEnd::Abandoned;
}

} // namespace ostrand
