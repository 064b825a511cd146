// SPDX-License-Identifier: MIT
#include <QtTest>

#include "core/filelist/SampleCopy.h"
#include "support/core/TempTree.h"
#include "support/core/UnixOnly.h"

using namespace ostrand;
using namespace ostrand::test;

// The samples of a read-only install are converted from the user's own copy.
class tst_SampleCopy : public QObject
{
    Q_OBJECT

private slots:
    void usableFolder_data();
    void usableFolder();
    void unwritableCopyFolderFails();
    void linksWhereCopiesGo_data();
    void linksWhereCopiesGo();
};

void tst_SampleCopy::usableFolder_data()
{
    QTest::addColumn<bool>("writable");      // the shipped Samples folder
    QTest::addColumn<bool>("reachable");     // the user's data folder has a name that reaches it
    QTest::addColumn<QStringList>("before"); // "name=text" already in the user's copy
    QTest::addColumn<QString>("expected");   // "samples" or "copy"
    QTest::addColumn<QStringList>("after");  // "name=text" in the user's copy afterwards

    const QStringList shipped{u".hidden.csv=h"_qs, u"a.csv=1,2"_qs, u"b.csv=3;4"_qs};
    QTest::newRow("writable: used where it is") << true << true << QStringList() << u"samples"_qs << QStringList();
    QTest::newRow("read-only: copied once") << false << true << QStringList() << u"copy"_qs << shipped;
    QTest::newRow("an edited copy is kept") << false << true << QStringList{u"a.csv=mine"_qs} << u"copy"_qs
                                            << QStringList{u".hidden.csv=h"_qs, u"a.csv=mine"_qs, u"b.csv=3;4"_qs};
    QTest::newRow("the user's own files stay")
        << false << true << QStringList{u"z.csv=own"_qs} << u"copy"_qs << shipped + QStringList{u"z.csv=own"_qs};
    // The home folder's name is not valid UTF-8: no copy can be made, and the samples are listed where they are.
    QTest::newRow("read-only, and no folder of the user's") << false << false << QStringList() << u"samples"_qs
                                                            << QStringList();
}

void tst_SampleCopy::usableFolder()
{
    QFETCH(bool, writable);
    QFETCH(bool, reachable);
    QFETCH(QStringList, before);
    QFETCH(QString, expected);
    QFETCH(QStringList, after);

    TempTree tree;
    tree.writeFile(u"share/Samples/a.csv"_qs, "1,2");
    tree.writeFile(u"share/Samples/b.csv"_qs, "3;4");
    tree.writeFile(u"share/Samples/.hidden.csv"_qs, "h");
    tree.writeFile(u"share/Samples/sub/c.csv"_qs, "not a sample");
    const QString samples = tree.path(u"share/Samples"_qs);
    QFile::setPermissions(samples + u"/a.csv"_qs, QFileDevice::ReadOwner | QFileDevice::ReadOther);
    const QString copy = tree.path(u"data/ostrand/Samples"_qs);
    for (const QString& file : before)
        tree.writeFile(u"data/ostrand/Samples/"_qs + file.section(u'=', 0, 0), file.section(u'=', 1).toUtf8());
    const auto shippedBefore = TempTree::snapshot(samples);

    // Asked twice, as two clicks would: the second finds its copies and changes nothing.
    for (int click = 0; click < 2; ++click) {
        const Result<QString> folder = UsableSampleFolder(samples, writable, reachable ? copy : QString());
        QVERIFY2(folder.ok(), qPrintable(folder.error()));
        QCOMPARE(folder.value(), expected == u"samples"_qs ? samples : copy);
    }

    QStringList found;
    const QDir copies(copy);
    for (const QFileInfo& info : copies.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name)) {
        found.append(info.fileName() + u'=' + QString::fromUtf8(TempTree::readFile(info.filePath())));
        QVERIFY2(info.isWritable(), qPrintable(info.filePath()));
    }
    QCOMPARE(found, after);
    QCOMPARE(TempTree::snapshot(samples), shippedBefore);
}

void tst_SampleCopy::unwritableCopyFolderFails()
{
    TempTree tree;
    tree.writeFile(u"share/Samples/a.csv"_qs, "1,2");
    tree.writeFile(u"data"_qs, "a file where the folder should be");

    const Result<QString> folder =
        UsableSampleFolder(tree.path(u"share/Samples"_qs), false, tree.path(u"data/ostrand/Samples"_qs));

    QVERIFY(!folder.ok());
    QVERIFY2(folder.error().contains(tree.path(u"data/ostrand/Samples"_qs)), qPrintable(folder.error()));
}

void tst_SampleCopy::linksWhereCopiesGo_data()
{
    QTest::addColumn<QString>("target"); // what the link data/ostrand/Samples/a.csv points to, from the tree's root
    QTest::newRow("a file of the user's") << u"elsewhere/mine.csv"_qs;
    QTest::newRow("nothing") << u"elsewhere/missing.csv"_qs;
    QTest::newRow("a folder") << u"elsewhere"_qs;
    QTest::newRow("the shipped sample itself") << u"share/Samples/a.csv"_qs;
    QTest::newRow("a read-only file") << u"elsewhere/locked.csv"_qs;
}

// A link standing where a copy goes is the user's: it stays as it is, nothing is written through it (not even
// where it leads nowhere), and the other samples are still copied.
void tst_SampleCopy::linksWhereCopiesGo()
{
    OSTRAND_UNIX_ONLY("symbolic links");
    QFETCH(QString, target);
    TempTree tree;
    tree.writeFile(u"share/Samples/a.csv"_qs, "1,2");
    tree.writeFile(u"share/Samples/b.csv"_qs, "3;4");
    const QString samples = tree.path(u"share/Samples"_qs);
    tree.writeFile(u"elsewhere/mine.csv"_qs, "mine");
    tree.writeFile(u"elsewhere/locked.csv"_qs, "locked");
    QFile::setPermissions(tree.path(u"elsewhere/locked.csv"_qs), QFileDevice::ReadOwner);
    const QString copy = tree.makeFolder(u"data/ostrand/Samples"_qs);
    const QString link = copy + u"/a.csv"_qs;
    QVERIFY(QFile::link(tree.path(target), link));
    const auto before = TempTree::snapshot(tree.root());

    const Result<QString> folder = UsableSampleFolder(samples, false, copy);

    QVERIFY2(folder.ok(), qPrintable(folder.error()));
    QCOMPARE(folder.value(), copy);
    QCOMPARE(QFile::symLinkTarget(link), tree.path(target));
    QCOMPARE(TempTree::readFile(copy + u"/b.csv"_qs), QByteArray("3;4"));
    auto after = TempTree::snapshot(tree.root());
    after.remove(u"/data/ostrand/Samples/b.csv"_qs);
    QCOMPARE(after, before);
}

QTEST_GUILESS_MAIN(tst_SampleCopy)
#include "tst_SampleCopy.moc"
