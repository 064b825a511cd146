// SPDX-License-Identifier: MIT
#include <QtTest>

#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

#include "core/filelist/FileListing.h"
#include "core/filelist/FolderScan.h"
#include "support/core/DescriptorExhaustion.h"
#include "support/core/ScanHosts.h"
#include "support/core/TempTree.h"

using namespace ostrand;

namespace {

// The scan's folder entries for paths relative to the tree's root: "" is the root itself.
QStringList entries(const test::TempTree& tree, const QStringList& relative)
{
    QStringList result;
    for (const QString& r : relative)
        result.append(r.isEmpty() ? tree.root() + u'/' : tree.path(r));
    return result;
}

QStringList scanTree(const test::TempTree& tree, test::RecordingScanHost& host, bool recurse = true)
{
    QStringList list{tree.root() + u'/'};
    GetSubDirectories2016(list, recurse, host);
    return list;
}

} // namespace

class tst_FolderScan : public QObject
{
    Q_OBJECT

private slots:
    void scan_data();
    void scan();
    void firstLevelOnly();
    void startingEntries_data();
    void startingEntries();
    void linksAreNotFollowed();
    void undecodableNameLeftOut();
    void expandable_data();
    void expandable();
    void folderGoneWhileScanned_data();
    void folderGoneWhileScanned();
    void otherReadFailureIsReported();
    void stopEndsTheScan();
    void pathLengthLimit();
    void namesBeginningWithU8Mark();
};

void tst_FolderScan::scan_data()
{
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("level by level") << QStringList{u"A/A1"_qs, u"B/B1"_qs, u"B/B2"_qs}
                                    << QStringList{u""_qs, u"A/"_qs, u"B/"_qs, u"A/A1/"_qs, u"B/B1/"_qs, u"B/B2/"_qs};
    QTest::newRow("deeper levels last") << QStringList{u"A/A1/A2/A3"_qs, u"B"_qs}
                                        << QStringList{u""_qs,      u"A/"_qs,       u"B/"_qs,
                                                       u"A/A1/"_qs, u"A/A1/A2/"_qs, u"A/A1/A2/A3/"_qs};
    QTest::newRow("no subfolders") << QStringList() << QStringList{u""_qs};
    QTest::newRow("listing order") << QStringList{u"b"_qs, u"_c"_qs, u"a"_qs, u"A"_qs, u"B1"_qs}
                                   << QStringList{u""_qs, u"A/"_qs, u"a/"_qs, u"b/"_qs, u"B1/"_qs, u"_c/"_qs};
    QTest::newRow("dot-folders left out with their subtrees")
        << QStringList{u".git/objects"_qs, u".cache"_qs, u"src/.hidden/deep"_qs, u"src/lib"_qs}
        << QStringList{u""_qs, u"src/"_qs, u"src/lib/"_qs};
    QTest::newRow("unsupported names left out with their subtrees") << QStringList{QString::fromUtf16(u"ctl\u0001/x"),
                                                                                   u"tab\there/x"_qs,
                                                                                   u"what?/x"_qs,
                                                                                   QString::fromUtf16(u"del\u007F/x"),
                                                                                   QString::fromUtf16(u"nel\u0085/x"),
                                                                                   u"ok/x"_qs}
                                                                    << QStringList{u""_qs, u"ok/"_qs, u"ok/x/"_qs};
    QTest::newRow("other names kept") << QStringList{QString::fromUtf16(u"r\u00E9sum\u00E9"), u"with space"_qs,
                                                     u"~tilde"_qs, u"dot.in.name"_qs}
                                      << QStringList{u""_qs, u"dot.in.name/"_qs,
                                                     QString::fromUtf16(u"r\u00E9sum\u00E9/"), u"with space/"_qs,
                                                     u"~tilde/"_qs};
}

void tst_FolderScan::scan()
{
    QFETCH(QStringList, folders);
    QFETCH(QStringList, expected);
    test::TempTree tree;
    for (const QString& folder : std::as_const(folders))
        QVERIFY(QDir().mkpath(tree.path(folder)));
    tree.writeFile(u"A.csv"_qs, "a file is no subfolder");

    test::RecordingScanHost host;
    QCOMPARE(scanTree(tree, host), entries(tree, expected));
    QCOMPARE(host.reports.size(), 0);
}

void tst_FolderScan::firstLevelOnly()
{
    test::TempTree tree;
    for (const char* folder : {"B/B1", "A/A1", ".git"})
        tree.makeFolder(QString::fromLatin1(folder));
    test::RecordingScanHost host;
    QCOMPARE(scanTree(tree, host, false), entries(tree, {u""_qs, u"A/"_qs, u"B/"_qs}));
}

void tst_FolderScan::startingEntries_data()
{
    QTest::addColumn<QStringList>("start");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("missing folder stays")
        << QStringList{u"missing/"_qs, u"R/"_qs} << QStringList{u"missing/"_qs, u"R/"_qs, u"R/A/"_qs};
    QTest::newRow("file stays") << QStringList{u"f.csv/"_qs} << QStringList{u"f.csv/"_qs};
    QTest::newRow("dot-folder stays unread") << QStringList{u".git/"_qs} << QStringList{u".git/"_qs};
    QTest::newRow("the same folder twice")
        << QStringList{u"R/"_qs, u"R/"_qs} << QStringList{u"R/"_qs, u"R/"_qs, u"R/A/"_qs, u"R/A/"_qs};
    QTest::newRow("two folders") << QStringList{u"R/A/"_qs, u"S/"_qs} << QStringList{u"R/A/"_qs, u"S/"_qs, u"S/T/"_qs};
}

void tst_FolderScan::startingEntries()
{
    QFETCH(QStringList, start);
    QFETCH(QStringList, expected);
    test::TempTree tree;
    tree.makeFolder(u"R/A"_qs);
    tree.makeFolder(u"S/T"_qs);
    tree.makeFolder(u".git/objects"_qs);
    tree.writeFile(u"f.csv"_qs, "x");

    test::RecordingScanHost host;
    QStringList list = entries(tree, start);
    GetSubDirectories2016(list, true, host);
    QCOMPARE(list, entries(tree, expected));
    QCOMPARE(host.reports.size(), 0);
}

void tst_FolderScan::linksAreNotFollowed()
{
    test::TempTree tree;
    tree.makeFolder(u"R/real/inner"_qs);
    tree.makeFolder(u"elsewhere/sub"_qs);
    QVERIFY(QFile::link(tree.path(u"R/real"_qs), tree.path(u"R/link"_qs)));
    QVERIFY(QFile::link(tree.path(u"elsewhere"_qs), tree.path(u"R/outside"_qs)));
    // Cycles: a link to the scanned folder itself and one to a folder's own parent.
    QVERIFY(QFile::link(tree.path(u"R"_qs), tree.path(u"R/loop"_qs)));
    QVERIFY(QFile::link(tree.path(u"R/real"_qs), tree.path(u"R/real/inner/up"_qs)));

    test::RecordingScanHost host;
    QStringList list{tree.path(u"R/"_qs)};
    GetSubDirectories2016(list, true, host);
    QCOMPARE(list, entries(tree, {u"R/"_qs, u"R/real/"_qs, u"R/real/inner/"_qs}));
    QCOMPARE(host.reports.size(), 0);
}

void tst_FolderScan::undecodableNameLeftOut()
{
    test::TempTree tree;
    tree.makeFolder(u"ok"_qs);
    const QByteArray root = QFile::encodeName(tree.root());
    const QByteArray bad = root + "/bad\xff";
    const QByteArray inner = bad + "/inner";
    const auto cleanUp = qScopeGuard([&] {
        ::rmdir(inner.constData());
        ::rmdir(bad.constData());
    });
    QCOMPARE(::mkdir(bad.constData(), 0755), 0);
    QCOMPARE(::mkdir(inner.constData(), 0755), 0);

    test::RecordingScanHost host;
    QCOMPARE(scanTree(tree, host), entries(tree, {u""_qs, u"ok/"_qs}));
    QCOMPARE(host.reports.size(), 0);
}

void tst_FolderScan::expandable_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("expected");

    QTest::newRow("folder") << u"plain/"_qs << true;
    QTest::newRow("folder named with a dot inside") << u"v1.2/"_qs << true;
    QTest::newRow("dot-folder") << u".git/"_qs << false;
    QTest::newRow("link to a folder") << u"link/"_qs << false;
    QTest::newRow("file") << u"f.csv"_qs << false;
    QTest::newRow("missing") << u"missing/"_qs << false;
}

void tst_FolderScan::expandable()
{
    QFETCH(QString, relative);
    QFETCH(bool, expected);
    test::TempTree tree;
    tree.makeFolder(u"plain"_qs);
    tree.makeFolder(u"v1.2"_qs);
    tree.makeFolder(u".git"_qs);
    tree.writeFile(u"f.csv"_qs, "x");
    QVERIFY(QFile::link(tree.path(u"plain"_qs), tree.path(u"link"_qs)));
    QCOMPARE(IsExpandableFolder(tree.path(relative)), expected);
    // A drive's top folder is always entered.
    QVERIFY(IsExpandableFolder(u"/"_qs));
}

void tst_FolderScan::folderGoneWhileScanned_data()
{
    // R holds the empty subfolders A, B and C, and some of them vanish while the scan runs.
    QTest::addColumn<QStringList>("removed");

    QTest::newRow("the starting folder") << QStringList{u""_qs};
    QTest::newRow("two folders of one level") << QStringList{u"B"_qs, u"C"_qs};
    QTest::newRow("the last folder") << QStringList{u"C"_qs};
}

void tst_FolderScan::folderGoneWhileScanned()
{
    QFETCH(QStringList, removed);
    const QStringList whole{u""_qs, u"A/"_qs, u"B/"_qs, u"C/"_qs};
    const auto isRemoved = [&](const QString& entry) {
        return removed.contains(u""_qs) || removed.contains(entry.chopped(1));
    };
    int undisturbedYields = 0;
    {
        test::TempTree tree;
        for (const char* folder : {"R/A", "R/B", "R/C"})
            tree.makeFolder(QString::fromLatin1(folder));
        test::RecordingScanHost host;
        QStringList list{tree.path(u"R/"_qs)};
        GetSubDirectories2016(list, true, host);
        undisturbedYields = host.yields;
    }

    // Wherever the scan stands when the folders vanish, it reports nothing and keeps every other folder in
    // its place; and at some point the vanished folders are gone before the scan reaches them, and drop out.
    bool droppedOut = false;
    for (int at = 1; at <= undisturbedYields; ++at) {
        test::TempTree tree;
        for (const char* folder : {"R/A", "R/B", "R/C"})
            tree.makeFolder(QString::fromLatin1(folder));
        test::RecordingScanHost host;
        host.onYield = [&](int yield) {
            for (const QString& folder : std::as_const(removed)) {
                if (yield == at)
                    QDir(tree.path(u"R/"_qs + folder)).removeRecursively();
            }
        };
        QStringList list{tree.path(u"R/"_qs)};
        GetSubDirectories2016(list, true, host);

        QCOMPARE(host.reports.size(), 0);
        qsizetype next = 0;
        QStringList kept;
        for (const QString& entry : whole) {
            const QString path = tree.path(u"R/"_qs + entry);
            if (next < list.size() && list.at(next) == path)
                ++next;
            else
                QVERIFY2(isRemoved(entry), qPrintable(entry + u" missing at yield "_qs + QString::number(at)));
            if (!isRemoved(entry))
                kept.append(path);
        }
        QCOMPARE(next, list.size());
        droppedOut = droppedOut || list == kept;
    }
    QVERIFY(droppedOut);
}

void tst_FolderScan::otherReadFailureIsReported()
{
    test::TempTree tree;
    tree.makeFolder(u"A"_qs);
    test::RecordingScanHost host;
    QStringList list{tree.root() + u'/', tree.path(u"A/"_qs)};
    {
        test::DescriptorExhaustion exhaustion;
        QVERIFY(exhaustion.active());
        GetSubDirectories2016(list, true, host);
    }
    // Neither folder could be read: both are reported, both stay, and nothing was found.
    QCOMPARE(list, entries(tree, {u""_qs, u"A/"_qs}));
    QCOMPARE(host.reports.size(), 2);
    for (const auto& report : std::as_const(host.reports)) {
        QCOMPARE(report.tag, u"in DravikTitle2021/08/31.AddFolder.GetSubDirectories2016 "_qs);
        QCOMPARE(report.line, 102);
        QCOMPARE(report.description, QString::fromLocal8Bit(std::strerror(EMFILE)));
    }
}

void tst_FolderScan::stopEndsTheScan()
{
    test::TempTree tree;
    tree.makeFolder(u"A/A1"_qs);
    tree.makeFolder(u"B"_qs);
    const QStringList whole = entries(tree, {u""_qs, u"A/"_qs, u"B/"_qs, u"A/A1/"_qs});
    test::RecordingScanHost undisturbed;
    QCOMPARE(scanTree(tree, undisturbed), whole);
    // At least once for each of the four folders it reads.
    QVERIFY2(undisturbed.yields >= 4, qPrintable(QString::number(undisturbed.yields)));

    // A stop asked for at any yield ends the scan there: no more yields, and the list holds the starting
    // folder and what the scan had finished, the beginning of the whole result, growing the later the stop.
    qsizetype previous = 1;
    for (int stopAt = 1; stopAt <= undisturbed.yields; ++stopAt) {
        test::RecordingScanHost host;
        host.onYield = [&](int yield) { host.stop = host.stop || yield == stopAt; };
        const QStringList list = scanTree(tree, host);
        QCOMPARE(host.yields, stopAt);
        QVERIFY2(list.size() >= previous, qPrintable(QString::number(stopAt)));
        QCOMPARE(list, whole.first(list.size()));
        previous = list.size();
    }
}

void tst_FolderScan::pathLengthLimit()
{
    // A chain of folders down to F, whose path with its trailing separator is 4095 characters long, and
    // its sibling G at 4096, the limit. Paths that long can only be made step by step from inside.
    test::TempTree tree;
    const QString top = tree.path(u"R"_qs);
    const auto removeChain = qScopeGuard([&] { QProcess::execute(u"rm"_qs, {u"-rf"_qs, top}); });
    const QString savedCurrent = QDir::currentPath();
    const auto restoreCurrent = qScopeGuard([&] { QDir::setCurrent(savedCurrent); });
    QVERIFY(QDir().mkdir(top));
    QVERIFY(QDir::setCurrent(top));

    QStringList expected{top + u'/'};
    QString path = top;
    const QString link(200, u'x');
    while (path.size() + 1 + link.size() < 4080) {
        QVERIFY(QDir().mkdir(link));
        QVERIFY(QDir::setCurrent(link));
        path += u'/' + link;
        expected.append(path + u'/');
    }
    QVERIFY(QFile(u"near.csv"_qs).open(QIODevice::WriteOnly));
    const QString nameF(MaxScanFolderPath - 1 - path.size() - 2, u'f');
    const QString nameG = nameF + u'g';
    for (const QString& folder : {nameF, nameF + u"/child"_qs, nameG, nameG + u"/child"_qs})
        QVERIFY(QDir().mkdir(folder));
    QVERIFY(QFile(nameF + u"/far.csv"_qs).open(QIODevice::WriteOnly));
    const QString folderF = path + u'/' + nameF;
    const QString folderG = path + u'/' + nameG;
    QCOMPARE(folderF.size() + 1, MaxScanFolderPath - 1);
    QCOMPARE(folderG.size() + 1, MaxScanFolderPath);

    // F is read but its subfolder's path is too long to be reached; G is at the limit: listed, not read.
    expected << folderF + u'/' << folderG + u'/';
    test::RecordingScanHost host;
    QStringList list{top + u'/'};
    GetSubDirectories2016(list, true, host);
    QCOMPARE(list, expected);
    QCOMPARE(host.reports.size(), 0);

    // Files whose paths are too long to be reached are not listed; those above them are.
    QCOMPARE(GetFilesInFolder(path, u"*.csv"_qs).value(), QStringList{u"near.csv"_qs});
    QCOMPARE(GetFilesInFolder(folderF, u"*.csv"_qs).value(), QStringList());
}

// A name that begins with U+FEFF is its own, beside a twin without it: both folders are scanned and both files
// listed, each once under its own name.
void tst_FolderScan::namesBeginningWithU8Mark()
{
    const QString mark = QString(QChar(0xFEFF));
    test::TempTree tree;
    for (const QString& folder : {mark + u"sub"_qs, u"sub"_qs}) {
        tree.writeFile(folder + u"/a.csv"_qs, "x");
        tree.writeFile(folder + u'/' + mark + u"a.csv"_qs, "x");
    }

    test::RecordingScanHost host;
    QCOMPARE(scanTree(tree, host), entries(tree, {u""_qs, u"sub/"_qs, mark + u"sub/"_qs}));
    for (const QString& folder : {mark + u"sub"_qs, u"sub"_qs}) {
        const Result<QStringList> names = GetFilesInFolder(tree.path(folder), u"*.csv"_qs);
        QVERIFY(names.ok());
        QCOMPARE(names.value(), (QStringList{u"a.csv"_qs, mark + u"a.csv"_qs}));
    }
    QCOMPARE(host.reports.size(), 0);
}

QTEST_GUILESS_MAIN(tst_FolderScan)
#include "tst_FolderScan.moc"
