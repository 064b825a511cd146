// SPDX-License-Identifier: MIT
// ostrand-convert on a real terminal (a pseudo-terminal the test holds) and under signals: the progress
// display, quoting of names, the hint for a terminal on stdin, and interrupts in the middle of a large file.
#include <QtTest>

#include "cli/TerminalText.h"

#include <csignal>

#include "support/core/ProgramRun.h"
#include "support/core/TempTree.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#endif

using namespace ostrand;

namespace {

const QString kProgram = QStringLiteral("ostrand-convert");

#ifdef Q_OS_UNIX

// Which of the program's streams go to the terminal.
enum Streams { Stdin = 1, Stdout = 2, Stderr = 4 };

// What the terminal received, and how the program ended.
struct TerminalRun
{
    int status = -1;
    QByteArray screen; // every byte written to the terminal
    QByteArray out;    // stdout when it is not the terminal
};

// Runs the program with some of its streams on a terminal of the given width; `typed` is typed on the
// terminal's keyboard once the program runs.
TerminalRun runOnTerminal(const QStringList& arguments, const QString& folder, int streams, int columns = 80,
                          const QByteArray& typed = QByteArray())
{
    TerminalRun run;
    int master = -1;
    int slave = -1;
    struct winsize size = {};
    size.ws_row = 24;
    size.ws_col = static_cast<unsigned short>(columns);
    if (openpty(&master, &slave, nullptr, nullptr, &size) != 0)
        return run;
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setChildProcessModifier([slave, streams] {
        for (const int stream : {Stdin, Stdout, Stderr}) {
            if (streams & stream)
                ::dup2(slave, stream == Stdin ? 0 : stream == Stdout ? 1 : 2);
        }
    });
    process.start(test::programPath(kProgram), arguments);
    process.waitForStarted(60000);
    ::close(slave);
    if (!typed.isEmpty())
        (void)!::write(master, typed.constData(), static_cast<size_t>(typed.size()));
    QDeadlineTimer deadline(120000);
    const auto drain = [&](int waitMs) {
        pollfd ready = {master, POLLIN, 0};
        while (::poll(&ready, 1, waitMs) > 0 && (ready.revents & POLLIN)) {
            char buffer[4096];
            const ssize_t got = ::read(master, buffer, sizeof buffer);
            if (got <= 0)
                break;
            run.screen.append(buffer, got);
            waitMs = 0;
        }
    };
    while (process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        drain(20);
        process.waitForFinished(10);
    }
    drain(100);
    ::close(master);
    run.out = process.readAllStandardOutput();
    if (process.exitStatus() == QProcess::NormalExit && process.state() == QProcess::NotRunning)
        run.status = process.exitCode();
    return run;
}

// The screen a terminal shows after the bytes: carriage return, line feed, "erase to the end of the line"
// and wrapping at the last column, which is all the program may use. `draws` receives the text of each
// line as it stood before each carriage return that redraws it.
QStringList screenOf(const QByteArray& bytes, int columns, QStringList* draws = nullptr, bool* unknownEscape = nullptr)
{
    QStringList lines{QString()};
    qsizetype row = 0;
    qsizetype column = 0;
    const QString text = QString::fromUtf8(bytes);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r') {
            const bool lineEnd = i + 1 < text.size() && text.at(i + 1) == u'\n'; // the terminal's CR LF
            if (draws && !lineEnd && !lines[row].isEmpty())
                draws->append(lines[row]);
            column = 0;
        } else if (c == u'\n') {
            ++row;
            if (row == lines.size())
                lines.append(QString());
        } else if (c == u'\x1b') {
            if (text.mid(i, 3) == QLatin1String("\x1b[K")) {
                lines[row].truncate(column);
                i += 2;
            } else if (unknownEscape) {
                *unknownEscape = true;
            }
        } else {
            if (column == columns) { // the terminal wraps
                ++row;
                column = 0;
                if (row == lines.size())
                    lines.append(QString());
            }
            QString& line = lines[row];
            if (line.size() <= column)
                line += QString(column - line.size() + 1, u' ');
            line[column++] = c;
        }
    }
    while (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

#endif

} // namespace

class tst_ConverterTerminal : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void progressDisplay();
    void linesAreCutToTheTerminal_data();
    void linesAreCutToTheTerminal();
    void namesAreQuotedOnTheTerminal();
    void terminalOnStandardInput();
    void interruptInTheMiddleOfALargeFile_data();
    void interruptInTheMiddleOfALargeFile();
};

void tst_ConverterTerminal::init()
{
#ifndef Q_OS_UNIX
    QSKIP("needs a pseudo-terminal and POSIX signals");
#endif
    if (test::programPath(kProgram).isEmpty())
        QSKIP("OSTRAND_BIN_DIR is not set (CTest sets it)");
}

#ifdef Q_OS_UNIX

void tst_ConverterTerminal::progressDisplay()
{
    // Twelve files; the third is large enough to be drawn while it converts, and its name is too long for
    // the narrow terminal.
    test::TempTree tree;
    const QString longName = QStringLiteral("c-holds-a-name-much-too-long-for-the-terminal.csv");
    QStringList expected;
    for (char letter = 'a'; letter <= 'l'; ++letter) {
        const QString name = letter == 'c' ? longName : QString(QLatin1Char(letter)) + QStringLiteral(".csv");
        QByteArray bytes = "x,y\n";
        if (letter == 'c')
            bytes = QByteArray("1234567,1234567,1234567,1234567\r\n").repeated(3000000);
        tree.writeFile(QStringLiteral("d/") + name, bytes);
        expected.append(QStringLiteral("d/") + name.chopped(3) + QStringLiteral("htm"));
    }
    expected.sort();        // the folder's listing order is the upper-cased names' order: the same here
    const int columns = 56; // the paths fit, the third file's progress line does not
    const TerminalRun run = runOnTerminal({QStringLiteral("d")}, tree.root(), Stdout | Stderr, columns);
    QCOMPARE(run.status, 0);

    QStringList draws;
    bool unknownEscape = false;
    // Every progress line was cleared before a path was printed and at the end: only the paths are left.
    QCOMPARE(screenOf(run.screen, columns, &draws, &unknownEscape), expected);
    QVERIFY(!unknownEscape);
    // The count, the current file and its share; never wider than the terminal less its last column.
    const QRegularExpression drawn(QStringLiteral("^(\\d+)/12 (.*) (\\d+)%$"));
    bool sawThird = false;
    for (const QString& draw : std::as_const(draws)) {
        const QRegularExpressionMatch match = drawn.match(draw);
        QVERIFY2(match.hasMatch(), qPrintable(draw));
        QVERIFY2(draw.size() <= columns - 1, qPrintable(draw));
        if (match.captured(1) == QLatin1String("3")) {
            sawThird = true;
            QCOMPARE(draw.size(), columns - 1); // cut to the width: the name gave way, keeping its end
            QVERIFY2(match.captured(2).startsWith(QLatin1String("...")), qPrintable(draw));
            QVERIFY2(longName.endsWith(match.captured(2).mid(3)), qPrintable(draw));
        }
    }
    QVERIFY2(sawThird, qPrintable(draws.join(QLatin1Char('|'))));
    QCOMPARE(draws.constFirst().left(5), QStringLiteral("1/12 "));

    // --quiet, or stderr not a terminal: nothing is drawn.
    const TerminalRun quiet = runOnTerminal({QStringLiteral("-q"), QStringLiteral("d/a.csv")}, tree.root(), Stderr);
    QCOMPARE(quiet.status, 0);
    QCOMPARE(quiet.screen, QByteArray());
    const TerminalRun piped = runOnTerminal({QStringLiteral("d/a.csv")}, tree.root(), Stdout);
    QCOMPARE(piped.screen, QByteArray("d/a.htm\r\n"));
}

void tst_ConverterTerminal::namesAreQuotedOnTheTerminal()
{
    test::TempTree tree;
    tree.writeFile(QStringLiteral("tab\there.csv"), "a\n");
    const QString escape = QStringLiteral("bad\x1b]0;x\x07'.csv");
    const TerminalRun run =
        runOnTerminal({QStringLiteral("-q"), QStringLiteral("tab\there.csv"), escape}, tree.root(), Stdout | Stderr);
    QCOMPARE(run.status, 1);
    // A PATH that names nothing is reported as the list is made, before the conversion.
    QCOMPARE(screenOf(run.screen, 200), QStringList({QStringLiteral("ostrand-convert: $'bad\\e]0;x\\x07\\'.csv': "
                                                                    "No such file or directory"),
                                                     QStringLiteral("$'tab\\there.htm'")}));
    // -z writes the bytes as they are, for xargs -0, even on a terminal.
    const TerminalRun nul =
        runOnTerminal({QStringLiteral("-qz"), QStringLiteral("tab\there.csv")}, tree.root(), Stdout | Stderr);
    QCOMPARE(nul.screen, QByteArray("tab\there.htm\0", 13));
}

void tst_ConverterTerminal::terminalOnStandardInput()
{
    test::TempTree tree;
    // Typed on the keyboard, then Ctrl-D on a line of its own ends the input.
    const TerminalRun run = runOnTerminal({QStringLiteral("-")}, tree.root(), Stdin | Stderr, 80, "a,b\n\x04");
    QCOMPARE(run.status, 0);
    QVERIFY2(run.screen.contains("ostrand-convert: reading CSV from the terminal; end it with Ctrl-D on a line of "
                                 "its own\r\n"),
             run.screen.constData());
    QCOMPARE(run.out, QByteArray("<html><title></title><body><table width='100%' style='color:#000000' border='1' "
                                 "bgcolor='#FFFFFF'><tbody>\r\n<tr>\r\n<td>a</td><td>b</td></tr>\r\n"
                                 "</body></html>\r\n"));
}

void tst_ConverterTerminal::interruptInTheMiddleOfALargeFile_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("status");
    QTest::newRow("SIGINT") << int(SIGINT) << 130;
    QTest::newRow("SIGTERM") << int(SIGTERM) << 143;
}

void tst_ConverterTerminal::interruptInTheMiddleOfALargeFile()
{
    QFETCH(int, signal);
    QFETCH(int, status);
    test::TempTree tree;
    tree.writeFile(QStringLiteral("a.csv"), "a\n");
    tree.writeFile(QStringLiteral("big.csv"), QByteArray("1234567,1234567,1234567,1234567\r\n").repeated(1500000));
    tree.writeFile(QStringLiteral("c.csv"), "c\n");
    tree.writeFile(QStringLiteral("big.htm"), "the earlier document\n");
    tree.writeFile(QStringLiteral("c.htm"), "another earlier document\n");

    QProcess process;
    process.setWorkingDirectory(tree.root());
    process.start(test::programPath(kProgram),
                  {QStringLiteral("a.csv"), QStringLiteral("big.csv"), QStringLiteral("c.csv")});
    QVERIFY(process.waitForStarted(60000));
    // Once the first document is listed, the large file is being converted: the whole of it takes a few tenths
    // of a second, so the signal comes soon after.
    QDeadlineTimer deadline(60000);
    while (!process.readAllStandardOutput().contains("a.htm\n") && !deadline.hasExpired())
        process.waitForReadyRead(100);
    QTest::qWait(10);
    QCOMPARE(process.state(), QProcess::Running);
    ::kill(static_cast<pid_t>(process.processId()), signal);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), status);
    QCOMPARE(process.readAllStandardOutput(), QByteArray());

    // No partial or temporary file; the earlier documents are intact, and the next file was not converted.
    QCOMPARE(QDir(tree.root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList({QStringLiteral("a.csv"), QStringLiteral("a.htm"), QStringLiteral("big.csv"),
                          QStringLiteral("big.htm"), QStringLiteral("c.csv"), QStringLiteral("c.htm")}));
    QCOMPARE(test::TempTree::readFile(tree.path(QStringLiteral("big.htm"))), QByteArray("the earlier document\n"));
    QCOMPARE(test::TempTree::readFile(tree.path(QStringLiteral("c.htm"))), QByteArray("another earlier document\n"));
    QVERIFY(test::TempTree::readFile(tree.path(QStringLiteral("a.htm"))).contains("<td>a</td>"));
}

#else

void tst_ConverterTerminal::progressDisplay()
{
}
void tst_ConverterTerminal::namesAreQuotedOnTheTerminal()
{
}
void tst_ConverterTerminal::terminalOnStandardInput()
{
}
void tst_ConverterTerminal::interruptInTheMiddleOfALargeFile_data()
{
}
void tst_ConverterTerminal::interruptInTheMiddleOfALargeFile()
{
}

#endif

void tst_ConverterTerminal::linesAreCutToTheTerminal_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("width"); // of the whole text
    QTest::addColumn<QString>("cut");
    QTest::newRow("shorter") << QStringLiteral("abc") << 4 << 3 << QStringLiteral("abc");
    QTest::newRow("exactly as wide") << QStringLiteral("abcd") << 4 << 4 << QStringLiteral("abcd");
    QTest::newRow("one column more") << QStringLiteral("abcde") << 4 << 5 << QStringLiteral("abcd");
    QTest::newRow("a wide character that fits") << QStringLiteral(u"ab\u4e2d") << 4 << 4 << QStringLiteral(u"ab\u4e2d");
    QTest::newRow("a wide character over the edge") << QStringLiteral(u"ab\u4e2d") << 3 << 4 << QStringLiteral("ab");
    QTest::newRow("a combining mark takes no column")
        << QStringLiteral(u"abce\u0301") << 4 << 4 << QStringLiteral(u"abce\u0301");
    QTest::newRow("no columns") << QStringLiteral("abc") << 0 << 3 << QString();
}

// The progress line never wraps: it is cut to the terminal's columns, wide characters taking two.
void tst_ConverterTerminal::linesAreCutToTheTerminal()
{
    QFETCH(QString, text);
    QFETCH(int, columns);
    QFETCH(int, width);
    QFETCH(QString, cut);
    QCOMPARE(terminalWidth(text), width);
    QCOMPARE(cutToWidth(text, columns), cut);
}

QTEST_GUILESS_MAIN(tst_ConverterTerminal)
#include "tst_ConverterTerminal.moc"
