// SPDX-License-Identifier: MIT
// A conversion reads, decodes and cuts its source a slice at a time and writes the document as it is made:
// wherever the slices end, the document is the one the whole text gives, and memory does not grow with the
// source.
#include <QtTest>

#include <algorithm>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#endif

#include "core/convert/ConvertVantrel.h"
#include "core/convert/decode/WholeText.h"
#include "core/convert/document/HtmlDocument.h"
#include "core/convert/source/SourcePasses.h"
#include "core/convert/source/WorkSlices.h"
#include "support/core/RecordingRunHost.h"
#include "support/core/SliceSize.h"
#include "support/core/TempTree.h"

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace ostrand;

namespace {

const QByteArray kHeader = "<html><title></title><body><table width='100%' style='color:#000000' border='1' "
                           "bgcolor='#FFFFFF'><tbody>\r\n";

// A file's modification time as it was made, set again later moved on by a second or by the finest step the
// system keeps (a nanosecond on Linux, 100 ns on Windows), so that a rewrite keeps its size and nearly its time.
class MadeTime
{
public:
    explicit MadeTime(const QString& path) : m_path(path)
    {
#ifdef Q_OS_WIN
        const HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(path.utf16()), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        0, nullptr);
        m_known = file != INVALID_HANDLE_VALUE && GetFileTime(file, nullptr, &m_access, &m_write);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
#else
        m_known = ::stat(QFile::encodeName(path).constData(), &m_made) == 0;
#endif
    }
    bool known() const { return m_known; }

    bool setMovedOn(bool wholeSecond) const
    {
#ifdef Q_OS_WIN
        ULARGE_INTEGER ticks{{m_write.dwLowDateTime, m_write.dwHighDateTime}};
        ticks.QuadPart += wholeSecond ? 10'000'000 : 1;
        const FILETIME write{ticks.LowPart, ticks.HighPart};
        const HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(m_path.utf16()), FILE_WRITE_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        0, nullptr);
        const bool set = file != INVALID_HANDLE_VALUE && SetFileTime(file, nullptr, &m_access, &write);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        return set;
#else
        struct timespec times[2] = {m_made.st_atim, m_made.st_mtim};
        if (wholeSecond)
            ++times[1].tv_sec;
        else if (times[1].tv_nsec < 999999999)
            ++times[1].tv_nsec;
        else
            --times[1].tv_nsec;
        return ::utimensat(AT_FDCWD, QFile::encodeName(m_path).constData(), times, 0) == 0;
#endif
    }

private:
    QString m_path;
    bool m_known = false;
#ifdef Q_OS_WIN
    FILETIME m_access{};
    FILETIME m_write{};
#else
    struct stat m_made{};
#endif
};

class FlagsHost : public test::RecordingRunHost
{
public:
    DocumentFlags flags;
    DocumentFlags documentFlags() override { return flags; }
};

const QList<DocumentFlags> kAllFlags = {{false, false}, {true, false}, {false, true}, {true, true}};

QByteArray flagsName(DocumentFlags flags)
{
    return QByteArray(flags.escapeHtml ? "escapeHtml " : "") + (flags.rfc4180 ? "rfc4180" : "");
}

// The document of the whole text, cut in one piece with the usual slice size, and the progress it reports;
// the source's bytes are decoded first unless they are given as text.
QByteArray wholeDocument(const QByteArray& source, const QByteArray& delimiter, DocumentFlags flags, bool decode = true,
                         QList<int>* progress = nullptr)
{
    setStreamSliceBytesForTests(0);
    const QByteArray text = !decode ? source : source.isEmpty() ? emptyFileText() : decodeSourceBytes(source);
    std::optional<HtmlDocument> document = HtmlDocument::start(kHeader, text, delimiter, {}, flags);
    const auto told = [&](int percent) {
        if (progress)
            progress->append(percent);
        return true;
    };
    if (!document || !document->appendRows(told))
        return "no document";
    document->appendFooter();
    return document->takeFileBytes();
}

// The text's rows, counted and cut in the pieces that end at the given offsets (and at the text's end), with
// lines from `longLine` bytes on handled as too long to be held.
QByteArray rowsInPieces(const QByteArray& text, const QByteArray& delimiter, DocumentFlags flags,
                        const QList<qsizetype>& ends, qsizetype longLine)
{
    const CutRules rules(delimiter, flags);
    TextCounter counter(rules, longLine);
    qsizetype begin = 0;
    for (const qsizetype end : ends + QList<qsizetype>{text.size()}) {
        counter.add(text.constData() + begin, end - begin);
        begin = end;
    }
    const TextCounts counts = counter.finish();
    RowCutter cutter(rules, counts);
    begin = 0;
    for (const qsizetype end : ends + QList<qsizetype>{text.size()}) {
        cutter.add(text.constData() + begin, end - begin, {});
        begin = end;
    }
    cutter.finish({});
    return kHeader + cutter.output().toByteArray() + "</body></html>\r\n";
}

QByteArray utf16(const QString& text, bool littleEndian)
{
    QByteArray bytes = littleEndian ? QByteArray("\xFF\xFE", 2) : QByteArray("\xFE\xFF", 2);
    for (const QChar c : text) {
        const char low = static_cast<char>(c.unicode() & 0xFF);
        const char high = static_cast<char>(c.unicode() >> 8);
        bytes.append(littleEndian ? low : high);
        bytes.append(littleEndian ? high : low);
    }
    return bytes;
}

// Texts where a slice boundary can fall inside everything the cut must see whole.
void addTexts()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("delimiter");
    QTest::newRow("CR LF lines") << QByteArray("a,b\r\nc,d\r\n") << QByteArray(",");
    QTest::newRow("carriage returns anywhere") << QByteArray("a\r,b\r\r\nc\rd\n\r\n\r,\r") << QByteArray(",");
    QTest::newRow("two-byte delimiter") << QByteArray("a::b:::c\r\n::d:\n:") << QByteArray("::");
    QTest::newRow("delimiter joined by removed CRs") << QByteArray("a:\r:b::\rc") << QByteArray("::");
    QTest::newRow("overlapping delimiter") << QByteArray("aaaaaaa,aaaa\naa") << QByteArray("aaa");
    QTest::newRow("empty delimiter") << QByteArray("a,b\nc") << QByteArray();
    QTest::newRow("delimiter with a line feed") << QByteArray("a\nb,c") << QByteArray(",\n");
    QTest::newRow("last line without a line feed") << QByteArray("x,y\nlast,line") << QByteArray(",");
    QTest::newRow("only carriage returns") << QByteArray("\r\r\r") << QByteArray(",");
    QTest::newRow("empty lines") << QByteArray("\n\n\na\n\n,\n") << QByteArray(",");
    QTest::newRow("markup") << QByteArray("<b>&amp;</b>,'q'\n\"x\"") << QByteArray(",");
    QTest::newRow("multi-byte UTF-8") << QByteArray("\xC3\xA9,\xE2\x82\xAC\xF0\x9F\x98\x80\n\xE2\x82\xAC")
                                      << QByteArray("\xE2\x82\xAC");
    QTest::newRow("quoted fields") << QByteArray("\"a,b\",\"c\"\"d\",\"\"\n\"x\"tail,y") << QByteArray(",");
    QTest::newRow("quoted field over lines") << QByteArray("a,\"b\n\nc\"\"\nd\",e\nf") << QByteArray(",");
    QTest::newRow("quote closed only lines later") << QByteArray("\"a,\"\"b\nc,d\ne\"f,g") << QByteArray(",");
    QTest::newRow("quote nothing closes") << QByteArray("a,\"b,c\nd,e\"\"f") << QByteArray(",");
    QTest::newRow("quote closed in a later line only") << QByteArray("\"\"\"a,b\nx\"") << QByteArray(",");
    QTest::newRow("runs of quotes") << QByteArray("\"\"\"\",\"\"\"\"\"\n\"\"\"x\",\"") << QByteArray(",");
    QTest::newRow("quotes and carriage returns") << QByteArray("\"a\r\"\r\"b\",\"\r\nc\r\"") << QByteArray(",");
    QTest::newRow("byte order mark and quote") << QByteArray("\xEF\xBB\xBF\"a,b\",c\n\"d\"") << QByteArray(",");
    QTest::newRow("byte order mark split by CR") << QByteArray("\xEF\r\xBB\xBF\"a\",b") << QByteArray(",");
    QTest::newRow("long quoted line") << QByteArray("\"0123456789\"\"0123456789,0123\"45,\"6789012345\"\n\"z")
                                      << QByteArray(",");
    QTest::newRow("long line, quote closed later") << QByteArray("\"0123456789,0123456789\n0\"1") << QByteArray(",");
    QTest::newRow("long line, last odd run opens")
        << QByteArray("ab,\"\"\"0123456789,0123456789\nx,y") << QByteArray(",");
    QTest::newRow("delimiter with a quote") << QByteArray("\"a\",\"b\"\n\"c") << QByteArray("\",");
}

// The rows of a text as a reader of the document would make them by hand, one character at a time, written
// from the rules alone (no part of the program): carriage returns go, empty lines are skipped, fields are cut at
// each delimiter left to right; with escapeHtml the five markup characters become entities; with rfc4180 a field
// opening with a quote that some lone quote later in the text closes is quoted, and one that none closes runs
// to the end of its line.
QByteArray modelRows(const QByteArray& source, QByteArray delimiter, DocumentFlags flags)
{
    QByteArray text = source;
    text.replace("\r", "");
    if (delimiter.contains('\r') || delimiter.contains('\n'))
        delimiter.clear();
    const bool rfc4180 = flags.rfc4180 && !delimiter.contains('"');
    if (rfc4180 && source.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    const qsizetype n = text.size();
    QByteArray out;
    const auto put = [&](char c) {
        if (!flags.escapeHtml)
            out += c;
        else if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"')
            out += "&quot;";
        else if (c == '\'')
            out += "&#39;";
        else
            out += c;
    };
    const auto loneQuoteFrom = [&](qsizetype j) {
        while (j < n) {
            if (text[j] != '"')
                ++j;
            else if (j + 1 < n && text[j + 1] == '"')
                j += 2;
            else
                return j;
        }
        return qsizetype(-1);
    };
    qsizetype i = 0;
    while (i < n) {
        if (text[i] == '\n') {
            ++i;
            continue;
        }
        out += "<tr>\r\n";
        bool lineEnded = false;
        while (!lineEnded) {
            out += "<td>";
            if (rfc4180 && i < n && text[i] == '"') {
                const qsizetype close = loneQuoteFrom(i + 1);
                if (close < 0) {
                    while (i < n && text[i] != '\n')
                        put(text[i++]);
                    out += "</td>";
                    break;
                }
                for (qsizetype j = i + 1; j < close; j += text[j] == '"' ? 2 : 1)
                    put(text[j]);
                i = close + 1;
            }
            for (;;) {
                if (i >= n || text[i] == '\n') {
                    lineEnded = true;
                    break;
                }
                if (!delimiter.isEmpty() && text.mid(i, delimiter.size()) == delimiter) {
                    i += delimiter.size();
                    break;
                }
                put(text[i++]);
            }
            out += "</td>";
        }
        out += "</tr>\r\n";
        ++i;
    }
    return kHeader + out + "</body></html>\r\n";
}

// A random text of fields, long and short, with line ends, quotes and markup among them.
QByteArray randomText(QRandomGenerator& random, const QByteArray& delimiter)
{
    static const QByteArray kBytes = "abc,;\n\n\r\"\"&<>'x\xC3\xA9";
    QByteArray text;
    const int pieces = random.bounded(1, 60);
    for (int i = 0; i < pieces; ++i) {
        switch (random.bounded(8)) {
        case 0: // a long field, across the blocks the cut reads at once
            text += QByteArray(random.bounded(20, 150), char('a' + random.bounded(26)));
            break;
        case 1:
            text += delimiter;
            break;
        case 2:
            text += "\r\n";
            break;
        default:
            text += kBytes[random.bounded(int(kBytes.size()))];
        }
    }
    return text;
}

} // namespace

class tst_ConvertSlices : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { setStreamSliceBytesForTests(0); }
    void quotedLinesLongerThanASlice_data();
    void quotedLinesLongerThanASlice();
    void breaksComeBetweenSlicesOnly_data();
    void breaksComeBetweenSlicesOnly();
    void piecesGiveTheWholeDocument_data();
    void piecesGiveTheWholeDocument();
    void randomTextsAsAReaderCutsThem_data();
    void randomTextsAsAReaderCutsThem();
    void slicesOfEveryEncoding_data();
    void slicesOfEveryEncoding();
    void optionsChangedDuringTheConversion_data();
    void optionsChangedDuringTheConversion();
    void sourceChangedBetweenThePasses_data();
    void sourceChangedBetweenThePasses();
    void sourceOfOneSliceIsReadOnce();
    void sourceManyTimesTheMemoryLimit();
};

void tst_ConvertSlices::piecesGiveTheWholeDocument_data()
{
    addTexts();
}

// Every boundary position, alone and as slices of each size, with lines handled as long as early as possible.
void tst_ConvertSlices::piecesGiveTheWholeDocument()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, delimiter);
    for (const DocumentFlags flags : kAllFlags) {
        const QByteArray expected = wholeDocument(text, delimiter, flags, false);
        const CutRules rules(delimiter, flags);
        // The least size the disk must have room for, known a byte at a time: it never falls and never
        // exceeds the document's size.
        TextCounter counter(rules);
        qint64 bound = 0;
        for (qsizetype at = 0; at < text.size(); ++at) {
            counter.add(text.constData() + at, 1);
            const qint64 soFar = counter.documentLowerBoundSoFar(kHeader.size(), rules);
            QVERIFY2(soFar >= bound && soFar <= expected.size(), flagsName(flags) + " at " + QByteArray::number(at));
            bound = soFar;
        }
        QVERIFY(counter.finish().documentLowerBound(kHeader.size(), rules) <= expected.size());
        for (const qsizetype longLine : {qsizetype(1), qsizetype(3), kWorkSliceBytes}) {
            for (qsizetype at = 0; at <= text.size(); ++at) {
                const QByteArray document = rowsInPieces(text, delimiter, flags, {at}, longLine);
                QVERIFY2(document == expected,
                         flagsName(flags) + " cut at " + QByteArray::number(at) + ": " + document);
            }
            for (qsizetype size = 1; size <= text.size(); ++size) {
                QList<qsizetype> ends;
                for (qsizetype end = size; end < text.size(); end += size)
                    ends.append(end);
                QCOMPARE(rowsInPieces(text, delimiter, flags, ends, longLine), expected);
            }
        }
    }
}

void tst_ConvertSlices::randomTextsAsAReaderCutsThem_data()
{
    QTest::addColumn<QByteArray>("delimiter");
    QTest::newRow("comma") << QByteArray(",");
    QTest::newRow("none") << QByteArray();
    QTest::newRow("ampersand, a markup character") << QByteArray("&");
    QTest::newRow("quote") << QByteArray("\"");
    QTest::newRow("two bytes") << QByteArray(",;");
    QTest::newRow("line feed") << QByteArray("\n");
}

// Long random texts, whole and in random pieces, cut as a reader cuts them by hand, with every flag.
void tst_ConvertSlices::randomTextsAsAReaderCutsThem()
{
    QFETCH(QByteArray, delimiter);
    QRandomGenerator random(20261208);
    for (int round = 0; round < 400; ++round) {
        const QByteArray text = randomText(random, delimiter);
        QList<qsizetype> ends;
        for (qsizetype end = random.bounded(1, 200); end < text.size(); end += random.bounded(1, 200))
            ends.append(end);
        for (const DocumentFlags flags : kAllFlags) {
            const QByteArray expected = modelRows(text, delimiter, flags);
            const QByteArray what =
                flagsName(flags) + " round " + QByteArray::number(round) + ": " + text.toPercentEncoding();
            QVERIFY2(wholeDocument(text, delimiter, flags, false) == expected, what);
            QVERIFY2(rowsInPieces(text, delimiter, flags, ends, kWorkSliceBytes) == expected, what);
        }
    }
}

void tst_ConvertSlices::slicesOfEveryEncoding_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArray>("delimiter");
    const QString text =
        QStringLiteral("\"a\u00E9,b\"\r\nc\u20AC;d,\U0001F600\r\n\"x\ny\",z\n\rlonger line, with more fields,\n\n\r\n");
    QTest::newRow("UTF-8") << text.toUtf8() << QByteArray(",");
    QTest::newRow("UTF-16 little-endian") << utf16(text, true) << QByteArray(",");
    QTest::newRow("UTF-16 big-endian") << utf16(text, false) << QByteArray(";d");
    QTest::newRow("UTF-16, odd last byte") << utf16(text, true) + "x" << QByteArray(",");
    QTest::newRow("UTF-16, lone surrogates")
        << utf16(QStringLiteral("a") + QChar(0xD800) + QStringLiteral(",b") + QChar(0xDC00) + QChar(0xD83D), false)
        << QByteArray(",");
    QTest::newRow("Windows-1252") << QByteArray("\"\x80\xE9,\x81\"\r\nx\x9D,\"y\xFF\"") << QByteArray(",");
    QTest::newRow("not UTF-8 only at the end") << QByteArray("abc,def\r\nghi,jk\xC3") << QByteArray(",");
    QTest::newRow("a lone FF") << QByteArray("\xFF") << QByteArray(",");
    QTest::newRow("empty file") << QByteArray() << QByteArray(",");
}

// Through the whole conversion of a file, with slices of a few bytes.
void tst_ConvertSlices::slicesOfEveryEncoding()
{
    QFETCH(QByteArray, source);
    QFETCH(QByteArray, delimiter);
    test::TempTree tree;
    const QString path = tree.writeFile(QStringLiteral("in/s.csv"), source);
    for (const DocumentFlags flags : kAllFlags) {
        QList<int> progress;
        const QByteArray expected = wholeDocument(source, delimiter, flags, true, &progress);
        for (const qsizetype slice : {1, 2, 3, 4, 5, 7, 64}) {
            setStreamSliceBytesForTests(slice);
            FlagsHost host;
            host.flags = flags;
            host.options.OutputMode = OutputMode::ChosenFolder;
            host.options.OutputFolder = tree.makeFolder(QStringLiteral("out"));
            const std::optional<QString> written = ConvertVantrel(host, path, QString::fromUtf8(delimiter));
            QCOMPARE(host.reports.size(), 0);
            QVERIFY(written.has_value());
            QVERIFY2(test::TempTree::readFile(*written) == expected,
                     flagsName(flags) + " slices of " + QByteArray::number(slice));
            // Progress is told at the first line, then every few milliseconds of work: how often depends on the
            // machine's speed, where it starts and ends does not.
            QVERIFY(!host.progressValues.isEmpty());
            QCOMPARE(host.progressValues.first(), progress.first());
            QCOMPARE(host.progressValues.last(), progress.last());
            QVERIFY(std::is_sorted(host.progressValues.cbegin(), host.progressValues.cend()));
        }
    }
}

void tst_ConvertSlices::optionsChangedDuringTheConversion_data()
{
    QTest::addColumn<QString>("first"); // the output folder when the conversion begins ("" for none)
    QTest::newRow("another folder") << QStringLiteral("first");
    QTest::newRow("no folder at first") << QString();
}

// The output options are read again when the rows are done: the document goes where they say then, with the
// same bytes, and nothing is left in the folder first named.
void tst_ConvertSlices::optionsChangedDuringTheConversion()
{
    QFETCH(QString, first);
    test::TempTree tree;
    QByteArray source;
    for (int i = 0; i < 40000; ++i)
        source += "field " + QByteArray::number(i) + ",\"quoted, with a comma\"\r\n";
    const QString path = tree.writeFile(QStringLiteral("in/s.csv"), source);
    const QString firstFolder = first.isEmpty() ? QString() : tree.makeFolder(first);
    const QString second = tree.makeFolder(QStringLiteral("second"));
    setStreamSliceBytesForTests(64 * 1024);
    FlagsHost host;
    host.flags.rfc4180 = true;
    host.options.OutputMode = OutputMode::ChosenFolder;
    host.options.OutputFolder = firstFolder;
    host.onYield = [&] {
        if (!host.progressValues.isEmpty())
            host.options.OutputFolder = second;
    };

    const std::optional<QString> written = ConvertVantrel(host, path, QStringLiteral(","));

    QCOMPARE(host.reports.size(), 0);
    QCOMPARE(written.value_or(QString()), QDir::toNativeSeparators(second + QStringLiteral("/s.htm")));
    QVERIFY(test::TempTree::readFile(*written) == wholeDocument(source, ",", host.flags));
    if (!firstFolder.isEmpty())
        QCOMPARE(QDir(firstFolder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    QCOMPARE(QDir(second).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("s.htm")});
}

void tst_ConvertSlices::sourceChangedBetweenThePasses_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("grown") << QStringLiteral("grown");
    QTest::newRow("truncated") << QStringLiteral("truncated");
    QTest::newRow("rewritten, same size") << QStringLiteral("rewritten");
    // Rewritten with its size kept and its time set back to within the precision the system keeps: a second
    // later with the same nanoseconds, or the same second and one nanosecond later.
    QTest::newRow("rewritten, one second on") << QStringLiteral("second");
    QTest::newRow("rewritten, one nanosecond on") << QStringLiteral("nanosecond");
}

// A source that changes once it has been counted fails the read: nothing is written, the earlier document
// stays, and no temporary file is left.
void tst_ConvertSlices::sourceChangedBetweenThePasses()
{
    QFETCH(QString, change);
    test::TempTree tree;
    QByteArray source;
    for (int i = 0; i < 100000; ++i)
        source += "a,b,c\r\n";
    const QString path = tree.writeFile(QStringLiteral("in/s.csv"), source);
    const MadeTime made(path);
    QVERIFY(made.known());
    const QString out = tree.makeFolder(QStringLiteral("out"));
    tree.writeFile(QStringLiteral("out/s.htm"), "earlier");
    setStreamSliceBytesForTests(4096);
    FlagsHost host;
    host.options.OutputMode = OutputMode::ChosenFolder;
    host.options.OutputFolder = out;
    bool changed = false;
    host.onYield = [&] {
        if (changed || host.progressValues.isEmpty())
            return;
        changed = true;
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        if (change == QLatin1String("grown")) {
            QVERIFY(file.seek(file.size()));
            file.write("x,y\r\n");
        } else if (change == QLatin1String("truncated")) {
            QVERIFY(file.resize(100));
        } else if (change == QLatin1String("second") || change == QLatin1String("nanosecond")) {
            QVERIFY(file.seek(source.size() - 3));
            file.write("Z");
            file.close();
            QVERIFY(made.setMovedOn(change == QLatin1String("second")));
        } else {
            QVERIFY(file.seek(source.size() - 3));
            file.write("Z");
            file.close();
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
        }
    };

    const std::optional<QString> written = ConvertVantrel(host, path, QStringLiteral(","));

    QVERIFY(changed);
    QVERIFY(!written.has_value());
    QCOMPARE(host.reports.size(), 1);
    QCOMPARE(host.reports.first().description,
             QStringLiteral("Cannot read %1: The file changed while it was read").arg(path));
    QCOMPARE(host.reports.first().line, 114);
    QCOMPARE(QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("s.htm")});
    QCOMPARE(test::TempTree::readFile(out + QStringLiteral("/s.htm")), QByteArray("earlier"));
}

// A source that fits in one slice is read once: a change made while it is cut does not reach its document, which
// is the source as it was read, all of it.
void tst_ConvertSlices::sourceOfOneSliceIsReadOnce()
{
    test::TempTree tree;
    const QByteArray source = "a,b\r\nc,d\r\n";
    const QString path = tree.writeFile(QStringLiteral("in/s.csv"), source);
    FlagsHost host;
    host.options.OutputMode = OutputMode::ChosenFolder;
    host.options.OutputFolder = tree.makeFolder(QStringLiteral("out"));
    bool changed = false;
    host.onYield = [&] {
        if (changed || host.progressValues.isEmpty())
            return;
        changed = true;
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("x\r\n");
    };

    const std::optional<QString> written = ConvertVantrel(host, path, QStringLiteral(","));

    QVERIFY(changed);
    QCOMPARE(host.reports.size(), 0);
    QVERIFY(written.has_value());
    QCOMPARE(test::TempTree::readFile(*written), wholeDocument(source, ",", {}));
}

// A child process whose address space may grow by 96 MB at most converts a 1 GB source: the conversion holds
// neither the source nor its document.
void tst_ConvertSlices::sourceManyTimesTheMemoryLimit()
{
#if !defined(Q_OS_LINUX)
    QSKIP("the address-space limit is set the Linux way");
#else
#ifdef OSTRAND_SANITIZE
    QSKIP("AddressSanitizer reserves more address space than the limit this test sets");
#endif
    test::TempTree tree;
    const QString path = tree.path(QStringLiteral("big.csv"));
    const qint64 size = qint64(1024) * 1024 * 1024;
    {
        QFile big(path);
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(size)); // sparse: NUL bytes that take no room on the disk
    }
    // A delimiter of 4096 NUL bytes cuts the source into half a million empty cells: a small document.
    const QString delimiter(4096, QChar(0));
    const QString out = tree.makeFolder(QStringLiteral("out"));

    const pid_t child = fork();
    if (child == 0) {
        QFile statm(QStringLiteral("/proc/self/statm"));
        if (!statm.open(QIODevice::ReadOnly))
            _exit(3);
        const qint64 pages = statm.readAll().split(' ').first().toLongLong();
        const rlim_t limit = rlim_t(pages * ::sysconf(_SC_PAGESIZE) + 96 * 1024 * 1024);
        const struct rlimit addressSpace = {limit, limit};
        if (::setrlimit(RLIMIT_AS, &addressSpace) != 0)
            _exit(4);
        test::RecordingRunHost host;
        host.options.OutputMode = OutputMode::ChosenFolder;
        host.options.OutputFolder = out;
        const std::optional<QString> written = ConvertVantrel(host, path, delimiter);
        _exit(written && host.reports.isEmpty() ? 0 : 1);
    }
    QVERIFY(child > 0);
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    QByteArray expected = kHeader + "<tr>\r\n";
    for (qint64 i = 0; i <= size / 4096; ++i)
        expected += "<td></td>";
    expected += "</tr>\r\n</body></html>\r\n";
    QVERIFY(test::TempTree::readFile(out + QStringLiteral("/big.htm")) == expected);
#endif
}

void tst_ConvertSlices::quotedLinesLongerThanASlice_data()
{
    QTest::addColumn<int>("length");   // of the second line, which begins with a quote
    QTest::addColumn<bool>("closing"); // a lone quote on a later line closes it
    constexpr int slice = 64;
    for (const bool closing : {false, true}) {
        for (const int length : {slice - 1, slice, slice + 1, 2 * slice, 3 * slice + 1})
            QTest::addRow("%d bytes, %s", length, closing ? "closed later" : "never closed") << length << closing;
    }
}

// A line too long to be held whole, which begins with a quote: the count tells whether the quote opens a quoted
// field (closed on a later line: the field runs to it, and what follows the closing quote stays as it is) or is
// text (nothing closes it: the field runs to the end of its line).
void tst_ConvertSlices::quotedLinesLongerThanASlice()
{
    QFETCH(int, length);
    QFETCH(bool, closing);
    setStreamSliceBytesForTests(64);
    const QByteArray quoted = '"' + QByteArray(length - 1, 'x');
    const QByteArray source = "p,q\n" + quoted + "\na,b\n" + (closing ? "c\"d\n" : "c,d\n");
    test::TempTree tree;
    const QString path = tree.writeFile(QStringLiteral("s.csv"), source);
    FlagsHost host;
    host.flags.rfc4180 = true;
    host.options.OutputMode = OutputMode::SourceFolder;

    const std::optional<QString> written = ConvertVantrel(host, path, QStringLiteral(","));

    QVERIFY(written.has_value());
    const QByteArray rows = closing ? "<tr>\r\n<td>" + quoted.mid(1) + "\na,b\ncd</td></tr>\r\n"
                                    : "<tr>\r\n<td>" + quoted +
                                          "</td></tr>\r\n<tr>\r\n<td>a</td><td>b</td></tr>\r\n"
                                          "<tr>\r\n<td>c</td><td>d</td></tr>\r\n";
    QCOMPARE(test::TempTree::readFile(*written),
             "<html><title></title><body><table width='100%' style='color:#000000' border='1' "
             "bgcolor='#FFFFFF'><tbody>\r\n<tr>\r\n<td>p</td><td>q</td></tr>\r\n" +
                 rows + "</body></html>\r\n");
}

void tst_ConvertSlices::breaksComeBetweenSlicesOnly_data()
{
    QTest::addColumn<int>("size");     // of the source, in bytes
    QTest::addColumn<QString>("kind"); // how it is read: "utf8", "latin" (not UTF-8) or "utf16"
    constexpr int slice = 4096;
    for (const char* kind : {"utf8", "latin", "utf16"}) {
        for (const int size : {0, 2, slice - 1, slice, slice + 1, 3 * slice, 3 * slice + 1})
            QTest::addRow("%s, %d bytes", kind, size) << size << QString::fromLatin1(kind);
    }
}

// The passes over a source offer a break between two slices, never before the first or after the last: a source of
// one slice is read without a break, however long the work, and a stop asked for before the first slice is seen
// at the first break. A pass a break stops ends there, without failing.
void tst_ConvertSlices::breaksComeBetweenSlicesOnly()
{
    QFETCH(int, size);
    QFETCH(QString, kind);
    constexpr int slice = 4096;
    setStreamSliceBytesForTests(slice);
    QByteArray bytes;
    if (kind == QLatin1String("utf16"))
        bytes = QByteArray("\xFF\xFE", 2);
    while (bytes.size() < size)
        bytes += kind == QLatin1String("utf16") ? QByteArray("a\0,\0b\0\n\0", 8) : QByteArray("a,b\n");
    bytes.truncate(size);
    if (kind == QLatin1String("latin") && size > 0)
        bytes[size - 1] = '\xE9'; // a byte that is not UTF-8, found at the very end
    test::TempTree tree;
    const QString path = tree.writeFile(QStringLiteral("s.csv"), bytes);
    const int slices = (size + slice - 1) / slice;
    const int between = qMax(slices - 1, 0);
    const CutRules rules(",", {});

    // Every break allowed: the count (twice over the bytes that turn out not to be UTF-8) and the cut.
    int breaks = 0;
    const SliceBreak counting = [&] { return ++breaks > 0; };
    SourcePasses passes;
    QVERIFY(passes.open(path, counting).ok());
    const Result<PassEnd> counted = passes.count(rules, counting);
    QVERIFY(counted.ok() && counted.value() == PassEnd::Complete);
    // Bytes that are not UTF-8 are counted again, after one more break.
    const bool again = kind == QLatin1String("latin") && size > 0;
    QCOMPARE(breaks, again ? 2 * between + 1 : between);
    breaks = 0;
    RowCutter cutter(rules, passes.counts());
    const Result<PassEnd> cut = passes.cut(
        cutter, {}, [] { return true; }, counting);
    QVERIFY(cut.ok() && cut.value() == PassEnd::Complete);
    QCOMPARE(breaks, between);

    // A stop asked for before the first slice.
    SourcePasses stopped;
    const SliceBreak stop = [] { return false; };
    QVERIFY(stopped.open(path, stop).ok());
    const Result<PassEnd> counting2 = stopped.count(rules, stop);
    QVERIFY(counting2.ok());
    QCOMPARE(counting2.value(), slices > 1 || again ? PassEnd::Stopped : PassEnd::Complete);
}

QTEST_GUILESS_MAIN(tst_ConvertSlices)
#include "tst_ConvertSlices.moc"
