// SPDX-License-Identifier: MIT
#include <QtTest>

#include "app/CommandLine.h"
#include "filelist/FileListView.h"
#include "support/core/UnixOnly.h"
#include "support/gui/WindowFixture.h"

using namespace ostrand;
using namespace ostrand::test;

namespace {

struct Finished
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs the built desktop program with no display at all: what it prints must not need a window.
Finished runProgram(const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(u"DISPLAY"_qs);
    env.remove(u"WAYLAND_DISPLAY"_qs);
    env.insert(u"QT_QPA_PLATFORM"_qs, u"xcb"_qs);
    process.setProcessEnvironment(env);
    process.start(qEnvironmentVariable("OSTRAND_BIN_DIR") + u"/ostrand"_qs, arguments);
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

} // namespace

// `ostrand [OPTIONS] [PATH...]`: help and version without a window, bad usage with status 2, and each path
// added to the list as a drop would add it.
class tst_CommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parsed_data();
    void parsed();
    void programAnswersWithoutWindow_data();
    void programAnswersWithoutWindow();
    void pathsAreAddedAsDropped();
    void pathsAsWrittenAreTidied_data();
    void pathsAsWrittenAreTidied();
};

void tst_CommandLine::parsed_data()
{
    QTest::addColumn<QStringList>("arguments"); // after the program name
    QTest::addColumn<bool>("toolkitMayFollow");
    QTest::addColumn<int>("action");
    QTest::addColumn<QStringList>("paths");

    using A = CommandLine::Action;
    QTest::newRow("nothing") << QStringList() << false << int(A::OpenWindow) << QStringList();
    QTest::newRow("two paths") << QStringList{u"a.csv"_qs, u"/data/b c"_qs} << false << int(A::OpenWindow)
                               << QStringList{u"a.csv"_qs, u"/data/b c"_qs};
    QTest::newRow("--help") << QStringList{u"--help"_qs} << false << int(A::ShowHelp) << QStringList();
    QTest::newRow("-h with a path") << QStringList{u"-h"_qs, u"a.csv"_qs} << false << int(A::ShowHelp)
                                    << QStringList{u"a.csv"_qs};
    QTest::newRow("--version") << QStringList{u"--version"_qs} << false << int(A::ShowVersion) << QStringList();
    QTest::newRow("unknown long option") << QStringList{u"--bogus"_qs} << true << int(A::BadUsage) << QStringList();
    QTest::newRow("unknown single-dash word") << QStringList{u"-bogus"_qs} << true << int(A::BadUsage) << QStringList();
    QTest::newRow("toolkit option before the toolkit took it")
        << QStringList{u"-platform"_qs, u"offscreen"_qs, u"a.csv"_qs} << true << int(A::Undecided) << QStringList();
    QTest::newRow("toolkit option left over")
        << QStringList{u"-style"_qs, u"a.csv"_qs} << false << int(A::BadUsage) << QStringList();
    QTest::newRow("a path after --") << QStringList{u"--"_qs, u"--help"_qs} << false << int(A::OpenWindow)
                                     << QStringList{u"--help"_qs};
}

void tst_CommandLine::parsed()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, toolkitMayFollow);
    QFETCH(int, action);
    QFETCH(QStringList, paths);

    const CommandLine line = ParseCommandLine(QStringList{u"/usr/bin/ostrand"_qs} + arguments, toolkitMayFollow);

    QCOMPARE(int(line.action), action);
    QCOMPARE(line.paths, paths);
    if (line.action == CommandLine::Action::ShowHelp || line.action == CommandLine::Action::BadUsage)
        QVERIFY2(line.text.contains(u"Usage: ostrand [options] [PATH...]\n"_qs), qPrintable(line.text));
}

void tst_CommandLine::programAnswersWithoutWindow_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("outStart");
    QTest::addColumn<QString>("errStart");

    QTest::newRow("--help") << QStringList{u"--help"_qs} << 0 << u"Usage: ostrand [options] [PATH...]\n"_qs
                            << QString();
    QTest::newRow("--version") << QStringList{u"--version"_qs} << 0 << u"ostrand "_qs << QString();
    QTest::newRow("-V, as ostrand-convert") << QStringList{u"-V"_qs} << 0 << u"ostrand "_qs << QString();
    QTest::newRow("-v") << QStringList{u"-v"_qs} << 0 << u"ostrand "_qs << QString();
    QTest::newRow("a file, no display")
        << QStringList{u"a.csv"_qs} << 1 << QString()
        << u"ostrand: cannot open a window: no connection to a display (DISPLAY and WAYLAND_DISPLAY are not set); "
           "ostrand-convert converts without one\n"_qs;
    QTest::newRow("unknown option") << QStringList{u"--bogus"_qs, u"a.csv"_qs} << 2 << QString()
                                    << u"Unknown option 'bogus'.\nUsage: ostrand [options] [PATH...]\n"_qs;
}

void tst_CommandLine::programAnswersWithoutWindow()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, outStart);
    QFETCH(QString, errStart);
    if (QByteArray(QTest::currentDataTag()) == "a file, no display")
        OSTRAND_UNIX_ONLY("a session without a display (Windows always has one)");

    Finished finished = runProgram(arguments);
#ifdef Q_OS_WIN
    // A Windows program's text lines end in CR LF.
    finished.out.replace("\r\n", "\n");
    finished.err.replace("\r\n", "\n");
#endif

    QCOMPARE(finished.exitCode, exitCode);
    QVERIFY2(QString::fromUtf8(finished.out).startsWith(outStart), finished.out.constData());
    QVERIFY2(QString::fromUtf8(finished.err).startsWith(errStart), finished.err.constData());
    QCOMPARE(finished.out.isEmpty(), outStart.isEmpty());
    QCOMPARE(finished.err.isEmpty(), errStart.isEmpty());
    if (exitCode == 1) // one line, nothing of the toolkit's own
        QCOMPARE(QString::fromUtf8(finished.err), errStart);
    if (arguments == QStringList{u"--version"_qs})
        QCOMPARE(finished.out, QByteArray("ostrand " OSTRAND_VERSION "\n"));
}

void tst_CommandLine::pathsAreAddedAsDropped()
{
    WindowFixture fixture;
    const TempTree& tree = fixture.tree();
    const QString single = tree.writeFile(u"work/one.csv"_qs, "a,b\n");
    tree.writeFile(u"work/folder/b.csv"_qs, "1\n");
    tree.writeFile(u"work/folder/A.txt"_qs, "2\n");
    tree.writeFile(u"work/folder/sub/c.csv"_qs, "3\n");
    const QString url = tree.writeFile(u"work/with space.csv"_qs, "x\n");
    Form1& form = fixture.open();

    const QString before = QDir::currentPath();
    QDir::setCurrent(tree.path(u"work"_qs));
    AddCommandLinePaths(form, {u"one.csv"_qs, u"folder"_qs, QUrl::fromLocalFile(url).toString(), u"missing.csv"_qs});
    QDir::setCurrent(before);

    // A file as given (made absolute), a folder as every file of its tree, folder by folder.
    const QString work = tree.path(u"work/"_qs);
    QCOMPARE(form.ListView1->entries(),
             native(QStringList{single, work + u"folder/A.txt"_qs, work + u"folder/b.csv"_qs,
                                work + u"folder/sub/c.csv"_qs, url, work + u"missing.csv"_qs}));
    QCOMPARE(fixture.dialogs.calls.size(), 0);
}

void tst_CommandLine::pathsAsWrittenAreTidied_data()
{
    QTest::addColumn<QString>("given"); // from the folder work/sub
    QTest::addColumn<QString>("listed");

    QTest::newRow("up a folder") << u"../one.csv"_qs << u"work/one.csv"_qs;
    QTest::newRow("this folder") << u"./two.csv"_qs << u"work/sub/two.csv"_qs;
    QTest::newRow("doubled separators") << u"..//sub///two.csv"_qs << u"work/sub/two.csv"_qs;
    QTest::newRow("down and up again") << u"../sub/./../one.csv"_qs << u"work/one.csv"_qs;
    QTest::newRow("a folder given with a dot") << u"./deeper/."_qs << u"work/sub/deeper/three.csv"_qs;
}

// Paths reach the list as the file dialog would give them, clean and absolute, however the user wrote them.
void tst_CommandLine::pathsAsWrittenAreTidied()
{
    QFETCH(QString, given);
    QFETCH(QString, listed);
    WindowFixture fixture;
    const TempTree& tree = fixture.tree();
    tree.writeFile(u"work/one.csv"_qs, "1\n");
    tree.writeFile(u"work/sub/two.csv"_qs, "2\n");
    tree.writeFile(u"work/sub/deeper/three.csv"_qs, "3\n");
    Form1& form = fixture.open();

    const QString before = QDir::currentPath();
    QDir::setCurrent(tree.path(u"work/sub"_qs));
    AddCommandLinePaths(form, {given});
    QDir::setCurrent(before);

    QCOMPARE(form.ListView1->entries(), QStringList{tree.path(listed)});
}

QTEST_MAIN(tst_CommandLine)
#include "tst_CommandLine.moc"
