// SPDX-License-Identifier: MIT
// The UTF-8 check in every way it can run here, against a decoder written in this test: every character,
// every lead byte with the edge values of the bytes after it, placed across the vector blocks, and text cut
// into pieces at every position.
#include <QtTest>

#include "core/convert/decode/Utf8Check.h"

using namespace ostrand;

Q_DECLARE_METATYPE(ostrand::Utf8Kernel)

namespace {

// Decodes each character and judges the code point: the shortest form, no surrogate, nothing above U+10FFFF.
bool referenceIsUtf8(const QByteArray& bytes)
{
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        int length = 0;
        char32_t codePoint = 0;
        if (lead < 0x80) {
            length = 1;
            codePoint = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            codePoint = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            codePoint = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            codePoint = lead & 0x07;
        } else {
            return false;
        }
        if (n - i < length)
            return false;
        for (int k = 1; k < length; ++k) {
            const auto byte = static_cast<unsigned char>(bytes[i + k]);
            if ((byte & 0xC0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (byte & 0x3F);
        }
        const char32_t shortest = length == 1 ? 0 : length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        if (codePoint < shortest || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

QByteArray bytesOf(std::initializer_list<unsigned> values)
{
    QByteArray bytes;
    for (unsigned value : values)
        bytes.append(static_cast<char>(value));
    return bytes;
}

// The UTF-8 form of a code point as the standard builds it, for any value up to 0x1FFFFF (surrogates too).
QByteArray encode(char32_t c)
{
    if (c < 0x80)
        return bytesOf({c});
    if (c < 0x800)
        return bytesOf({0xC0 | (c >> 6), 0x80 | (c & 0x3F)});
    if (c < 0x10000)
        return bytesOf({0xE0 | (c >> 12), 0x80 | ((c >> 6) & 0x3F), 0x80 | (c & 0x3F)});
    return bytesOf({0xF0 | (c >> 18), 0x80 | ((c >> 12) & 0x3F), 0x80 | ((c >> 6) & 0x3F), 0x80 | (c & 0x3F)});
}

// The check over pieces of the given sizes, taken in turn; the last piece takes the rest.
bool checkInPieces(const QByteArray& bytes, Utf8Kernel kernel, const QList<qsizetype>& sizes)
{
    Utf8Check check(kernel);
    bool ok = true;
    qsizetype at = 0;
    for (qsizetype k = 0; at < bytes.size(); ++k) {
        const qsizetype size = k < sizes.size() ? qMin(sizes[k], bytes.size() - at) : bytes.size() - at;
        ok = check.add(bytes.constData() + at, size) && ok;
        at += size;
    }
    return ok && check.complete();
}

const Utf8Kernel kKernels[] = {Utf8Kernel::Plain, Utf8Kernel::Ssse3, Utf8Kernel::Avx2, Utf8Kernel::Avx512};

const char* kernelName(Utf8Kernel kernel)
{
    return kernel == Utf8Kernel::Plain   ? "plain"
           : kernel == Utf8Kernel::Ssse3 ? "SSSE3"
           : kernel == Utf8Kernel::Avx2  ? "AVX2"
                                         : "AVX-512";
}

// Text around the bytes under test: ASCII and two-, three- and four-byte characters, so the bytes meet every
// kind of neighbour.
const QByteArray kBefore =
    QByteArray("ab,\xCE\xB1\xCE\xB2,\xE4\xB8\x80,\xF0\x9F\x98\x80,cdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJ"
               "KLMNOPQRSTUVWXYZ.abcdefghijklmnopqrstuvwxyz.0123456789.ABCDEFGHIJKLMNOPQRSTUVWXYZ.0123456789");
// Enough ASCII after the bytes under test for whole vector blocks of it: a character cut short there is found
// where no block holds anything but ASCII.
const QByteArray kAsciiAfter = QByteArray("-").repeated(200);
const QByteArray kAfter = QByteArray("\xD0\xB0,xyz,\xE4\xB8\x81\xF0\x90\x80\x80 and some ASCII to end with.......");

} // namespace

class tst_Utf8Check : public QObject
{
    Q_OBJECT

private slots:
    void everyCharacter_data();
    void everyCharacter();
    void leadsAndFollowers_data();
    void leadsAndFollowers();
    void namedSequences_data();
    void namedSequences();
};

void tst_Utf8Check::everyCharacter_data()
{
    QTest::addColumn<Utf8Kernel>("kernel");
    for (Utf8Kernel kernel : kKernels)
        QTest::newRow(kernelName(kernel)) << kernel;
}

// Every code point in one text: valid whole and in pieces of many sizes. Each surrogate's form in the same
// text is not.
void tst_Utf8Check::everyCharacter()
{
    QFETCH(Utf8Kernel, kernel);
    if (!utf8KernelAvailable(kernel))
        QSKIP("this processor lacks the instructions");
    QByteArray all;
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c < 0xD800 || c > 0xDFFF)
            all += encode(c);
    }
    QCOMPARE(referenceIsUtf8(all), true);
    QCOMPARE(isValidUtf8(all.constData(), all.size(), kernel), true);
    for (qsizetype pieceSize : {3, 5, 16, 31, 33, 100, 4099}) {
        QList<qsizetype> sizes(all.size() / pieceSize + 1, pieceSize);
        QCOMPARE(checkInPieces(all, kernel, sizes), true);
    }
    // A surrogate anywhere in that text: near the start, across vector blocks, at the end.
    for (char32_t surrogate : {0xD800, 0xDBFF, 0xDC00, 0xDFFF}) {
        for (qsizetype at : {qsizetype(0), qsizetype(15), qsizetype(31), qsizetype(1000003), all.size()}) {
            QByteArray text = all;
            text.insert(at, encode(surrogate));
            QCOMPARE(referenceIsUtf8(text), false);
            QCOMPARE(isValidUtf8(text.constData(), text.size(), kernel), false);
            QCOMPARE(checkInPieces(text, kernel, {at + 1, 1, 70}), false);
        }
    }
}

void tst_Utf8Check::leadsAndFollowers_data()
{
    QTest::addColumn<Utf8Kernel>("kernel");
    QTest::addColumn<qsizetype>("offset");
    for (Utf8Kernel kernel : kKernels) {
        // Where the four bytes begin in the text: within a block, across a 16-, a 32-, a 64- and a 128-byte
        // boundary (the vector kernels take two blocks at a time).
        for (qsizetype offset : {0, 13, 14, 15, 30, 31, 61, 62, 63, 125, 126, 127}) {
            QTest::addRow("%s, bytes at %lld", kernelName(kernel), static_cast<long long>(offset)) << kernel << offset;
        }
    }
}

// Every first byte followed by three bytes, each taken from the edge values of the ranges that decide
// validity: the result agrees with the decoder, whole, cut inside the bytes, at the end of the text, and
// before a run of ASCII.
void tst_Utf8Check::leadsAndFollowers()
{
    QFETCH(Utf8Kernel, kernel);
    QFETCH(qsizetype, offset);
    if (!utf8KernelAvailable(kernel))
        QSKIP("this processor lacks the instructions");
    // The second byte decides most: each range it may fall in, and bytes that are no continuation.
    const unsigned char seconds[] = {0x00, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC2, 0xF0, 0xFF};
    const unsigned char laters[] = {0x41, 0x80, 0xBF, 0xC2, 0xE0, 0xF0};
    const QByteArray before = kBefore.right(offset);
    int valid = 0;
    int wrong = 0;
    QStringList mismatches;
    for (int lead = 0; lead < 256; ++lead) {
        for (unsigned char second : seconds) {
            for (unsigned char third : laters) {
                for (unsigned char fourth : laters) {
                    const QByteArray bytes = bytesOf({static_cast<unsigned>(lead), second, third, fourth});
                    const QByteArray text = before + bytes + kAfter;
                    const bool expected = referenceIsUtf8(text);
                    expected ? ++valid : ++wrong;
                    const QByteArray atEnd = before + bytes;
                    const QByteArray beforeAscii = before + bytes + kAsciiAfter;
                    if (isValidUtf8(text.constData(), text.size(), kernel) != expected)
                        mismatches += u"whole text: "_qs + QString::fromLatin1(bytes.toHex(' '));
                    if (checkInPieces(text, kernel, {offset + 2}) != expected)
                        mismatches += u"cut inside: "_qs + QString::fromLatin1(bytes.toHex(' '));
                    if (isValidUtf8(atEnd.constData(), atEnd.size(), kernel) != referenceIsUtf8(atEnd))
                        mismatches += u"at the end: "_qs + QString::fromLatin1(bytes.toHex(' '));
                    if (isValidUtf8(beforeAscii.constData(), beforeAscii.size(), kernel) !=
                        referenceIsUtf8(beforeAscii))
                        mismatches += u"before ASCII: "_qs + QString::fromLatin1(bytes.toHex(' '));
                }
            }
        }
    }
    QCOMPARE(mismatches.mid(0, 10), QStringList());
    // Both outcomes are well represented, so the comparison means something.
    QCOMPARE(valid > 1000 && wrong > 1000, true);
}

void tst_Utf8Check::namedSequences_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");

    QTest::newRow("ASCII") << QByteArray("plain") << true;
    QTest::newRow("U+0080, the first two-byte") << QByteArray("\xC2\x80") << true;
    QTest::newRow("U+07FF, the last two-byte") << QByteArray("\xDF\xBF") << true;
    QTest::newRow("U+0800, the first three-byte") << QByteArray("\xE0\xA0\x80") << true;
    QTest::newRow("U+D7FF, before the surrogates") << QByteArray("\xED\x9F\xBF") << true;
    QTest::newRow("U+E000, after the surrogates") << QByteArray("\xEE\x80\x80") << true;
    QTest::newRow("U+FFFF") << QByteArray("\xEF\xBF\xBF") << true;
    QTest::newRow("U+10000, the first four-byte") << QByteArray("\xF0\x90\x80\x80") << true;
    QTest::newRow("U+10FFFF, the last") << QByteArray("\xF4\x8F\xBF\xBF") << true;
    QTest::newRow("overlong slash in two bytes") << QByteArray("\xC0\xAF") << false;
    QTest::newRow("overlong U+007F") << QByteArray("\xC1\xBF") << false;
    QTest::newRow("overlong U+07FF in three bytes") << QByteArray("\xE0\x9F\xBF") << false;
    QTest::newRow("overlong U+FFFF in four bytes") << QByteArray("\xF0\x8F\xBF\xBF") << false;
    QTest::newRow("overlong NUL in three bytes") << QByteArray("\xE0\x80\x80") << false;
    QTest::newRow("surrogate U+D800") << QByteArray("\xED\xA0\x80") << false;
    QTest::newRow("surrogate U+DFFF") << QByteArray("\xED\xBF\xBF") << false;
    QTest::newRow("surrogate pair in three-byte forms") << QByteArray("\xED\xA0\xBD\xED\xB8\x80") << false;
    QTest::newRow("U+110000") << QByteArray("\xF4\x90\x80\x80") << false;
    QTest::newRow("lead F5") << QByteArray("\xF5\x80\x80\x80") << false;
    QTest::newRow("lead F8, five bytes") << QByteArray("\xF8\x88\x80\x80\x80") << false;
    QTest::newRow("lead FF") << QByteArray("\xFF") << false;
    QTest::newRow("lone continuation") << QByteArray("\x80") << false;
    QTest::newRow("continuation after a complete character") << QByteArray("\xC3\xA9\xA9") << false;
    QTest::newRow("five continuations after a four-byte lead") << QByteArray("\xF0\x90\x80\x80\x80") << false;
    QTest::newRow("two-byte cut short by ASCII") << QByteArray("\xC3z") << false;
    QTest::newRow("three-byte cut short by ASCII") << QByteArray("\xE4\xB8z") << false;
    QTest::newRow("four-byte cut short by ASCII") << QByteArray("\xF0\x9F\x98z") << false;
    QTest::newRow("four-byte cut short by a lead") << QByteArray("\xF0\x9F\x98\xC3\xA9") << false;
    QTest::newRow("three-byte lead then a four-byte lead") << QByteArray("\xE4\xF0\x9F\x98\x80") << false;
    QTest::newRow("a run of 40 continuations") << QByteArray(40, '\x80') << false;
    QTest::newRow("40 two-byte characters") << QByteArray("\xCE\xB1").repeated(40) << true;
    QTest::newRow("40 three-byte characters, one cut")
        << QByteArray("\xE4\xB8\x80").repeated(20) + "\xE4\xB8" + QByteArray("\xE4\xB8\x80").repeated(20) << false;
}

// Each sequence at every place of a text that crosses two 32-byte blocks, in every kernel, whole, cut in two at
// every position, and cut there into single bytes for two more; followed by mixed text, by ASCII only, or by
// nothing.
void tst_Utf8Check::namedSequences()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);
    QCOMPARE(referenceIsUtf8(bytes), valid);
    QStringList mismatches;
    for (Utf8Kernel kernel : kKernels) {
        if (!utf8KernelAvailable(kernel))
            continue;
        for (qsizetype at = 0; at <= 40; ++at) {
            const QByteArray before = QByteArray("0123456789abcdefghijklmnopqrstuvwxyzABCD").left(at);
            for (const QByteArray& text :
                 {before + bytes + kAfter, before + bytes + kAsciiAfter, kBefore + before + bytes}) {
                const QString where =
                    u"%1, at %2 of %3 bytes"_qs.arg(QLatin1String(kernelName(kernel))).arg(at).arg(text.size());
                if (isValidUtf8(text.constData(), text.size(), kernel) != valid)
                    mismatches += where;
                for (qsizetype cut = 0; cut <= text.size(); ++cut) {
                    if (checkInPieces(text, kernel, {cut}) != valid)
                        mismatches += where + u", cut at "_qs + QString::number(cut);
                    if (checkInPieces(text, kernel, {cut, 1, 1}) != valid)
                        mismatches += where + u", cut at "_qs + QString::number(cut) + u" and the next two bytes"_qs;
                }
            }
        }
    }
    QCOMPARE(mismatches.mid(0, 10), QStringList());
}

QTEST_GUILESS_MAIN(tst_Utf8Check)
#include "tst_Utf8Check.moc"
