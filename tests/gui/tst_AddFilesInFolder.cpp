// SPDX-License-Identifier: MIT
#include <QtTest>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include <QPushButton>

#include "app/PointerScheme.h"
#include "core/app/ErrorReport.h"
#include "filelist/FileListView.h"
#include "support/core/DescriptorExhaustion.h"
#include "support/core/UnixOnly.h"
#include "support/gui/WindowFixture.h"

using namespace ostrand;
using namespace ostrand::test;

namespace {

const QString kPrompt = u"Enter file extension to load:"_qs + u"\r\r"_qs +
                        u"(* for all files, txt for all txt files, doc for all doc files, etc.)"_qs;

void writeFiles(const TempTree& tree, const QStringList& relative)
{
    for (const QString& file : relative)
        tree.writeFile(file, "1,2\n");
}

QStringList under(const TempTree& tree, const QStringList& relative)
{
    QStringList paths;
    for (const QString& r : relative)
        paths.append(tree.path(r));
    return paths;
}

// R with subfolders A and B, A holding A1, B holding B1 and B2; a dot-folder and links to folders
// beside them, each holding CSV files of its own.
void writeScanOrderTree(const TempTree& tree)
{
    writeFiles(tree, {u"R/y.csv"_qs, u"R/X.csv"_qs, u"R/B/b.csv"_qs, u"R/A/a.csv"_qs, u"R/A/A1/a1.csv"_qs,
                      u"R/B/B2/b2.csv"_qs, u"R/B/B1/b1.csv"_qs, u"R/.git/g.csv"_qs, u"R/B/.cache/c.csv"_qs,
                      u"outside/o.csv"_qs});
    QVERIFY(QFile::link(tree.path(u"R/A"_qs), tree.path(u"R/B/linkToA"_qs)));
    QVERIFY(QFile::link(tree.path(u"outside"_qs), tree.path(u"R/linkOut"_qs)));
    tree.hideDotNames();
}

// One folder with files of every kind the command tells apart, and a subfolder.
void writeMixedTree(const TempTree& tree)
{
    writeFiles(tree, {u"R/a.csv"_qs, u"R/~$b.csv"_qs, u"R/.c.csv"_qs, u"R/d.txt"_qs, u"R/e..csv"_qs, u"R/f.CSV"_qs,
                      u"R/noext"_qs, u"R/sub/g.csv"_qs, u"R/sub/~h.txt"_qs});
    tree.hideDotNames();
}

} // namespace

class tst_AddFilesInFolder : public QObject
{
    Q_OBJECT

private slots:
    void scanOrder_data();
    void scanOrder();
    void extensions_data();
    void extensions();
    void sameFolderTwice();
    void stopsWithoutAnAnswerOrAFolder_data();
    void stopsWithoutAnAnswerOrAFolder();
    void browserStartsAtTheLastFolder();
    void busyWhileScanning();
    void closingMidScan_data();
    void closingMidScan();
    void folderThatCannotBeListedIsReportedOnce();
    void namesNotValidUtf8AreToldOfOnce_data();
    void namesNotValidUtf8AreToldOfOnce();
};

void tst_AddFilesInFolder::scanOrder_data()
{
    QTest::addColumn<QString>("chosenSuffix");

    QTest::newRow("folder as chosen") << QString();
    QTest::newRow("with a trailing separator") << u"/"_qs;
}

void tst_AddFilesInFolder::scanOrder()
{
    QFETCH(QString, chosenSuffix);

    WindowFixture fixture;
    const TempTree& tree = fixture.tree();
    writeScanOrderTree(tree);
    Form1& form = fixture.open();
    fixture.dialogs.queueInput(u"csv"_qs);
    fixture.dialogs.queueFolder(tree.path(u"R"_qs) + chosenSuffix);

    form.PushButton5->click();

    // Level by level, the chosen folder's own files first; dot-folders and links are not entered.
    QCOMPARE(form.ListView1->entries(), under(tree, {u"R/X.csv"_qs, u"R/y.csv"_qs, u"R/A/a.csv"_qs, u"R/B/b.csv"_qs,
                                                     u"R/A/A1/a1.csv"_qs, u"R/B/B1/b1.csv"_qs, u"R/B/B2/b2.csv"_qs}));
    QCOMPARE(fixture.dialogs.callsOf(DialogKind::ErrorReport).size(), 0);
    QCOMPARE(fixture.stored(u"LastFolder"_qs), tree.path(u"R"_qs) + native(chosenSuffix));
    QCOMPARE(form.pointer().pointer(), MousePointer::Default);
}

void tst_AddFilesInFolder::extensions_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("added");

    QTest::newRow("csv") << u"csv"_qs << QStringList{u"R/a.csv"_qs, u"R/e..csv"_qs, u"R/f.CSV"_qs, u"R/sub/g.csv"_qs};
    QTest::newRow("CSV matches regardless of case")
        << u"CSV"_qs << QStringList{u"R/a.csv"_qs, u"R/e..csv"_qs, u"R/f.CSV"_qs, u"R/sub/g.csv"_qs};
    QTest::newRow("* adds every file but ~ names and hidden files")
        << u"*"_qs
        << QStringList{u"R/a.csv"_qs, u"R/d.txt"_qs, u"R/e..csv"_qs, u"R/f.CSV"_qs, u"R/noext"_qs, u"R/sub/g.csv"_qs};
    QTest::newRow("a leading dot is kept: *..csv") << u".csv"_qs << QStringList{u"R/e..csv"_qs};
    QTest::newRow("txt") << u"txt"_qs << QStringList{u"R/d.txt"_qs};
    QTest::newRow("no such files") << u"doc"_qs << QStringList();
}

void tst_AddFilesInFolder::extensions()
{
    QFETCH(QString, answer);
    QFETCH(QStringList, added);

    WindowFixture fixture;
    writeMixedTree(fixture.tree());
    Form1& form = fixture.open();
    fixture.dialogs.queueInput(answer);
    fixture.dialogs.queueFolder(fixture.tree().path(u"R"_qs));

    form.PushButton5->click();

    QCOMPARE(form.ListView1->entries(), under(fixture.tree(), added));
    QCOMPARE(fixture.stored(u"Extension"_qs), answer);

    const QList<DialogCall> inputs = fixture.dialogs.callsOf(DialogKind::InputText);
    QCOMPARE(inputs.size(), 1);
    QCOMPARE(inputs.first().text, kPrompt);
    QCOMPARE(inputs.first().title, QStringLiteral("Ostrand Table Converter"));
    QCOMPARE(inputs.first().detail, u"csv"_qs); // the first run's default
    const QList<DialogCall> browsers = fixture.dialogs.callsOf(DialogKind::BrowseForFolder);
    QCOMPARE(browsers.size(), 1);
    QCOMPARE(browsers.first().title, u"Please select folder:"_qs);
    QCOMPARE(browsers.first().detail, QString());
}

void tst_AddFilesInFolder::sameFolderTwice()
{
    WindowFixture fixture;
    writeMixedTree(fixture.tree());
    Form1& form = fixture.open();
    for (int i = 0; i < 2; ++i) {
        fixture.dialogs.queueInput(u"csv"_qs);
        fixture.dialogs.queueFolder(fixture.tree().path(u"R"_qs));
    }

    form.PushButton5->click();
    const QStringList once = form.ListView1->entries();
    form.PushButton5->click();

    QCOMPARE(once.size(), 4);
    QCOMPARE(form.ListView1->entries(), once + once);
    QCOMPARE(fixture.dialogs.callsOf(DialogKind::InputText).last().detail, u"csv"_qs);
}

void tst_AddFilesInFolder::stopsWithoutAnAnswerOrAFolder_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("browserOpens");
    QTest::addColumn<QString>("extensionAfter");

    QTest::newRow("empty answer") << QString() << false << u"txt"_qs;
    QTest::newRow("browser cancelled") << u"csv"_qs << true << u"csv"_qs;
}

void tst_AddFilesInFolder::stopsWithoutAnAnswerOrAFolder()
{
    QFETCH(QString, answer);
    QFETCH(bool, browserOpens);
    QFETCH(QString, extensionAfter);

    WindowFixture fixture;
    writeMixedTree(fixture.tree());
    fixture.store(u"Extension"_qs, u"txt"_qs);
    fixture.store(u"LastFolder"_qs, fixture.tree().path(u"R"_qs));
    Form1& form = fixture.open();
    fixture.dialogs.queueInput(answer);
    if (browserOpens)
        fixture.dialogs.queueFolder(QString());

    form.PushButton5->click();

    QCOMPARE(fixture.dialogs.callsOf(DialogKind::InputText).first().detail, u"txt"_qs);
    QCOMPARE(fixture.dialogs.callsOf(DialogKind::BrowseForFolder).size(), browserOpens ? 1 : 0);
    QCOMPARE(form.ListView1->entryCount(), qsizetype(0));
    QCOMPARE(fixture.stored(u"Extension"_qs), extensionAfter);
    QCOMPARE(fixture.stored(u"LastFolder"_qs), fixture.tree().path(u"R"_qs));
    QCOMPARE(form.pointer().pointer(), MousePointer::Default);
    QVERIFY(fixture.dialogs.unanswered.isEmpty());
}

void tst_AddFilesInFolder::browserStartsAtTheLastFolder()
{
    WindowFixture fixture;
    writeMixedTree(fixture.tree());
    const QString first = fixture.tree().path(u"R"_qs);
    const QString second = fixture.tree().path(u"R/sub"_qs);
    fixture.store(u"LastFolder"_qs, u"/where/it/was"_qs);
    Form1& form = fixture.open();
    fixture.dialogs.queueInput(u"csv"_qs);
    fixture.dialogs.queueFolder(first);
    fixture.dialogs.queueInput(u"csv"_qs);
    fixture.dialogs.queueFolder(second);
    form.PushButton5->click();
    form.PushButton5->click();

    fixture.open(); // the next start of the program
    fixture.dialogs.queueInput(u"csv"_qs);
    fixture.dialogs.queueFolder(QString());
    fixture.form().PushButton5->click();

    QStringList starts;
    for (const DialogCall& call : fixture.dialogs.callsOf(DialogKind::BrowseForFolder))
        starts.append(call.detail);
    QCOMPARE(starts, (QStringList{u"/where/it/was"_qs, first, second}));
}

void tst_AddFilesInFolder::busyWhileScanning()
{
    WindowFixture fixture;
    writeScanOrderTree(fixture.tree());
    Form1& form = fixture.open();
    form.ListView1->AppendEntries({u"/listed/before.csv"_qs, u"/listed/too.csv"_qs});
    form.ListView1->selectEntry(1);
    fixture.dialogs.queueInput(u"csv"_qs);
    fixture.dialogs.queueFolder(fixture.tree().path(u"R"_qs));

    // Runs at the scan's first yield to the window's events.
    QList<MousePointer> seen;
    QTimer::singleShot(0, &form, [&] {
        seen.append(form.pointer().pointer());
        QTest::keyClick(form.ListView1, Qt::Key_Delete);
        form.PushButton7->click();
        seen.append(form.pointer().pointer());
    });
    form.PushButton5->click();

    QCOMPARE(seen, (QList<MousePointer>{MousePointer::Busy, MousePointer::Busy}));
    QCOMPARE(form.ListView1->entryCount(), qsizetype(2 + 7));
    QCOMPARE(form.ListView1->entry(1), u"/listed/before.csv"_qs);
    QCOMPARE(form.pointer().pointer(), MousePointer::Default);
}

void tst_AddFilesInFolder::closingMidScan_data()
{
    QTest::addColumn<int>("turns"); // turns of the event loop during the scan before the window is closed
    for (const int turns : {0, 1, 2, 3})
        QTest::addRow("closed after %d turn(s)", turns) << turns;
}

// A scan ended by the window's close says nothing more: not the notice of names it skipped (a folder whose name
// is not valid UTF-8 is in the tree), no report; the list holds what was delivered before the close.
void tst_AddFilesInFolder::closingMidScan()
{
    QFETCH(int, turns);
    WindowFixture fixture;
    writeScanOrderTree(fixture.tree());
    QVERIFY(fixture.tree().writeFileNamed(u"R/z"_qs, "b\xFF.csv", "1\n"));
    // Enough folders that the scan lasts several turns.
    constexpr int kFolders = 3000;
    for (int i = 0; i < kFolders; ++i)
        QVERIFY(QDir().mkpath(fixture.tree().path(u"R/many/%1"_qs.arg(i))));
    Form1& form = fixture.openShown();
    fixture.dialogs.queueInput(u"csv"_qs);
    fixture.dialogs.queueFolder(fixture.tree().path(u"R"_qs));
    qsizetype entriesAtClose = -1;
    std::function<void(int)> closeAfter = [&](int left) {
        QTimer::singleShot(0, &form, [&, left] {
            if (left > 0) {
                closeAfter(left - 1);
                return;
            }
            entriesAtClose = form.ListView1->entryCount();
            form.close();
        });
    };
    closeAfter(turns);

    form.PushButton5->click();

    QVERIFY(form.isClosing());
    QVERIFY(entriesAtClose >= 0);
    QCOMPARE(form.ListView1->entryCount(), entriesAtClose);
    QVERIFY(form.ListView1->entryCount() < 7);
    QCOMPARE(form.pointer().pointer(), MousePointer::Default);
    QCOMPARE(fixture.dialogs.callsOf(DialogKind::ErrorReport).size(), 0);
    QCOMPARE(fixture.dialogs.callsOf(DialogKind::Message).size(), 0);
}

void tst_AddFilesInFolder::folderThatCannotBeListedIsReportedOnce()
{
    OSTRAND_UNIX_ONLY("a descriptor limit a test can lower (setrlimit) to make every open fail");
    WindowFixture fixture;
    writeFiles(fixture.tree(), {u"R/a.csv"_qs, u"R/sub/b.csv"_qs});
    Form1& form = fixture.open();
    fixture.dialogs.queueInput(u"csv"_qs);
    fixture.dialogs.queueFolder(fixture.tree().path(u"R"_qs));
    // No folder can be opened from the moment the folder is chosen.
    std::unique_ptr<DescriptorExhaustion> exhaustion;
    fixture.dialogs.onCall = [&](const DialogCall& call) {
        if (call.kind == DialogKind::BrowseForFolder)
            exhaustion = std::make_unique<DescriptorExhaustion>();
    };

    form.PushButton5->click();
    const bool exhausted = exhaustion && exhaustion->active();
    exhaustion.reset();
    QVERIFY(exhausted);

    const QStringList reports = fixture.dialogs.textsOf(DialogKind::ErrorReport);
    QCOMPARE(reports.size(), 1);
    QCOMPARE(reports.first(), QString::fromLocal8Bit(std::strerror(EMFILE)) +
                                  u"\r\nin DravikTitle2021/08/31.AddFolder.GetSubDirectories2016 at line 102\r\r"
                                  "Please email screenshot of this message to "_qs +
                                  supportAddress());
    QCOMPARE(form.ListView1->entryCount(), qsizetype(0));
    QCOMPARE(form.pointer().pointer(), MousePointer::Default);
}

void tst_AddFilesInFolder::namesNotValidUtf8AreToldOfOnce_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<QStringList>("messages");

    const QString skipped = u" files in the chosen folder and its subfolders were skipped: their names, or the "
                            "names of their folders, are not valid UTF-8."_qs;
    // Besides the files, a folder whose own name is not valid UTF-8 holds x.csv, y.txt, .h.csv and sub/z.csv.
    QTest::newRow("csv: two folders with such names, one notice")
        << u"csv"_qs << QStringList{u"R/a.csv"_qs, u"R/sub/c.csv"_qs} << QStringList{u"5"_qs + skipped};
    QTest::newRow("*: every kind of file counts")
        << u"*"_qs << QStringList{u"R/a.csv"_qs, u"R/sub/c.csv"_qs} << QStringList{u"7"_qs + skipped};
    QTest::newRow("txt: only the names the pattern takes")
        << u"txt"_qs << QStringList() << QStringList{u"2"_qs + skipped};
    QTest::newRow("doc: nothing skipped, nothing said") << u"doc"_qs << QStringList() << QStringList();
}

// Files whose names are not valid UTF-8 cannot be listed; the user is told how many were left out in one
// plain message once the scan is done, not in a box per file or folder.
void tst_AddFilesInFolder::namesNotValidUtf8AreToldOfOnce()
{
    QFETCH(QString, answer);
    QFETCH(QStringList, added);
    QFETCH(QStringList, messages);
#ifdef Q_OS_WIN
    Q_UNUSED(answer);
    Q_UNUSED(added);
    Q_UNUSED(messages);
    QSKIP("Windows names are UTF-16: no file is named by bytes that are not UTF-8");
#else

    WindowFixture fixture;
    const TempTree& tree = fixture.tree();
    writeFiles(tree, {u"R/a.csv"_qs, u"R/sub/c.csv"_qs});
    QVERIFY(tree.writeFileNamed(u"R"_qs, "b\xFF.csv", "1\n"));
    QVERIFY(tree.writeFileNamed(u"R/sub"_qs, "\xFE\xFE.csv", "1\n"));
    QVERIFY(tree.writeFileNamed(u"R/sub"_qs, "d\xE9.csv", "1\n"));
    QVERIFY(tree.writeFileNamed(u"R/sub"_qs, "e\xFF.txt", "1\n"));
    const QByteArray unreachable = QFile::encodeName(tree.path(u"R"_qs)) + "/f\xFF";
    QCOMPARE(::mkdir(unreachable.constData(), 0700), 0);
    QCOMPARE(::mkdir((unreachable + "/sub").constData(), 0700), 0);
    for (const char* name : {"f\xFF/x.csv", "f\xFF/y.txt", "f\xFF/.h.csv", "f\xFF/sub/z.csv"})
        QVERIFY(tree.writeFileNamed(u"R"_qs, name, "1\n"));
    Form1& form = fixture.open();
    fixture.dialogs.queueInput(answer);
    fixture.dialogs.queueFolder(tree.path(u"R"_qs));
    qsizetype entriesAtMessage = -1;
    MousePointer pointerAtMessage = MousePointer::Busy;
    fixture.dialogs.onCall = [&](const DialogCall& call) {
        if (call.kind == DialogKind::Message) {
            entriesAtMessage = form.ListView1->entryCount();
            pointerAtMessage = form.pointer().pointer();
        }
    };

    form.PushButton5->click();

    QCOMPARE(form.ListView1->entries(), under(tree, added));
    QCOMPARE(fixture.dialogs.textsOf(DialogKind::Message), messages);
    QCOMPARE(fixture.dialogs.callsOf(DialogKind::ErrorReport).size(), 0);
    if (!messages.isEmpty()) {
        const DialogCall notice = fixture.dialogs.callsOf(DialogKind::Message).first();
        QCOMPARE(notice.title, QStringLiteral("Ostrand Table Converter"));
        QCOMPARE(notice.buttons, u"OK"_qs);
        // Told after the scan, with every file appended and the hourglass gone.
        QCOMPARE(entriesAtMessage, added.size());
        QCOMPARE(pointerAtMessage, MousePointer::Default);
    }
#endif
}

QTEST_MAIN(tst_AddFilesInFolder)
#include "tst_AddFilesInFolder.moc"
