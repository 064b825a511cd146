// SPDX-License-Identifier: MIT
#include <QtTest>

#include "support/core/TempTree.h"
#include "support/core/UnixOnly.h"

using namespace ostrand;

class tst_SavedSettings : public QObject
{
    Q_OBJECT

private slots:
    void emptyStoreGivesTheDefaults_data();
    void emptyStoreGivesTheDefaults();
    void namesThatAreNotUtf8OutsidePaths_data();
    void namesThatAreNotUtf8OutsidePaths();
};

void tst_SavedSettings::emptyStoreGivesTheDefaults_data()
{
    QTest::addColumn<QString>("outputFolder");

    QTest::newRow("the desktop folder") << QStringLiteral("home/Desktop");
    QTest::newRow("the home folder when there is no desktop folder") << QStringLiteral("home");
}

void tst_SavedSettings::emptyStoreGivesTheDefaults()
{
    OSTRAND_UNIX_ONLY("the desktop folder found from $HOME");
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

void tst_SavedSettings::namesThatAreNotUtf8OutsidePaths_data()
{
    QTest::addColumn<QString>("script"); // run by sh in a folder holding a.csv and out/; $0 is the converter, $b a byte
                                         // that is not valid UTF-8
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("err"); // %1: the folder

    const QString notUtf8Folder = u": The folder's name is not valid UTF-8, so the folder cannot be reached by it. "
                                  "Please select another folder.\n"_qs;
    QTest::newRow("-o") << uR"(mkdir "out$b"; "$0" -o "out$b" a.csv)"_qs << 2
                        << u"ostrand-convert: $'out\\xFF'"_qs + notUtf8Folder;
    QTest::newRow("--output-dir=") << uR"(mkdir "out$b"; "$0" --output-dir="out$b" a.csv)"_qs << 2
                                   << u"ostrand-convert: $'out\\xFF'"_qs + notUtf8Folder;
    QTest::newRow("$TMPDIR") << uR"(mkdir "t$b"; printf 'a,b\n' | TMPDIR="$PWD/t$b" "$0" - >out/a.htm)"_qs << 0
                             << QString();
    QTest::newRow("$TMPDIR missing")
        << uR"(printf 'a,b\n' | TMPDIR="$PWD/t$b" "$0" -)"_qs << 1
        << u"ostrand-convert: -: Cannot read standard input: cannot keep it in a temporary file in $'%1/t\\xFF': "
           "No such file or directory\n"_qs;
    QTest::newRow("$XDG_CONFIG_HOME")
        << uR"(mkdir "c$b"; printf '[Ostrand]\nOption3=True\n' >"c$b/Kelvadine.conf"
               XDG_CONFIG_HOME="$PWD/c$b" "$0" --saved-settings -o out a.csv >/dev/null)"_qs
        << 0
        << u"ostrand-convert: cannot read the saved settings $'%1/c\\xFF/Kelvadine.conf': The name of its folder, "
           "from $XDG_CONFIG_HOME, is not valid UTF-8; using the defaults\n"_qs;
    QTest::newRow("$HOME")
        << uR"(mkdir "h$b"; HOME="$PWD/h$b" "$0" --saved-settings -o out a.csv >/dev/null)"_qs << 0
        << u"ostrand-convert: cannot read the saved settings $'%1/h\\xFF/.config/Kelvadine.conf': The "
           "name of its folder, from $HOME, is not valid UTF-8; using the defaults\n"_qs;
    QTest::newRow("$HOME for the default folder")
        << uR"(mkdir "h$b"; HOME="$PWD/h$b" "$0" --saved-settings a.csv)"_qs << 2
        << u"ostrand-convert: cannot read the saved settings $'%1/h\\xFF/.config/Kelvadine.conf': The name of its "
           "folder, from $HOME, is not valid UTF-8; using the defaults\n"
           "ostrand-convert: $'%1/h\\xFF/'"_qs +
               notUtf8Folder;
}

// A folder named by bytes that are not valid UTF-8, through an argument or the environment, is one line naming
// the cause; the temporary folder of standard input is used by its bytes; nothing is ever written under the name
// those bytes read as.
void tst_SavedSettings::namesThatAreNotUtf8OutsidePaths()
{
    // Windows names are UTF-16: no name of its can fail to be text.
    OSTRAND_UNIX_ONLY("names that are bytes, through /bin/sh");
    QFETCH(QString, script);
    QFETCH(int, status);
    QFETCH(QString, err);
    const QString bin = qEnvironmentVariable("OSTRAND_BIN_DIR");
    if (bin.isEmpty())
        QSKIP("OSTRAND_BIN_DIR is not set (CTest sets it)");
    test::TempTree tree;
    tree.makeFolder(QStringLiteral("out"));
    tree.writeFile(QStringLiteral("a.csv"), "a,b\r\n");
    QProcess shell;
    shell.setWorkingDirectory(tree.root());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("XDG_CONFIG_HOME"));
    shell.setProcessEnvironment(environment);
    // Afterwards, any name holding U+FFFD (the bytes EF BF BD) is one written under a name the bytes read as.
    const QString check =
        uR"(; s=$?; find . -name "*$(printf '\357\277\275')*" | grep -q . && echo MANGLED >&2; exit $s)"_qs;
    shell.start(QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"), uR"(b=$(printf '\377'); )"_qs + script + check, bin + u"/ostrand-convert"_qs});
    QVERIFY(shell.waitForFinished(60000));

    QCOMPARE(QString::fromUtf8(shell.readAllStandardError()), err.replace(u"%1"_qs, tree.root()));
    QCOMPARE(shell.exitCode(), status);
    if (status == 0)
        QCOMPARE(test::TempTree::readFile(tree.path(QStringLiteral("out/a.htm"))),
                 QByteArray("<html><title></title><body><table width='100%' style='color:#000000' border='1' "
                            "bgcolor='#FFFFFF'><tbody>\r\n<tr>\r\n<td>a</td><td>b</td></tr>\r\n</body></html>\r\n"));
}

QTEST_GUILESS_MAIN(tst_SavedSettings)
#include "tst_SavedSettings.moc"
