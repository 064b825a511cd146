// SPDX-License-Identifier: MIT
// The cut's block marks: the vector version must mark exactly the bytes the plain one marks, whatever byte stands
// at whatever offset of a block, with and without escaping.
#include <QRandomGenerator>
#include <QtTest>

#include "core/convert/cut/BlockMarks.h"

using namespace ostrand;

class tst_BlockMarks : public QObject
{
    Q_OBJECT

private slots:
    void vectorAgreesWithPlain_data();
    void vectorAgreesWithPlain();
};

void tst_BlockMarks::vectorAgreesWithPlain_data()
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

void tst_BlockMarks::vectorAgreesWithPlain()
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

QTEST_APPLESS_MAIN(tst_BlockMarks)
#include "tst_BlockMarks.moc"
