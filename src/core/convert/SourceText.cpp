// SPDX-License-Identifier: MIT
#include "core/convert/SourceText.h"

#include <array>
#include <cstring>

#include <QFile>
#include <QFileInfo>

#include "core/convert/ByteScan.h"
#include "core/convert/LargeBuffer.h"

namespace ostrand {

namespace {

// Appends the UTF-8 form of one code point (below U+110000, not a surrogate) and returns the new end.
char* putUtf8(char* out, char32_t c)
{
    if (c < 0x80) {
        *out++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *out++ = static_cast<char>(0xC0 | (c >> 6));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (c >> 12));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (c >> 18));
        *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

// The code points of the Windows-1252 bytes 80 to 9F; from A0 on, a byte is its own code point.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t windows1252CodePoint(unsigned char byte)
{
    return byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : char16_t(byte);
}

qsizetype utf8Length(char32_t c)
{
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

QString readFailure(const QString& path, const QString& reason)
{
    return QStringLiteral("Cannot read %1: %2").arg(path, reason);
}

} // namespace

QByteArray utf16LeToUtf8(const char* data, qsizetype size, const SliceBreak& pause)
{
    const auto* s = reinterpret_cast<const unsigned char*>(data);
    const qsizetype units = (size + 1) / 2;
    // Each code unit needs at most three bytes (a pair of surrogates needs four for two units).
    QByteArray result;
    resizeForWriting(result, units * 3);
    char* out = result.data();
    const auto unitAt = [&](qsizetype u) -> char16_t {
        const qsizetype b = 2 * u;
        return char16_t(s[b] | (b + 1 < size ? s[b + 1] << 8 : 0));
    };
    qsizetype u = 0;
    while (u < units) {
        if (u > 0 && !offerBreak(pause))
            return QByteArray();
        // A pair of surrogates may end one unit past the slice.
        const qsizetype sliceEnd = qMin(units, u + kWorkSliceBytes / 2);
        while (u < sliceEnd) {
            // Four ASCII code units at a time: every high byte zero and every low byte below 80.
            if (units - u >= 4 && 2 * u + 8 <= size) {
                quint64 word;
                std::memcpy(&word, s + 2 * u, 8);
                if ((word & 0xFF80FF80FF80FF80ULL) == 0) {
                    out[0] = static_cast<char>(s[2 * u]);
                    out[1] = static_cast<char>(s[2 * u + 2]);
                    out[2] = static_cast<char>(s[2 * u + 4]);
                    out[3] = static_cast<char>(s[2 * u + 6]);
                    out += 4;
                    u += 4;
                    continue;
                }
            }
            const char16_t unit = unitAt(u);
            if (unit < 0xD800 || unit > 0xDFFF) {
                out = putUtf8(out, unit);
                ++u;
            } else if (unit <= 0xDBFF && u + 1 < units && unitAt(u + 1) >= 0xDC00 && unitAt(u + 1) <= 0xDFFF) {
                const char32_t c = 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(unitAt(u + 1)) - 0xDC00);
                out = putUtf8(out, c);
                u += 2;
            } else {
                out = putUtf8(out, 0xFFFD);
                ++u;
            }
        }
    }
    result.resize(out - result.constData());
    return result;
}

QByteArray windows1252ToUtf8(const char* data, qsizetype size, const SliceBreak& pause)
{
    const auto* s = reinterpret_cast<const unsigned char*>(data);
    qsizetype length = 0;
    const bool measured = inSlices(size, pause, [&](qsizetype begin, qsizetype end) {
        for (qsizetype i = begin; i < end; ++i)
            length += s[i] < 0x80 ? 1 : utf8Length(windows1252CodePoint(s[i]));
    });
    if (!measured || !offerBreakAfter(size, pause))
        return QByteArray();
    QByteArray result;
    resizeForWriting(result, length);
    char* out = result.data();
    const bool converted = inSlices(size, pause, [&](qsizetype begin, qsizetype end) {
        for (qsizetype i = begin; i < end; ++i) {
            if (s[i] < 0x80)
                *out++ = static_cast<char>(s[i]);
            else
                out = putUtf8(out, windows1252CodePoint(s[i]));
        }
    });
    return converted ? result : QByteArray();
}

QByteArray decodeSourceBytes(QByteArray bytes, const SliceBreak& pause)
{
    if (bytes.isEmpty())
        return bytes;
    const auto first = static_cast<unsigned char>(bytes.front());
    if (first == 0xFF || first == 0xFE) {
        QByteArray text = utf16LeToUtf8(bytes.constData(), bytes.size(), pause);
        releaseLargeBuffer(bytes, pause);
        return text;
    }
    Utf8Check check;
    bool valid = true;
    const bool checked = inSlices(bytes.size(), pause, [&](qsizetype begin, qsizetype end) {
        valid = valid && check.add(bytes.constData() + begin, end - begin);
    });
    if (!checked)
        return QByteArray();
    if (valid && check.complete())
        return bytes;
    if (!offerBreakAfter(bytes.size(), pause))
        return QByteArray();
    QByteArray text = windows1252ToUtf8(bytes.constData(), bytes.size(), pause);
    releaseLargeBuffer(bytes, pause);
    return text;
}

Result<QByteArray> ReadCSVText(const QString& path, const SliceBreak& pause)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return Failure{readFailure(path, QStringLiteral("File not found"))};
    if (info.isDir())
        return Failure{readFailure(path, QStringLiteral("It is a folder, not a file"))};
    // FIFOs, sockets and devices could block a read or never end; they are refused before opening.
    if (!info.isFile())
        return Failure{readFailure(path, QStringLiteral("It is not a regular file"))};
    if (info.size() <= 0)
        return emptyFileText();

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return Failure{readFailure(path, file.errorString())};
    QByteArray bytes;
    resizeForWriting(bytes, file.size());
    qsizetype filled = 0;
    while (filled < bytes.size()) {
        if (filled > 0 && !offerBreak(pause))
            return QByteArray();
        const qint64 got = file.read(bytes.data() + filled, qMin(bytes.size() - filled, kWorkSliceBytes));
        if (got < 0)
            return Failure{readFailure(path, file.errorString())};
        if (got == 0)
            break; // the file shrank since its length was taken
        filled += got;
    }
    file.close();
    bytes.resize(filled);
    if (bytes.isEmpty())
        return emptyFileText();
    if (!offerBreakAfter(bytes.size(), pause))
        return QByteArray();
    return decodeSourceBytes(std::move(bytes), pause);
}

} // namespace ostrand
