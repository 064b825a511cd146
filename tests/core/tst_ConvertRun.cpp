// SPDX-License-Identifier: MIT
#include <QtTest>

#include "core/convert/ConversionRun.h"
#include "support/core/RecordingRunHost.h"
#include "support/core/TempTree.h"

using namespace ostrand;

namespace {

const QString kDone = QStringLiteral("Done.");

} // namespace

class tst_ConvertRun : public QObject
{
    Q_OBJECT

private slots:
    void twoFiles();
    void secondClickDuringARunDoesNothing();
    void emptyListDoesNotExamineTheFolder();
    void missingOutputFolderRefuses_data();
    void missingOutputFolderRefuses();
    void sourceFolderModeIgnoresTheFolderText();
    void delimiterResolvedBeforeEachFile_data();
    void delimiterResolvedBeforeEachFile();
    void optionsChangedDuringTheRunApplyToLaterFiles();
    void entriesAddedDuringTheRunAreNotVisited();
    void stopEndsTheRunWithoutWriting();
    void oneBadEntryDoesNotStopTheRun();
};

void tst_ConvertRun::twoFiles()
{
    test::TempTree tree;
    test::RecordingRunHost host;
    host.options.OutputMode = OutputMode::ChosenFolder;
    host.options.OutputFolder = tree.makeFolder(QStringLiteral("out"));
    host.entries = {tree.writeFile(QStringLiteral("in/a.csv"), "a,b\n"),
                    tree.writeFile(QStringLiteral("in/b.csv"), "c\n")};
    bool converting = false;

    RunConversion(host, converting);

    const QString a = tree.path(QStringLiteral("out/a.htm"));
    const QString b = tree.path(QStringLiteral("out/b.htm"));
    // Each file of two lines ("x\n" and the empty piece after it) moves the bar itself: 50 after its
    // first line, 100 at its end, yielding each time.
    const QStringList ownProgress = {QStringLiteral("value:50"), QStringLiteral("yield"), QStringLiteral("value:100"),
                                     QStringLiteral("yield")};
    QStringList expected = {QStringLiteral("busy:1"), QStringLiteral("value:50"),
                            QStringLiteral("text:Processing: a.csv"), QStringLiteral("yield")};
    expected << ownProgress << QStringLiteral("written:") + a << QStringLiteral("value:100")
             << QStringLiteral("text:Processing: b.csv") << QStringLiteral("yield");
    expected << ownProgress << QStringLiteral("written:") + b << QStringLiteral("busy:0") << QStringLiteral("value:0")
             << QStringLiteral("text:Progress Bar") << QStringLiteral("message:Done.");
    QCOMPARE(host.events, expected);
    QCOMPARE(host.written, (QStringList{a, b}));
    QCOMPARE(host.reports.size(), 0);
    QVERIFY(!converting);
}

void tst_ConvertRun::secondClickDuringARunDoesNothing()
{
    test::TempTree tree;
    test::RecordingRunHost host;
    host.options.OutputMode = OutputMode::SourceFolder;
    host.entries = {tree.writeFile(QStringLiteral("a.csv"), "a\n")};
    bool converting = false;
    int nestedEvents = -1;
    host.onYield = [&] {
        if (nestedEvents >= 0)
            return;
        const qsizetype before = host.events.size();
        RunConversion(host, converting);
        nestedEvents = int(host.events.size() - before);
    };

    RunConversion(host, converting);

    QCOMPARE(nestedEvents, 0);
    QCOMPARE(host.messages, QStringList{kDone});
    QCOMPARE(host.written.size(), 1);
    QVERIFY(!converting);

    converting = true; // a run is going on elsewhere
    const qsizetype before = host.events.size();
    RunConversion(host, converting);
    QCOMPARE(host.events.size(), before);
    QVERIFY(converting);
}

void tst_ConvertRun::emptyListDoesNotExamineTheFolder()
{
    test::RecordingRunHost host;
    host.options.OutputMode = OutputMode::ChosenFolder;
    host.options.OutputFolder = QStringLiteral("/no/such/folder");
    bool converting = false;
    RunConversion(host, converting);
    QCOMPARE(host.events, QStringList{QStringLiteral("message:You forgot to add CSV files.")});
    QCOMPARE(host.outputFolderReads, 0);
    QVERIFY(!converting);
}

void tst_ConvertRun::missingOutputFolderRefuses_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("missing") << QStringLiteral("missing");
    QTest::newRow("empty") << QString();
    QTest::newRow("a file") << QStringLiteral("a.csv");
}

void tst_ConvertRun::missingOutputFolderRefuses()
{
    QFETCH(QString, folder);
    test::TempTree tree;
    test::RecordingRunHost host;
    host.entries = {tree.writeFile(QStringLiteral("a.csv"), "a\n")};
    host.options.OutputMode = OutputMode::ChosenFolder;
    host.options.OutputFolder = folder.isEmpty() ? QString() : tree.path(folder);
    bool converting = false;
    RunConversion(host, converting);
    QCOMPARE(host.events, QStringList{QStringLiteral("message:Folder does not exist. Please select another folder.")});
    QCOMPARE(QDir(tree.root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("a.csv")});
    QVERIFY(!converting);
}

void tst_ConvertRun::sourceFolderModeIgnoresTheFolderText()
{
    test::TempTree tree;
    test::RecordingRunHost host;
    host.entries = {tree.writeFile(QStringLiteral("a.csv"), "a\n")};
    host.options.OutputMode = OutputMode::SourceFolder;
    host.options.OutputFolder = QStringLiteral("/no/such/folder");
    bool converting = false;
    RunConversion(host, converting);
    QCOMPARE(host.written, QStringList{tree.path(QStringLiteral("a.htm"))});
    QCOMPARE(host.messages, QStringList{kDone});
}

void tst_ConvertRun::delimiterResolvedBeforeEachFile_data()
{
    QTest::addColumn<int>("option");
    QTest::addColumn<QString>("other");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("cells");
    QTest::newRow("comma-space") << int(DelimiterOption::CommaSpace) << QString() << QByteArray("a,b, c")
                                 << QByteArray("<td>a,b</td><td>c</td>");
    QTest::newRow("other, two colons") << int(DelimiterOption::Other) << QStringLiteral("::") << QByteArray("a::b:c")
                                       << QByteArray("<td>a</td><td>b:c</td>");
    QTest::newRow("other, empty") << int(DelimiterOption::Other) << QString() << QByteArray("a,b;c")
                                  << QByteArray("<td>a,b;c</td>");
}

void tst_ConvertRun::delimiterResolvedBeforeEachFile()
{
    QFETCH(int, option);
    QFETCH(QString, other);
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, cells);
    test::TempTree tree;
    test::RecordingRunHost host;
    host.entries = {tree.writeFile(QStringLiteral("a.csv"), line)};
    host.options.OutputMode = OutputMode::SourceFolder;
    host.delimiter = DelimiterOption(option);
    host.otherText = other;
    bool converting = false;
    RunConversion(host, converting);
    QVERIFY(test::TempTree::readFile(tree.path(QStringLiteral("a.htm"))).contains("<tr>\r\n" + cells + "</tr>\r\n"));
}

void tst_ConvertRun::optionsChangedDuringTheRunApplyToLaterFiles()
{
    test::TempTree tree;
    test::RecordingRunHost host;
    host.entries = {tree.writeFile(QStringLiteral("a.csv"), "x;y\n"), tree.writeFile(QStringLiteral("b.csv"), "x;y\n")};
    host.options.OutputMode = OutputMode::SourceFolder;
    int yields = 0;
    // The second yield is the first file's own progress: by then its delimiter was resolved.
    host.onYield = [&] {
        if (++yields == 2) {
            host.delimiter = DelimiterOption::Semicolon;
            host.options.BorderWidth = QStringLiteral("5");
        }
    };
    bool converting = false;
    RunConversion(host, converting);
    const QByteArray a = test::TempTree::readFile(tree.path(QStringLiteral("a.htm")));
    const QByteArray b = test::TempTree::readFile(tree.path(QStringLiteral("b.htm")));
    QVERIFY(a.contains("border='1'") && a.contains("<td>x;y</td>"));
    QVERIFY(b.contains("border='5'") && b.contains("<td>x</td><td>y</td>"));
}

void tst_ConvertRun::entriesAddedDuringTheRunAreNotVisited()
{
    test::TempTree tree;
    test::RecordingRunHost host;
    host.entries = {tree.writeFile(QStringLiteral("a.csv"), "a\n")};
    const QString late = tree.writeFile(QStringLiteral("late.csv"), "b\n");
    host.options.OutputMode = OutputMode::SourceFolder;
    host.onYield = [&] {
        if (host.entries.size() == 1)
            host.entries.append(late);
    };
    bool converting = false;
    RunConversion(host, converting);
    QCOMPARE(host.written, QStringList{tree.path(QStringLiteral("a.htm"))});
    QVERIFY(host.events.contains(QStringLiteral("value:50"))); // one of two entries, counted again
}

void tst_ConvertRun::stopEndsTheRunWithoutWriting()
{
    test::TempTree tree;
    test::RecordingRunHost host;
    host.entries = {tree.writeFile(QStringLiteral("a.csv"), "a\n"), tree.writeFile(QStringLiteral("b.csv"), "b\n")};
    host.options.OutputMode = OutputMode::SourceFolder;
    host.onYield = [&] { host.stop = true; };
    bool converting = false;
    RunConversion(host, converting);
    QCOMPARE(host.written, QStringList());
    QCOMPARE(host.messages, QStringList());
    QCOMPARE(host.events.last(), QStringLiteral("busy:0"));
    QCOMPARE(QDir(tree.root()).entryList(QDir::Files), (QStringList{QStringLiteral("a.csv"), QStringLiteral("b.csv")}));
    QVERIFY(!converting);
}

void tst_ConvertRun::oneBadEntryDoesNotStopTheRun()
{
    test::TempTree tree;
    test::RecordingRunHost host;
    host.options.OutputMode = OutputMode::ChosenFolder;
    host.options.OutputFolder = tree.makeFolder(QStringLiteral("out"));
    tree.makeFolder(QStringLiteral("out/b.htm"));
    host.entries = {tree.writeFile(QStringLiteral("a.csv"), "a\n"), tree.writeFile(QStringLiteral("b.csv"), "b\n"),
                    tree.writeFile(QStringLiteral("c.csv"), "c\n")};
    bool converting = false;
    RunConversion(host, converting);
    QCOMPARE(host.reportLines(), QList<int>{168});
    QCOMPARE(host.written,
             (QStringList{tree.path(QStringLiteral("out/a.htm")), tree.path(QStringLiteral("out/c.htm"))}));
    QCOMPARE(host.messages, QStringList{kDone});
}

QTEST_GUILESS_MAIN(tst_ConvertRun)
#include "tst_ConvertRun.moc"
