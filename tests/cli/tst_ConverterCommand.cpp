// SPDX-License-Identifier: MIT
#include <QtTest>

#include <unistd.h>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

#include <memory>

#include <QSettings>

#include "cli/ConverterCommand.h"
#include "cli/ConverterHost.h"
#include "core/app/ErrorReport.h"
#include "core/settings/SettingsStore.h"
#include "support/core/ProgramRun.h"
#include "support/core/TempTree.h"
#include "support/core/UnixOnly.h"

using namespace ostrand;

namespace {

const QByteArray kExample = "<html><title></title><body><table width='100%' style='color:#000000' border='1' "
                            "bgcolor='#FFFFFF'><tbody>\r\n"
                            "<tr>\r\n"
                            "<td>a</td><td>b</td></tr>\r\n"
                            "<tr>\r\n"
                            "<td>c</td><td>d</td></tr>\r\n"
                            "</body></html>\r\n";

// One in-process run of the converter.
struct Outcome
{
    int status = -1;
    QString out;
    QString err;
};

Outcome convert(const QStringList& arguments)
{
    Outcome outcome;
    QTextStream out(&outcome.out);
    QTextStream err(&outcome.err);
    outcome.status = ConverterCommand().run(arguments, out, err);
    return outcome;
}

} // namespace

class tst_ConverterCommand : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void exampleInProcess();
    void edgesOfTheShell_data();
    void edgesOfTheShell();
    void exampleThroughTheProgram();
    void badUsage_data();
    void badUsage();
    void missingOutputFolder_data();
    void missingOutputFolder();
    void helpAndVersion();
    void pathsThatAreLinks_data();
    void pathsThatAreLinks();
    void options_data();
    void options();
    void failuresAreReportedAndCounted_data();
    void failuresAreReportedAndCounted();
    void failureLines_data();
    void failureLines();
    void folderPaths();
    void savedSettingsWithCommandLineWinning();
    void unreadableSavedSettingsAreNamedInOneLine();
    void scanCountsNamesThatAreNotUtf8();
    void namesAndTextsBeginningWithU8Mark_data();
    void namesAndTextsBeginningWithU8Mark();

private:
    QTemporaryDir m_config;
};

void tst_ConverterCommand::initTestCase()
{
    // The settings store of this test lives in a folder of its own, never the user's.
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
}

void tst_ConverterCommand::cleanup()
{
    const std::unique_ptr<QSettings> settings = SettingsStore::openUserSettings();
    settings->clear();
    settings->sync();
}

void tst_ConverterCommand::exampleInProcess()
{
    test::TempTree tree;
    const QString out = tree.makeFolder(QStringLiteral("out"));
    const QString source = tree.writeFile(QStringLiteral("a.csv"), "a,b\r\nc,d\r\n");
    const Outcome outcome = convert({QStringLiteral("--output-dir"), out, source});
    QCOMPARE(outcome.status, 0);
    QCOMPARE(outcome.out, QDir::toNativeSeparators(out + QStringLiteral("/a.htm\n")));
    QCOMPARE(outcome.err, QString());
    QCOMPARE(test::TempTree::readFile(out + QStringLiteral("/a.htm")), kExample);
}

void tst_ConverterCommand::exampleThroughTheProgram()
{
    const QString bin = qEnvironmentVariable("OSTRAND_BIN_DIR");
    if (bin.isEmpty())
        QSKIP("OSTRAND_BIN_DIR is not set (CTest sets it)");
    test::TempTree tree;
    tree.makeFolder(QStringLiteral("out"));
    tree.writeFile(QStringLiteral("a.csv"), "a,b\r\nc,d\r\n");
    QProcess program;
    program.setWorkingDirectory(tree.root());
    program.start(bin + QStringLiteral("/ostrand-convert"), {QStringLiteral("--output-dir"), QStringLiteral("out"),
                                                             QStringLiteral("a.csv"), QStringLiteral("gone.csv")});
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 1);
    // A PATH that names nothing is one line on stderr and writes nothing.
    QCOMPARE(program.readAllStandardOutput(), QDir::toNativeSeparators(QStringLiteral("out/a.htm\n")).toUtf8());
    QCOMPARE(program.readAllStandardError(), QByteArray("ostrand-convert: gone.csv: No such file or directory\n"));
    QCOMPARE(QDir(tree.path(QStringLiteral("out"))).entryList(QDir::Files), QStringList{QStringLiteral("a.htm")});
    QCOMPARE(test::TempTree::readFile(tree.path(QStringLiteral("out/a.htm"))), kExample);
}

void tst_ConverterCommand::badUsage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    const QString a = QStringLiteral("a.csv");
    QTest::newRow("no PATH") << QStringList{QStringLiteral("--comma")} << QStringLiteral("no PATH given");
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--colour"), a}
                                    << QStringLiteral("unknown option '--colour'");
    QTest::newRow("unknown short option")
        << QStringList{QStringLiteral("-x"), a} << QStringLiteral("unknown option '-x'");
    QTest::newRow("value missing") << QStringList{a, QStringLiteral("--other")}
                                   << QStringLiteral("missing value after '--other'");
    QTest::newRow("value on a switch") << QStringList{QStringLiteral("--tab=x"), a}
                                       << QStringLiteral("unexpected value after '--tab'");
    QTest::newRow("bad colour") << QStringList{QStringLiteral("--text-color"), QStringLiteral("blue"), a}
                                << QStringLiteral("option '--text-color': \"blue\" is not a colour: give a colour "
                                                  "number (red + 256*green + 65536*blue) or #RRGGBB");
    QTest::newRow("border not numeric") << QStringList{QStringLiteral("--border"), QStringLiteral("abc"), a}
                                        << QStringLiteral("option '--border': \"abc\" is not a number");
    QTest::newRow("border empty") << QStringList{QStringLiteral("--border="), a}
                                  << QStringLiteral("option '--border': \"\" is not a number");
    QTest::newRow("two delimiters") << QStringList{QStringLiteral("--tab"), QStringLiteral("--comma"), a}
                                    << QStringLiteral("options '--comma' and '--tab' cannot be used together: give "
                                                      "one delimiter");
    QTest::newRow("switch and other") << QStringList{QStringLiteral("-d:"), QStringLiteral("--semicolon"), a}
                                      << QStringLiteral("options '--semicolon' and '--other' cannot be used "
                                                        "together: give one delimiter");
    QTest::newRow("other twice") << QStringList{QStringLiteral("--other=;"), QStringLiteral("-d"), QStringLiteral(":"),
                                                a}
                                 << QStringLiteral("option '--other' is given twice with different values");
    QTest::newRow("two places") << QStringList{QStringLiteral("-o"), QStringLiteral("."),
                                               QStringLiteral("--next-to-source"), a}
                                << QStringLiteral("options '--output-dir' and '--next-to-source' cannot be used "
                                                  "together: give one place for the documents");
    QTest::newRow("stdin with a folder") << QStringList{QStringLiteral("-"), QStringLiteral("-o.")}
                                         << QStringLiteral("option '--output-dir' cannot be used with the PATH "
                                                           "'-': its document goes to standard output");
    QTest::newRow("stdin with -z") << QStringList{QStringLiteral("-z"), QStringLiteral("-")}
                                   << QStringLiteral("option '--null' cannot be used with the PATH '-': its "
                                                     "document goes to standard output");
    QTest::newRow("stdin and a file") << QStringList{QStringLiteral("-"), a}
                                      << QStringLiteral("the PATH '-' (standard input) cannot be given with other "
                                                        "PATHs");
    QTest::newRow("quoting with a quote delimiter")
        << QStringList{QStringLiteral("--rfc4180"), QStringLiteral("--other"), QStringLiteral("\",\""), a}
        << QStringLiteral("option '--rfc4180' cannot be used with a delimiter that holds '\"'");
}

void tst_ConverterCommand::badUsage()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    // Through the real program: a typo never creates a file.
    if (test::programPath(QStringLiteral("ostrand-convert")).isEmpty())
        QSKIP("OSTRAND_BIN_DIR is not set (CTest sets it)");
    test::TempTree tree;
    tree.writeFile(QStringLiteral("a.csv"), "a\n");
    const test::ProgramRun run = test::runProgram(QStringLiteral("ostrand-convert"), arguments, tree.root());
    QCOMPARE(run.status, 2);
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(QString::fromUtf8(run.err), QStringLiteral("ostrand-convert: ") + message +
                                             QStringLiteral("\nTry 'ostrand-convert --help' for more information.\n"));
    QCOMPARE(QDir(tree.root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("a.csv")});
}

void tst_ConverterCommand::missingOutputFolder_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("no such folder") << QStringLiteral("/no/such/dir")
                                    << QByteArray("ostrand-convert: /no/such/dir: No such file or directory\n");
    QTest::newRow("a file") << QStringLiteral("a.csv") << QByteArray("ostrand-convert: a.csv: Not a directory\n");
    QTest::newRow("below a file") << QStringLiteral("a.csv/out")
                                  << QByteArray("ostrand-convert: a.csv/out: Not a directory\n");
}

// An output folder that cannot take documents is bad usage: one line naming it once with the system's reason,
// status 2, and nothing is converted.
void tst_ConverterCommand::missingOutputFolder()
{
    QFETCH(QString, folder);
    QFETCH(QByteArray, message);
#ifdef Q_OS_WIN
    // Windows shows the path in its own separators, and a path through a file is a path that is not found.
    message.replace('/', '\\').replace("a.csv\\out: Not a directory", "a.csv\\out: No such file or directory");
#endif
    if (test::programPath(QStringLiteral("ostrand-convert")).isEmpty())
        QSKIP("OSTRAND_BIN_DIR is not set (CTest sets it)");
    test::TempTree tree;
    tree.writeFile(QStringLiteral("a.csv"), "a\n");
    const test::ProgramRun run = test::runProgram(
        QStringLiteral("ostrand-convert"), {QStringLiteral("--output-dir"), folder, QStringLiteral("a.csv")}, tree.root());
    QCOMPARE(run.status, 2);
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(run.err, message);
    QCOMPARE(QDir(tree.root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("a.csv")});
}

void tst_ConverterCommand::helpAndVersion()
{
    // The help a shell user reads (and the man page is made from), written out here as it must read.
    const QString expected = QString::fromUtf8(R"help(Usage: ostrand-convert [OPTION]... PATH...
Convert CSV files into HTML table documents: one .htm document per file,
one table row per non-empty line, one cell per field.

Each PATH is a file, a folder (every file of it and of its subfolders, see
--extension), or - for standard input, whose document then goes to standard
output. A PATH that does not exist is reported and writes nothing. Sources
may be UTF-8, UTF-16 with a byte order mark, or Windows-1252; documents are
UTF-8 with CR LF line ends. Without the document options below, a document
is byte for byte the one the Ostrand window writes: every line is cut at
every delimiter, quotes are ordinary characters and nothing is escaped.

Delimiter (one of them; default --comma):
      --comma                fields are separated by ","
      --comma-space          by ", " (a comma and a space)
      --semicolon            by ";"
      --tab                  by a tab
  -d, --other=TEXT           by TEXT, any text of any length (empty: one
                             cell per line)

Table:
      --border=WIDTH         border width, a number (default 1)
      --text-color=COLOR     text colour, #RRGGBB or a colour number
                             (red + 256*green + 65536*blue); default #000000
      --background-color=COLOR
                             background colour; default #FFFFFF

Document options (off unless given; the window never uses them):
      --escape-html          write & < > " ' in fields as HTML entities, so
                             that markup in the data shows as text
      --rfc4180              read quoted fields as RFC 4180 defines them: a
                             field that starts with " ends at the next lone ",
                             delimiters and line breaks inside belong to it,
                             "" inside is one ", and the enclosing quotes are
                             removed; a quote that is never closed is kept as
                             text to the end of its line. Carriage returns and
                             a byte order mark at the start are dropped

Output (one of them; default --next-to-source):
  -o, --output-dir=DIR       write every document into DIR, an existing folder
      --next-to-source       write each document beside its source, named
                             after it with .htm in place of its extension
  -z, --null                 end each path printed on standard output with a
                             NUL character instead of a newline (xargs -0)

Other options:
  -e, --extension=EXT        in folder PATHs, convert only files named *.EXT
      --saved-settings       start from the choices the Ostrand window saved;
                             the options given here win
      --full-reports         print each failure as the window's full error
                             report instead of one line
  -q, --quiet                draw no progress display
  -h, --help                 display this help and exit
  -V, --version              output version information and exit

Streams:
  Standard output lists the path of each document written, one a line (unless
  a document goes there itself). Standard error has one line per failure,
  "ostrand-convert: PATH: REASON", naming the file the system's reason is
  about, and, on a terminal, a progress display (files done of all, current
  file, its share). The PATHs after a failure are still converted; an earlier
  document is never replaced by a failed write.

Exit status:
  0    every document was written
  1    at least one failure was reported
  2    bad usage: an unknown option, conflicting options, a bad value, no
       PATH, or an output folder that does not exist
  130  stopped by an interrupt (SIGINT, Ctrl-C)
  143  stopped by SIGTERM

Examples:
  ostrand-convert --semicolon --border 2 -o ~/tables exports/
        Convert every file under exports/ into ~/tables, cutting at ";".
  printf 'a,"b<c"\n' | ostrand-convert --rfc4180 --escape-html - > t.htm
        Convert quoted data from a pipe into one document on standard output.
)help");
    for (const QString& option : {QStringLiteral("--help"), QStringLiteral("-h")}) {
        const Outcome help = convert({option, QStringLiteral("--tab")});
        QCOMPARE(help.status, 0);
        QCOMPARE(help.out, expected);
    }
    for (const QString& option : {QStringLiteral("--version"), QStringLiteral("-V")}) {
        const Outcome version = convert({option});
        QCOMPARE(version.status, 0);
        QCOMPARE(version.out, QStringLiteral("ostrand-convert " OSTRAND_VERSION "\n"));
    }
}

void tst_ConverterCommand::pathsThatAreLinks_data()
{
    QTest::addColumn<QString>("path");          // a PATH in links/
    QTest::addColumn<QStringList>("documents"); // written, as listed
    QTest::addColumn<QString>("failure");       // the one line on stderr, "" for none
    QTest::newRow("a link to a file") << QStringLiteral("links/file.csv")
                                      << QStringList{QStringLiteral("links/file.htm")} << QString();
    QTest::newRow("a link to a link to a file")
        << QStringLiteral("links/again.csv") << QStringList{QStringLiteral("links/again.htm")} << QString();
    // The folder's own files are taken, as for any folder given; a link to a folder is never entered by the
    // scan, so the folder's subfolders are not.
    QTest::newRow("a link to a folder") << QStringLiteral("links/folder")
                                        << QStringList{QStringLiteral("links/folder/x.htm")} << QString();
    QTest::newRow("a link to nothing") << QStringLiteral("links/dangling.csv") << QStringList()
                                       << QStringLiteral("links/dangling.csv: No such file or directory");
}

// A PATH that is a symbolic link stands for what it leads to; the documents go beside the link, named after it.
void tst_ConverterCommand::pathsThatAreLinks()
{
    OSTRAND_UNIX_ONLY("symbolic links");
    QFETCH(QString, path);
    QFETCH(QStringList, documents);
    QFETCH(QString, failure);
    test::TempTree tree;
    tree.writeFile(QStringLiteral("data/x.csv"), "a,b\n");
    tree.writeFile(QStringLiteral("data/sub/y.csv"), "c\n");
    tree.makeFolder(QStringLiteral("links"));
    for (const auto& [link, target] : {std::pair{"file.csv", "../data/x.csv"},
                                       {"again.csv", "file.csv"},
                                       {"folder", "../data"},
                                       {"dangling.csv", "../nothing.csv"}})
        QVERIFY(test::makeSymbolicLink(target, tree.path(QStringLiteral("links/") + QLatin1String(link))));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(tree.root()));

    const Outcome outcome = convert({path});
    QDir::setCurrent(previous);

    QCOMPARE(outcome.status, failure.isEmpty() ? 0 : 1);
    QCOMPARE(outcome.out, documents.isEmpty() ? QString() : documents.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    QCOMPARE(outcome.err,
             failure.isEmpty() ? QString() : QStringLiteral("ostrand-convert: ") + failure + QLatin1Char('\n'));
    for (const QString& document : documents)
        QVERIFY(test::TempTree::readFile(tree.path(document)).contains("<td>a</td><td>b</td>"));
    QVERIFY(!QFileInfo::exists(tree.path(QStringLiteral("data/sub/y.htm"))));
}

void tst_ConverterCommand::options_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("expected");
    const QStringList none;
    QTest::newRow("default comma") << none << QByteArray("<td>a</td><td>b;c</td><td> d::e\td</td>");
    QTest::newRow("comma-space") << QStringList{QStringLiteral("--comma-space")}
                                 << QByteArray("<td>a,b;c</td><td>d::e\td</td>");
    QTest::newRow("semicolon") << QStringList{QStringLiteral("--semicolon")}
                               << QByteArray("<td>a,b</td><td>c, d::e\td</td>");
    QTest::newRow("tab") << QStringList{QStringLiteral("--tab")} << QByteArray("<td>a,b;c, d::e</td><td>d</td>");
    QTest::newRow("other") << QStringList{QStringLiteral("--other"), QStringLiteral("::")}
                           << QByteArray("<td>a,b;c, d</td><td>e\td</td>");
    QTest::newRow("other after =") << QStringList{QStringLiteral("--other=;")}
                                   << QByteArray("<td>a,b</td><td>c, d::e\td</td>");
    QTest::newRow("other empty") << QStringList{QStringLiteral("--other"), QString()}
                                 << QByteArray("<td>a,b;c, d::e\td</td>");
    QTest::newRow("other, short") << QStringList{QStringLiteral("-d::")}
                                  << QByteArray("<td>a,b;c, d</td><td>e\td</td>");
    QTest::newRow("same delimiter twice") << QStringList{QStringLiteral("--tab"), QStringLiteral("--tab")}
                                          << QByteArray("<td>a,b;c, d::e</td><td>d</td>");
    QTest::newRow("border") << QStringList{QStringLiteral("--border"), QStringLiteral("12")}
                            << QByteArray("border='12'");
    QTest::newRow("colour numbers") << QStringList{QStringLiteral("--text-color"), QStringLiteral("65280"),
                                                   QStringLiteral("--background-color"), QStringLiteral("12632256")}
                                    << QByteArray("style='color:#00FF00' border='1' bgcolor='#C0C0C0'");
    QTest::newRow("colour #RRGGBB") << QStringList{QStringLiteral("--text-color=#FF0000")}
                                    << QByteArray("style='color:#FF0000'");
    // An option given twice with the same value, however it is spelled, is given once.
    QTest::newRow("--other twice, two spellings")
        << QStringList{QStringLiteral("--other=::"), QStringLiteral("-d"), QStringLiteral("::")}
        << QByteArray("<td>a,b;c, d</td><td>e\td</td>");
    QTest::newRow("--border twice") << QStringList{QStringLiteral("--border"), QStringLiteral("12"),
                                                   QStringLiteral("--border=12")}
                                    << QByteArray("border='12'");
    QTest::newRow("one colour as a number and as #RRGGBB")
        << QStringList{QStringLiteral("--text-color=#FF0000"), QStringLiteral("--text-color=255")}
        << QByteArray("style='color:#FF0000'");
    QTest::newRow("--escape-html twice") << QStringList{QStringLiteral("--escape-html"),
                                                        QStringLiteral("--escape-html"), QStringLiteral("--semicolon")}
                                         << QByteArray("<td>a,b</td><td>c, d::e\td</td>");
    QTest::newRow("--next-to-source twice")
        << QStringList{QStringLiteral("--next-to-source"), QStringLiteral("--next-to-source")}
        << QByteArray("<td>a</td><td>b;c</td><td> d::e\td</td>");
}

void tst_ConverterCommand::options()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, expected);
    test::TempTree tree;
    const QString source = tree.writeFile(QStringLiteral("s.csv"), "a,b;c, d::e\td\r\n");
    const Outcome outcome = convert(arguments << QStringLiteral("--") << source);
    QCOMPARE(outcome.status, 0);
    QCOMPARE(outcome.out, tree.path(QStringLiteral("s.htm\n")));
    const QByteArray document = test::TempTree::readFile(tree.path(QStringLiteral("s.htm")));
    QVERIFY2(document.contains(expected), document.constData());
}

void tst_ConverterCommand::failuresAreReportedAndCounted_data()
{
    QTest::addColumn<bool>("fullReports");
    QTest::newRow("one line") << false;
    QTest::newRow("the window's report") << true;
}

void tst_ConverterCommand::failuresAreReportedAndCounted()
{
    QFETCH(bool, fullReports);
    test::TempTree tree;
    const QString good = tree.writeFile(QStringLiteral("a.csv"), "a\n");
    const QString page = tree.writeFile(QStringLiteral("page.htm"), "keep\n");
    QStringList arguments{QStringLiteral("--quiet"), page, good};
    if (fullReports)
        arguments.prepend(QStringLiteral("--full-reports"));
    const Outcome outcome = convert(arguments);
    QCOMPARE(outcome.status, 1);
    QCOMPARE(outcome.out, tree.path(QStringLiteral("a.htm\n")));
    const QString description =
        QStringLiteral("Cannot write %1: It is the source file itself, which is never overwritten").arg(page);
    const QString expected =
        fullReports ? description +
                          QStringLiteral("\r\nin Vantrel2021/08/31.modCSV.ConvertVantrel at line 168\r\r"
                                         "Please email screenshot of this message to ") +
                          supportAddress() + QLatin1Char('\n')
                    : QStringLiteral("ostrand-convert: %1: It is the source file itself, which is never overwritten\n")
                          .arg(page);
    QCOMPARE(outcome.err, expected);
    QCOMPARE(test::TempTree::readFile(page), QByteArray("keep\n"));
}

void tst_ConverterCommand::failureLines_data()
{
    QTest::addColumn<QString>("subject"); // what the run worked on
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");
    const QString source = QStringLiteral("in/a.csv");
    QTest::newRow("a source that cannot be read")
        << source << QStringLiteral("Cannot read in/a.csv: Permission denied") << source
        << QStringLiteral("Permission denied");
    QTest::newRow("a document that cannot be written: the document")
        << source << QStringLiteral("Cannot write out/a.htm: No space left on device") << QStringLiteral("out/a.htm")
        << QStringLiteral("No space left on device");
    QTest::newRow("a path holding the separator")
        << QStringLiteral("in/x: y.csv") << QStringLiteral("Cannot write out/x: y.htm: Read-only file system")
        << QStringLiteral("out/x: y.htm") << QStringLiteral("Read-only file system");
    QTest::newRow("not enough room")
        << source
        << QStringLiteral("Not enough disk space for out/a.htm: the document needs at least 126 bytes, and 0 are free")
        << QStringLiteral("out/a.htm")
        << QStringLiteral("Not enough disk space (the document needs at least 126 bytes, and 0 are free)");
    QTest::newRow("the toolkit's words for a missing file")
        << source << QStringLiteral("Cannot read in/a.csv: File not found") << source
        << QStringLiteral("No such file or directory");
    QTest::newRow("the toolkit's words for a folder")
        << source << QStringLiteral("Cannot write out/a.htm: Filename refers to a directory")
        << QStringLiteral("out/a.htm") << QStringLiteral("Is a directory");
    QTest::newRow("the toolkit's words for a read-only document")
        << source << QStringLiteral("Cannot write out/a.htm: Existing file out/a.htm is not writable")
        << QStringLiteral("out/a.htm") << QStringLiteral("Permission denied");
    QTest::newRow("a reason that merely starts like the toolkit's")
        << source << QStringLiteral("Cannot write out/a.htm: Existing file out/b.htm is not writable")
        << QStringLiteral("out/a.htm") << QStringLiteral("Existing file out/b.htm is not writable");
    QTest::newRow("a folder that cannot be scanned")
        << QStringLiteral("in") << QStringLiteral("Permission denied") << QStringLiteral("in")
        << QStringLiteral("Permission denied");
    QTest::newRow("a description that names no path")
        << source << QStringLiteral("Division by zero") << source << QStringLiteral("Division by zero");
    QTest::newRow("a prefix without a path")
        << source << QStringLiteral("Cannot read : Permission denied") << source
        << QStringLiteral("Cannot read : Permission denied");
}

// The window's failure descriptions as the converter's one line gives them: the path the reason is about, and
// the reason in the system's words.
void tst_ConverterCommand::failureLines()
{
    QFETCH(QString, subject);
    QFETCH(QString, description);
    QFETCH(QString, path);
    QFETCH(QString, reason);
    const ConverterLine line = ConverterLineFor(subject, description);
    QCOMPARE(line.path, path);
    QCOMPARE(line.reason, reason);
}

void tst_ConverterCommand::folderPaths()
{
    test::TempTree tree;
    tree.writeFile(QStringLiteral("d/a.csv"), "a\n");
    tree.writeFile(QStringLiteral("d/notes.txt"), "n\n");
    tree.writeFile(QStringLiteral("d/sub/b.csv"), "b\n");
    tree.writeFile(QStringLiteral("d/~skip.csv"), "s\n");
    const QString out = tree.makeFolder(QStringLiteral("out"));
    const Outcome every = convert({QStringLiteral("--output-dir"), out, tree.path(QStringLiteral("d"))});
    QCOMPARE(every.status, 0);
    QCOMPARE(every.out, QDir::toNativeSeparators(QStringList({out + QStringLiteral("/a.htm"), out + QStringLiteral("/notes.htm"),
                                     out + QStringLiteral("/b.htm")})
                                .join(QLatin1Char('\n'))) +
                            QLatin1Char('\n'));
    const Outcome csvOnly = convert({QStringLiteral("--extension"), QStringLiteral("csv"),
                                     QStringLiteral("--output-dir"), out, tree.path(QStringLiteral("d"))});
    QCOMPARE(csvOnly.out, QDir::toNativeSeparators(out + QStringLiteral("/a.htm\n") + out + QStringLiteral("/b.htm\n")));
    const Outcome empty = convert({tree.makeFolder(QStringLiteral("empty"))});
    QCOMPARE(empty.status, 0);
    QCOMPARE(empty.out, QString());
}

void tst_ConverterCommand::savedSettingsWithCommandLineWinning()
{
    test::TempTree tree;
    {
        const std::unique_ptr<QSettings> settings = SettingsStore::openUserSettings();
        SettingsStore store(*settings);
        store.WriteSetting(SettingKey::option1(), QStringLiteral("False"));
        store.WriteSetting(SettingKey::option3(), QStringLiteral("True"));
        store.WriteSetting(SettingKey::borderWidth(), QStringLiteral("7"));
        store.WriteSetting(SettingKey::textColor(), QStringLiteral("255"));
        store.WriteSetting(SettingKey::option6(), QStringLiteral("True"));
        store.WriteSetting(SettingKey::outputFolder(), tree.makeFolder(QStringLiteral("saved")));
    }
    const QString source = tree.writeFile(QStringLiteral("s.csv"), "a;b,c\n");

    const Outcome saved = convert({QStringLiteral("--saved-settings"), source});
    QCOMPARE(saved.status, 0);
    QCOMPARE(saved.out, tree.path(QStringLiteral("saved/s.htm\n")));
    const QByteArray document = test::TempTree::readFile(tree.path(QStringLiteral("saved/s.htm")));
    QVERIFY(document.contains("style='color:#FF0000' border='7' bgcolor='#FFFFFF'"));
    QVERIFY(document.contains("<td>a</td><td>b,c</td>"));

    const Outcome given = convert(
        {QStringLiteral("--saved-settings"), QStringLiteral("--comma"), QStringLiteral("--next-to-source"), source});
    QCOMPARE(given.out, tree.path(QStringLiteral("s.htm\n")));
    const QByteArray overridden = test::TempTree::readFile(tree.path(QStringLiteral("s.htm")));
    QVERIFY(overridden.contains("border='7'"));
    QVERIFY(overridden.contains("<td>a;b</td><td>c</td>"));
}

void tst_ConverterCommand::unreadableSavedSettingsAreNamedInOneLine()
{
    test::TempTree tree;
    const QString settingsFile = SettingsStore::openUserSettings()->fileName();
    QFile::remove(settingsFile);
    QVERIFY(QDir().mkpath(settingsFile)); // a folder where the settings file belongs
    const QString source = tree.writeFile(QStringLiteral("s.csv"), "a,b\r\nc,d\r\n");

    const Outcome outcome = convert({QStringLiteral("--saved-settings"), QStringLiteral("--next-to-source"), source});
    QDir(settingsFile).removeRecursively();

    QCOMPARE(outcome.status, 0);
    QCOMPARE(outcome.err, QStringLiteral("ostrand-convert: cannot read the saved settings %1: It is a folder, not a "
                                         "file; using the defaults\n")
                              .arg(settingsFile));
    QCOMPARE(test::TempTree::readFile(tree.path(QStringLiteral("s.htm"))), kExample);
}

void tst_ConverterCommand::scanCountsNamesThatAreNotUtf8()
{
#ifdef Q_OS_UNIX
    test::TempTree tree;
    tree.writeFile(QStringLiteral("d/a.csv"), "a\n");
    const QByteArray badName = QFile::encodeName(tree.path(QStringLiteral("d/"))) + "b\xFF.csv";
    QFile bad;
    QVERIFY(bad.open(::fopen(badName.constData(), "w"), QIODevice::WriteOnly, QFileDevice::AutoCloseHandle));
    bad.write("b\n");
    bad.close();
    const QString out = tree.makeFolder(QStringLiteral("out"));

    const Outcome outcome = convert({QStringLiteral("--output-dir"), out, tree.path(QStringLiteral("d"))});

    QCOMPARE(outcome.status, 1);
    QCOMPARE(outcome.out, out + QStringLiteral("/a.htm\n"));
    QCOMPARE(outcome.err,
             QStringLiteral("ostrand-convert: %1: 1 file left out: the name is not valid UTF-8\n"
                            "ostrand-convert: 1 file of the given folders skipped: the name is not valid UTF-8\n")
                 .arg(tree.path(QStringLiteral("d"))));
    QCOMPARE(QDir(out).entryList(QDir::Files), QStringList{QStringLiteral("a.htm")});
#else
    QSKIP("names are always text elsewhere");
#endif
}

void tst_ConverterCommand::edgesOfTheShell_data()
{
    QTest::addColumn<QString>("script"); // run by sh in a folder holding a.csv and out/; $0 is the converter
    QTest::addColumn<QByteArray>("err");

    QTest::newRow("the list to a full device")
        << R"("$0" -o out a.csv >/dev/full)"
        << QByteArray("ostrand-convert: cannot write the list of documents to standard output: No space left on "
                      "device\n");
    QTest::newRow("standard output closed")
        << R"("$0" -o out a.csv >&-)"
        << QByteArray("ostrand-convert: cannot write the list of documents to standard output: it was closed\n");
    QTest::newRow("standard input closed, -")
        << R"("$0" - <&-)" << QByteArray("ostrand-convert: -: standard input was closed\n");
    QTest::newRow("standard output closed, -")
        << R"(printf 'x\n' | "$0" - >&-)" << QByteArray("ostrand-convert: -: standard output was closed\n");
    // The shell passes the name's bytes; the program cannot reach a file by a name that is not valid UTF-8, and
    // names it by its bytes, as it names such an output folder or settings file.
    QTest::newRow("a name that is not valid UTF-8")
        << R"(name=$(printf 'bad\377.csv'); printf 'x\n' >"$name"; "$0" -o out "$name"; s=$?; rm "$name"; exit $s)"
        << QByteArray("ostrand-convert: $'bad\\xFF.csv': The name is not valid UTF-8, so the file cannot be reached "
                      "by it\n");
}

// A standard stream that fails or was closed, or a name the program cannot reach, is one line on stderr and exit
// status 1, never a lost list taken for an empty one; the documents written are whole, and none received what
// was meant for a closed stream.
void tst_ConverterCommand::edgesOfTheShell()
{
    OSTRAND_UNIX_ONLY("the edges of a Unix shell: /dev/full, closed descriptors, byte names");
    QFETCH(QString, script);
    QFETCH(QByteArray, err);
    const QString converter = test::programPath(QStringLiteral("ostrand-convert"));
    if (converter.isEmpty())
        QSKIP("OSTRAND_BIN_DIR is not set (CTest sets it)");
    test::TempTree tree;
    tree.makeFolder(QStringLiteral("out"));
    tree.writeFile(QStringLiteral("a.csv"), "a,b\r\nc,d\r\n");
    QProcess shell;
    shell.setWorkingDirectory(tree.root());
    shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script, converter});
    QVERIFY(shell.waitForFinished(60000));

    QCOMPARE(shell.exitStatus(), QProcess::NormalExit);
    QCOMPARE(shell.exitCode(), 1);
    QCOMPARE(shell.readAllStandardError(), err);
    const QStringList written = QDir(tree.path(QStringLiteral("out"))).entryList(QDir::Files);
    if (script.contains(QLatin1String("a.csv"))) {
        QCOMPARE(written, QStringList{QStringLiteral("a.htm")});
        QCOMPARE(test::TempTree::readFile(tree.path(QStringLiteral("out/a.htm"))), kExample);
    } else {
        QCOMPARE(written, QStringList());
    }
}

void tst_ConverterCommand::namesAndTextsBeginningWithU8Mark_data()
{
    QTest::addColumn<QStringList>("arguments"); // in a folder holding in/a.csv, its twin in/\uFEFFa.csv and d/e.csv
    QTest::addColumn<QByteArray>("settings");   // the settings file, as bytes; empty for none
    QTest::addColumn<QString>("listed");
    QTest::addColumn<bool>("twinsApart"); // the row needs two names that differ only in U+FEFF kept apart
    const QString mark = QString(QChar(0xFEFF));
    QTest::newRow("a PATH and -o DIR") << QStringList{u"-o"_qs, mark + u"out"_qs, u"in/"_qs + mark + u"a.csv"_qs}
                                       << QByteArray() << mark + u"out/"_qs + mark + u"a.htm\n"_qs << true;
    QTest::newRow("a folder's files") << QStringList{u"-o"_qs, u"out"_qs, u"in"_qs} << QByteArray()
                                      << u"out/a.htm\nout/"_qs + mark + u"a.htm\n"_qs << true;
    QTest::newRow("--other TEXT") << QStringList{u"--other"_qs, mark + u"x"_qs, u"-o"_qs, u"out"_qs, u"d/e.csv"_qs}
                                  << QByteArray() << u"out/e.htm\n"_qs << false;
    QTest::newRow("the saved delimiter text")
        << QStringList{u"--saved-settings"_qs, u"-o"_qs, u"out"_qs, u"d/e.csv"_qs}
        << QByteArray("[Ostrand]\nOption1=False\nOption5=True\nOther=\xEF\xBB\xBFx\n") << u"out/e.htm\n"_qs
        << false;
}

// A name or a text whose first character is U+FEFF keeps it, through the program's arguments, a folder's listing
// and the settings file: the document of the file given goes where it was asked to, and the document of a twin
// named without it is not touched.
void tst_ConverterCommand::namesAndTextsBeginningWithU8Mark()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, settings);
    QFETCH(QString, listed);
    QFETCH(bool, twinsApart);
    if (test::programPath(QStringLiteral("ostrand-convert")).isEmpty())
        QSKIP("OSTRAND_BIN_DIR is not set (CTest sets it)");
#ifdef Q_OS_WIN
    // Wine's look-up of a name ignores an initial U+FEFF (or fails on it, in a relative name), as Windows does not.
    if (twinsApart && ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version"))
        QSKIP("Wine does not keep names apart that differ only in an initial U+FEFF");
    if (!settings.isEmpty())
        QSKIP("the settings live in the registry here");
#else
    Q_UNUSED(twinsApart);
#endif
    const QString mark = QString(QChar(0xFEFF));
    test::TempTree tree;
    tree.writeFile(u"in/a.csv"_qs, "plain\r\n");
    tree.writeFile(u"in/"_qs + mark + u"a.csv"_qs, "marked\r\n");
    tree.writeFile(u"d/e.csv"_qs, "1\xEF\xBB\xBFx2x3\r\n");
    tree.writeFile(u"out/a.htm"_qs, "theirs\n");
    tree.makeFolder(mark + u"out"_qs);
    if (!settings.isEmpty()) {
        QFile file(m_config.filePath(u"Kelvadine.conf"_qs));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(settings);
    }

    const test::ProgramRun run = test::runProgram(QStringLiteral("ostrand-convert"), arguments, tree.root());

    QCOMPARE(run.err, QByteArray());
    QCOMPARE(run.status, 0);
    // The bytes: reading them back as text would drop a first U+FEFF.
    QCOMPARE(run.out, QDir::toNativeSeparators(listed).toUtf8());
    const QMap<QString, QByteArray> cells{{u"a.htm"_qs, "<td>plain</td>"},
                                          {mark + u"a.htm"_qs, "<td>marked</td>"},
                                          {u"e.htm"_qs, "<td>1</td><td>2x3</td>"}};
    for (const QString& document : listed.split(u'\n', Qt::SkipEmptyParts)) {
        const QByteArray text = test::TempTree::readFile(tree.path(document));
        QVERIFY2(text.contains(cells.value(document.section(u'/', -1))), qPrintable(document));
    }
    if (!listed.contains(u"out/a.htm"_qs))
        QCOMPARE(test::TempTree::readFile(tree.path(u"out/a.htm"_qs)), QByteArray("theirs\n"));
}

QTEST_GUILESS_MAIN(tst_ConverterCommand)
#include "tst_ConverterCommand.moc"
