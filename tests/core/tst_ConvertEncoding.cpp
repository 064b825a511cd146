// SPDX-License-Identifier: MIT
#include <QtTest>

#include "core/convert/ConvertVantrel.h"
#include "core/convert/decode/WholeText.h"
#include "support/core/RecordingRunHost.h"
#include "support/core/TempTree.h"

using namespace ostrand;

class tst_ConvertEncoding : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
    void windows1252SpecialBytes_data();
    void windows1252SpecialBytes();
    void readingFiles_data();
    void readingFiles();
    void utf16DocumentKeepsTheByteOrderMark();
};

void tst_ConvertEncoding::decode_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("utf8");

    const QByteArray bom = "\xEF\xBB\xBF";
    const QByteArray replacement = "\xEF\xBF\xBD";
    // UTF-16 little-endian, recognised by FF FE.
    QTest::newRow("UTF-16 keeps its mark") << QByteArray("\xFF\xFE"
                                                         "a\0,\0b\0",
                                                         8)
                                           << bom + "a,b";
    QTest::newRow("UTF-16 odd length") << QByteArray("\xFF\xFE"
                                                     "a\0b",
                                                     5)
                                       << bom + "ab";
    QTest::newRow("UTF-16 odd trailing high byte") << QByteArray("\xFF\xFE\xE9", 3) << bom + "\xC3\xA9";
    // UTF-16 big-endian, recognised by FE FF; the same rules with the other byte order.
    QTest::newRow("UTF-16BE keeps its mark") << QByteArray("\xFE\xFF\0a\0,\0b", 8) << bom + "a,b";
    QTest::newRow("UTF-16BE long ASCII run and a letter")
        << QByteArray("\xFE\xFF\0a\0b\0c\0d\0e\0f\0g\0h\0\xE9\x04\x10", 22) << bom + "abcdefgh\xC3\xA9\xD0\x90";
    QTest::newRow("UTF-16BE surrogate pair") << QByteArray("\xFE\xFF\xD8\x3D\xDE\x00", 6) << bom + "\xF0\x9F\x98\x80";
    QTest::newRow("UTF-16BE odd trailing byte") << QByteArray("\xFE\xFF\0a\x41", 5) << bom + "aA";
    // FF or FE without its partner is no byte order mark: the text is Windows-1252 (thorn, y diaeresis).
    QTest::newRow("thorn first") << QByteArray("\xFEtt") << QByteArray("\xC3\xBEtt");
    QTest::newRow("y diaeresis first") << QByteArray("\xFF,a") << QByteArray("\xC3\xBF,a");
    QTest::newRow("FE FE") << QByteArray("\xFE\xFE") << QByteArray("\xC3\xBE\xC3\xBE");
    QTest::newRow("lone FF") << QByteArray("\xFF") << QByteArray("\xC3\xBF");
    QTest::newRow("UTF-16 surrogate pair") << QByteArray("\xFF\xFE\x3D\xD8\x00\xDE", 6) << bom + "\xF0\x9F\x98\x80";
    QTest::newRow("UTF-16 lone high surrogate") << QByteArray("\xFF\xFE\x3D\xD8"
                                                              "a\0",
                                                              6)
                                                << bom + replacement + "a";
    QTest::newRow("UTF-16 lone low surrogate") << QByteArray("\xFF\xFE\x00\xDC", 4) << bom + replacement;
    // The edges of the surrogate ranges: D800 DC00 is U+10000, DBFF DFFF is U+10FFFF, the last code point.
    QTest::newRow("UTF-16 first surrogate pair")
        << QByteArray("\xFF\xFE\x00\xD8\x00\xDC", 6) << bom + "\xF0\x90\x80\x80";
    QTest::newRow("UTF-16 last surrogate pair")
        << QByteArray("\xFF\xFE\xFF\xDB\xFF\xDF", 6) << bom + "\xF4\x8F\xBF\xBF";
    QTest::newRow("UTF-16 last unit before the surrogates")
        << QByteArray("\xFF\xFE\xFF\xD7", 4) << bom + "\xED\x9F\xBF";
    QTest::newRow("UTF-16 high surrogate at the end") << QByteArray("\xFF\xFE\x3D\xD8", 4) << bom + replacement;
    QTest::newRow("UTF-16 long ASCII runs around a non-ASCII unit")
        << QByteArray("\xFF\xFE"
                      "a\0b\0c\0d\0e\0f\0g\0h\0\xE9\0i\0j\0k\0l\0m\0",
                      30)
        << bom + "abcdefgh\xC3\xA9ijklm";
    // UTF-8 as it stands.
    QTest::newRow("ASCII") << QByteArray("a,b\r\n") << QByteArray("a,b\r\n");
    QTest::newRow("UTF-8 keeps its mark") << QByteArray("\xEF\xBB\xBF"
                                                        "a")
                                          << QByteArray("\xEF\xBB\xBF"
                                                        "a");
    QTest::newRow("UTF-8 after a long ASCII run")
        << QByteArray("0123456789abcdefghij\xC3\xA9") << QByteArray("0123456789abcdefghij\xC3\xA9");
    // Anything else is Windows-1252, no byte lost.
    QTest::newRow("Latin-1 letter") << QByteArray("caf\xE9") << QByteArray("caf\xC3\xA9");
    QTest::newRow("bad byte after a long ASCII run")
        << QByteArray("0123456789abcdefghij\xFF") << QByteArray("0123456789abcdefghij\xC3\xBF");
    QTest::newRow("overlong form") << QByteArray("\xC0\xAF") << QByteArray("\xC3\x80\xC2\xAF");
    QTest::newRow("encoded surrogate") << QByteArray("\xED\xA0\x80") << QByteArray("\xC3\xAD\xC2\xA0\xE2\x82\xAC");
    QTest::newRow("above U+10FFFF") << QByteArray("\xF4\x90\x80\x80")
                                    << QByteArray("\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC");
    QTest::newRow("cut-off sequence at the end") << QByteArray("a\xE2\x82") << QByteArray("a\xC3\xA2\xE2\x80\x9A");
}

void tst_ConvertEncoding::decode()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, utf8);
    QCOMPARE(decodeSourceBytes(bytes), utf8);
}

void tst_ConvertEncoding::windows1252SpecialBytes_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("codePoint");

    // The published Windows-1252 code page; its five undefined bytes keep their own value as a code point.
    const struct
    {
        int byte;
        int codePoint;
        const char* name;
    } codePage[] = {
        {0x80, 0x20AC, "euro sign"},
        {0x81, 0x0081, "undefined"},
        {0x82, 0x201A, "single low-9 quotation mark"},
        {0x83, 0x0192, "f with hook"},
        {0x84, 0x201E, "double low-9 quotation mark"},
        {0x85, 0x2026, "horizontal ellipsis"},
        {0x86, 0x2020, "dagger"},
        {0x87, 0x2021, "double dagger"},
        {0x88, 0x02C6, "modifier circumflex"},
        {0x89, 0x2030, "per mille sign"},
        {0x8A, 0x0160, "S with caron"},
        {0x8B, 0x2039, "single left-pointing angle quotation mark"},
        {0x8C, 0x0152, "ligature OE"},
        {0x8D, 0x008D, "undefined"},
        {0x8E, 0x017D, "Z with caron"},
        {0x8F, 0x008F, "undefined"},
        {0x90, 0x0090, "undefined"},
        {0x91, 0x2018, "left single quotation mark"},
        {0x92, 0x2019, "right single quotation mark (the apostrophe)"},
        {0x93, 0x201C, "left double quotation mark"},
        {0x94, 0x201D, "right double quotation mark"},
        {0x95, 0x2022, "bullet"},
        {0x96, 0x2013, "en dash"},
        {0x97, 0x2014, "em dash"},
        {0x98, 0x02DC, "small tilde"},
        {0x99, 0x2122, "trade mark sign"},
        {0x9A, 0x0161, "s with caron"},
        {0x9B, 0x203A, "single right-pointing angle quotation mark"},
        {0x9C, 0x0153, "ligature oe"},
        {0x9D, 0x009D, "undefined"},
        {0x9E, 0x017E, "z with caron"},
        {0x9F, 0x0178, "Y with diaeresis"},
    };
    for (const auto& entry : codePage)
        QTest::addRow("%02X %s", entry.byte, entry.name) << entry.byte << entry.codePoint;
}

void tst_ConvertEncoding::windows1252SpecialBytes()
{
    QFETCH(int, byte);
    QFETCH(int, codePoint);
    // None of these bytes can stand alone in UTF-8, so a source holding one is a Windows-1252 file.
    const QByteArray source = "it" + QByteArray(1, char(byte)) + "s,x";
    QCOMPARE(decodeSourceBytes(source), "it" + QString(QChar(codePoint)).toUtf8() + "s,x");
}

void tst_ConvertEncoding::readingFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("zero bytes") << QByteArray() << QByteArray("empty file");
    QTest::newRow("UTF-16") << QByteArray("\xFF\xFE"
                                          "x\0",
                                          4)
                            << QByteArray("\xEF\xBB\xBF"
                                          "x");
    QTest::newRow("UTF-16 big-endian") << QByteArray("\xFE\xFF\0x\0,\0y", 8)
                                       << QByteArray("\xEF\xBB\xBF"
                                                     "x,y");
}

void tst_ConvertEncoding::readingFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, text);
    test::TempTree tree;
    const QString path = tree.writeFile(QStringLiteral("s.csv"), bytes);
    const Result<QByteArray> read = ReadCSVText(path);
    QVERIFY2(read.ok(), qPrintable(read.error()));
    QCOMPARE(read.value(), text);
    QCOMPARE(test::TempTree::readFile(path), bytes);
}

void tst_ConvertEncoding::utf16DocumentKeepsTheByteOrderMark()
{
    test::TempTree tree;
    test::RecordingRunHost host;
    host.options.OutputMode = OutputMode::SourceFolder;
    const QByteArray source = QByteArray("\xFF\xFE"
                                         "a\0,\0\xE9\0\r\0\n\0"
                                         "c\0",
                                         14);
    const QString path = tree.writeFile(QStringLiteral("u.csv"), source);
    const auto written = ConvertVantrel(host, path, QStringLiteral(","));
    const QByteArray document = test::TempTree::readFile(written.value_or(QString()));
    QCOMPARE(document, QByteArray("<html><title></title><body><table width='100%' style='color:#000000' border='1' "
                                  "bgcolor='#FFFFFF'><tbody>\r\n<tr>\r\n<td>\xEF\xBB\xBF"
                                  "a</td><td>\xC3\xA9</td></tr>\r\n<tr>\r\n<td>c</td></tr>\r\n</body></html>\r\n"));
    QCOMPARE(test::TempTree::readFile(path), source);
}

QTEST_GUILESS_MAIN(tst_ConvertEncoding)
#include "tst_ConvertEncoding.moc"
