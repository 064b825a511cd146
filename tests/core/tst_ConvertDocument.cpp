// SPDX-License-Identifier: MIT
#include <QtTest>

#include "core/common/Paths.h"
#include "core/convert/ConvertVantrel.h"
#include "core/convert/document/HtmlDocument.h"
#include "core/convert/save/OutputPath.h"
#include "core/options/ColorNumber.h"
#include "support/core/RecordingRunHost.h"
#include "support/core/TempTree.h"

using namespace ostrand;

namespace {

const QByteArray kHeader = "<html><title></title><body><table width='100%' style='color:#000000' border='1' "
                           "bgcolor='#FFFFFF'><tbody>\r\n";
const QByteArray kFooter = "</body></html>\r\n";

// The rows of a document: its bytes between the header line and the footer.
QByteArray rowsOf(const QByteArray& document)
{
    if (!document.startsWith(kHeader) || !document.endsWith(kFooter))
        return "not a document: " + document;
    return document.mid(kHeader.size(), document.size() - kHeader.size() - kFooter.size());
}

// One row as the document holds it.
QByteArray row(const QList<QByteArray>& cells)
{
    QByteArray text = "<tr>\r\n";
    for (const QByteArray& cell : cells)
        text += "<td>" + cell + "</td>";
    return text + "</tr>\r\n";
}

} // namespace

class tst_ConvertDocument : public QObject
{
    Q_OBJECT

private slots:
    void exampleDocument();
    void cutting_data();
    void cutting();
    void longLines();
    void headerTakesAppearanceAsGiven();
    void colorToHtml_data();
    void colorToHtml();
    void outputName_data();
    void outputName();
    void outputPath_data();
    void outputPath();
    void progressRisesToHundred();
    void stopWritesNothing();
    void convertingTwiceOverwrites();

private:
    // Converts the bytes (as in/s.csv) into out/ and returns the document's bytes.
    QByteArray convert(const QByteArray& source, const QString& delimiter, test::RecordingRunHost* host = nullptr);
};

QByteArray tst_ConvertDocument::convert(const QByteArray& source, const QString& delimiter,
                                        test::RecordingRunHost* given)
{
    test::TempTree tree;
    test::RecordingRunHost local;
    test::RecordingRunHost& host = given ? *given : local;
    host.options.OutputMode = OutputMode::ChosenFolder;
    host.options.OutputFolder = tree.makeFolder(QStringLiteral("out"));
    const QString path = tree.writeFile(QStringLiteral("in/s.csv"), source);
    const auto written = ConvertVantrel(host, path, delimiter);
    if (!written)
        return "nothing written" + (host.reports.isEmpty() ? QByteArray() : ": " + host.reports.first().description.toUtf8());
    if (!host.reports.isEmpty())
        return "reported: " + host.reports.first().description.toUtf8();
    return test::TempTree::readFile(*written);
}

void tst_ConvertDocument::exampleDocument()
{
    test::TempTree tree;
    test::RecordingRunHost host;
    host.options.OutputMode = OutputMode::ChosenFolder;
    host.options.OutputFolder = tree.makeFolder(QStringLiteral("out")) + QDir::separator();
    const QString source = tree.writeFile(QStringLiteral("a.csv"), "a,b\r\nc,d\r\n");

    const auto written = ConvertVantrel(host, source, QStringLiteral(","));

    QCOMPARE(written.value_or(QString()), tree.path(QStringLiteral("out/a.htm")));
    QCOMPARE(test::TempTree::readFile(*written),
             QByteArray("<html><title></title><body><table width='100%' style='color:#000000' border='1' "
                        "bgcolor='#FFFFFF'><tbody>\r\n"
                        "<tr>\r\n"
                        "<td>a</td><td>b</td></tr>\r\n"
                        "<tr>\r\n"
                        "<td>c</td><td>d</td></tr>\r\n"
                        "</body></html>\r\n"));
    QCOMPARE(host.reports.size(), 0);
    QCOMPARE(test::TempTree::readFile(source), QByteArray("a,b\r\nc,d\r\n"));
}

void tst_ConvertDocument::cutting_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QString>("delimiter");
    QTest::addColumn<QByteArray>("rows");

    const QString comma = QStringLiteral(",");
    const QByteArray abcd = row({"a", "b"}) + row({"c", "d"});
    QTest::newRow("CR LF lines") << QByteArray("a,b\r\nc,d\r\n") << comma << abcd;
    QTest::newRow("no final line break") << QByteArray("a,b\r\nc,d") << comma << abcd;
    QTest::newRow("LF lines") << QByteArray("a,b\nc,d\n") << comma << abcd;
    QTest::newRow("CR alone joins lines") << QByteArray("a,b\rc,d\r") << comma << row({"a", "bc", "d"});
    QTest::newRow("blank lines vanish") << QByteArray("\r\n\r\nx") << comma << row({"x"});
    QTest::newRow("blank lines inside and after") << QByteArray("a\n\n\r\n\nb\n\n") << comma << row({"a"}) + row({"b"});
    QTest::newRow("only carriage returns") << QByteArray("\r\r\r") << comma << QByteArray();
    QTest::newRow("empty middle field") << QByteArray("a,,b") << comma << row({"a", "", "b"});
    QTest::newRow("delimiters at both ends") << QByteArray(",a,") << comma << row({"", "a", ""});
    QTest::newRow("line of one delimiter") << QByteArray(",") << comma << row({"", ""});
    QTest::newRow("quotes have no meaning")
        << QByteArray("x;\"b;c\"") << QStringLiteral(";") << row({"x", "\"b", "c\""});
    QTest::newRow("markup copied unchanged") << QByteArray("<b>&amp;,\"q\"") << comma << row({"<b>&amp;", "\"q\""});
    QTest::newRow("comma-space") << QByteArray("a, b,c") << QStringLiteral(", ") << row({"a", "b,c"});
    QTest::newRow("comma-space x y z") << QByteArray("x, y,z") << QStringLiteral(", ") << row({"x", "y,z"});
    QTest::newRow("case-sensitive") << QByteArray("axbXc") << QStringLiteral("X") << row({"axb", "c"});
    QTest::newRow("tab") << QByteArray("a\tb c\t") << QStringLiteral("\t") << row({"a", "b c", ""});
    QTest::newRow("empty delimiter: whole line") << QByteArray("a,b;c\nd") << QString() << row({"a,b;c"}) + row({"d"});
    QTest::newRow("two colons") << QByteArray("a::b:::c") << QStringLiteral("::") << row({"a", "b", ":c"});
    QTest::newRow("occurrences consumed whole")
        << QByteArray("a:::::b") << QStringLiteral("::") << row({"a", "", ":b"});
    QTest::newRow("pattern cut by line end")
        << QByteArray("a:\n:b") << QStringLiteral("::") << row({"a:"}) + row({":b"});
    QTest::newRow("carriage return removed before cutting")
        << QByteArray("a,\r b") << QStringLiteral(", ") << row({"a", "b"});
    QTest::newRow("delimiter with a line feed never cuts")
        << QByteArray("a\nb") << QStringLiteral("\n") << row({"a"}) + row({"b"});
    QTest::newRow("non-ASCII delimiter") << QByteArray("a\xC3\xA9"
                                                       "b\xC3\xA9\xC3\xA9")
                                         << QStringLiteral("\u00E9") << row({"a", "b", "", ""});
    QTest::newRow("empty text") << QByteArray("\n") << comma << QByteArray();
}

void tst_ConvertDocument::cutting()
{
    QFETCH(QByteArray, source);
    QFETCH(QString, delimiter);
    QFETCH(QByteArray, rows);
    QCOMPARE(rowsOf(convert(source, delimiter)), rows);
}

void tst_ConvertDocument::longLines()
{
    // A line of a million bytes is cut like any other.
    QByteArray field(1000, 'x');
    QByteArray longLine;
    QByteArray longRow = "<tr>\r\n";
    for (int i = 0; i < 1000; ++i) {
        longLine += (i ? "," : "") + field;
        longRow += "<td>" + field + "</td>";
    }
    longRow += "</tr>\r\n";
    QCOMPARE(rowsOf(convert(longLine + "\r\n" + longLine, QStringLiteral(","))), longRow + longRow);
}

void tst_ConvertDocument::headerTakesAppearanceAsGiven()
{
    test::RecordingRunHost host;
    host.options.BorderWidth = QStringLiteral("12");
    host.options.TextColor = 65280;
    host.options.BackgroundColor = 12632256;
    QCOMPARE(convert("x", QStringLiteral(","), &host),
             QByteArray("<html><title></title><body><table width='100%' style='color:#00FF00' border='12' "
                        "bgcolor='#C0C0C0'><tbody>\r\n") +
                 row({"x"}) + kFooter);
}

void tst_ConvertDocument::colorToHtml_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QString>("html");
    QTest::newRow("red") << qint64(255) << QStringLiteral("#FF0000");
    QTest::newRow("blue") << qint64(16711680) << QStringLiteral("#0000FF");
    QTest::newRow("black") << qint64(0) << QStringLiteral("#000000");
    QTest::newRow("dark green") << qint64(32768) << QStringLiteral("#008000");
    QTest::newRow("green") << qint64(65280) << QStringLiteral("#00FF00");
    QTest::newRow("silver") << qint64(12632256) << QStringLiteral("#C0C0C0");
    QTest::newRow("white") << qint64(16777215) << QStringLiteral("#FFFFFF");
    QTest::newRow("eight digits") << qint64(0x80000005) << QStringLiteral("#050080");
    QTest::newRow("eight digits as a negative") << qint64(-2147483643) << QStringLiteral("#050080");
    QTest::newRow("seven digits") << qint64(0x1000000) << QStringLiteral("#000010");
    QTest::newRow("minus one") << qint64(-1) << QStringLiteral("#FFFFFF");
    QTest::newRow("minus 255") << qint64(-255) << QStringLiteral("#01FFFF");
}

void tst_ConvertDocument::colorToHtml()
{
    QFETCH(qint64, value);
    QFETCH(QString, html);
    QCOMPARE(ColorToHTML(value), html);
}

void tst_ConvertDocument::outputName_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("name");
    QTest::newRow("csv") << QStringLiteral("/data/sales.csv") << QStringLiteral("sales.htm");
    QTest::newRow("two dots") << QStringLiteral("/data/a.b.csv") << QStringLiteral("a.b.htm");
    QTest::newRow("only an extension") << QStringLiteral("/data/.csv") << QStringLiteral(".htm");
    QTest::newRow("ends in a dot") << QStringLiteral("report.") << QStringLiteral("report.htm");
    QTest::newRow("no dot") << QStringLiteral("/data/README") << QStringLiteral("README.htm");
    QTest::newRow("dot in the folder only") << QStringLiteral("/data.v2/table") << QStringLiteral("table.htm");
    QTest::newRow("already htm") << QStringLiteral("page.htm") << QStringLiteral("page.htm");
}

void tst_ConvertDocument::outputName()
{
    QFETCH(QString, source);
    QFETCH(QString, name);
    QCOMPARE(OutputFileName(QDir::toNativeSeparators(source)), name);
}

void tst_ConvertDocument::outputPath_data()
{
    QTest::addColumn<bool>("windows");
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("path");

    const int chosen = int(OutputMode::ChosenFolder);
    const int beside = int(OutputMode::SourceFolder);
    const int none = int(OutputMode::None);
    QTest::newRow("win beside") << true << QStringLiteral(R"(C:\data\sales.csv)") << beside << QString()
                                << QStringLiteral(R"(C:\data\sales.htm)");
    QTest::newRow("win chosen, trailing separator")
        << true << QStringLiteral(R"(C:\data\sales.csv)") << chosen << QStringLiteral(R"(C:\out\)")
        << QStringLiteral(R"(C:\out\sales.htm)");
    QTest::newRow("win network beside") << true << QStringLiteral(R"(\\srv\share\a.csv)") << beside << QString()
                                        << QStringLiteral(R"(\\srv\share\a.htm)");
    QTest::newRow("beside") << false << QStringLiteral("/data/sales.csv") << beside << QStringLiteral("/ignored")
                            << QStringLiteral("/data/sales.htm");
    QTest::newRow("no folder part: beside, not at the root")
        << false << QStringLiteral("a.csv") << beside << QString() << QStringLiteral("a.htm");
    QTest::newRow("chosen") << false << QStringLiteral("/data/sales.csv") << chosen << QStringLiteral("/out")
                            << QStringLiteral("/out/sales.htm");
    QTest::newRow("chosen, no folder: nowhere")
        << false << QStringLiteral("/data/sales.csv") << chosen << QString() << QString();
    QTest::newRow("neither mode: nowhere")
        << false << QStringLiteral("/data/sales.csv") << none << QStringLiteral("/out") << QString();
}

void tst_ConvertDocument::outputPath()
{
    QFETCH(bool, windows);
    QFETCH(QString, source);
    QFETCH(int, mode);
    QFETCH(QString, folder);
    QFETCH(QString, path);
    const PathRules rules = windows ? PathRules::Windows : PathRules::Posix;
    QCOMPARE(OutputPath(source, OutputMode(mode), folder, OutputFileName(source, rules), rules), path);
}

void tst_ConvertDocument::progressRisesToHundred()
{
    // Enough lines for several time slices on a fast machine; the values are checked, never the timing.
    QByteArray source;
    for (int i = 0; i < 400000; ++i)
        source += "alpha,beta,gamma,delta\r\n";
    test::RecordingRunHost host;
    QVERIFY(convert(source, QStringLiteral(","), &host).endsWith(kFooter));
    const QList<int>& values = host.progressValues;
    QVERIFY(!values.isEmpty());
    QCOMPARE(values.first(), 0); // after the first of 400001 lines
    QCOMPARE(values.last(), 100);
    for (qsizetype i = 1; i < values.size(); ++i)
        QVERIFY2(values.at(i) >= values.at(i - 1), "progress went back");
    // Each value is followed by a yield (reading and writing may yield more, without a value).
    for (qsizetype i = 0; i < host.events.size(); ++i) {
        if (host.events.at(i).startsWith(QLatin1String("value:")))
            QCOMPARE(host.events.value(i + 1), QStringLiteral("yield"));
    }

    test::RecordingRunHost small;
    convert("a\nb\n", QStringLiteral(","), &small);
    QCOMPARE(small.progressValues, (QList<int>{33, 100}));
}

void tst_ConvertDocument::stopWritesNothing()
{
    test::TempTree tree;
    test::RecordingRunHost host;
    host.options.OutputMode = OutputMode::SourceFolder;
    host.onYield = [&host] { host.stop = true; };
    const QString source = tree.writeFile(QStringLiteral("a.csv"), "a,b\nc,d\n");
    QVERIFY(!ConvertVantrel(host, source, QStringLiteral(",")));
    QCOMPARE(QDir(tree.root()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("a.csv")});
    QCOMPARE(host.reports.size(), 0);
}

void tst_ConvertDocument::convertingTwiceOverwrites()
{
    test::TempTree tree;
    test::RecordingRunHost host;
    host.options.OutputMode = OutputMode::SourceFolder;
    const QString source = tree.writeFile(QStringLiteral("a.csv"), "first");
    ConvertVantrel(host, source, QStringLiteral(","));
    tree.writeFile(QStringLiteral("a.csv"), "second");
    const auto written = ConvertVantrel(host, source, QStringLiteral(","));
    QCOMPARE(rowsOf(test::TempTree::readFile(written.value_or(QString()))), row({"second"}));
    QCOMPARE(QDir(tree.root()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

QTEST_GUILESS_MAIN(tst_ConvertDocument)
#include "tst_ConvertDocument.moc"
