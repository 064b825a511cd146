// SPDX-License-Identifier: MIT
#include <QtTest>

#include <cstring>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "core/filelist/FolderExpansion.h"
#include "support/core/DescriptorExhaustion.h"
#include "support/core/ScanHosts.h"
#include "support/core/TempTree.h"
#include "support/core/Unprivileged.h"

using namespace ostrand;

namespace {

// R holds files of several kinds, names beginning with "~", hidden files, a FIFO, links, a dot-folder
// and a folder whose name looks like a file's.
void makeSampleTree(const test::TempTree& tree)
{
    for (const char* file :
         {"R/a.csv", "R/~$b.csv", "R/.c.csv", "R/d.txt", "R/E.CSV", "R/x..csv", "R/sub/e.csv", "R/sub/~f.csv",
          "R/sub/g.txt", "R/sub/.h.txt", "R/.git/h.csv", "R/sub2/i.csv", "R/folder.csv/j.csv"})
        tree.writeFile(QString::fromLatin1(file), "1,2\n");
    QFile::link(tree.path(u"R/a.csv"_qs), tree.path(u"R/filelink.csv"_qs));
    QFile::link(tree.path(u"R/sub"_qs), tree.path(u"R/link"_qs));
    ::mkfifo(QFile::encodeName(tree.path(u"R/pipe.csv"_qs)).constData(), 0644);
}

// A socket file at the path, as a program serving on it leaves behind.
bool makeSocketFile(const QString& path)
{
    const QByteArray encoded = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (std::size_t(encoded.size()) >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, encoded.constData(), std::size_t(encoded.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return bound;
}

QStringList underR(const test::TempTree& tree, const QStringList& relative)
{
    QStringList paths;
    for (const QString& r : relative)
        paths.append(tree.path(u"R/"_qs + r));
    return paths;
}

struct Delivery
{
    QString folder;
    bool ok = false;
    QStringList paths;
    QString error;
};

} // namespace

class tst_FolderExpansion : public QObject
{
    Q_OBJECT

private slots:
    void pattern_data();
    void pattern();
    void filesOfTree_data();
    void filesOfTree();
    void deliveredFolderByFolder();
    void folderWithTrailingSeparator();
    void missingFolderAddsNothing();
    void readFailures();
    void foldersAnOrdinaryUserMayNotSearch_data();
    void foldersAnOrdinaryUserMayNotSearch();
    void stopBeforeAnyFolder();
    void entriesOfEveryKindInAScannedFolder_data();
    void entriesOfEveryKindInAScannedFolder();
    void stopWhileALargeFolderIsTaken();
    void namesNotValidUtf8AreCountedNeverListed();
};

void tst_FolderExpansion::pattern_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("expected");

    QTest::newRow("extension") << u"csv"_qs << u"*.csv"_qs;
    QTest::newRow("every file") << u"*"_qs << u"*.*"_qs;
    QTest::newRow("leading dot kept") << u".csv"_qs << u"*..csv"_qs;
    QTest::newRow("blanks kept") << u" txt"_qs << u"*. txt"_qs;
    QTest::newRow("wildcards take part") << u"c?v"_qs << u"*.c?v"_qs;
}

void tst_FolderExpansion::pattern()
{
    QFETCH(QString, answer);
    QFETCH(QString, expected);
    QCOMPARE(PatternForExtension(answer), expected);
}

void tst_FolderExpansion::filesOfTree_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("expected");

    // Folders in scan order: R, R/folder.csv, R/sub, R/sub2 (not .git, not the link); files in listing order.
    QTest::newRow("csv")
        << PatternForExtension(u"csv"_qs)
        << QStringList{u"a.csv"_qs,     u"E.CSV"_qs,     u"filelink.csv"_qs, u"x..csv"_qs, u"folder.csv/j.csv"_qs,
                       u"sub/e.csv"_qs, u"sub2/i.csv"_qs};
    QTest::newRow("every file") << u"*.*"_qs << QStringList{u"a.csv"_qs,        u"d.txt"_qs,     u"E.CSV"_qs,
                                                            u"filelink.csv"_qs, u"x..csv"_qs,    u"folder.csv/j.csv"_qs,
                                                            u"sub/e.csv"_qs,    u"sub/g.txt"_qs, u"sub2/i.csv"_qs};
    QTest::newRow("leading-dot answer") << PatternForExtension(u".csv"_qs) << QStringList{u"x..csv"_qs};
    QTest::newRow("txt") << PatternForExtension(u"txt"_qs) << QStringList{u"d.txt"_qs, u"sub/g.txt"_qs};
    QTest::newRow("nothing matches") << PatternForExtension(u"doc"_qs) << QStringList();
}

void tst_FolderExpansion::filesOfTree()
{
    QFETCH(QString, pattern);
    QFETCH(QStringList, expected);
    test::TempTree tree;
    makeSampleTree(tree);
    test::RecordingScanHost host;
    QCOMPARE(CollectFilesInTree(tree.path(u"R"_qs), pattern, host), underR(tree, expected));
    QCOMPARE(host.reports.size(), 0);
}

void tst_FolderExpansion::deliveredFolderByFolder()
{
    test::TempTree tree;
    makeSampleTree(tree);
    test::RecordingScanHost host;
    QList<Delivery> deliveries;
    const FolderFilesReceiver receive = [&](const QString& folder, const Result<QStringList>& paths) {
        deliveries.append({folder, paths.ok(), paths.ok() ? paths.value() : QStringList(), paths.error()});
    };
    CollectFilesInTree(tree.path(u"R"_qs), u"*.txt"_qs, host, receive);

    QStringList folders;
    for (const Delivery& d : std::as_const(deliveries)) {
        folders.append(d.folder);
        QVERIFY(d.ok);
    }
    QCOMPARE(folders, (QStringList{tree.path(u"R"_qs), tree.path(u"R/folder.csv"_qs), tree.path(u"R/sub"_qs),
                                   tree.path(u"R/sub2"_qs)}));
    QCOMPARE(deliveries.at(0).paths, underR(tree, {u"d.txt"_qs}));
    QCOMPARE(deliveries.at(1).paths, QStringList());
    QCOMPARE(deliveries.at(2).paths, underR(tree, {u"sub/g.txt"_qs}));

    // The same folder twice gives every file twice: nothing is compared with what came before.
    QStringList twice = CollectFilesInTree(tree.path(u"R"_qs), u"*.txt"_qs, host);
    twice += CollectFilesInTree(tree.path(u"R"_qs), u"*.txt"_qs, host);
    QCOMPARE(twice, underR(tree, {u"d.txt"_qs, u"sub/g.txt"_qs, u"d.txt"_qs, u"sub/g.txt"_qs}));
}

void tst_FolderExpansion::folderWithTrailingSeparator()
{
    // A top folder such as "/" already ends in the separator; the doubled separators are cleaned away.
    test::TempTree tree;
    makeSampleTree(tree);
    test::RecordingScanHost host;
    const QStringList plain = CollectFilesInTree(tree.path(u"R"_qs), u"*.csv"_qs, host);
    QCOMPARE(CollectFilesInTree(tree.path(u"R/"_qs), u"*.csv"_qs, host), plain);
}

void tst_FolderExpansion::missingFolderAddsNothing()
{
    test::TempTree tree;
    test::RecordingScanHost host;
    QCOMPARE(CollectFilesInTree(tree.path(u"missing"_qs), u"*.*"_qs, host), QStringList());
    QCOMPARE(host.reports.size(), 0);
}

void tst_FolderExpansion::readFailures()
{
    // The scan reports its own failure with its tag; the file listing's failure goes to the receiver.
    test::TempTree tree;
    tree.writeFile(u"R/a.csv"_qs, "x");
    test::RecordingScanHost host;
    QList<Delivery> deliveries;
    {
        test::DescriptorExhaustion exhaustion;
        QVERIFY(exhaustion.active());
        CollectFilesInTree(tree.path(u"R"_qs), u"*.*"_qs, host,
                           [&](const QString& folder, const Result<QStringList>& paths) {
                               deliveries.append({folder, paths.ok(), QStringList(), paths.error()});
                           });
    }
    const QString tooMany = QString::fromLocal8Bit(std::strerror(EMFILE));
    QCOMPARE(host.reports.size(), 1);
    QCOMPARE(host.reports.at(0).tag, u"in DravikTitle2021/08/31.AddFolder.GetSubDirectories2016 "_qs);
    QCOMPARE(host.reports.at(0).line, 102);
    QCOMPARE(host.reports.at(0).description, tooMany);
    // Reported once: the folder comes without files.
    QCOMPARE(deliveries.size(), 1);
    QCOMPARE(deliveries.at(0).folder, tree.path(u"R"_qs));
    QVERIFY(deliveries.at(0).ok);
    QCOMPARE(deliveries.at(0).paths, QStringList());
}

void tst_FolderExpansion::foldersAnOrdinaryUserMayNotSearch_data()
{
    QTest::addColumn<QString>("unsearchable"); // relative to the tree
    QTest::addColumn<bool>("readable");        // its names may still be listed
    QTest::addColumn<QString>("expected");     // the deliveries, relative to the tree, and the reports

    QTest::newRow("a subfolder that may be read but not searched")
        << u"P/R"_qs << true << u"P: P/x.csv | P/R: | P/S: P/S/y.csv | reports: 0"_qs;
    QTest::newRow("the folder asked for may be read but not searched") << u"P"_qs << true << u"P: | reports: 0"_qs;
    QTest::newRow("a subfolder that may not be read")
        << u"P/R"_qs << false << u"P: P/x.csv | P/S: P/S/y.csv | reports: 0"_qs;
    QTest::newRow("the folder asked for may not be read")
        << u"P"_qs << false << u"P: failed: "_qs + QString::fromLocal8Bit(std::strerror(EACCES)) + u" | reports: 0"_qs;
}

void tst_FolderExpansion::foldersAnOrdinaryUserMayNotSearch()
{
    QFETCH(QString, unsearchable);
    QFETCH(bool, readable);
    QFETCH(QString, expected);

    test::TempTree tree;
    for (const char* file : {"P/x.csv", "P/R/a.csv", "P/R/sub/b.csv", "P/S/y.csv"})
        tree.writeFile(QString::fromLatin1(file), "1\n");
    const test::ModeChange reachable(tree.root(), 0755);
    const test::ModeChange closed(tree.path(unsearchable), readable ? test::readButNotSearchMode() : mode_t(0));
    QVERIFY(reachable.changed() && closed.changed());

    const QString root = tree.root() + u"/"_qs;
    QString why;
    const std::optional<QByteArray> answer = test::runUnprivileged(
        [&] {
            test::RecordingScanHost host;
            QStringList seen;
            CollectFilesInTree(tree.path(u"P"_qs), u"*.*"_qs, host,
                               [&](const QString& folder, const Result<QStringList>& paths) {
                                   QString line = QString(folder).remove(root) + u":"_qs;
                                   if (paths)
                                       line += u" "_qs + paths.value().join(u' ').remove(root);
                                   else
                                       line += u" failed: "_qs + paths.error();
                                   seen.append(line.trimmed());
                               });
            seen.append(u"reports: "_qs + QString::number(host.reports.size()));
            return seen.join(u" | "_qs).toUtf8();
        },
        &why);
    if (!answer)
        QSKIP(qPrintable(why));
    QCOMPARE(QString::fromUtf8(*answer), expected);
}

void tst_FolderExpansion::stopBeforeAnyFolder()
{
    test::TempTree tree;
    makeSampleTree(tree);
    test::RecordingScanHost host;
    host.onYield = [&](int) { host.stop = true; };
    int delivered = 0;
    CollectFilesInTree(tree.path(u"R"_qs), u"*.*"_qs, host,
                       [&](const QString&, const Result<QStringList>&) { ++delivered; });
    QCOMPARE(delivered, 0);
    QCOMPARE(host.yields, 1);
}

void tst_FolderExpansion::entriesOfEveryKindInAScannedFolder_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("expected");

    // Links to files count as the file they point at; links to folders, dangling links, FIFOs and sockets
    // are no files; a dot-named link to a file is a hidden file.
    const QStringList files{u"S/plain.csv"_qs, u"S/tofile.csv"_qs, u"S/tohidden.csv"_qs, u"S/sub.csv/inner.csv"_qs};
    QTest::newRow("csv") << u"*.csv"_qs << files;
    QTest::newRow("every file") << u"*.*"_qs << files;
}

void tst_FolderExpansion::entriesOfEveryKindInAScannedFolder()
{
    QFETCH(QString, pattern);
    QFETCH(QStringList, expected);
    test::TempTree tree;
    tree.writeFile(u"R/S/plain.csv"_qs, "1,2\n");
    tree.writeFile(u"R/S/.h.csv"_qs, "1,2\n");
    tree.writeFile(u"R/S/~t.csv"_qs, "1,2\n");
    tree.writeFile(u"R/S/sub.csv/inner.csv"_qs, "1,2\n");
    QVERIFY(QFile::link(tree.path(u"R/S/plain.csv"_qs), tree.path(u"R/S/tofile.csv"_qs)));
    QVERIFY(QFile::link(tree.path(u"R/S/plain.csv"_qs), tree.path(u"R/S/.dotlink.csv"_qs)));
    QVERIFY(QFile::link(tree.path(u"R/S/.h.csv"_qs), tree.path(u"R/S/tohidden.csv"_qs)));
    QVERIFY(QFile::link(tree.path(u"R/S/gone.csv"_qs), tree.path(u"R/S/dangling.csv"_qs)));
    QVERIFY(QFile::link(tree.path(u"R/S/sub.csv"_qs), tree.path(u"R/S/tofolder.csv"_qs)));
    QCOMPARE(::mkfifo(QFile::encodeName(tree.path(u"R/S/fifo.csv"_qs)).constData(), 0644), 0);
    QVERIFY(makeSocketFile(tree.path(u"R/S/socket.csv"_qs)));

    test::RecordingScanHost host;
    QCOMPARE(CollectFilesInTree(tree.path(u"R"_qs), pattern, host), underR(tree, expected));
    QCOMPARE(host.reports.size(), 0);
}

void tst_FolderExpansion::stopWhileALargeFolderIsTaken()
{
    // One folder of many files is read, sorted and taken with yields on the way. A stop at any of them
    // ends the expansion there: the folder is not delivered in part, and nothing more is done.
    test::TempTree tree;
    QStringList expected;
    for (int i = 0; i < 300; ++i) {
        const QString name = u"R/f%1.csv"_qs.arg(299 - i, 3, 10, QLatin1Char('0'));
        tree.writeFile(name, "x");
        expected.prepend(tree.path(name));
    }
    test::RecordingScanHost whole;
    QList<QStringList> deliveries;
    CollectFilesInTree(tree.path(u"R"_qs), u"*.csv"_qs, whole, [&](const QString&, const Result<QStringList>& paths) {
        deliveries.append(paths.ok() ? paths.value() : QStringList());
    });
    QCOMPARE(deliveries, QList<QStringList>{expected});
    // The scan yields before reading R and the expansion after delivering it; the rest fall inside R.
    QVERIFY2(whole.yields > 2, qPrintable(QString::number(whole.yields)));

    for (int stopAt = 1; stopAt < whole.yields; ++stopAt) {
        test::RecordingScanHost host;
        host.onYield = [&](int yield) { host.stop = host.stop || yield == stopAt; };
        int delivered = 0;
        CollectFilesInTree(tree.path(u"R"_qs), u"*.csv"_qs, host,
                           [&](const QString&, const Result<QStringList>&) { ++delivered; });
        QCOMPARE(delivered, 0);
        QCOMPARE(host.yields, stopAt);
    }
}

// A name whose bytes are not valid UTF-8 cannot be handed on: such files are counted for their folder and
// left out, whatever their place in the listing; a folder of that kind is passed over as before.
void tst_FolderExpansion::namesNotValidUtf8AreCountedNeverListed()
{
    test::TempTree tree;
    tree.writeFile(u"T/a.csv"_qs, "a\n");
    tree.writeFile(u"T/sub/c.csv"_qs, "c\n");
    const QByteArray root = QFile::encodeName(tree.root());
    for (const QByteArray& name : {QByteArray("/T/b\xFF.csv"), QByteArray("/T/sub/\xFE\xFE.csv"),
                                   QByteArray("/T/sub/d\xE9.csv"), QByteArray("/T/sub/e\xFF.txt")}) {
        const int fd = ::open((root + name).constData(), O_WRONLY | O_CREAT, 0600);
        QVERIFY(fd >= 0);
        ::close(fd);
    }
    QCOMPARE(::mkdir((root + "/T/f\xFF").constData(), 0700), 0);
    test::RecordingScanHost host;

    const QStringList files = CollectFilesInTree(tree.path(u"T"_qs), PatternForExtension(u"csv"_qs), host);

    QCOMPARE(files, (QStringList{tree.path(u"T/a.csv"_qs), tree.path(u"T/sub/c.csv"_qs)}));
    QCOMPARE(host.undecodable, (QStringList{tree.path(u"T"_qs) + u":1"_qs, tree.path(u"T/sub"_qs) + u":2"_qs}));
    QCOMPARE(host.lines(), QList<int>{});
}

QTEST_GUILESS_MAIN(tst_FolderExpansion)
#include "tst_FolderExpansion.moc"
