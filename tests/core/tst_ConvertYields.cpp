// SPDX-License-Identifier: MIT
#include <QtTest>

#include <thread>

#include "core/convert/ConvertVantrel.h"
#include "core/convert/decode/WholeText.h"
#include "core/convert/save/DocumentWriter.h"
#include "support/core/RecordingRunHost.h"
#include "support/core/TempTree.h"

using namespace ostrand;

namespace {

// Well over the size of one slice of reading, decoding or writing.
constexpr qsizetype kLargeSize = 9 * 1024 * 1024 + 123;

// Lines of CSV text adding up to at least the given size.
QByteArray csvLines(qsizetype size, const QByteArray& line = "alpha,beta,gamma,delta\r\n")
{
    QByteArray text;
    text.reserve(size + line.size());
    while (text.size() < size)
        text += line;
    return text;
}

// A line repeated a number of times.
QByteArray times(const QByteArray& line, qsizetype count)
{
    return line.repeated(count);
}

// A piece repeated after a one-byte lead until the bytes reach the given size: with a piece of two or more
// bytes, some slice boundary falls inside a piece.
QByteArray repeated(const QByteArray& lead, const QByteArray& piece, qsizetype size)
{
    QByteArray bytes = lead;
    bytes.reserve(size + piece.size());
    while (bytes.size() < size)
        bytes += piece;
    return bytes;
}

// A host that takes its time over the output mode, which the conversion reads just before it writes: the
// write then starts more than a time slice after the last yield, so it yields between its first chunks.
class SlowOutputHost : public test::RecordingRunHost
{
public:
    OutputMode outputMode() override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        outputModeRead = true;
        return RecordingRunHost::outputMode();
    }
    bool outputModeRead = false;
};

// A host that takes its time over the background colour, which the conversion reads before the source: the
// read then yields between its first slices.
class SlowHeaderHost : public test::RecordingRunHost
{
public:
    qint64 backgroundColor() override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        return RecordingRunHost::backgroundColor();
    }
};

} // namespace

class tst_ConvertYields : public QObject
{
    Q_OBJECT

private slots:
    void readingOffersBreaksAndKeepsTheText_data();
    void readingOffersBreaksAndKeepsTheText();
    void stopDuringTheReadingGivesNoText();
    void writingOffersBreaksAndWritesEveryByte();
    void stopDuringTheWritingKeepsTheEarlierFile();
    void largeConversionYieldsBeforeTheRowsAndWhileWriting();
    void stopWhileReadingWritesNothing();
    void stopWhileWritingKeepsTheEarlierDocument();
};

void tst_ConvertYields::readingOffersBreaksAndKeepsTheText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("text");
    // Two-, three- and four-byte characters cut by slice boundaries stay UTF-8.
    const QByteArray utf8 = repeated("a", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80,x\n", kLargeSize);
    QTest::newRow("UTF-8") << utf8 << utf8;
    // One byte that is not UTF-8 near the end makes the whole text Windows-1252.
    const qsizetype lines = kLargeSize / 14;
    QByteArray latin = times("caf\xC3\xA9,na\xC3\xAFve\n", lines);
    QByteArray latinText = times("caf\xC3\x83\xC2\xA9,na\xC3\x83\xC2\xAFve\n", lines);
    latin.append('\x80');
    latinText.append("\xE2\x82\xAC");
    QTest::newRow("Windows-1252") << latin << latinText;
    // Surrogate pairs cut by slice boundaries stay whole.
    const QByteArray utf16 = repeated(QByteArray("\xFF\xFE"
                                                 "b\0",
                                                 4),
                                      QByteArray("a\0\x3D\xD8\x00\xDE\n\0", 8), kLargeSize);
    const QByteArray utf16Text = repeated("\xEF\xBB\xBF"
                                          "b",
                                          "a\xF0\x9F\x98\x80\n", (utf16.size() - 4) / 8 * 6 + 4);
    QTest::newRow("UTF-16") << utf16 << utf16Text;
}

void tst_ConvertYields::readingOffersBreaksAndKeepsTheText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, text);
    test::TempTree tree;
    const QString path = tree.writeFile(QStringLiteral("s.csv"), bytes);
    int breaks = 0;
    const Result<QByteArray> read = ReadCSVText(path, [&] {
        ++breaks;
        return true;
    });
    QVERIFY2(read.ok(), qPrintable(read.error()));
    QVERIFY(read.value() == text); // QCOMPARE would print megabytes
    QVERIFY2(breaks >= 8, qPrintable(QString::number(breaks)));
}

void tst_ConvertYields::stopDuringTheReadingGivesNoText()
{
    test::TempTree tree;
    const QByteArray bytes = csvLines(kLargeSize);
    const QString path = tree.writeFile(QStringLiteral("s.csv"), bytes);
    int breaks = 0;
    const Result<QByteArray> read = ReadCSVText(path, [&] { return ++breaks < 3; });
    QCOMPARE(breaks, 3);
    QVERIFY(read.ok());
    QCOMPARE(read.value(), QByteArray());
    QVERIFY(test::TempTree::readFile(path) == bytes);
}

void tst_ConvertYields::writingOffersBreaksAndWritesEveryByte()
{
    test::TempTree tree;
    const QByteArray bytes = repeated("<", "<tr>\r\n<td>x</td></tr>\r\n", 3 * kLargeSize);
    const QString path = tree.path(QStringLiteral("a.htm"));
    int breaks = 0;
    const Status status = writeDocument(path, bytes, tree.path(QStringLiteral("a.csv")), [&] {
        ++breaks;
        return true;
    });
    QVERIFY2(status.ok(), qPrintable(status.error()));
    QVERIFY(test::TempTree::readFile(path) == bytes);
    QVERIFY2(breaks >= 4, qPrintable(QString::number(breaks)));
    QCOMPARE(QDir(tree.root()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("a.htm")});
}

void tst_ConvertYields::stopDuringTheWritingKeepsTheEarlierFile()
{
    test::TempTree tree;
    const QString path = tree.writeFile(QStringLiteral("a.htm"), "earlier");
    const auto before = test::TempTree::snapshot(tree.root());
    const QByteArray bytes = repeated("<", "<tr>\r\n<td>x</td></tr>\r\n", 3 * kLargeSize);
    int breaks = 0;
    const Status status = writeDocument(path, bytes, tree.path(QStringLiteral("a.csv")), [&] { return ++breaks < 2; });
    QVERIFY(!status.ok());
    QCOMPARE(breaks, 2);
    QCOMPARE(test::TempTree::snapshot(tree.root()), before);
}

void tst_ConvertYields::largeConversionYieldsBeforeTheRowsAndWhileWriting()
{
    test::TempTree tree;
    SlowHeaderHost host;
    host.options.OutputMode = OutputMode::SourceFolder;
    const QByteArray source = csvLines(kLargeSize);
    const QString path = tree.writeFile(QStringLiteral("a.csv"), source);
    QVERIFY(ConvertVantrel(host, path, QStringLiteral(",")));
    QCOMPARE(host.reports.size(), 0);
    // The slow header read leaves the read due for a yield at its first break: a yield with no progress
    // value before it.
    QVERIFY(host.events.size() >= 2);
    QCOMPARE(host.events.first(), QStringLiteral("yield"));
    // Every progress value is followed by a yield, and the values still end at 100.
    for (qsizetype i = 0; i < host.events.size(); ++i) {
        if (host.events.at(i).startsWith(QLatin1String("value:")))
            QCOMPARE(host.events.value(i + 1), QStringLiteral("yield"));
    }
    QCOMPARE(host.progressValues.last(), 100);

    SlowOutputHost writing;
    writing.options.OutputMode = OutputMode::SourceFolder;
    int yieldsWhileWriting = 0;
    writing.onYield = [&] { yieldsWhileWriting += writing.outputModeRead ? 1 : 0; };
    QVERIFY(ConvertVantrel(writing, path, QStringLiteral(",")));
    QCOMPARE(writing.reports.size(), 0);
    QVERIFY(yieldsWhileWriting >= 1);
}

void tst_ConvertYields::stopWhileReadingWritesNothing()
{
    test::TempTree tree;
    SlowHeaderHost host;
    host.options.OutputMode = OutputMode::SourceFolder;
    host.onYield = [&host] { host.stop = true; };
    tree.writeFile(QStringLiteral("a.csv"), csvLines(kLargeSize));
    const auto before = test::TempTree::snapshot(tree.root());
    QVERIFY(!ConvertVantrel(host, tree.path(QStringLiteral("a.csv")), QStringLiteral(",")));
    // The conversion ends at the first yield, before any row.
    QCOMPARE(host.events, QStringList{QStringLiteral("yield")});
    QCOMPARE(test::TempTree::snapshot(tree.root()), before);
}

void tst_ConvertYields::stopWhileWritingKeepsTheEarlierDocument()
{
    test::TempTree tree;
    const QString source = tree.writeFile(QStringLiteral("a.csv"), "earlier\n");
    test::RecordingRunHost first;
    first.options.OutputMode = OutputMode::SourceFolder;
    const auto earlier = ConvertVantrel(first, source, QStringLiteral(","));
    QVERIFY(earlier);
    tree.writeFile(QStringLiteral("a.csv"), csvLines(kLargeSize));
    const auto before = test::TempTree::snapshot(tree.root());

    SlowOutputHost host;
    host.options.OutputMode = OutputMode::SourceFolder;
    host.onYield = [&host] { host.stop = host.outputModeRead; };
    QVERIFY(!ConvertVantrel(host, source, QStringLiteral(",")));
    QCOMPARE(host.reports.size(), 0);
    QVERIFY(host.outputModeRead);
    QCOMPARE(host.events.last(), QStringLiteral("yield"));
    QCOMPARE(test::TempTree::snapshot(tree.root()), before);
}

QTEST_GUILESS_MAIN(tst_ConvertYields)
#include "tst_ConvertYields.moc"
