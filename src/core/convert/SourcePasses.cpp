// SPDX-License-Identifier: MIT
#include "core/convert/SourcePasses.h"

#include "core/convert/ByteScan.h"

namespace ostrand {

Status SourcePasses::open(const QString& path, const SliceBreak& pause)
{
    return m_file.open(path, pause);
}

Status SourcePasses::readSlice(qint64 offset, qsizetype size)
{
    if (m_slice.size() < size)
        m_slice.resize(size);
    return m_file.read(offset, m_slice.data(), size);
}

Result<PassEnd> SourcePasses::count(const CutRules& rules, const SliceBreak& pause)
{
    const qint64 size = m_file.size();
    const qsizetype slice = streamSliceBytes();
    if (size == 0) {
        TextCounter counter(rules);
        const QByteArray text = emptyFileText();
        counter.add(text.constData(), text.size());
        m_counts = counter.finish();
        return PassEnd::Complete;
    }

    // Valid UTF-8 is counted while it is checked; bytes that turn out not to be UTF-8 are counted again as
    // Windows-1252 text.
    if (const Status read = readSlice(0, qsizetype(qMin<qint64>(2, size))); !read)
        return Failure{read.error()};
    m_encoding = byteOrderMarkEncoding(m_slice.constData(), qMin<qint64>(2, size));
    if (m_encoding == SourceEncoding::Utf8) {
        TextCounter counter(rules);
        Utf8Check check;
        bool valid = true;
        for (qint64 offset = 0; offset < size && valid; offset += slice) {
            if (offset > 0 && !offerBreak(pause))
                return PassEnd::Stopped;
            const qsizetype length = qsizetype(qMin<qint64>(slice, size - offset));
            if (const Status read = readSlice(offset, length); !read)
                return Failure{read.error()};
            valid = check.add(m_slice.constData(), length);
            if (valid)
                counter.add(m_slice.constData(), length);
        }
        if (valid && check.complete()) {
            if (const Status same = m_file.checkUnchanged(); !same)
                return Failure{same.error()};
            m_counts = counter.finish();
            return PassEnd::Complete;
        }
        if (!offerBreak(pause))
            return PassEnd::Stopped;
        m_encoding = SourceEncoding::Windows1252;
    }

    TextCounter counter(rules);
    SourceDecoder decoder(m_encoding);
    for (qint64 offset = 0; offset < size; offset += slice) {
        if (offset > 0 && !offerBreak(pause))
            return PassEnd::Stopped;
        const qsizetype length = qsizetype(qMin<qint64>(slice, size - offset));
        if (const Status read = readSlice(offset, length); !read)
            return Failure{read.error()};
        const QByteArrayView text = decoder.add(m_slice.constData(), length);
        counter.add(text.data(), text.size());
    }
    const QByteArrayView rest = decoder.finish();
    counter.add(rest.data(), rest.size());
    if (const Status same = m_file.checkUnchanged(); !same)
        return Failure{same.error()};
    m_counts = counter.finish();
    return PassEnd::Complete;
}

Result<PassEnd> SourcePasses::cut(RowCutter& cutter, const LineProgress& progress,
                                  const std::function<bool(QByteArray&)>& take, const SliceBreak& pause)
{
    const qint64 size = m_file.size();
    const qsizetype slice = streamSliceBytes();
    if (size == 0) {
        const QByteArray text = emptyFileText();
        if (!cutter.add(text.constData(), text.size(), progress))
            return PassEnd::Stopped;
    }
    SourceDecoder decoder(m_encoding);
    for (qint64 offset = 0; offset < size; offset += slice) {
        if (offset > 0 && !offerBreak(pause))
            return PassEnd::Stopped;
        const qsizetype length = qsizetype(qMin<qint64>(slice, size - offset));
        if (const Status read = readSlice(offset, length); !read)
            return Failure{read.error()};
        const QByteArrayView text = decoder.add(m_slice.constData(), length);
        if (!cutter.add(text.data(), text.size(), progress))
            return PassEnd::Stopped;
        if (!take(cutter.output()))
            return PassEnd::Abandoned;
    }
    const QByteArrayView rest = decoder.finish();
    if (!cutter.add(rest.data(), rest.size(), progress) || !cutter.finish(progress))
        return PassEnd::Stopped;
    if (const Status same = m_file.checkUnchanged(); !same)
        return Failure{same.error()};
    return take(cutter.output()) ? PassEnd::Complete : PassEnd::Abandoned;
}

} // namespace ostrand
