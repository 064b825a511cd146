// SPDX-License-Identifier: MIT
#include <QtTest>

#include "core/common/ProgramFolder.h"
#include "core/settings/SettingsStore.h"
#include "support/core/TempTree.h"
#include "support/core/UnixOnly.h"

using namespace ostrand;
using namespace ostrand::test;

// Where the program finds its companion files, and where documents go by default.
class tst_ProgramFolder : public QObject
{
    Q_OBJECT

private slots:
    void companionFilesBesideOrShared_data();
    void companionFilesBesideOrShared();
    void desktopOrHome_data();
    void desktopOrHome();
};

void tst_ProgramFolder::companionFilesBesideOrShared_data()
{
    QTest::addColumn<QStringList>("files"); // relative to the tree; the program lives in prefix/bin
    QTest::addColumn<QString>("expected");  // relative to the tree

    QTest::newRow("build tree: pointer beside") << QStringList{u"prefix/bin/HAND-M.CUR"_qs} << u"prefix/bin"_qs;
    QTest::newRow("portable copy: samples beside") << QStringList{u"prefix/bin/Samples/a.csv"_qs} << u"prefix/bin"_qs;
    QTest::newRow("drag icon beside") << QStringList{u"prefix/bin/drag.ico"_qs} << u"prefix/bin"_qs;
    QTest::newRow("installed under a prefix")
        << QStringList{u"prefix/share/ostrand/HAND-M.CUR"_qs, u"prefix/share/ostrand/Samples/a.csv"_qs}
        << u"prefix/share/ostrand"_qs;
    QTest::newRow("beside wins over shared")
        << QStringList{u"prefix/bin/HAND-M.CUR"_qs, u"prefix/share/ostrand/HAND-M.CUR"_qs} << u"prefix/bin"_qs;
    QTest::newRow("a skin alone beside does not count")
        << QStringList{u"prefix/bin/x/o.cjs"_qs, u"prefix/share/ostrand/drag.ico"_qs} << u"prefix/share/ostrand"_qs;
    QTest::newRow("neither: the program's folder") << QStringList() << u"prefix/bin"_qs;
}

void tst_ProgramFolder::companionFilesBesideOrShared()
{
    QFETCH(QStringList, files);
    QFETCH(QString, expected);

    TempTree tree;
    tree.makeFolder(u"prefix/bin"_qs);
    for (const QString& file : files)
        tree.writeFile(file, "x");

    QCOMPARE(LocateProgramFolder(tree.path(u"prefix/bin"_qs)), tree.path(expected));
}

void tst_ProgramFolder::desktopOrHome_data()
{
    QTest::addColumn<QString>("make");     // "folder:" or "file:" a path under home, or ""
    QTest::addColumn<QString>("userDirs"); // the XDG_DESKTOP_DIR line of user-dirs.dirs, or ""
    QTest::addColumn<QString>("expected"); // relative to home

    QTest::newRow("Desktop exists") << u"folder:Desktop"_qs << QString() << u"Desktop/"_qs;
    QTest::newRow("fresh home without a Desktop") << QString() << QString() << QString();
    QTest::newRow("Desktop is a file") << u"file:Desktop"_qs << QString() << QString();
    QTest::newRow("named desktop folder exists")
        << u"folder:Schreibtisch"_qs << u"XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\""_qs << u"Schreibtisch/"_qs;
    QTest::newRow("named desktop folder missing")
        << u"folder:Desktop"_qs << u"XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\""_qs << QString();
}

void tst_ProgramFolder::desktopOrHome()
{
    // Windows names its desktop folder itself, whatever $HOME says.
    OSTRAND_UNIX_ONLY("the desktop folder found from $HOME and user-dirs.dirs");
    QFETCH(QString, make);
    QFETCH(QString, userDirs);
    QFETCH(QString, expected);

    TempTree tree;
    const QString home = tree.makeFolder(u"home"_qs);
    const QString config = tree.makeFolder(u"config"_qs);
    if (make.startsWith(u"folder:"_qs))
        tree.makeFolder(u"home/"_qs + make.mid(7));
    else if (make.startsWith(u"file:"_qs))
        tree.writeFile(u"home/"_qs + make.mid(5), "not a folder");
    if (!userDirs.isEmpty())
        tree.writeFile(u"config/user-dirs.dirs"_qs, userDirs.toUtf8() + '\n');

    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", home.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", config.toLocal8Bit());
    const Result<QString> folder = SettingsStore::desktopFolder();
    qputenv("HOME", oldHome);
    qputenv("XDG_CONFIG_HOME", oldConfig);

    QVERIFY(folder.ok());
    QCOMPARE(folder.value(), home + u"/"_qs + expected);
}

QTEST_GUILESS_MAIN(tst_ProgramFolder)
#include "tst_ProgramFolder.moc"
