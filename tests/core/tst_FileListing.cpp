// SPDX-License-Identifier: MIT
#include <QtTest>

#include <algorithm>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/filelist/FileListing.h"
#include "support/core/DescriptorExhaustion.h"
#include "support/core/TempTree.h"
#include "support/core/Unprivileged.h"

using namespace ostrand;

namespace {

// A file whose name is the given bytes, which need not be valid text.
bool makeFileNamedInBytes(const QString& folder, const QByteArray& name)
{
    const QByteArray path = QFile::encodeName(folder) + '/' + name;
    const int fd = ::open(path.constData(), O_CREAT | O_WRONLY, 0644);
    return fd >= 0 && ::close(fd) == 0;
}

// Such a file cannot be removed by its decoded name, so the temporary folder cannot remove it either.
void removeFileNamedInBytes(const QString& folder, const QByteArray& name)
{
    ::unlink((QFile::encodeName(folder) + '/' + name).constData());
}

bool makeFifo(const QString& path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0;
}

} // namespace

class tst_FileListing : public QObject
{
    Q_OBJECT

private slots:
    void unsupportedChars_data();
    void unsupportedChars();
    void listingOrder_data();
    void listingOrder();
    void largeListSortedInSlices();
    void largeListSortStopped();
    void fileCanBeOpened_data();
    void fileCanBeOpened();
    void filesInFolder_data();
    void filesInFolder();
    void filesInFolderKeepsOnlyOpenableFiles();
    void folderThatMayBeReadButNotSearched();
    void filesInFolderInListingOrder();
    void missingFolderHasNoFiles();
    void listingFailureIsPassedOn();
};

void tst_FileListing::unsupportedChars_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("expected");

    QTest::newRow("empty") << QString() << false;
    QTest::newRow("plain") << QStringLiteral("Reports 2021") << false;
    QTest::newRow("space and tilde") << QStringLiteral(" ~") << false;
    QTest::newRow("accents") << QString::fromUtf16(u"r\u00E9sum\u00E9s") << false;
    QTest::newRow("no-break space (160)") << QString::fromUtf16(u"a\u00A0b") << false;
    QTest::newRow("emoji") << QString::fromUtf16(u"\U0001F600") << false;
    QTest::newRow("tab") << QStringLiteral("a\tb") << true;
    QTest::newRow("code 1") << QString::fromUtf16(u"a\u0001") << true;
    QTest::newRow("code 31") << QString::fromUtf16(u"\u001Fb") << true;
    QTest::newRow("delete (127)") << QString::fromUtf16(u"a\u007F") << true;
    QTest::newRow("code 133") << QString::fromUtf16(u"a\u0085b") << true;
    QTest::newRow("code 159") << QString::fromUtf16(u"a\u009F") << true;
    QTest::newRow("question mark") << QStringLiteral("what?") << true;
    QTest::newRow("replacement character") << QString::fromUtf16(u"a\uFFFDb") << true;
}

void tst_FileListing::unsupportedChars()
{
    QFETCH(QString, name);
    QFETCH(bool, expected);
    QCOMPARE(HasUnsupportedChars(name), expected);
}

void tst_FileListing::listingOrder_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("case does not part letters")
        << QStringList{u"b"_qs, u"C"_qs, u"a"_qs} << QStringList{u"a"_qs, u"b"_qs, u"C"_qs};
    QTest::newRow("upper case first on a tie") << QStringList{u"a.csv"_qs, u"A.csv"_qs, u"B.csv"_qs, u"b.csv"_qs}
                                               << QStringList{u"A.csv"_qs, u"a.csv"_qs, u"B.csv"_qs, u"b.csv"_qs};
    QTest::newRow("underscore after letters, digits before")
        << QStringList{u"_x"_qs, u"z"_qs, u"1"_qs, u"Y"_qs} << QStringList{u"1"_qs, u"Y"_qs, u"z"_qs, u"_x"_qs};
    QTest::newRow("dot before letters, underscore after") << QStringList{u"a_b.csv"_qs, u"ab.csv"_qs, u"a.csv"_qs}
                                                          << QStringList{u"a.csv"_qs, u"ab.csv"_qs, u"a_b.csv"_qs};
    QTest::newRow("prefix first") << QStringList{u"data2"_qs, u"data"_qs, u"DATA10"_qs}
                                  << QStringList{u"data"_qs, u"DATA10"_qs, u"data2"_qs};
    QTest::newRow("long shared beginnings")
        << QStringList{u"report-2021-b.csv"_qs, u"report-2021.csv"_qs, u"report-2021-a.csv"_qs, u"REPORT-2021-A.csv"_qs}
        << QStringList{u"REPORT-2021-A.csv"_qs, u"report-2021-a.csv"_qs, u"report-2021-b.csv"_qs,
                       u"report-2021.csv"_qs};
    // Upper case as QString::toUpper gives it beyond ASCII: "ß" becomes "SS", and "Ä" sorts after "Z".
    QTest::newRow("letters beyond ASCII") << QStringList{QString::fromUtf16(u"stra\u00DFe"),
                                                         QString::fromUtf16(u"\u00C4rger"),
                                                         u"zebra"_qs,
                                                         u"STRASSE"_qs,
                                                         u"apfel"_qs,
                                                         QString::fromUtf16(u"\u00E4rger")}
                                          << QStringList{u"apfel"_qs,
                                                         u"STRASSE"_qs,
                                                         QString::fromUtf16(u"stra\u00DFe"),
                                                         u"zebra"_qs,
                                                         QString::fromUtf16(u"\u00C4rger"),
                                                         QString::fromUtf16(u"\u00E4rger")};
    QTest::newRow("empty") << QStringList() << QStringList();
}

void tst_FileListing::listingOrder()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, expected);
    SortInListingOrder(names);
    QCOMPARE(names, expected);
    QVERIFY(std::is_sorted(expected.cbegin(), expected.cend(), ListingOrderLess));
    for (const QString& name : std::as_const(expected))
        QVERIFY(!ListingOrderLess(name, name));
}

namespace {

// Many names with long shared beginnings, letters in both cases, "_" and "ß", in no order.
QStringList manyNames()
{
    const QString letters = QString::fromUtf16(u"aAbB_-.1\u00DF");
    QStringList names;
    quint32 state = 7;
    for (int i = 0; i < 20000; ++i) {
        QString name = u"data-"_qs;
        state = state * 1103515245u + 12345u;
        const int length = 1 + int((state >> 16) % 12);
        for (int c = 0; c < length; ++c) {
            state = state * 1103515245u + 12345u;
            name += letters.at(qsizetype((state >> 16) % quint32(letters.size())));
        }
        names.append(name);
    }
    return names;
}

} // namespace

void tst_FileListing::largeListSortedInSlices()
{
    const QStringList names = manyNames();
    QStringList expected = names;
    std::stable_sort(expected.begin(), expected.end(), ListingOrderLess);

    QStringList sorted = names;
    int asked = 0;
    QVERIFY(SortInListingOrder(sorted, [&] {
        ++asked;
        return true;
    }));
    QCOMPARE(sorted, expected);
    QVERIFY(asked > 1);

    QStringList plain = names;
    SortInListingOrder(plain);
    QCOMPARE(plain, expected);
}

void tst_FileListing::largeListSortStopped()
{
    // Told to stop at any question, the sort leaves the list as it was.
    const QStringList names = manyNames();
    int questions = 0;
    QStringList all = names;
    SortInListingOrder(all, [&] {
        ++questions;
        return true;
    });
    for (const int stopAt : {1, questions / 2, questions}) {
        QStringList list = names;
        int asked = 0;
        QVERIFY(!SortInListingOrder(list, [&] { return ++asked < stopAt; }));
        QCOMPARE(asked, stopAt);
        QCOMPARE(list, names);
    }
}

void tst_FileListing::fileCanBeOpened_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("expected");

    QTest::newRow("regular file") << u"a.csv"_qs << true;
    QTest::newRow("hidden file") << u".hidden.csv"_qs << true;
    QTest::newRow("link to a file") << u"link.csv"_qs << true;
    QTest::newRow("dangling link") << u"dangling.csv"_qs << false;
    QTest::newRow("folder") << u"sub"_qs << false;
    QTest::newRow("folder with separator") << u"sub/"_qs << false;
    QTest::newRow("fifo") << u"pipe.csv"_qs << false;
    QTest::newRow("missing") << u"missing.csv"_qs << false;
}

void tst_FileListing::fileCanBeOpened()
{
    QFETCH(QString, relative);
    QFETCH(bool, expected);
    test::TempTree tree;
    tree.writeFile(u"a.csv"_qs, "1,2\n");
    tree.writeFile(u".hidden.csv"_qs, "x");
    tree.makeFolder(u"sub"_qs);
    QVERIFY(QFile::link(tree.path(u"a.csv"_qs), tree.path(u"link.csv"_qs)));
    QVERIFY(QFile::link(tree.path(u"gone.csv"_qs), tree.path(u"dangling.csv"_qs)));
    QVERIFY(makeFifo(tree.path(u"pipe.csv"_qs)));
    QCOMPARE(FileCanBeOpened(tree.path(relative)), expected);
}

void tst_FileListing::filesInFolder_data()
{
    QTest::addColumn<bool>("trailingSeparator");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("expected");

    const QStringList csv{u".hidden.csv"_qs, u"a.csv"_qs, u"B.CSV"_qs, u"c.csv"_qs};
    const QStringList all{u".hidden.csv"_qs, u"a.csv"_qs, u"B.CSV"_qs, u"c.csv"_qs, u"notes"_qs, u"x.txt"_qs};
    QTest::newRow("csv") << false << u"*.csv"_qs << csv;
    QTest::newRow("csv, folder with separator") << true << u"*.csv"_qs << csv;
    QTest::newRow("every file") << false << u"*.*"_qs << all;
    QTest::newRow("every file, folder with separator") << true << u"*.*"_qs << all;
    QTest::newRow("one character") << false << u"?.*"_qs
                                   << QStringList{u"a.csv"_qs, u"B.CSV"_qs, u"c.csv"_qs, u"x.txt"_qs};
    QTest::newRow("no match") << false << u"*.doc"_qs << QStringList();
    QTest::newRow("leading-dot answer") << false << u"*..csv"_qs << QStringList();
}

void tst_FileListing::filesInFolder()
{
    QFETCH(bool, trailingSeparator);
    QFETCH(QString, pattern);
    QFETCH(QStringList, expected);
    test::TempTree tree;
    for (const char* name : {"c.csv", "a.csv", "B.CSV", ".hidden.csv", "x.txt", "notes", "sub.csv/inner.csv"})
        tree.writeFile(QString::fromLatin1(name), "x");
    const QString folder = trailingSeparator ? tree.root() + u'/' : tree.root();
    const Result<QStringList> names = GetFilesInFolder(folder, pattern);
    QVERIFY(names.ok());
    QCOMPARE(names.value(), expected);
}

void tst_FileListing::filesInFolderKeepsOnlyOpenableFiles()
{
    test::TempTree tree;
    tree.writeFile(u"plain.csv"_qs, "x");
    tree.makeFolder(u"folder.csv"_qs);
    QVERIFY(makeFifo(tree.path(u"fifo.csv"_qs)));
    QVERIFY(QFile::link(tree.path(u"plain.csv"_qs), tree.path(u"link.csv"_qs)));
    QVERIFY(QFile::link(tree.path(u"folder.csv"_qs), tree.path(u"folderlink.csv"_qs)));
    QVERIFY(QFile::link(tree.path(u"gone.csv"_qs), tree.path(u"dangling.csv"_qs)));
    // A name whose bytes are not valid text cannot be reached by its decoded name.
    const QByteArray badName("bad\xff.csv");
    const auto removeBadName = qScopeGuard([&] { removeFileNamedInBytes(tree.root(), badName); });
    QVERIFY(makeFileNamedInBytes(tree.root(), badName));
    // A name that really holds U+FFFD can.
    tree.writeFile(QString::fromUtf16(u"real\uFFFD.csv"), "x");

    const Result<QStringList> names = GetFilesInFolder(tree.root(), u"*.csv"_qs);
    QVERIFY(names.ok());
    QCOMPARE(names.value(), (QStringList{u"link.csv"_qs, u"plain.csv"_qs, QString::fromUtf16(u"real\uFFFD.csv")}));
    for (const QString& name : names.value())
        QVERIFY(FileCanBeOpened(tree.path(name)));
}

void tst_FileListing::folderThatMayBeReadButNotSearched()
{
    // Its names can be listed, but none of its files can be opened: it has none to give.
    test::TempTree tree;
    tree.writeFile(u"R/a.csv"_qs, "x");
    tree.writeFile(u"R/b.txt"_qs, "x");
    tree.makeFolder(u"R/sub"_qs);
    const QString folder = tree.path(u"R"_qs);
    const test::ModeChange reachable(tree.root(), 0755);
    const test::ModeChange unsearchable(folder, test::readButNotSearchMode());
    QVERIFY(reachable.changed() && unsearchable.changed());

    QString why;
    const std::optional<QByteArray> answer = test::runUnprivileged(
        [&] {
            int listed = 0;
            if (DIR* dir = ::opendir(QFile::encodeName(folder).constData())) {
                while (const dirent* entry = ::readdir(dir))
                    listed += entry->d_name[0] != '.';
                ::closedir(dir);
            }
            const Result<QStringList> names = GetFilesInFolder(folder, u"*.*"_qs);
            return "names listed: " + QByteArray::number(listed) +
                   ", a.csv can be opened: " + (FileCanBeOpened(folder + u"/a.csv"_qs) ? "yes" : "no") +
                   ", files: " + (names ? names.value().join(u',').toUtf8() : "failed " + names.error().toUtf8());
        },
        &why);
    if (!answer)
        QSKIP(qPrintable(why));
    QCOMPARE(*answer, QByteArray("names listed: 3, a.csv can be opened: no, files: "));
}

void tst_FileListing::filesInFolderInListingOrder()
{
    test::TempTree tree;
    const QStringList expected{u"1.csv"_qs, u"A.csv"_qs, u"a.csv"_qs, u"B.csv"_qs,
                               u"b.csv"_qs, u"Z.csv"_qs, u"_x.csv"_qs};
    QStringList created = expected;
    std::reverse(created.begin(), created.end());
    for (const QString& name : std::as_const(created))
        tree.writeFile(name, "x");
    const Result<QStringList> names = GetFilesInFolder(tree.root(), u"*.*"_qs);
    QVERIFY(names.ok());
    QCOMPARE(names.value(), expected);
}

void tst_FileListing::missingFolderHasNoFiles()
{
    test::TempTree tree;
    const QString file = tree.writeFile(u"a.csv"_qs, "x");
    for (const QString& folder : {tree.path(u"missing"_qs), tree.path(u"missing/"_qs), file}) {
        const Result<QStringList> names = GetFilesInFolder(folder, u"*.*"_qs);
        QVERIFY2(names.ok(), qPrintable(folder));
        QCOMPARE(names.value(), QStringList());
    }
}

void tst_FileListing::listingFailureIsPassedOn()
{
    test::TempTree tree;
    tree.writeFile(u"a.csv"_qs, "x");
    Result<QStringList> names = QStringList();
    {
        test::DescriptorExhaustion exhaustion;
        QVERIFY(exhaustion.active());
        names = GetFilesInFolder(tree.root(), u"*.*"_qs);
    }
    QVERIFY(!names.ok());
    QCOMPARE(names.error(), QString::fromLocal8Bit(std::strerror(EMFILE)));
}

QTEST_GUILESS_MAIN(tst_FileListing)
#include "tst_FileListing.moc"
