// SPDX-License-Identifier: MIT
#include <QtTest>

#include <vector>

#include "core/convert/decode/SourceDecoder.h"

using namespace ostrand;

namespace {

// The plain reading of UTF-16 code units: a high surrogate followed by a low one is one character, any other
// surrogate is U+FFFD, every other unit its own character; an odd last byte is one more unit with a zero high
// byte.
QByteArray plainDecode(const std::vector<char16_t>& units)
{
    QString text;
    for (size_t i = 0; i < units.size(); ++i) {
        const char16_t unit = units[i];
        if (QChar::isHighSurrogate(unit) && i + 1 < units.size() && QChar::isLowSurrogate(units[i + 1])) {
            text.append(QChar(unit));
            text.append(QChar(units[++i]));
        } else if (QChar::isSurrogate(unit)) {
            text.append(QChar(0xFFFD));
        } else {
            text.append(QChar(unit));
        }
    }
    return text.toUtf8();
}

QByteArray bytesOf(const std::vector<char16_t>& units, bool littleEndian)
{
    QByteArray bytes;
    for (const char16_t unit : units) {
        const char low = char(unit & 0xFF);
        const char high = char(unit >> 8);
        bytes.append(littleEndian ? low : high);
        bytes.append(littleEndian ? high : low);
    }
    return bytes;
}

// Decodes the bytes placed `alignment` bytes into a buffer, given in two pieces split at `split`.
QByteArray decoded(const QByteArray& bytes, bool littleEndian, int alignment, qsizetype split)
{
    QByteArray buffer(alignment, 'x');
    buffer.append(bytes);
    const char* data = buffer.constData() + alignment;
    SourceDecoder decoder(littleEndian ? SourceEncoding::Utf16LittleEndian : SourceEncoding::Utf16BigEndian);
    QByteArray text = decoder.add(data, split).toByteArray();
    text += decoder.add(data + split, bytes.size() - split).toByteArray();
    text += decoder.finish().toByteArray();
    return text;
}

} // namespace

class tst_Utf16Decode : public QObject
{
    Q_OBJECT

private slots:
    void likeThePlainLoop_data();
    void likeThePlainLoop();
};

void tst_Utf16Decode::likeThePlainLoop_data()
{
    QTest::addColumn<bool>("littleEndian");
    QTest::addColumn<QList<char16_t>>("odd"); // the units put among ASCII ones, at every place

    for (const bool littleEndian : {true, false}) {
        const char* order = littleEndian ? "LE" : "BE";
        QTest::addRow("%s: ASCII only", order) << littleEndian << QList<char16_t>{};
        QTest::addRow("%s: the first unit above ASCII", order) << littleEndian << QList<char16_t>{0x0080};
        QTest::addRow("%s: a unit whose low byte is ASCII", order) << littleEndian << QList<char16_t>{0x0141};
        QTest::addRow("%s: a unit whose high byte is ASCII", order) << littleEndian << QList<char16_t>{0x4100};
        QTest::addRow("%s: a unit of three bytes", order) << littleEndian << QList<char16_t>{0xFFFE};
        QTest::addRow("%s: a surrogate pair", order) << littleEndian << QList<char16_t>{0xD83D, 0xDE00};
        QTest::addRow("%s: a lone high surrogate", order) << littleEndian << QList<char16_t>{0xDBFF};
        QTest::addRow("%s: a lone low surrogate", order) << littleEndian << QList<char16_t>{0xDC00};
        QTest::addRow("%s: a low surrogate before a high one", order)
            << littleEndian << QList<char16_t>{0xDC00, 0xD800};
    }
}

// The decoder's vector and word paths give exactly the plain loop's text for every length up to several
// vectors, every place of the odd units, every alignment of the bytes and every split into two pieces.
void tst_Utf16Decode::likeThePlainLoop()
{
    QFETCH(bool, littleEndian);
    QFETCH(QList<char16_t>, odd);

    for (int length = 0; length <= 100; ++length) {
        const int places = odd.isEmpty() ? 1 : length + 1;
        for (int place = 0; place < places; ++place) {
            std::vector<char16_t> units;
            for (int i = 0; i < length; ++i)
                units.push_back(char16_t(0x20 + (i * 7) % 0x5F));
            units.insert(units.begin() + place, odd.begin(), odd.end());
            const QByteArray bytes = bytesOf(units, littleEndian);
            const QByteArray expected = plainDecode(units);
            for (int alignment = 0; alignment < 16; ++alignment) {
                const QByteArray text = decoded(bytes, littleEndian, alignment, bytes.size());
                if (text != expected)
                    QFAIL(qPrintable(QStringLiteral("length %1, place %2, alignment %3").arg(length).arg(place).arg(alignment)));
            }
            for (qsizetype split = 0; split <= bytes.size(); split += (place == 0 ? 1 : 7)) {
                const QByteArray text = decoded(bytes, littleEndian, 0, split);
                if (text != expected)
                    QFAIL(qPrintable(QStringLiteral("length %1, place %2, split %3").arg(length).arg(place).arg(split)));
            }
        }
    }
    // An odd last byte is one more unit with a zero high byte.
    for (int length = 0; length <= 70; ++length) {
        std::vector<char16_t> units(size_t(length), char16_t('a'));
        QByteArray bytes = bytesOf(units, littleEndian) + 'b';
        units.push_back(char16_t('b'));
        QCOMPARE(decoded(bytes, littleEndian, 3, bytes.size()), plainDecode(units));
    }
}

QTEST_MAIN(tst_Utf16Decode)
#include "tst_Utf16Decode.moc"
