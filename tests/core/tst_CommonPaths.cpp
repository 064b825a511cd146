// SPDX-License-Identifier: MIT
#include <QtTest>

#include "core/common/FileAttributes.h"
#include "core/common/NameBytes.h"
#include "core/common/ProgramArguments.h"
#include "core/common/Paths.h"
#include "support/core/TempTree.h"
#include "support/core/UnixOnly.h"

using namespace ostrand;

class tst_CommonPaths : public QObject
{
    Q_OBJECT

private slots:
    void normalizePath_data();
    void normalizePath();
    void folderAndName_data();
    void folderAndName();
    void folderAndFileTests();
    void attributes();
    void namesFromTheirBytes_data();
    void namesFromTheirBytes();
};

void tst_CommonPaths::normalizePath_data()
{
    QTest::addColumn<bool>("windows");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("win doubled") << true << QStringLiteral(R"(C:\\Data\\a.csv)") << QStringLiteral(R"(C:\Data\a.csv)");
    QTest::newRow("win three leading") << true << QStringLiteral(R"(\\\srv\\x.csv)")
                                       << QStringLiteral(R"(\\srv\x.csv)");
    QTest::newRow("win one leading") << true << QStringLiteral(R"(\srv\x.csv)") << QStringLiteral(R"(\\srv\x.csv)");
    QTest::newRow("win run of three") << true << QStringLiteral(R"(D:\\x\\\y.csv)") << QStringLiteral(R"(D:\x\\y.csv)");
    QTest::newRow("win root join") << true << QStringLiteral(R"(C:\\a.csv)") << QStringLiteral(R"(C:\a.csv)");
    QTest::newRow("win empty") << true << QString() << QString();
    QTest::newRow("win clean") << true << QStringLiteral(R"(C:\out\sales.htm)")
                               << QStringLiteral(R"(C:\out\sales.htm)");
    QTest::newRow("win forward slashes untouched") << true << QStringLiteral("C://a") << QStringLiteral("C://a");
    QTest::newRow("posix doubled") << false << QStringLiteral("/data//a.csv") << QStringLiteral("/data/a.csv");
    QTest::newRow("posix leading run") << false << QStringLiteral("///srv//x.csv") << QStringLiteral("/srv/x.csv");
    QTest::newRow("posix run of three") << false << QStringLiteral("/d//x///y.csv") << QStringLiteral("/d/x//y.csv");
    QTest::newRow("posix relative") << false << QStringLiteral("a//b") << QStringLiteral("a/b");
    QTest::newRow("posix root only") << false << QStringLiteral("//") << QStringLiteral("/");
    QTest::newRow("posix backslashes untouched") << false << QStringLiteral(R"(a\\b)") << QStringLiteral(R"(a\\b)");
}

void tst_CommonPaths::normalizePath()
{
    QFETCH(bool, windows);
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(NormalizePath(input, windows ? PathRules::Windows : PathRules::Posix), expected);
}

void tst_CommonPaths::folderAndName_data()
{
    QTest::addColumn<bool>("windows");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");

    QTest::newRow("win") << true << QStringLiteral(R"(C:\data\sales.csv)") << QStringLiteral(R"(C:\data\)")
                         << QStringLiteral("sales.csv");
    QTest::newRow("win bare") << true << QStringLiteral("sales.csv") << QString() << QStringLiteral("sales.csv");
    QTest::newRow("posix") << false << QStringLiteral("/data/sales.csv") << QStringLiteral("/data/")
                           << QStringLiteral("sales.csv");
    QTest::newRow("posix folder") << false << QStringLiteral("/data/") << QStringLiteral("/data/") << QString();
}

void tst_CommonPaths::folderAndName()
{
    QFETCH(bool, windows);
    QFETCH(QString, path);
    QFETCH(QString, folder);
    QFETCH(QString, name);
    const PathRules rules = windows ? PathRules::Windows : PathRules::Posix;
    QCOMPARE(FolderOf(path, rules), folder);
    QCOMPARE(FileNameOf(path, rules), name);
}

void tst_CommonPaths::folderAndFileTests()
{
    test::TempTree tree;
    const QString file = tree.writeFile(QStringLiteral("a.csv"), "x");
    const QString folder = tree.makeFolder(QStringLiteral("sub"));
    QVERIFY(IsFolder(folder));
    QVERIFY(IsFolder(folder + QLatin1Char('/')));
    QVERIFY(!IsFolder(file));
    QVERIFY(!IsFolder(QString()));
    QVERIFY(!IsFolder(tree.path(QStringLiteral("missing"))));
    QVERIFY(FileExists(file));
    QVERIFY(FileExists(folder));
    QVERIFY(!FileExists(tree.path(QStringLiteral("missing"))));
    QVERIFY(!FileExists(QString()));
    QVERIFY(IsRootFolder(QStringLiteral("/")));
    QVERIFY(!IsRootFolder(folder));
}

void tst_CommonPaths::attributes()
{
    // Windows has the file system's own attributes (tst_WindowsPlatform).
    OSTRAND_UNIX_ONLY("the attributes a name, a mode and a link stand for");
    test::TempTree tree;
    QCOMPARE(AttributesOf(tree.writeFile(QStringLiteral("a.csv"), "x")), 32);
    QCOMPARE(AttributesOf(tree.writeFile(QStringLiteral(".hidden.csv"), "x")), 34);
    QCOMPARE(AttributesOf(tree.makeFolder(QStringLiteral("sub"))), 16);
    QCOMPARE(AttributesOf(tree.makeFolder(QStringLiteral(".git"))), 22);
    QCOMPARE(AttributesOf(tree.path(QStringLiteral(".git/"))), 22);
    QCOMPARE(AttributesOf(tree.path(QStringLiteral("sub/"))), 16);
    QVERIFY(QFile::link(tree.path(QStringLiteral("sub")), tree.path(QStringLiteral("link"))));
    QCOMPARE(AttributesOf(tree.path(QStringLiteral("link"))), 1046);
    QCOMPARE(AttributesOf(tree.path(QStringLiteral("link/"))), 1046);
    QCOMPARE(AttributesOf(tree.path(QStringLiteral("missing"))), -1);
}

void tst_CommonPaths::namesFromTheirBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("shown");
    const QString mark = QString(QChar(0xFEFF));
    QTest::newRow("plain") << QByteArray("a.csv") << u"a.csv"_qs << u"a.csv"_qs;
    QTest::newRow("beginning with U+FEFF") << QByteArray("\xEF\xBB\xBF" "a.csv") << mark + u"a.csv"_qs
                                           << mark + u"a.csv"_qs;
    QTest::newRow("two of them") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF" "out") << mark + mark + u"out"_qs
                                 << mark + mark + u"out"_qs;
    QTest::newRow("U+FEFF and a control character")
        << QByteArray("\xEF\xBB\xBF" "a\x01") << mark + u"a\u0001"_qs << u"$'"_qs + mark + u"a\\x01'"_qs;
    QTest::newRow("not valid UTF-8 after it") << QByteArray("\xEF\xBB\xBF" "b\xFF") << mark + u"b\uFFFD"_qs
                                              << u"$'"_qs + mark + u"b\\xFF'"_qs;
}

// A name or argument handed over as bytes reads as the name it is, an initial U+FEFF included (a decoder that took
// it for a byte order mark would name another file), and shows as it reads.
void tst_CommonPaths::namesFromTheirBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, name);
    QFETCH(QString, shown);
    QCOMPARE(NameFromBytes(bytes), name);
    QCOMPARE(ShownName(bytes), shown);
#ifdef Q_OS_UNIX
    char program[] = "ostrand-convert";
    QByteArray argument = bytes;
    char* argv[] = {program, argument.data(), nullptr};
    QCOMPARE(ProgramArguments(2, argv), (QStringList{u"ostrand-convert"_qs, name}));
#endif
}

QTEST_GUILESS_MAIN(tst_CommonPaths)
#include "tst_CommonPaths.moc"
