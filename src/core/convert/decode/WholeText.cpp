// SPDX-License-Identifier: MIT
#include "core/convert/decode/WholeText.h"

#include <cerrno>
#include <new>

#include "core/common/SystemText.h"
#include "core/convert/source/LargeBuffer.h"
#include "core/convert/source/SourceFile.h"

namespace ostrand {

namespace {

// Decodes whole bytes through the piecewise decoder, a slice at a time with a break between slices.
QByteArray decodeWhole(SourceEncoding encoding, const char* data, qsizetype size, const SliceBreak& pause)
{
    SourceDecoder decoder(encoding);
    QByteArray result;
    // The text's size is not known before it is decoded: room for the larger of the likely sizes.
    result.reserve(encoding == SourceEncoding::Windows1252 ? size + size / 8 : size);
    const bool decoded = inSlices(size, pause, [&](qsizetype begin, qsizetype end) {
        const QByteArrayView text = decoder.add(data + begin, end - begin);
        result.append(text.data(), text.size());
    });
    if (!decoded)
        return QByteArray();
    const QByteArrayView rest = decoder.finish();
    result.append(rest.data(), rest.size());
    return result;
}

} // namespace

QByteArray utf16LeToUtf8(const char* data, qsizetype size, const SliceBreak& pause)
{
    return decodeWhole(SourceEncoding::Utf16LittleEndian, data, size, pause);
}

QByteArray utf16BeToUtf8(const char* data, qsizetype size, const SliceBreak& pause)
{
    return decodeWhole(SourceEncoding::Utf16BigEndian, data, size, pause);
}

QByteArray windows1252ToUtf8(const char* data, qsizetype size, const SliceBreak& pause)
{
    return decodeWhole(SourceEncoding::Windows1252, data, size, pause);
}

QByteArray decodeSourceBytes(QByteArray bytes, const SliceBreak& pause)
{
    if (bytes.isEmpty())
        return bytes;
    EncodingChoice choice(bytes.constData(), bytes.size());
    if (choice.needsPass()) {
        const bool looked = inSlices(bytes.size(), pause, [&](qsizetype begin, qsizetype end) {
            choice.add(bytes.constData() + begin, end - begin);
        });
        if (!looked)
            return QByteArray();
        if (choice.encoding() == SourceEncoding::Utf8)
            return bytes;
        if (!offerBreakAfter(bytes.size(), pause))
            return QByteArray();
    }
    QByteArray text = decodeWhole(choice.encoding(), bytes.constData(), bytes.size(), pause);
    releaseLargeBuffer(bytes, pause);
    return text;
}

namespace {

// Reads the whole file into one buffer of its length, a slice at a time with a break between slices.
Result<QByteArray> readSourceBytes(const QString& path, const SliceBreak& pause)
{
    SourceFile file;
    if (const Status opened = file.open(path, pause); !opened) {
        if (opened.error().isEmpty())
            return QByteArray(); // stopped
        return Failure{opened.error()};
    }
    if (file.size() <= 0)
        return emptyFileText();
    QByteArray bytes;
    resizeForWriting(bytes, qsizetype(file.size()));
    for (qsizetype filled = 0; filled < bytes.size(); filled += kWorkSliceBytes) {
        if (filled > 0 && !offerBreak(pause))
            return QByteArray();
        if (const Status read = file.read(filled, bytes.data() + filled, qMin(bytes.size() - filled, kWorkSliceBytes));
            !read)
            return Failure{read.error()};
    }
    if (const Status same = file.checkUnchanged(); !same)
        return Failure{same.error()};
    return bytes;
}

} // namespace

Result<QByteArray> ReadCSVText(const QString& path, const SliceBreak& pause)
{
    // A source too large for the memory at hand fails like any unreadable one: its reading takes the
    // memory once for the bytes and once more for a decoded copy.
    try {
        Result<QByteArray> bytes = readSourceBytes(path, pause);
        if (!bytes || bytes.value().isEmpty())
            return bytes;
        if (!offerBreakAfter(bytes.value().size(), pause))
            return QByteArray();
        return decodeSourceBytes(std::move(bytes.value()), pause);
    } catch (const std::bad_alloc&) {
        return Failure{QStringLiteral("Cannot read %1: %2").arg(path, systemErrorText(ENOMEM))};
    }
}

} // namespace ostrand
