// SPDX-License-Identifier: MIT
#include <QtTest>

#include "support/core/TempTree.h"

using namespace ostrand;

class tst_SavedSettings : public QObject
{
    Q_OBJECT

private slots:
    void emptyStoreGivesTheDefaults_data();
    void emptyStoreGivesTheDefaults();
};

void tst_SavedSettings::emptyStoreGivesTheDefaults_data()
{
    QTest::addColumn<QString>("outputFolder");

    QTest::newRow("the desktop folder") << QStringLiteral("home/Desktop");
    QTest::newRow("the home folder when there is no desktop folder") << QStringLiteral("home");
}

void tst_SavedSettings::emptyStoreGivesTheDefaults()
{
    QFETCH(QString, outputFolder);
    const QString bin = qEnvironmentVariable("OSTRAND_BIN_DIR");
    if (bin.isEmpty())
        QSKIP("OSTRAND_BIN_DIR is not set (CTest sets it)");
    // A user who never ran the desktop program: no settings file.
    test::TempTree tree;
    const QString home = tree.makeFolder(QStringLiteral("home"));
    const QString output = tree.makeFolder(outputFolder);
    const QString config = tree.makeFolder(QStringLiteral("config"));
    const QString source = tree.writeFile(QStringLiteral("in/s.csv"), "a|b,c;d\te, f\r\n");
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    program.setProcessEnvironment(environment);

    program.start(bin + QStringLiteral("/ostrand-convert"), {QStringLiteral("--saved-settings"), source});

    // Comma, a border of 1, black on white, into the output folder.
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.readAllStandardError(), QByteArray());
    QCOMPARE(program.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(program.readAllStandardOutput()), output + QStringLiteral("/s.htm\n"));
    QCOMPARE(test::TempTree::readFile(output + QStringLiteral("/s.htm")),
             QByteArray("<html><title></title><body><table width='100%' style='color:#000000' border='1' "
                        "bgcolor='#FFFFFF'><tbody>\r\n"
                        "<tr>\r\n<td>a|b</td><td>c;d\te</td><td> f</td></tr>\r\n"
                        "</body></html>\r\n"));
    QCOMPARE(QDir(tree.path(QStringLiteral("in"))).entryList(QDir::Files), QStringList{QStringLiteral("s.csv")});
}

QTEST_GUILESS_MAIN(tst_SavedSettings)
#include "tst_SavedSettings.moc"
