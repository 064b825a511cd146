// SPDX-License-Identifier: MIT
// ostrand-convert as a shell user meets it: pipes, explicit PATHs that name nothing, the path list, and the
// two document options, all through the real program.
#include <QtTest>

#include <QProcess>

#include "support/core/ProgramRun.h"
#include "support/core/TempTree.h"
#include "support/core/UnixOnly.h"

using namespace ostrand;

namespace {

const QString kProgram = QStringLiteral("ostrand-convert");

const QByteArray kHeader = "<html><title></title><body><table width='100%' style='color:#000000' border='1' "
                           "bgcolor='#FFFFFF'><tbody>\r\n";
const QByteArray kFooter = "</body></html>\r\n";

// The document of the rows, each a list of cell texts as they must appear in the document.
QByteArray documentOf(const QList<QList<QByteArray>>& rows)
{
    QByteArray document = kHeader;
    for (const QList<QByteArray>& row : rows) {
        document += "<tr>\r\n";
        for (const QByteArray& cell : row)
            document += "<td>" + cell + "</td>";
        document += "</tr>\r\n";
    }
    return document + kFooter;
}

QByteArray utf16Le(const QString& text)
{
    QByteArray bytes("\xFF\xFE", 2);
    for (const QChar c : text) {
        bytes += char(c.unicode() & 0xFF);
        bytes += char(c.unicode() >> 8);
    }
    return bytes;
}

// Whether the programs are built with AddressSanitizer, whose shadow memory no address-space limit can hold.
constexpr bool kAddressSanitizer =
#if defined(__SANITIZE_ADDRESS__)
    true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    true;
#else
    false;
#endif
#else
    false;
#endif

// The converter's address space while it waits for standard input, in KiB: read off the running program once
// it has made the file that keeps the stream.
qint64 idleAddressSpace()
{
    QProcess process;
    process.start(test::programPath(kProgram), {QStringLiteral("-")});
    if (!process.waitForStarted())
        return -1;
    const QString proc = QStringLiteral("/proc/%1/").arg(process.processId());
    qint64 peak = -1;
    for (int wait = 0; wait < 500 && peak < 0; ++wait) {
        QThread::msleep(10);
        const QStringList fds =
            QDir(proc + QStringLiteral("fd")).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        const bool keeping = std::any_of(fds.begin(), fds.end(), [&](const QString& fd) {
            return QFile::symLinkTarget(proc + QStringLiteral("fd/") + fd).contains(QStringLiteral("(deleted)"));
        });
        QFile status(proc + QStringLiteral("status"));
        if (keeping && status.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : status.readAll().split('\n')) {
                if (line.startsWith("VmPeak:"))
                    peak = line.mid(7).trimmed().split(' ').value(0).toLongLong();
            }
        }
    }
    process.closeWriteChannel();
    process.waitForFinished();
    return peak;
}

// Runs the converter on standard input under an address-space limit (KiB).
test::ProgramRun runLimited(qint64 limit, const QByteArray& input)
{
    QProcess process;
    process.start(QStringLiteral("bash"),
                  {QStringLiteral("-c"), QStringLiteral("ulimit -v %1 && exec \"$0\" -").arg(limit),
                   test::programPath(kProgram)});
    process.waitForStarted();
    for (qsizetype at = 0; at < input.size(); at += 1 << 20) {
        process.write(input.constData() + at, qMin<qsizetype>(1 << 20, input.size() - at));
        while (process.bytesToWrite() > (4 << 20))
            process.waitForBytesWritten(1000);
    }
    process.closeWriteChannel();
    process.waitForFinished(120000);
    test::ProgramRun run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

} // namespace

class tst_ConverterPipes : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void standardInput_data();
    void standardInput();
    void standardInputAndItsTemporaryFolder_data();
    void standardInputAndItsTemporaryFolder();
    void standardInputInBoundedMemory_data();
    void standardInputInBoundedMemory();
    void documentOptions_data();
    void documentOptions();
    void documentOptionsOnFiles();
    void explicitPathsThatNameNothing();
    void pathListEndedWithNul();
    void namesStayRawOffTheTerminal();
};

void tst_ConverterPipes::init()
{
    if (test::programPath(kProgram).isEmpty())
        QSKIP("OSTRAND_BIN_DIR is not set (CTest sets it)");
}

void tst_ConverterPipes::standardInput_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("document");
    QTest::newRow("UTF-8") << QByteArray("a,b\r\nc,d\r\n") << QStringList() << documentOf({{"a", "b"}, {"c", "d"}});
    // The byte order mark stays the first character of the first field, as for a file.
    QTest::newRow("UTF-16 LE") << utf16Le(QStringLiteral(u"\u00e9t\u00e9;x\r\ny;\u4e2d\r\n"))
                               << QStringList{QStringLiteral("--semicolon")}
                               << documentOf({{"\xEF\xBB\xBF\xC3\xA9t\xC3\xA9", "x"}, {"y", "\xE4\xB8\xAD"}});
    QTest::newRow("Windows-1252") << QByteArray("\x93q\x94,\x80\x92s\n") << QStringList()
                                  << documentOf({{"\xE2\x80\x9Cq\xE2\x80\x9D", "\xE2\x82\xAC\xE2\x80\x99s"}});
    QTest::newRow("nothing") << QByteArray() << QStringList() << documentOf({{"empty file"}});
    QTest::newRow("appearance") << QByteArray("x\n")
                                << QStringList{QStringLiteral("--border=3"), QStringLiteral("--text-color=#102030")}
                                << QByteArray("<html><title></title><body><table width='100%' "
                                              "style='color:#102030' border='3' bgcolor='#FFFFFF'><tbody>\r\n"
                                              "<tr>\r\n<td>x</td></tr>\r\n") +
                                       kFooter;
}

void tst_ConverterPipes::standardInput()
{
    QFETCH(QByteArray, input);
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, document);
    test::TempTree tree;
    const test::ProgramRun run = test::runProgram(kProgram, arguments << QStringLiteral("-"), tree.root(), input);
    QCOMPARE(run.status, 0);
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(run.out, document);
    // Nothing is written beside it: standard output carries the document, not a path list.
    QCOMPARE(QDir(tree.root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

void tst_ConverterPipes::standardInputAndItsTemporaryFolder_data()
{
    QTest::addColumn<bool>("fromFile");  // standard input is a file rather than a pipe
    QTest::addColumn<QString>("folder"); // $TMPDIR, in the test's tree
    QTest::addColumn<bool>("converts");
    QTest::newRow("a pipe, the temporary folder there") << false << QStringLiteral("tmp") << true;
    QTest::newRow("a pipe, no temporary folder") << false << QStringLiteral("none") << false;
    QTest::newRow("a file, no temporary folder") << true << QStringLiteral("none") << true;
}

// A pipe is kept in an unnamed file in the temporary folder ($TMPDIR), which holds nothing afterwards; when it
// cannot be kept there, one line says why and where. A file given as standard input needs no temporary file.
void tst_ConverterPipes::standardInputAndItsTemporaryFolder()
{
    QFETCH(bool, fromFile);
    QFETCH(QString, folder);
    QFETCH(bool, converts);
    if (!fromFile)
        OSTRAND_UNIX_ONLY("the temporary folder named by $TMPDIR");
    test::TempTree tree;
    tree.makeFolder(QStringLiteral("tmp"));
    const QString source = tree.writeFile(QStringLiteral("s.csv"), "a,b\r\nc,d\r\n");
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), tree.path(folder));
    process.setProcessEnvironment(environment);
    if (fromFile)
        process.setStandardInputFile(source);
    process.start(test::programPath(kProgram), {QStringLiteral("-")});
    QVERIFY(process.waitForStarted());
    if (!fromFile) {
        process.write(test::TempTree::readFile(source));
        process.closeWriteChannel();
    }
    QVERIFY(process.waitForFinished());

    QCOMPARE(process.exitCode(), converts ? 0 : 1);
    const QByteArray err = process.readAllStandardError();
    if (converts) {
        QCOMPARE(err, QByteArray());
        QCOMPARE(process.readAllStandardOutput(), documentOf({{"a", "b"}, {"c", "d"}}));
    } else {
        QCOMPARE(err, "ostrand-convert: -: Cannot read standard input: cannot keep it in a temporary file in " +
                          QFile::encodeName(tree.path(folder)) + ": No such file or directory\n");
    }
    QCOMPARE(QDir(tree.path(QStringLiteral("tmp"))).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
}

// Standard input is never held whole: a source several times larger than the room above the program's idle
// size converts to the bytes a file gives, and with no room at all the program says so in one line and exits 1,
// never aborts.
void tst_ConverterPipes::standardInputInBoundedMemory_data()
{
    QTest::addColumn<qint64>("room");
    QTest::addColumn<int>("status");
    QTest::newRow("96 MiB for 160 MB") << qint64(96 * 1024) << 0;
    QTest::newRow("none") << qint64(0) << 1;
}

void tst_ConverterPipes::standardInputInBoundedMemory()
{
    QFETCH(qint64, room);
    QFETCH(int, status);
    OSTRAND_UNIX_ONLY("an address-space limit, and the converter's size in /proc");
    if (kAddressSanitizer)
        QSKIP("the sanitizer's shadow memory does not fit under an address-space limit");
    const qint64 idle = idleAddressSpace();
    QVERIFY2(idle > 0, "the converter's idle size could not be read");
    QByteArray input;
    const QByteArray line = "alpha;\"b, \"\"c\"\"\";12345;<text & more text>\r\n";
    input.reserve(160'000'000 + line.size());
    while (input.size() < 160'000'000)
        input += line;
    test::TempTree tree;
    const QString source = tree.writeFile(QStringLiteral("big.csv"), input);
    const test::ProgramRun file = test::runProgram(kProgram, {QStringLiteral("--rfc4180"), source}, tree.root());
    QCOMPARE(file.status, 0);

    const test::ProgramRun run = runLimited(idle + room, input);
    QCOMPARE(run.status, status);
    if (status == 0) {
        QCOMPARE(run.err, QByteArray());
        QVERIFY(run.out == test::TempTree::readFile(tree.path(QStringLiteral("big.htm"))));
    } else {
        QCOMPARE(run.err.count('\n'), 1);
        QVERIFY2(run.err.contains("standard input"), run.err.constData());
    }
}

void tst_ConverterPipes::documentOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QList<QList<QByteArray>>>("rows");
    const QStringList none;
    const QStringList escape{QStringLiteral("--escape-html")};
    const QStringList quoted{QStringLiteral("--rfc4180")};
    const QStringList both{QStringLiteral("--rfc4180"), QStringLiteral("--escape-html")};
    const QByteArray markup = "x<y & z,\"q\" 'r'>\n";
    QTest::newRow("markup, plain") << none << markup << QList<QList<QByteArray>>{{"x<y & z", "\"q\" 'r'>"}};
    QTest::newRow("markup, escaped") << escape << markup
                                     << QList<QList<QByteArray>>{{"x&lt;y &amp; z", "&quot;q&quot; &#39;r&#39;&gt;"}};
    QTest::newRow("delimiter inside quotes, plain")
        << none << QByteArray("\"a,b\",c\n") << QList<QList<QByteArray>>{{"\"a", "b\"", "c"}};
    QTest::newRow("delimiter inside quotes")
        << quoted << QByteArray("\"a,b\",c\n") << QList<QList<QByteArray>>{{"a,b", "c"}};
    QTest::newRow("doubled quote inside quotes")
        << quoted << QByteArray("\"say \"\"hi\"\"\",x\n") << QList<QList<QByteArray>>{{"say \"hi\"", "x"}};
    QTest::newRow("doubled quotes outside quotes")
        << quoted << QByteArray("a\"\"b,\"\",\"\"\"\"\n") << QList<QList<QByteArray>>{{"a\"\"b", "", "\""}};
    QTest::newRow("quote at the end of a line") << quoted << QByteArray("a,b\"\nc,\"\nd,e\n")
                                                << QList<QList<QByteArray>>{{"a", "b\""}, {"c", "\""}, {"d", "e"}};
    QTest::newRow("unterminated quote keeps its line")
        << quoted << QByteArray("\"x,y\nz,w\n") << QList<QList<QByteArray>>{{"\"x,y"}, {"z", "w"}};
    QTest::newRow("CR LF inside quotes") << quoted << QByteArray("\"one\r\ntwo\",3\r\n\r\nnext\r\n")
                                         << QList<QList<QByteArray>>{{"one\ntwo", "3"}, {"next"}};
    QTest::newRow("blank line inside quotes")
        << quoted << QByteArray("\"a\n\nb\"\n") << QList<QList<QByteArray>>{{"a\n\nb"}};
    QTest::newRow("text after the closing quote")
        << quoted << QByteArray("\"ab\"c\"d,e\n") << QList<QList<QByteArray>>{{"abc\"d", "e"}};
    QTest::newRow("multi-character delimiter")
        << QStringList{QStringLiteral("--rfc4180"), QStringLiteral("--other=::")}
        << QByteArray("\"a::b\"::c::\"d\"\"e\"\n") << QList<QList<QByteArray>>{{"a::b", "c", "d\"e"}};
    QTest::newRow("empty delimiter") << QStringList{QStringLiteral("--rfc4180"), QStringLiteral("--other=")}
                                     << QByteArray("\"a\nb\",c\n") << QList<QList<QByteArray>>{{"a\nb,c"}};
    QTest::newRow("both") << both << QByteArray("\"<b>,&\",\"it's\"\n")
                          << QList<QList<QByteArray>>{{"&lt;b&gt;,&amp;", "it&#39;s"}};
    QTest::newRow("both, unterminated") << both << QByteArray("x,\"<i>\n")
                                        << QList<QList<QByteArray>>{{"x", "&quot;&lt;i&gt;"}};
    QTest::newRow("both, Windows-1252") << both << QByteArray("\"caf\xE9 & cr\xE8me\",x\n")
                                        << QList<QList<QByteArray>>{{"caf\xC3\xA9 &amp; cr\xC3\xA8me", "x"}};
    // The byte order mark opens the text, the quote still opens the first field.
    QTest::newRow("both, UTF-16") << both << utf16Le(QStringLiteral(u"\"x,<y>\",z\r\n\"\u00e9\r\n\"\r\n"))
                                  << QList<QList<QByteArray>>{{"x,&lt;y&gt;", "z"}, {"\xC3\xA9\n"}};
    QTest::newRow("both, UTF-8 with byte order mark")
        << both << QByteArray("\xEF\xBB\xBF\"a,b\"\n") << QList<QList<QByteArray>>{{"a,b"}};
    QTest::newRow("no quotes, no markup")
        << both << QByteArray("a,b\r\n\r\nc,,d\n") << QList<QList<QByteArray>>{{"a", "b"}, {"c", "", "d"}};
}

void tst_ConverterPipes::documentOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(QList<QList<QByteArray>>, rows);
    const test::ProgramRun run = test::runProgram(kProgram, arguments << QStringLiteral("-"), QString(), input);
    QCOMPARE(run.status, 0);
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(run.out, documentOf(rows));
}

void tst_ConverterPipes::documentOptionsOnFiles()
{
    // The options apply to files as to a pipe, and the same bytes give the same document.
    test::TempTree tree;
    const QByteArray bytes = "\"a\r\nb\",<c>\n";
    tree.writeFile(QStringLiteral("s.csv"), bytes);
    const QStringList options{QStringLiteral("--escape-html"), QStringLiteral("--rfc4180")};
    const test::ProgramRun file =
        test::runProgram(kProgram, QStringList(options) << QStringLiteral("s.csv"), tree.root());
    QCOMPARE(file.status, 0);
    QCOMPARE(file.out, QByteArray("s.htm\n"));
    QCOMPARE(test::TempTree::readFile(tree.path(QStringLiteral("s.htm"))), documentOf({{"a\nb", "&lt;c&gt;"}}));
    const test::ProgramRun pipe =
        test::runProgram(kProgram, QStringList(options) << QStringLiteral("-"), tree.root(), bytes);
    QCOMPARE(pipe.out, documentOf({{"a\nb", "&lt;c&gt;"}}));
}

void tst_ConverterPipes::explicitPathsThatNameNothing()
{
    test::TempTree tree;
    tree.writeFile(QStringLiteral("good.csv"), "a\n");
    tree.writeFile(QStringLiteral("many/x.txt"), "x\n");
    tree.writeFile(QStringLiteral("nosuch.htm"), "earlier\n");
    const test::ProgramRun run = test::runProgram(
        kProgram, {QStringLiteral("nosuch.csv"), QString(), QStringLiteral("good.csv"), QStringLiteral("many/*.csv")},
        tree.root());
    QCOMPARE(run.status, 1);
    QCOMPARE(run.out, QByteArray("good.htm\n"));
    QCOMPARE(run.err, QDir::toNativeSeparators(QStringLiteral("ostrand-convert: nosuch.csv: No such file or directory\n"
                                                              "ostrand-convert: '': No such file or directory\n"
                                                              "ostrand-convert: many/*.csv: No such file or directory\n"))
                          .toUtf8());
    // Nothing was written for them, and the earlier document of the missing one is as it was.
    QCOMPARE(test::TempTree::readFile(tree.path(QStringLiteral("nosuch.htm"))), QByteArray("earlier\n"));
    QVERIFY(!QFileInfo::exists(tree.path(QStringLiteral(".htm"))));
    QCOMPARE(QDir(tree.path(QStringLiteral("many"))).entryList(QDir::Files), QStringList{QStringLiteral("x.txt")});
}

void tst_ConverterPipes::pathListEndedWithNul()
{
    test::TempTree tree;
    tree.writeFile(QStringLiteral("d/a b.csv"), "a\n");
#ifdef Q_OS_WIN
    // No Windows name holds a line feed.
    static const char expected[] = "d\\a b.htm";
#else
    tree.writeFile(QStringLiteral("d/line\nbreak.csv"), "b\n");
    static const char expected[] = "d/a b.htm\0d/line\nbreak.htm";
#endif
    const test::ProgramRun run = test::runProgram(kProgram, {QStringLiteral("-z"), QStringLiteral("d")}, tree.root());
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QByteArray(expected, sizeof expected)); // the final NUL included
}

void tst_ConverterPipes::namesStayRawOffTheTerminal()
{
    // A script reading the list gets the names' bytes; quoting is for terminals only.
    OSTRAND_UNIX_ONLY("names with control characters");
    test::TempTree tree;
    tree.writeFile(QStringLiteral("t\tab\x1b[1m.csv"), "a\n");
    const test::ProgramRun run =
        test::runProgram(kProgram, {QStringLiteral("--"), QStringLiteral("t\tab\x1b[1m.csv")}, tree.root());
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QByteArray("t\tab\x1b[1m.htm\n"));
}

QTEST_GUILESS_MAIN(tst_ConverterPipes)
#include "tst_ConverterPipes.moc"
