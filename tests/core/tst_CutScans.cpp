// SPDX-License-Identifier: MIT
// The cut's scans of its text against plain loops: the block marks (the vector version must mark exactly the bytes
// the plain one marks, whatever byte stands at whatever offset of a block, with and without escaping) and the
// byte counts (vectors of 16 bytes and the bytes left over).
#include <QRandomGenerator>
#include <QtTest>

#include "core/convert/cut/BlockMarks.h"
#include "core/convert/cut/ByteScan.h"

using namespace ostrand;

class tst_CutScans : public QObject
{
    Q_OBJECT

private slots:
    void vectorAgreesWithPlain_data();
    void vectorAgreesWithPlain();
    void countsAgreeWithAPlainLoop_data();
    void countsAgreeWithAPlainLoop();
};

void tst_CutScans::vectorAgreesWithPlain_data()
{
    QTest::addColumn<char>("delimiter");
    QTest::addColumn<char>("filler");
    // Delimiters next to the marked characters in their lowest bits, and fillers that are, or are near, one.
    for (const char delimiter : {',', ';', '\t', '|', ' ', '\'', '%', '\n', '\x80', '\xFF'}) {
        for (const char filler : {'x', '&', '\x00', '\xFE'})
            QTest::addRow("delimiter %02x, filler %02x", unsigned(uchar(delimiter)), unsigned(uchar(filler)))
                << delimiter << filler;
    }
}

void tst_CutScans::vectorAgreesWithPlain()
{
#if defined(__SSE2__)
    QFETCH(char, delimiter);
    QFETCH(char, filler);
    const TextMarks marks(delimiter);
    // Every byte value at every offset of a block, one at a time, in a block of the filler.
    char block[TextMarks::kBlock];
    for (int offset = 0; offset < TextMarks::kBlock; ++offset) {
        for (int byte = 0; byte < 256; ++byte) {
            std::fill(std::begin(block), std::end(block), filler);
            block[offset] = char(byte);
            QCOMPARE(marks.blockSse2<false>(block), marks.blockPlain<false>(block));
            QCOMPARE(marks.blockSse2<true>(block), marks.blockPlain<true>(block));
        }
    }
    // And blocks of random bytes drawn from the marked characters and their neighbours.
    QRandomGenerator random(uchar(delimiter) * 256 + uchar(filler));
    const QByteArray alphabet = QByteArray("\n\r\"&'<>=?$%@,;|\t x\x80\xFF") + delimiter + filler;
    for (int round = 0; round < 2000; ++round) {
        for (char& c : block)
            c = alphabet[random.bounded(int(alphabet.size()))];
        QCOMPARE(marks.blockSse2<false>(block), marks.blockPlain<false>(block));
        QCOMPARE(marks.blockSse2<true>(block), marks.blockPlain<true>(block));
    }
#else
    QSKIP("this build has no vector version of the block marks");
#endif
}

void tst_CutScans::countsAgreeWithAPlainLoop_data()
{
    QTest::addColumn<QByteArray>("bytes"); // the three counted, in order
    QTest::newRow("line feed, carriage return, line feed") << QByteArray("\n\r\n");
    QTest::newRow("three different") << QByteArray(",;\t");
    QTest::newRow("bytes above 7F") << QByteArray("\x80\xFF\xE9");
}

// Every length from none to a few vectors and a remainder, every mix of the counted bytes and others.
void tst_CutScans::countsAgreeWithAPlainLoop()
{
    QFETCH(QByteArray, bytes);
    QRandomGenerator random{quint32(uchar(bytes[0])) * 65536 + uchar(bytes[1]) * 256u + uchar(bytes[2])};
    const QByteArray alphabet = bytes + "ab\0";
    for (int size = 0; size <= 80; ++size) {
        for (int round = 0; round < 20; ++round) {
            QByteArray text(size, Qt::Uninitialized);
            for (char& c : text)
                c = alphabet[random.bounded(int(alphabet.size()))];
            qsizetype first = 0, second = 0, third = 0;
            for (const char c : text) {
                first += c == bytes[0];
                second += c == bytes[1];
                third += c == bytes[2];
            }
            const ByteCounts counts = countBytes(text.constData(), text.size(), bytes[0], bytes[1], bytes[2]);
            QCOMPARE(counts.first, first);
            QCOMPARE(counts.second, second);
            QCOMPARE(counts.third, third);
        }
    }
    // Long runs of one counted byte, past the blocks a vector's byte counters can hold before they are summed.
    for (const qsizetype size : {qsizetype(255 * 16), qsizetype(256 * 16), qsizetype(5000)}) {
        const ByteCounts counts =
            countBytes(QByteArray(size, bytes[2]).constData(), size, bytes[0], bytes[1], bytes[2]);
        QCOMPARE(counts.third, size);
        QCOMPARE(counts.first, bytes[0] == bytes[2] ? size : 0);
    }
}

QTEST_APPLESS_MAIN(tst_CutScans)
#include "tst_CutScans.moc"
