// SPDX-License-Identifier: MIT
#include <QtTest>

#include <memory>

#include <QSettings>

#include "cli/ConverterArguments.h"
#include "cli/ConverterCommand.h"
#include "core/app/ErrorReport.h"
#include "core/settings/SettingsStore.h"
#include "support/core/TempTree.h"

using namespace ostrand;

namespace {

const QByteArray kExample = "<html><title></title><body><table width='100%' style='color:#000000' border='1' "
                            "bgcolor='#FFFFFF'><tbody>\r\n"
                            "<tr>\r\n"
                            "<td>a</td><td>b</td></tr>\r\n"
                            "<tr>\r\n"
                            "<td>c</td><td>d</td></tr>\r\n"
                            "</body></html>\r\n";

// One in-process run of the converter.
struct Outcome
{
    int status = -1;
    QString out;
    QString err;
};

Outcome convert(const QStringList& arguments)
{
    Outcome outcome;
    QTextStream out(&outcome.out);
    QTextStream err(&outcome.err);
    outcome.status = ConverterCommand().run(arguments, out, err);
    return outcome;
}

} // namespace

class tst_ConverterCommand : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void exampleInProcess();
    void exampleThroughTheProgram();
    void badUsage_data();
    void badUsage();
    void badUsageThroughTheProgram();
    void helpAndVersion();
    void options_data();
    void options();
    void failuresAreReportedAndCounted();
    void folderPaths();
    void savedSettingsWithCommandLineWinning();

private:
    QTemporaryDir m_config;
};

void tst_ConverterCommand::initTestCase()
{
    // The settings store of this test lives in a folder of its own, never the user's.
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
}

void tst_ConverterCommand::cleanup()
{
    const std::unique_ptr<QSettings> settings = SettingsStore::openUserSettings();
    settings->clear();
    settings->sync();
}

void tst_ConverterCommand::exampleInProcess()
{
    test::TempTree tree;
    const QString out = tree.makeFolder(QStringLiteral("out"));
    const QString source = tree.writeFile(QStringLiteral("a.csv"), "a,b\r\nc,d\r\n");
    const Outcome outcome = convert({QStringLiteral("--output-dir"), out, source});
    QCOMPARE(outcome.status, 0);
    QCOMPARE(outcome.out, out + QStringLiteral("/a.htm\n"));
    QCOMPARE(outcome.err, QString());
    QCOMPARE(test::TempTree::readFile(out + QStringLiteral("/a.htm")), kExample);
}

void tst_ConverterCommand::exampleThroughTheProgram()
{
    const QString bin = qEnvironmentVariable("OSTRAND_BIN_DIR");
    if (bin.isEmpty())
        QSKIP("OSTRAND_BIN_DIR is not set (CTest sets it)");
    test::TempTree tree;
    tree.makeFolder(QStringLiteral("out"));
    tree.writeFile(QStringLiteral("a.csv"), "a,b\r\nc,d\r\n");
    QProcess program;
    program.setWorkingDirectory(tree.root());
    program.start(bin + QStringLiteral("/ostrand-convert"), {QStringLiteral("--output-dir"), QStringLiteral("out"),
                                                             QStringLiteral("a.csv"), QStringLiteral("gone.csv")});
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 1);
    QCOMPARE(program.readAllStandardOutput(), QByteArray("out/a.htm\nout/gone.htm\n"));
    QCOMPARE(program.readAllStandardError(),
             ErrorReportText(QStringLiteral("Cannot read gone.csv: File not found"), LocationTag::convertVantrel(), 114)
                     .toUtf8() +
                 '\n');
    QCOMPARE(test::TempTree::readFile(tree.path(QStringLiteral("out/a.htm"))), kExample);
}

void tst_ConverterCommand::badUsage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("no PATH") << QStringList{QStringLiteral("--comma")} << QStringLiteral("no PATH given");
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--colour"), QStringLiteral("a.csv")}
                                    << QStringLiteral("unknown option '--colour'");
    QTest::newRow("value missing") << QStringList{QStringLiteral("a.csv"), QStringLiteral("--other")}
                                   << QStringLiteral("option '--other' needs a value");
    QTest::newRow("value on a switch") << QStringList{QStringLiteral("--tab=x"), QStringLiteral("a.csv")}
                                       << QStringLiteral("option '--tab' takes no value");
    QTest::newRow("bad colour") << QStringList{QStringLiteral("--text-color"), QStringLiteral("blue"),
                                               QStringLiteral("a.csv")}
                                << QStringLiteral("\"blue\" is not a colour");
    QTest::newRow("missing output folder")
        << QStringList{QStringLiteral("--output-dir"), QStringLiteral("missing"), QStringLiteral("a.csv")}
        << QStringLiteral("Folder does not exist. Please select another folder.\n");
}

void tst_ConverterCommand::badUsage()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    test::TempTree tree;
    const QString source = tree.writeFile(QStringLiteral("a.csv"), "a\n");
    for (QString& argument : arguments) {
        if (argument == QLatin1String("a.csv") || argument == QLatin1String("missing"))
            argument = tree.path(argument);
    }
    const Outcome outcome = convert(arguments);
    QCOMPARE(outcome.status, 2);
    QCOMPARE(outcome.out, QString());
    QVERIFY2(outcome.err.contains(message), qPrintable(outcome.err));
    QCOMPARE(QDir(tree.root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("a.csv")});
}

void tst_ConverterCommand::badUsageThroughTheProgram()
{
    const QString bin = qEnvironmentVariable("OSTRAND_BIN_DIR");
    if (bin.isEmpty())
        QSKIP("OSTRAND_BIN_DIR is not set (CTest sets it)");
    QProcess program;
    program.start(bin + QStringLiteral("/ostrand-convert"),
                  {QStringLiteral("--output-dir"), QStringLiteral("/no/such/dir"), QStringLiteral("a.csv")});
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitCode(), 2);
    QCOMPARE(program.readAllStandardOutput(), QByteArray());
    QCOMPARE(program.readAllStandardError(), QByteArray("Folder does not exist. Please select another folder.\n"));
}

void tst_ConverterCommand::helpAndVersion()
{
    const Outcome help = convert({QStringLiteral("--help")});
    QCOMPARE(help.status, 0);
    QCOMPARE(help.out, converterUsage());
    QVERIFY(help.out.startsWith(QLatin1String("ostrand-convert [OPTIONS] PATH...\n")));
    const Outcome version = convert({QStringLiteral("--version")});
    QCOMPARE(version.status, 0);
    QCOMPARE(version.out, QStringLiteral("ostrand-convert " OSTRAND_VERSION "\n"));
}

void tst_ConverterCommand::options_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("expected");
    const QStringList none;
    QTest::newRow("default comma") << none << QByteArray("<td>a</td><td>b;c</td><td> d::e\td</td>");
    QTest::newRow("comma-space") << QStringList{QStringLiteral("--comma-space")}
                                 << QByteArray("<td>a,b;c</td><td>d::e\td</td>");
    QTest::newRow("semicolon") << QStringList{QStringLiteral("--semicolon")}
                               << QByteArray("<td>a,b</td><td>c, d::e\td</td>");
    QTest::newRow("tab") << QStringList{QStringLiteral("--tab")} << QByteArray("<td>a,b;c, d::e</td><td>d</td>");
    QTest::newRow("other") << QStringList{QStringLiteral("--other"), QStringLiteral("::")}
                           << QByteArray("<td>a,b;c, d</td><td>e\td</td>");
    QTest::newRow("other after =") << QStringList{QStringLiteral("--other=;")}
                                   << QByteArray("<td>a,b</td><td>c, d::e\td</td>");
    QTest::newRow("other empty") << QStringList{QStringLiteral("--other"), QString()}
                                 << QByteArray("<td>a,b;c, d::e\td</td>");
    QTest::newRow("last delimiter wins") << QStringList{QStringLiteral("--tab"), QStringLiteral("--semicolon")}
                                         << QByteArray("<td>a,b</td><td>c, d::e\td</td>");
    QTest::newRow("border") << QStringList{QStringLiteral("--border"), QStringLiteral("12")}
                            << QByteArray("border='12'");
    QTest::newRow("colour numbers") << QStringList{QStringLiteral("--text-color"), QStringLiteral("65280"),
                                                   QStringLiteral("--background-color"), QStringLiteral("12632256")}
                                    << QByteArray("style='color:#00FF00' border='1' bgcolor='#C0C0C0'");
    QTest::newRow("colour #RRGGBB") << QStringList{QStringLiteral("--text-color=#FF0000")}
                                    << QByteArray("style='color:#FF0000'");
}

void tst_ConverterCommand::options()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, expected);
    test::TempTree tree;
    const QString source = tree.writeFile(QStringLiteral("s.csv"), "a,b;c, d::e\td\r\n");
    const Outcome outcome = convert(arguments << QStringLiteral("--") << source);
    QCOMPARE(outcome.status, 0);
    QCOMPARE(outcome.out, tree.path(QStringLiteral("s.htm\n")));
    const QByteArray document = test::TempTree::readFile(tree.path(QStringLiteral("s.htm")));
    QVERIFY2(document.contains(expected), document.constData());
}

void tst_ConverterCommand::failuresAreReportedAndCounted()
{
    test::TempTree tree;
    const QString good = tree.writeFile(QStringLiteral("a.csv"), "a\n");
    const QString page = tree.writeFile(QStringLiteral("page.htm"), "keep\n");
    const Outcome outcome = convert({QStringLiteral("--quiet"), page, good});
    QCOMPARE(outcome.status, 1);
    QCOMPARE(outcome.out, tree.path(QStringLiteral("a.htm\n")));
    QCOMPARE(outcome.err,
             ErrorReportText(QStringLiteral("Cannot write %1: It is the source file itself, which is never "
                                            "overwritten")
                                 .arg(page),
                             LocationTag::convertVantrel(), 168) +
                 QLatin1Char('\n'));
    QCOMPARE(test::TempTree::readFile(page), QByteArray("keep\n"));
}

void tst_ConverterCommand::folderPaths()
{
    test::TempTree tree;
    tree.writeFile(QStringLiteral("d/a.csv"), "a\n");
    tree.writeFile(QStringLiteral("d/notes.txt"), "n\n");
    tree.writeFile(QStringLiteral("d/sub/b.csv"), "b\n");
    tree.writeFile(QStringLiteral("d/~skip.csv"), "s\n");
    const QString out = tree.makeFolder(QStringLiteral("out"));
    const Outcome every = convert({QStringLiteral("--output-dir"), out, tree.path(QStringLiteral("d"))});
    QCOMPARE(every.status, 0);
    QCOMPARE(every.out, QStringList({out + QStringLiteral("/a.htm"), out + QStringLiteral("/notes.htm"),
                                     out + QStringLiteral("/b.htm")})
                                .join(QLatin1Char('\n')) +
                            QLatin1Char('\n'));
    const Outcome csvOnly = convert({QStringLiteral("--extension"), QStringLiteral("csv"),
                                     QStringLiteral("--output-dir"), out, tree.path(QStringLiteral("d"))});
    QCOMPARE(csvOnly.out, out + QStringLiteral("/a.htm\n") + out + QStringLiteral("/b.htm\n"));
    const Outcome empty = convert({tree.makeFolder(QStringLiteral("empty"))});
    QCOMPARE(empty.status, 0);
    QCOMPARE(empty.out, QString());
}

void tst_ConverterCommand::savedSettingsWithCommandLineWinning()
{
    test::TempTree tree;
    {
        const std::unique_ptr<QSettings> settings = SettingsStore::openUserSettings();
        SettingsStore store(*settings);
        store.WriteSetting(SettingKey::option1(), QStringLiteral("False"));
        store.WriteSetting(SettingKey::option3(), QStringLiteral("True"));
        store.WriteSetting(SettingKey::borderWidth(), QStringLiteral("7"));
        store.WriteSetting(SettingKey::textColor(), QStringLiteral("255"));
        store.WriteSetting(SettingKey::option6(), QStringLiteral("True"));
        store.WriteSetting(SettingKey::outputFolder(), tree.makeFolder(QStringLiteral("saved")));
    }
    const QString source = tree.writeFile(QStringLiteral("s.csv"), "a;b,c\n");

    const Outcome saved = convert({QStringLiteral("--saved-settings"), source});
    QCOMPARE(saved.status, 0);
    QCOMPARE(saved.out, tree.path(QStringLiteral("saved/s.htm\n")));
    const QByteArray document = test::TempTree::readFile(tree.path(QStringLiteral("saved/s.htm")));
    QVERIFY(document.contains("style='color:#FF0000' border='7' bgcolor='#FFFFFF'"));
    QVERIFY(document.contains("<td>a</td><td>b,c</td>"));

    const Outcome given = convert(
        {QStringLiteral("--saved-settings"), QStringLiteral("--comma"), QStringLiteral("--next-to-source"), source});
    QCOMPARE(given.out, tree.path(QStringLiteral("s.htm\n")));
    const QByteArray overridden = test::TempTree::readFile(tree.path(QStringLiteral("s.htm")));
    QVERIFY(overridden.contains("border='7'"));
    QVERIFY(overridden.contains("<td>a;b</td><td>c</td>"));
}

QTEST_GUILESS_MAIN(tst_ConverterCommand)
#include "tst_ConverterCommand.moc"
