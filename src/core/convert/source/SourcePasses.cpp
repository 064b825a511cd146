// SPDX-License-Identifier: MIT
#include "core/convert/source/SourcePasses.h"

#include <system_error>
#include <utility>

#include <QScopeGuard>

#include "core/convert/cut/Utf16Count.h"
#include "core/convert/pace/TaskBeside.h"

namespace ostrand {

Status SourcePasses::open(const QString& path, const SliceBreak& pause)
{
    dropAhead();
    m_held = false;
    m_readInPass = false;
    return m_file.open(path, pause);
}

Status SourcePasses::openStream(int fd, const QString& name, const SliceBreak& pause)
{
    dropAhead();
    m_held = false;
    m_readInPass = false;
    return m_file.openStream(fd, name, pause);
}

SourcePasses::SourcePasses() = default;

SourcePasses::~SourcePasses()
{
    dropAhead();
}

Status SourcePasses::readInto(QByteArray& into, qint64 offset, qsizetype size)
{
    // One more byte than the slice for the last one, which also looks past the end.
    if (into.size() < size + 1)
        into.resize(size + 1);
    const bool last = offset + size == m_file.size();
    return last ? m_file.readToEnd(offset, into.data(), size) : m_file.read(offset, into.data(), size);
}

Status SourcePasses::readSlice(qint64 offset, qsizetype size)
{
    // A source of one slice is read once: its second pass cuts the bytes the first one checked.
    if (m_held && offset == m_heldOffset && size == m_heldSize)
        return Status::success();
    m_held = false;
    m_readInPass = true;
    Status read;
    if (m_aheadStarted && offset == m_aheadOffset && size == m_aheadSize) {
        m_aheadStarted = false;
        read = m_reader->wait();
        m_slice.swap(m_ahead);
    } else {
        dropAhead();
        read = readInto(m_slice, offset, size);
    }
    if (!read)
        return read;
    m_held = true;
    m_heldOffset = offset;
    m_heldSize = size;
    readAhead(offset, size);
    return read;
}

void SourcePasses::readAhead(qint64 offset, qsizetype size)
{
    const qint64 next = offset + size;
    if (next >= m_file.size())
        return;
    if (!m_reader) {
        try {
            m_reader = std::make_unique<TaskBeside>();
        } catch (const std::system_error&) {
            return; // without a worker thread to be had, each slice is read when it is needed
        }
    }
    m_aheadOffset = next;
    m_aheadSize = qsizetype(qMin<qint64>(streamSliceBytes(), m_file.size() - next));
    m_aheadStarted = true;
    m_reader->start([this, offset = m_aheadOffset, size = m_aheadSize] { return readInto(m_ahead, offset, size); });
}

void SourcePasses::dropAhead()
{
    if (!std::exchange(m_aheadStarted, false))
        return;
    m_reader->wait();
}

Status SourcePasses::checkUnchanged()
{
    // Bytes held from an earlier pass were checked at its end.
    if (!std::exchange(m_readInPass, false))
        return Status::success();
    return m_file.checkUnchanged();
}

template <class Each, class Finish>
Result<PassEnd> SourcePasses::eachSlice(const SliceBreak& pause, Each&& each, Finish&& finish)
{
    const qint64 size = m_file.size();
    const qsizetype slice = streamSliceBytes();
    // A pass that ends early lets go of the slice read ahead.
    const auto dropOnLeaving = qScopeGuard([this] { dropAhead(); });
    for (qint64 offset = 0; offset < size; offset += slice) {
        if (offset > 0 && !offerBreak(pause))
            return PassEnd::Stopped;
        const qsizetype length = qsizetype(qMin<qint64>(slice, size - offset));
        if (const Status read = readSlice(offset, length); !read)
            return Failure{read.error()};
        if (const std::optional<PassEnd> end = each(m_slice.constData(), length))
            return *end;
    }
    if (const std::optional<PassEnd> end = finish())
        return *end;
    if (const Status same = checkUnchanged(); !same)
        return Failure{same.error()};
    return PassEnd::Complete;
}

bool SourcePasses::noRoom(qint64 lowerBound)
{
    if (!m_room)
        return false;
    m_noRoomFor = lowerBound;
    return m_noRoomFor > *m_room;
}

Result<PassEnd> SourcePasses::count(const CutRules& rules, const SliceBreak& pause, std::optional<qint64> room,
                                    qsizetype headerSize)
{
    m_room = room;
    m_headerSize = headerSize;
    m_rules = &rules;
    TextCounter counter(rules);
    if (m_file.size() == 0) {
        const QByteArray text = emptyFileText();
        counter.add(text.constData(), text.size());
        m_counts = counter.finish();
        return PassEnd::Complete;
    }
    // The first slice tells the byte order mark, and is held for the pass.
    if (const Status read =
            readSlice(0, qsizetype(qMin<qint64>(qMax<qsizetype>(streamSliceBytes(), 2), m_file.size())));
        !read)
        return Failure{read.error()};
    EncodingChoice choice(m_slice.constData(), qMin<qint64>(2, m_file.size()));
    if (choice.needsPass()) {
        const Result<PassEnd> utf8 = countUtf8(counter, pause);
        if (!utf8 || utf8.value() != PassEnd::Complete || m_encoding == SourceEncoding::Utf8)
            return utf8;
        counter = TextCounter(rules);
    } else {
        m_encoding = choice.encoding();
    }
    // Without quoted fields the cut needs only the lines of UTF-16 text, which its code units tell.
    if (m_encoding != SourceEncoding::Windows1252 && !rules.flags.rfc4180)
        return countUtf16(pause);
    return countDecoded(counter, pause);
}

// Valid UTF-8 is counted while it is checked; bytes that turn out not to be UTF-8 end the pass, and the encoding
// is then Windows-1252, counted again by countDecoded.
Result<PassEnd> SourcePasses::countUtf8(TextCounter& counter, const SliceBreak& pause)
{
    EncodingChoice choice(m_slice.constData(), qMin<qint64>(2, m_file.size()));
    const Result<PassEnd> end = eachSlice(
        pause,
        [&](const char* data, qsizetype length) -> std::optional<PassEnd> {
            const bool mayBeUtf8 = choice.add(data, length);
            // Text that turns out to be Windows-1252 is at least as long as its bytes, so what is counted here is
            // a lower bound either way.
            counter.add(data, length);
            if (noRoom(counter.documentLowerBoundSoFar(m_headerSize, *m_rules)))
                return PassEnd::NoRoom;
            // Bytes that are not UTF-8 end the reading here.
            return mayBeUtf8 ? std::nullopt : std::optional<PassEnd>(PassEnd::Complete);
        },
        [] { return std::optional<PassEnd>(); });
    if (!end || end.value() != PassEnd::Complete)
        return end;
    m_encoding = choice.encoding();
    if (m_encoding == SourceEncoding::Utf8) {
        m_counts = counter.finish();
        return PassEnd::Complete;
    }
    return offerBreak(pause) ? PassEnd::Complete : PassEnd::Stopped;
}

Result<PassEnd> SourcePasses::countUtf16(const SliceBreak& pause)
{
    Utf16Count units(m_encoding == SourceEncoding::Utf16LittleEndian);
    const Result<PassEnd> end = eachSlice(
        pause,
        [&](const char* data, qsizetype length) -> std::optional<PassEnd> {
            units.add(data, length);
            if (m_room && noRoom(units.counts(false).documentLowerBound(m_headerSize, *m_rules)))
                return PassEnd::NoRoom;
            return std::nullopt;
        },
        [] { return std::optional<PassEnd>(); });
    if (end && end.value() == PassEnd::Complete)
        m_counts = units.counts(true);
    return end;
}

Result<PassEnd> SourcePasses::countDecoded(TextCounter& counter, const SliceBreak& pause)
{
    SourceDecoder decoder(m_encoding);
    const Result<PassEnd> end = eachSlice(
        pause,
        [&](const char* data, qsizetype length) -> std::optional<PassEnd> {
            const QByteArrayView text = decoder.add(data, length);
            counter.add(text.data(), text.size());
            if (noRoom(counter.documentLowerBoundSoFar(m_headerSize, *m_rules)))
                return PassEnd::NoRoom;
            return std::nullopt;
        },
        [&] {
            const QByteArrayView rest = decoder.finish();
            counter.add(rest.data(), rest.size());
            return std::optional<PassEnd>();
        });
    if (end && end.value() == PassEnd::Complete)
        m_counts = counter.finish();
    return end;
}

Result<PassEnd> SourcePasses::cut(RowCutter& cutter, const LineProgress& progress, const std::function<bool()>& take,
                                  const SliceBreak& pause)
{
    if (m_file.size() == 0) {
        const QByteArray text = emptyFileText();
        if (!cutter.add(text.constData(), text.size(), progress))
            return PassEnd::Stopped;
    }
    SourceDecoder decoder(m_encoding);
    const Result<PassEnd> end = eachSlice(
        pause,
        [&](const char* data, qsizetype length) -> std::optional<PassEnd> {
            const QByteArrayView text = decoder.add(data, length);
            if (!cutter.add(text.data(), text.size(), progress))
                return PassEnd::Stopped;
            if (!take())
                return PassEnd::Abandoned;
            return std::nullopt;
        },
        [&] {
            const QByteArrayView rest = decoder.finish();
            if (!cutter.add(rest.data(), rest.size(), progress) || !cutter.finish(progress))
                return std::optional<PassEnd>(PassEnd::Stopped);
            return std::optional<PassEnd>();
        });
    if (!end || end.value() != PassEnd::Complete)
        return end;
    return take() ? PassEnd::Complete : PassEnd::Abandoned;
}

} // namespace ostrand
