// SPDX-License-Identifier: MIT
#include <QtTest>

#include <unistd.h>

#include <algorithm>

#include "core/app/ErrorReport.h"
#include "core/common/Paths.h"
#include "core/convert/ConversionRun.h"
#include "core/convert/save/OutputPath.h"
#include "support/core/RecordingRunHost.h"
#include "support/core/TempTree.h"
#include "support/core/UnixOnly.h"

using namespace ostrand;

namespace {

const QString kDone = QStringLiteral("Done.");

QByteArray document(const QByteArray& rows, const QByteArray& border = "1")
{
    return "<html><title></title><body><table width='100%' style='color:#000000' border='" + border +
           "' bgcolor='#FFFFFF'><tbody>\r\n" + rows + "</body></html>\r\n";
}

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
    void nothingIsSaidAfterAStop_data();
    void nothingIsSaidAfterAStop();
    void aDocumentOfTheRunIsNeverReplaced_data();
    void aDocumentOfTheRunIsNeverReplaced();
    void sameDocumentByAnotherName_data();
    void sameDocumentByAnotherName();
    void manyDocumentsKeepTheListOrder_data();
    void manyDocumentsKeepTheListOrder();
    void repeatedReportsAreGathered_data();
    void repeatedReportsAreGathered();
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
    // What the window shows, in order: the hourglass, each file's name, the two small documents put in place
    // together once both are made, in the order of the list, then the default pointer, the idle bar and "Done.".
    QStringList shown;
    for (const QString& event : std::as_const(host.events)) {
        if (!event.startsWith(u"value:") && event != u"yield")
            shown.append(event);
    }
    QCOMPARE(shown, (QStringList{QStringLiteral("busy:1"), QStringLiteral("text:Processing: a.csv"),
                                 QStringLiteral("text:Processing: b.csv"), QStringLiteral("written:") + a,
                                 QStringLiteral("written:") + b, QStringLiteral("busy:0"),
                                 QStringLiteral("text:Progress Bar"), QStringLiteral("message:Done.")}));
    // The bar shows each file's share of the list before it, then grows with the file's lines to 100, and
    // the window has its turn while each file is converted; at the end the bar is back at 0.
    QList<int> barBeforeFile;
    QList<QList<int>> barDuringFile;
    QList<int> yieldsDuringFile;
    int bar = -1;
    bool inFile = false;
    for (const QString& event : std::as_const(host.events)) {
        if (event.startsWith(u"text:Processing: ")) {
            barBeforeFile.append(bar);
            barDuringFile.append(QList<int>());
            yieldsDuringFile.append(0);
            inFile = true;
        } else if (event.startsWith(u"written:")) {
            inFile = false;
        } else if (event.startsWith(u"value:")) {
            bar = event.mid(6).toInt();
            if (inFile)
                barDuringFile.last().append(bar);
        } else if (event == u"yield" && inFile) {
            ++yieldsDuringFile.last();
        }
    }
    QCOMPARE(barBeforeFile, (QList<int>{50, 100}));
    for (qsizetype i = 0; i < barDuringFile.size(); ++i) {
        QVERIFY2(yieldsDuringFile.at(i) > 0, qPrintable(QString::number(i)));
        QVERIFY(std::is_sorted(barDuringFile.at(i).cbegin(), barDuringFile.at(i).cend()));
        QCOMPARE(barDuringFile.at(i).value(barDuringFile.at(i).size() - 1, -1), 100);
    }
    QCOMPARE(bar, 0);
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
    QCOMPARE(test::TempTree::readFile(tree.path(QStringLiteral("a.htm"))), document("<tr>\r\n" + cells + "</tr>\r\n"));
}

void tst_ConvertRun::optionsChangedDuringTheRunApplyToLaterFiles()
{
    test::TempTree tree;
    test::RecordingRunHost host;
    host.entries = {tree.writeFile(QStringLiteral("a.csv"), "x;y\n"), tree.writeFile(QStringLiteral("b.csv"), "x;y\n")};
    host.options.OutputMode = OutputMode::SourceFolder;
    // The user changes the options while the first file is converted, once the bar has moved with its lines.
    host.onYield = [&] {
        const qsizetype named = host.events.indexOf(QStringLiteral("text:Processing: a.csv"));
        qsizetype moved = host.events.size() - 1;
        while (moved > named && !host.events.at(moved).startsWith(u"value:"))
            --moved;
        if (named >= 0 && moved > named && host.written.isEmpty()) {
            host.delimiter = DelimiterOption::Semicolon;
            host.options.BorderWidth = QStringLiteral("5");
        }
    };
    bool converting = false;
    RunConversion(host, converting);
    QCOMPARE(test::TempTree::readFile(tree.path(QStringLiteral("a.htm"))), document("<tr>\r\n<td>x;y</td></tr>\r\n"));
    QCOMPARE(test::TempTree::readFile(tree.path(QStringLiteral("b.htm"))),
             document("<tr>\r\n<td>x</td><td>y</td></tr>\r\n", "5"));
}

void tst_ConvertRun::entriesAddedDuringTheRunAreNotVisited()
{
    test::TempTree tree;
    test::RecordingRunHost host;
    host.entries = {tree.writeFile(QStringLiteral("a.csv"), "a\n"), tree.writeFile(QStringLiteral("b.csv"), "b\n")};
    const QString late = tree.writeFile(QStringLiteral("late.csv"), "c\n");
    host.options.OutputMode = OutputMode::SourceFolder;
    host.onYield = [&] {
        if (host.entries.size() == 2)
            host.entries.append(late);
    };
    bool converting = false;
    RunConversion(host, converting);
    QCOMPARE(host.written, (QStringList{tree.path(QStringLiteral("a.htm")), tree.path(QStringLiteral("b.htm"))}));
    // The entries are counted again for each file's share: b is the second of three.
    qsizetype shown = host.events.indexOf(QStringLiteral("text:Processing: b.csv"));
    while (shown > 0 && !host.events.at(shown).startsWith(u"value:"))
        --shown;
    QCOMPARE(host.events.at(shown), QStringLiteral("value:66"));
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

void tst_ConvertRun::nothingIsSaidAfterAStop_data()
{
    QTest::addColumn<int>("stopAt"); // the turn of the event loop after which the run is asked to stop
    QTest::addColumn<bool>("gathers");
    for (const bool gathers : {false, true}) {
        for (const int turn : {1, 2, 3, 5, 8, 13, 40})
            QTest::addRow("%s, stop after turn %d", gathers ? "gathered" : "each report", turn) << turn << gathers;
    }
}

// Once a run is asked to stop, it says nothing more: no report of an entry it did not reach, no gathered
// message, no "Done.", no progress; what it reported before the stop stays reported, the documents it wrote
// stay, and the busy pointer goes.
void tst_ConvertRun::nothingIsSaidAfterAStop()
{
    QFETCH(int, stopAt);
    QFETCH(bool, gathers);
    test::TempTree tree;
    test::RecordingRunHost host;
    host.gathers = gathers;
    host.options.OutputMode = OutputMode::ChosenFolder;
    host.options.OutputFolder = tree.makeFolder(QStringLiteral("out"));
    // Entries that convert, fail (a missing source), and repeat a document of the run, over and over.
    for (int i = 0; i < 12; ++i) {
        host.entries.append(tree.writeFile(QStringLiteral("in/f%1.csv").arg(i), "a,b\n"));
        host.entries.append(tree.path(QStringLiteral("in/missing%1.csv").arg(i)));
        host.entries.append(tree.writeFile(QStringLiteral("again/f%1.csv").arg(i), "c,d\n"));
    }
    int turns = 0;
    qsizetype eventsAtStop = -1;
    qsizetype reportsAtStop = -1;
    host.onYield = [&] {
        if (++turns == stopAt) {
            host.stop = true;
            eventsAtStop = host.events.size();
            reportsAtStop = host.reports.size();
        }
    };
    bool converting = false;

    RunConversion(host, converting);

    QVERIFY(host.stop);
    QCOMPARE(host.messages, QStringList());
    // Documents and reports held back in a batch when the stop came may still be put in place and made: they
    // belong to entries converted before it, and the event loop keeps its turns meanwhile. Nothing else comes but
    // the end of the busy pointer.
    const QStringList after = host.events.mid(eventsAtStop);
    QCOMPARE(after.last(), QStringLiteral("busy:0"));
    for (const QString& event : after.first(after.size() - 1))
        QVERIFY2(event.startsWith(QLatin1String("report:")) || event.startsWith(QLatin1String("written:")) ||
                     event == QLatin1String("yield"),
                 qPrintable(event));
    // Each turn is one entry's at most: no entry after the one at the stop was reached.
    QVERIFY(host.written.size() + host.reports.size() <= stopAt);
    Q_UNUSED(reportsAtStop);
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

void tst_ConvertRun::aDocumentOfTheRunIsNeverReplaced_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("sources"); // the first two give the same output path
    QTest::addColumn<QString>("kept");        // that document, as the first source made it
    QTest::addColumn<QString>("refused");     // the second output path, as the report names it
    QTest::addColumn<bool>("linked");         // "also" is a link to the folder "one"
    QTest::newRow("x.csv of two folders into one folder")
        << int(OutputMode::ChosenFolder) << QStringList{QStringLiteral("one/x.csv"), QStringLiteral("two/x.csv")}
        << QStringLiteral("out/x.htm") << QStringLiteral("out/x.htm") << false;
    QTest::newRow("x.csv and x.txt beside each other")
        << int(OutputMode::SourceFolder) << QStringList{QStringLiteral("one/x.csv"), QStringLiteral("one/x.txt")}
        << QStringLiteral("one/x.htm") << QStringLiteral("one/x.htm") << false;
    QTest::newRow("the same file twice") << int(OutputMode::SourceFolder)
                                         << QStringList{QStringLiteral("one/x.csv"), QStringLiteral("one/x.csv")}
                                         << QStringLiteral("one/x.htm") << QStringLiteral("one/x.htm") << false;
    QTest::newRow("the same folder by another name")
        << int(OutputMode::SourceFolder) << QStringList{QStringLiteral("one/x.csv"), QStringLiteral("also/x.txt")}
        << QStringLiteral("one/x.htm") << QStringLiteral("also/x.htm") << true;
}

// A later entry whose document would replace one written earlier in the same run is reported at the write
// and the run goes on; the earlier document stays, and the next file still converts.
void tst_ConvertRun::aDocumentOfTheRunIsNeverReplaced()
{
    QFETCH(int, mode);
    QFETCH(QStringList, sources);
    QFETCH(QString, kept);
    QFETCH(QString, refused);
    QFETCH(bool, linked);
    test::TempTree tree;
    test::RecordingRunHost host;
    host.options.OutputMode = OutputMode(mode);
    host.options.OutputFolder = tree.makeFolder(QStringLiteral("out"));
    if (linked)
        OSTRAND_UNIX_ONLY("symbolic links");
    if (linked)
        QVERIFY(QFile::link(tree.makeFolder(QStringLiteral("one")), tree.path(QStringLiteral("also"))));
    for (const QString& source : sources)
        host.entries.append(tree.writeFile(source, source.toUtf8() + ",first\n"));
    host.entries.append(tree.writeFile(QStringLiteral("one/next.csv"), "next\n"));
    bool converting = false;

    RunConversion(host, converting);

    QCOMPARE(host.reportLines(), QList<int>{168});
    QCOMPARE(host.reports.first().description,
             QStringLiteral("Cannot write %1: A document of an earlier entry of this run was written there, and it "
                            "is kept")
                 .arg(tree.path(refused)));
    QCOMPARE(test::TempTree::readFile(tree.path(kept)),
             QByteArray("<html><title></title><body><table width='100%' style='color:#000000' border='1' "
                        "bgcolor='#FFFFFF'><tbody>\r\n<tr>\r\n<td>") +
                 sources.first().toUtf8() + "</td><td>first</td></tr>\r\n</body></html>\r\n");
    const QString next = FolderOf(tree.path(kept)) + QStringLiteral("next.htm");
    QCOMPARE(host.written, (QStringList{tree.path(kept), next}));
    QCOMPARE(host.messages, QStringList{kDone});
}

void tst_ConvertRun::sameDocumentByAnotherName_data()
{
    QTest::addColumn<QString>("alias"); // how the folder "also" names the folder "one"
    QTest::addColumn<int>("between");   // entries between the two, each with a document of its own
    for (const char* alias : {"relative link", "absolute link", "link to a link"}) {
        // Next to each other, within one batch, a batch apart, and far beyond the largest batch.
        for (const int between : {0, 20, 40, 300})
            QTest::addRow("%s, %d between", alias, between) << QString::fromLatin1(alias) << between;
    }
}

// A document is known by the file it is, not by the text of its path: a later entry whose document would land
// on it through another name of its folder is refused, however far apart the two entries are in the list.
void tst_ConvertRun::sameDocumentByAnotherName()
{
    OSTRAND_UNIX_ONLY("symbolic links");
    QFETCH(QString, alias);
    QFETCH(int, between);
    test::TempTree tree;
    const QString one = tree.makeFolder(QStringLiteral("one"));
    const QString also = tree.path(QStringLiteral("also"));
    if (alias == QStringLiteral("relative link"))
        QVERIFY(test::makeSymbolicLink("one", also));
    else if (alias == QStringLiteral("absolute link"))
        QVERIFY(QFile::link(one, also));
    else
        QVERIFY(QFile::link(one, tree.path(QStringLiteral("middle"))) &&
                QFile::link(tree.path(QStringLiteral("middle")), also));
    test::RecordingRunHost host;
    host.options.OutputMode = OutputMode::SourceFolder;
    host.entries.append(tree.writeFile(QStringLiteral("one/x.csv"), "first\n"));
    QStringList written{tree.path(QStringLiteral("one/x.htm"))};
    for (int i = 0; i < between; ++i) {
        host.entries.append(tree.writeFile(QStringLiteral("other/f%1.csv").arg(i), "f\n"));
        written.append(tree.path(QStringLiteral("other/f%1.htm").arg(i)));
    }
    host.entries.append(tree.writeFile(QStringLiteral("one/x.txt"), "second\n").replace(one, also));
    host.entries.append(tree.writeFile(QStringLiteral("one/next.csv"), "next\n"));
    written.append(tree.path(QStringLiteral("one/next.htm")));
    bool converting = false;

    RunConversion(host, converting);

    QCOMPARE(host.reportLines(), QList<int>{168});
    QCOMPARE(host.reports.first().description,
             QStringLiteral("Cannot write %1: A document of an earlier entry of this run was written there, and it "
                            "is kept")
                 .arg(tree.path(QStringLiteral("also/x.htm"))));
    QVERIFY(test::TempTree::readFile(tree.path(QStringLiteral("one/x.htm"))).contains("<td>first</td>"));
    QCOMPARE(host.written, written);
}

void tst_ConvertRun::manyDocumentsKeepTheListOrder_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("first");  // an entry whose name a later one repeats (x.csv, then x.txt), 0 for none
    QTest::addColumn<int>("repeat"); // that later entry
    QTest::addColumn<int>("bad");    // an entry whose document cannot be written (a folder at its path), 0 for none
    QTest::newRow("one after the other") << 150 << 3 << 4 << 0;
    QTest::newRow("a batch apart") << 150 << 10 << 45 << 0;
    QTest::newRow("far apart") << 300 << 2 << 260 << 0;
    QTest::newRow("a failure among them") << 150 << 0 << 0 << 77;
    QTest::newRow("both") << 300 << 20 << 120 << 100;
}

// However the documents of a long run are gathered and synced, each is listed, or its failure reported, in the
// order of the list; a later entry never replaces an earlier one's document, however long ago it was written.
void tst_ConvertRun::manyDocumentsKeepTheListOrder()
{
    QFETCH(int, count);
    QFETCH(int, first);
    QFETCH(int, repeat);
    QFETCH(int, bad);
    test::TempTree tree;
    test::RecordingRunHost host;
    host.options.OutputMode = OutputMode::SourceFolder;
    QStringList expected;
    for (int i = 1; i <= count; ++i) {
        const QString name =
            QStringLiteral("in/%1.%2").arg(i == repeat ? first : i).arg(QLatin1String(i == repeat ? "txt" : "csv"));
        host.entries.append(tree.writeFile(name, QByteArray::number(i) + ",x\n"));
        const QString output = tree.path(QStringLiteral("in/%1.htm").arg(i == repeat ? first : i));
        if (i == bad)
            tree.makeFolder(QStringLiteral("in/%1.htm").arg(i));
        expected.append(i == bad || i == repeat ? QStringLiteral("report:168") : QStringLiteral("written:") + output);
    }
    bool converting = false;

    RunConversion(host, converting);

    QStringList events;
    for (const QString& event : std::as_const(host.events)) {
        if (event.startsWith(QLatin1String("written:")) || event.startsWith(QLatin1String("report:")))
            events.append(event);
    }
    QCOMPARE(events, expected);
    if (first > 0)
        QCOMPARE(test::TempTree::readFile(tree.path(QStringLiteral("in/%1.htm").arg(first))),
                 document("<tr>\r\n<td>" + QByteArray::number(first) + "</td><td>x</td></tr>\r\n"));
    QCOMPARE(host.messages, QStringList{kDone});
}

void tst_ConvertRun::repeatedReportsAreGathered_data()
{
    QTest::addColumn<QStringList>("sources"); // "-" before a name: listed, never written (a missing file)
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("gathers");
    QTest::addColumn<QList<int>>("shown");  // the lines of the reports shown one by one
    QTest::addColumn<QString>("summary");   // the summary's description, {IN} for the sources' folder; "" for none
    QTest::addColumn<int>("summaryLine");

    // The files named one a line under {IN}, then how many more there are.
    const auto named = [](const QStringList& names, int more) {
        QString text = QStringLiteral("{IN}/") + names.join(QStringLiteral("\r\n{IN}/"));
        return more > 0 ? text + QStringLiteral("\r\nand %1 more").arg(more) : text;
    };
    const auto keptFor = [](const QStringList& refused, const QString& kept) {
        QStringList lines;
        for (const QString& name : refused)
            lines.append(QStringLiteral("%1 (the document of {IN}/%2 is kept)").arg(name, kept));
        return lines;
    };
    const QString intro = u"These failures were not shown one by one:\r\n\r\n"_qs;
    const QString sevenRefused =
        u"7 files were not converted because an earlier file of the list wrote the same document, which is kept:\r\n"_qs +
        named(keptFor({u"d1/a.csv"_qs, u"d2/a.csv"_qs, u"d3/a.csv"_qs, u"d4/a.csv"_qs, u"d5/a.csv"_qs}, u"d0/a.csv"_qs),
              2) +
        u"\r\n\"Save results in folder of original file\" converts them all, each beside its own source."_qs;
    const QString oneRefused =
        u"1 file was not converted because an earlier file of the list wrote the same document, which is kept:\r\n"_qs;
    const auto missing = [&](const QString& first, int more, const QStringList& names, int unnamed) {
        return QStringLiteral("Cannot read {IN}/%1: File not found\r\nThe same failure happened for %2 more files:\r\n")
                   .arg(first)
                   .arg(more) +
               named(names, unnamed);
    };

    QStringList oneName;
    for (int i = 0; i < 8; ++i)
        oneName.append(QStringLiteral("d%1/a.csv").arg(i));
    const int chosen = int(OutputMode::ChosenFolder);
    const int beside = int(OutputMode::SourceFolder);
    QTest::newRow("one name in many folders")
        << oneName << chosen << true << QList<int>{} << intro + sevenRefused + u"\r\n"_qs << 168;
    QTest::newRow("one name, each printed") << oneName << chosen << false << QList<int>(7, 168) << QString() << 0;
    // Beside their sources a.csv and a.txt still share a.htm: no promise that the other option converts them.
    const QString txtRefused = intro + oneRefused + named(keptFor({u"d0/a.txt"_qs}, u"d0/a.csv"_qs), 0) + u"\r\n"_qs;
    QTest::newRow("one name in one folder") << QStringList{u"d0/a.csv"_qs, u"d0/a.txt"_qs, u"d1/b.csv"_qs} << chosen
                                            << true << QList<int>{} << txtRefused << 168;
    QTest::newRow("beside the source")
        << QStringList{u"d0/a.csv"_qs, u"d0/a.txt"_qs} << beside << true << QList<int>{} << txtRefused << 168;

    QStringList absent;
    for (int i = 0; i < 10; ++i)
        absent.append(QStringLiteral("-m%1.csv").arg(i));
    QTest::newRow("missing files")
        << absent << chosen << true << QList<int>(3, 114)
        << intro + missing(u"m3.csv"_qs, 6, {u"m4.csv"_qs, u"m5.csv"_qs, u"m6.csv"_qs, u"m7.csv"_qs, u"m8.csv"_qs}, 1) +
               u"\r\n"_qs
        << 114;
    QTest::newRow("missing files, two past the boxes")
        << absent.mid(0, 5) << chosen << true << QList<int>(3, 114)
        << intro + u"Cannot read {IN}/m3.csv: File not found\r\nThe same failure happened for 1 more file:\r\n"
                   "{IN}/m4.csv\r\n"_qs
        << 114;
    // A failure that names the file's document, not the file: the same form, the others named once each.
    QStringList unwritable;
    for (int i = 0; i < 6; ++i)
        unwritable.append(QStringLiteral("+a%1.csv").arg(i));
    QTest::newRow("documents that cannot be written")
        << unwritable << chosen << true << QList<int>(3, 168)
        << intro + u"Cannot write {OUT}/a3.htm: Filename refers to a directory\r\nThe same failure happened for 2 more "
                   "files:\r\n{IN}/a4.csv\r\n{IN}/a5.csv\r\n"_qs
        << 168;
    QTest::newRow("missing files, each printed") << absent << chosen << false << QList<int>(10, 114) << QString() << 0;
    // Each kind has its own few boxes, and a kind that came only a few times is not in the summary; the summary
    // names the place of the first report it holds.
    QStringList mixed = absent;
    mixed.insert(1, u"d0/a.csv"_qs);
    mixed.insert(2, u"d1/a.csv"_qs);
    mixed.insert(5, u"-x/a.csv"_qs);
    QTest::newRow("two kinds and a refusal")
        << mixed << chosen << true << QList<int>{114, 114, 114}
        << intro + oneRefused + named(keptFor({u"d1/a.csv"_qs}, u"d0/a.csv"_qs), 0) +
               u"\r\n\"Save results in folder of original file\" converts it beside its source.\r\n\r\n"_qs +
               missing(u"x/a.csv"_qs, 7, {u"m3.csv"_qs, u"m4.csv"_qs, u"m5.csv"_qs, u"m6.csv"_qs, u"m7.csv"_qs}, 2) +
               u"\r\n"_qs
        << 168;
}

// A run over many failing entries: the window shows a few boxes of each kind and one summary for the rest, the
// converter has every report; no document is written twice and the run ends with "Done." either way.
void tst_ConvertRun::repeatedReportsAreGathered()
{
    QFETCH(QStringList, sources);
    QFETCH(int, mode);
    QFETCH(bool, gathers);
    QFETCH(QList<int>, shown);
    QFETCH(QString, summary);
    QFETCH(int, summaryLine);

    test::TempTree tree;
    test::RecordingRunHost host;
    host.gathers = gathers;
    host.options.OutputMode = OutputMode(mode);
    host.options.OutputFolder = tree.makeFolder(QStringLiteral("out"));
    const QString in = tree.makeFolder(QStringLiteral("in"));
    for (const QString& source : sources) {
        if (source.startsWith(QLatin1Char('-'))) {
            host.entries.append(QDir::toNativeSeparators(in + QLatin1Char('/') + source.mid(1)));
        } else if (source.startsWith(QLatin1Char('+'))) {
            // Its document's name is a folder's.
            host.entries.append(tree.writeFile(QStringLiteral("in/") + source.mid(1), "1\n"));
            tree.makeFolder(QStringLiteral("out/") + OutputFileName(source.mid(1)));
        } else {
            host.entries.append(tree.writeFile(QStringLiteral("in/") + source, "1\n"));
        }
    }
    bool converting = false;

    RunConversion(host, converting);

    if (!summary.isEmpty()) {
        QVERIFY(!host.reports.isEmpty());
        const test::RecordedReport last = host.reports.takeLast();
        QCOMPARE(last.description,
                 QDir::toNativeSeparators(
                     summary.replace(QStringLiteral("{IN}"), in).replace(QStringLiteral("{OUT}"), host.options.OutputFolder)));
        QCOMPARE(last.tag, LocationTag::convertVantrel());
        QCOMPARE(last.line, summaryLine);
    }
    QCOMPARE(host.reportLines(), shown);
    QCOMPARE(host.messages, QStringList{kDone});
}

QTEST_GUILESS_MAIN(tst_ConvertRun)
#include "tst_ConvertRun.moc"
