// SPDX-License-Identifier: MIT
#include <QtTest>

#include "support/core/TempTree.h"

using namespace ostrand;

class tst_SavedSettings : public QObject
{
    Q_OBJECT

private slots:
    void emptyStoreGivesTheDefaults();
};

void tst_SavedSettings::emptyStoreGivesTheDefaults()
{
    const QString bin = qEnvironmentVariable("OSTRAND_BIN_DIR");
    if (bin.isEmpty())
        QSKIP("OSTRAND_BIN_DIR is not set (CTest sets it)");
    // A user who never ran the desktop program: no settings file, a desktop folder in the home folder.
    test::TempTree tree;
    const QString home = tree.makeFolder(QStringLiteral("home"));
    const QString desktop = tree.makeFolder(QStringLiteral("home/Desktop"));
    const QString config = tree.makeFolder(QStringLiteral("config"));
    const QString source = tree.writeFile(QStringLiteral("in/s.csv"), "a|b,c;d\te, f\r\n");
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    program.setProcessEnvironment(environment);

    program.start(bin + QStringLiteral("/ostrand-convert"), {QStringLiteral("--saved-settings"), source});

    // Comma, a border of 1, black on white, into the desktop folder.
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.readAllStandardError(), QByteArray());
    QCOMPARE(program.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(program.readAllStandardOutput()), desktop + QStringLiteral("/s.htm\n"));
    QCOMPARE(test::TempTree::readFile(desktop + QStringLiteral("/s.htm")),
             QByteArray("<html><title></title><body><table width='100%' style='color:#000000' border='1' "
                        "bgcolor='#FFFFFF'><tbody>\r\n"
                        "<tr>\r\n<td>a|b</td><td>c;d\te</td><td> f</td></tr>\r\n"
                        "</body></html>\r\n"));
    QCOMPARE(QDir(tree.path(QStringLiteral("in"))).entryList(QDir::Files), QStringList{QStringLiteral("s.csv")});
}

QTEST_GUILESS_MAIN(tst_SavedSettings)
#include "tst_SavedSettings.moc"
