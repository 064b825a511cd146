// SPDX-License-Identifier: MIT
// Raw source bytes through every decoding, and the fast byte scans (each vector kernel the processor has)
// against plain loops.
#include <algorithm>
#include <cstdint>

#include <QHash>
#include <QString>

#include "FuzzSupport.h"
#include "core/convert/cut/ByteScan.h"
#include "core/convert/decode/Utf8Check.h"
#include "core/convert/decode/WholeText.h"
#include "core/convert/source/WorkSlices.h"

using namespace ostrand;

namespace {

void checkByteScans(const QByteArray& bytes)
{
    const char* data = bytes.constData();
    const qsizetype size = bytes.size();

    // Every way the check can run on this processor, whole and over pieces cut anywhere (lengths taken from the
    // bytes themselves, up to more than two vector blocks).
    const bool utf8 = fuzz::plainIsUtf8(bytes);
    for (Utf8Kernel kernel : {Utf8Kernel::Plain, Utf8Kernel::Ssse3, Utf8Kernel::Avx2, Utf8Kernel::Avx512}) {
        if (!utf8KernelAvailable(kernel))
            continue;
        fuzz::check(isValidUtf8(data, size, kernel) == utf8, "isValidUtf8 agrees with the plain check", bytes);
        Utf8Check pieces(kernel);
        bool piecesOk = true;
        for (qsizetype at = 0, k = 0; at < size; ++k) {
            const qsizetype length = qMin<qsizetype>(size - at, static_cast<unsigned char>(data[k % size]) % 71 + 1);
            piecesOk = pieces.add(data + at, length) && piecesOk;
            at += length;
        }
        fuzz::check((piecesOk && pieces.complete()) == utf8, "Utf8Check over pieces agrees", bytes);
    }

    const char a = size > 0 ? data[0] : ',';
    const char b = size > 1 ? data[1] : '\n';
    const char c = size > 2 ? data[2] : '\r';
    const ByteCounts counts = countBytes(data, size, a, b, c);
    fuzz::check(counts.first == std::count(bytes.begin(), bytes.end(), a) &&
                    counts.second == std::count(bytes.begin(), bytes.end(), b) &&
                    counts.third == std::count(bytes.begin(), bytes.end(), c),
                "countBytes agrees with counting byte by byte", bytes);

    // The first few bytes as a pattern, searched for in all the bytes after the first.
    if (size >= 2) {
        const qsizetype patternSize = qMin<qsizetype>(size - 1, static_cast<unsigned char>(data[0]) % 5 + 1);
        const QByteArray pattern = bytes.mid(1, patternSize);
        const QByteArray haystack = bytes.mid(1 + patternSize / 2);
        const char* found = findPattern(haystack.constData(), haystack.constData() + haystack.size(),
                                        pattern.constData(), pattern.size());
        const qsizetype plain = haystack.indexOf(pattern);
        fuzz::check(found - haystack.constData() == (plain < 0 ? haystack.size() : plain),
                    "findPattern agrees with a plain search", bytes);
    }
}

void checkDecoders(const QByteArray& bytes)
{
    // UTF-16 little-endian: the fast ASCII runs agree with decoding unit by unit.
    const QByteArray fromUtf16 = utf16LeToUtf8(bytes.constData(), bytes.size());
    const QList<char16_t> units = fuzz::utf16LeUnits(bytes);
    fuzz::check(fromUtf16 == fuzz::plainUtf16ToUtf8(units), "UTF-16 decoding agrees with the plain one", fromUtf16,
                fuzz::plainUtf16ToUtf8(units));
    fuzz::check(fuzz::plainIsUtf8(fromUtf16), "UTF-16 decoding gives UTF-8", fromUtf16);
    // Valid UTF-16 loses nothing: the text reads back as the very same units.
    const QString unitsText(reinterpret_cast<const QChar*>(units.constData()), units.size());
    if (!unitsText.isEmpty() && unitsText.isValidUtf16()) {
        fuzz::check(fromUtf16 == unitsText.toUtf8(), "valid UTF-16 is decoded without loss", fromUtf16,
                    unitsText.toUtf8());
    }

    // Windows-1252: one character per byte, and every byte can be had back.
    const QByteArray from1252 = windows1252ToUtf8(bytes.constData(), bytes.size());
    fuzz::check(from1252 == fuzz::plainWindows1252ToUtf8(bytes), "Windows-1252 decoding agrees with the table",
                from1252, fuzz::plainWindows1252ToUtf8(bytes));
    QByteArray back;
    fuzz::check(fuzz::windows1252BytesOf(QString::fromUtf8(from1252), back) && back == bytes,
                "Windows-1252 decoding keeps every byte", back, bytes);

    // The source's decoding as a whole.
    const QByteArray text = decodeSourceBytes(bytes);
    fuzz::check(fuzz::plainIsUtf8(text), "a decoded source is UTF-8", text);
    const bool utf8 = fuzz::plainIsUtf8(bytes);
    if (utf8)
        fuzz::check(text == bytes, "a valid UTF-8 source is kept exactly", text, bytes);
    if (bytes.startsWith("\xFF\xFE"))
        fuzz::check(text == fromUtf16, "a source starting FF FE is UTF-16 little-endian", text, fromUtf16);
    const auto first = bytes.isEmpty() ? 0 : static_cast<unsigned char>(bytes.front());
    if (!utf8 && first != 0xFF && first != 0xFE)
        fuzz::check(text == from1252, "a source that is not UTF-8 is Windows-1252", text, from1252);
}

// The same bytes behind an ASCII run that puts them across the boundary of two work slices: slicing must
// change nothing.
void checkAcrossSlices(const QByteArray& bytes)
{
    qsizetype padSize = kWorkSliceBytes - bytes.size() / 2;
    padSize -= padSize % 2;
    const QByteArray pad(padSize, 'p');
    const QByteArray padded = pad + bytes;
    fuzz::check(isValidUtf8(padded.constData(), padded.size()) == fuzz::plainIsUtf8(bytes),
                "isValidUtf8 across slices");
    const QByteArray padUnits = QByteArray("p\0", 2).repeated(pad.size() / 2);
    const QByteArray wide = padUnits + bytes;
    fuzz::check(utf16LeToUtf8(wide.constData(), wide.size()) ==
                    pad.left(pad.size() / 2) + utf16LeToUtf8(bytes.constData(), bytes.size()),
                "UTF-16 decoding across slices");
    int breaks = 0;
    const QByteArray text = decodeSourceBytes(padded, [&] {
        ++breaks;
        return true;
    });
    const QByteArray expected = fuzz::plainIsUtf8(bytes) ? padded : pad + fuzz::plainWindows1252ToUtf8(bytes);
    fuzz::check(text == expected, "decoding across slices", text.mid(pad.size()), expected.mid(pad.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    checkByteScans(bytes);
    checkDecoders(bytes);
    // About one input in 64 also goes across a slice boundary (a megabyte of work each).
    if (qHash(bytes, 0) % 64 == 0)
        checkAcrossSlices(bytes);
    return 0;
}
