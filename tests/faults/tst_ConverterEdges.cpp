// SPDX-License-Identifier: MIT
// The real converter at the edges of what a user may trust it with: a replaced document keeps who may read it, a
// name someone takes meanwhile stays theirs, no source of the run is written over, standard input and output that
// never end or are one file, the kernel's files, a file-size limit, and the temporaries a killed run leaves.
#include <QtTest>

#include "faults/FaultScene.h"
#include "support/core/Unprivileged.h"

#include <csignal>

#include <sys/file.h>

using namespace ostrand::test;

namespace {

struct Outcome
{
    int status = -1; // the exit status; 128 + the signal when one ended it (as a shell tells)
    QByteArray out;
    QByteArray err;
};

// Runs a shell command in the scene's folder with the fault library preloaded into the converter ($0 in the
// command names it), as the user "nobody" where asked and the tests run as root.
Outcome shell(const FaultScene& scene, const QString& command, const QMap<QString, QString>& faults = {},
              bool asUser = false)
{
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("LD_PRELOAD"));
    environment.insert(QStringLiteral("OSTRAND_FAULT_SHIM"), qEnvironmentVariable("OSTRAND_FAULT_SHIM"));
    environment.insert(QStringLiteral("TMPDIR"), scene.tree.path(QStringLiteral("tmp")));
    for (auto it = faults.begin(); it != faults.end(); ++it)
        environment.insert(it.key(), it.value());
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(scene.tree.root());
    QString why;
    if (asUser && !startAsNobody(program, &why))
        return {};
    const QString converter = qEnvironmentVariable("OSTRAND_BIN_DIR") + QStringLiteral("/ostrand-convert");
    program.start(
        QStringLiteral("/bin/bash"),
        {QStringLiteral("-c"), QStringLiteral("convert() { LD_PRELOAD=\"$OSTRAND_FAULT_SHIM\" \"%1\" \"$@\"; }; %2")
                                   .arg(converter, command)});
    Outcome outcome;
    if (!program.waitForFinished(60000)) {
        program.kill();
        program.waitForFinished();
        outcome.status = -2; // it hung
        return outcome;
    }
    outcome.status = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    outcome.out = program.readAllStandardOutput();
    outcome.err = program.readAllStandardError();
    return outcome;
}

QByteArray run(const FaultScene& scene, const QString& command)
{
    QProcess program;
    program.setWorkingDirectory(scene.tree.root());
    program.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    program.waitForFinished();
    return program.readAllStandardOutput();
}

// The program's own temporaries in a folder.
QStringList temporaries(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral(".ostrand-*.tmp")}, QDir::Files | QDir::Hidden | QDir::System);
}

} // namespace

class tst_ConverterEdges : public QObject
{
    Q_OBJECT

private slots:
    void aReplacedDocumentKeepsItsAccessRules_data();
    void aReplacedDocumentKeepsItsAccessRules();
    void aNameTakenMeanwhileIsLeftAlone_data();
    void aNameTakenMeanwhileIsLeftAlone();
    void noSourceOfTheRunIsWrittenOver_data();
    void noSourceOfTheRunIsWrittenOver();
    void standardStreamsThatNeverEndOrAreOneFile_data();
    void standardStreamsThatNeverEndOrAreOneFile();
    void theKernelsFilesAreReadToTheirEnd_data();
    void theKernelsFilesAreReadToTheirEnd();
    void aFileSizeLimitIsAFailedWrite();
    void temporariesOfAKilledRunAreSwept();
};

void tst_ConverterEdges::aReplacedDocumentKeepsItsAccessRules_data()
{
    QTest::addColumn<QString>("rules"); // set on the earlier document
    QTest::addColumn<QString>("faults");
    QTest::addColumn<QByteArray>("failure"); // "" when the document is written
    QTest::addColumn<QByteArray>("kept");    // getfacl and getfattr of the document afterwards
    const QByteArray acl = "user::rw-\nuser:daemon:r--\ngroup::---\nmask::r--\nother::---\n\n";
    const QByteArray plain = "user::rw-\ngroup::r--\nother::---\n\n";
    const QByteArray attribute = "# file: out/c.htm\nuser.origin=\"kept\"\n\n";
    const QString setAcl = QStringLiteral("setfacl -m u:daemon:r,g::-,m::r out/c.htm");
    const QString setAttribute = QStringLiteral("setfattr -n user.origin -v kept out/c.htm");
    QTest::newRow("an access control list") << setAcl << QString() << QByteArray() << acl;
    QTest::newRow("a user's attribute") << setAttribute << QString() << QByteArray() << plain + attribute;
    QTest::newRow("an access control list that cannot be kept")
        << setAcl << QStringLiteral("refuse")
        << QByteArray("The access rules of the existing file (system.posix_acl_access) cannot be kept: Operation "
                      "not permitted")
        << acl;
    // Any other attribute is let go where it cannot be set; access stays as narrow as the mode says.
    QTest::newRow("a user's attribute that cannot be kept")
        << setAttribute << QStringLiteral("refuse") << QByteArray() << plain;
}

// The user who owns a document, and is in its group, converts again: the new document keeps the access control list
// (the group may still not read it) and the attributes; where the list cannot be kept, the earlier document stays.
void tst_ConverterEdges::aReplacedDocumentKeepsItsAccessRules()
{
    QFETCH(QString, rules);
    QFETCH(QString, faults);
    QFETCH(QByteArray, failure);
    QFETCH(QByteArray, kept);
    if (QStandardPaths::findExecutable(QStringLiteral("setfacl")).isEmpty())
        QSKIP("setfacl and getfacl are not installed");
    FaultScene scene(1024);
    scene.tree.makeFolder(QStringLiteral("tmp"));
    FaultScene::writeBytes(scene.out + QStringLiteral("/c.htm"), "earlier\n");
    run(scene, QStringLiteral("chmod 640 out/c.htm && ") + rules);
    QVERIFY(handToNobody(scene.tree.root()));

    const Outcome outcome = shell(scene, QStringLiteral("convert -o out in/c.csv"),
                                  {{QStringLiteral("OSTRAND_FAULT_XATTR"), faults}}, true);

    QCOMPARE(outcome.status, failure.isEmpty() ? 0 : 1);
    QVERIFY2(outcome.err.contains(failure), outcome.err.constData());
    QCOMPARE(TempTree::readFile(scene.out + QStringLiteral("/c.htm")) == "earlier\n", !failure.isEmpty());
    QCOMPARE(run(scene, QStringLiteral("getfacl -cp out/c.htm; getfattr -d out/c.htm")), kept);
    QCOMPARE(temporaries(scene.out), QStringList());
}

void tst_ConverterEdges::aNameTakenMeanwhileIsLeftAlone_data()
{
    QTest::addColumn<QString>("tmpfile"); // OSTRAND_FAULT_TMPFILE
    QTest::newRow("an unnamed temporary") << QString();
    QTest::newRow("a named temporary") << QStringLiteral("refuse");
}

// The name of big.htm in a new folder is free when the conversion starts; another program writes a file there while
// it converts. That file stays, and the write is reported.
void tst_ConverterEdges::aNameTakenMeanwhileIsLeftAlone()
{
    QFETCH(QString, tmpfile);
    FaultScene scene;
    scene.tree.makeFolder(QStringLiteral("tmp"));
    scene.tree.makeFolder(QStringLiteral("new"));

    const Outcome outcome = shell(scene, QStringLiteral("convert -o new in/big.csv"),
                                  {{QStringLiteral("OSTRAND_FAULT_AT"), QStringLiteral("read:1048576")},
                                   {QStringLiteral("OSTRAND_FAULT_RUN"), QStringLiteral("echo theirs > new/big.htm")},
                                   {QStringLiteral("OSTRAND_FAULT_TMPFILE"), tmpfile}});

    QCOMPARE(outcome.status, 1);
    QVERIFY2(outcome.err.contains("new/big.htm: A file appeared there while the document was written, and it is left "
                                  "alone"),
             outcome.err.constData());
    QCOMPARE(TempTree::readFile(scene.tree.path(QStringLiteral("new/big.htm"))), QByteArray("theirs\n"));
    QCOMPARE(temporaries(scene.tree.path(QStringLiteral("new"))), QStringList());
}

void tst_ConverterEdges::noSourceOfTheRunIsWrittenOver_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QByteArrayList>("refused"); // the reasons, in order
    const QByteArray itself = "It is the source file itself, which is never overwritten";
    const QByteArray another = "in/x.htm: It is the source of another entry of this run, which is never overwritten";
    QTest::newRow("the source first") << QStringLiteral("in/x.htm in/x.csv") << QByteArrayList{itself, another};
    QTest::newRow("the source last") << QStringLiteral("in/x.csv in/x.htm") << QByteArrayList{another, itself};
    QTest::newRow("the source by a link") << QStringLiteral("in/x.csv in/link.htm") << QByteArrayList{another, itself};
    QTest::newRow("into a chosen folder")
        << QStringLiteral("-o in in/x.htm in/x.csv") << QByteArrayList{itself, another};
}

// Data the user listed as a source is never replaced by the document of another entry of the same run.
void tst_ConverterEdges::noSourceOfTheRunIsWrittenOver()
{
    QFETCH(QString, arguments);
    QFETCH(QByteArrayList, refused);
    FaultScene scene(1024);
    scene.tree.makeFolder(QStringLiteral("tmp"));
    scene.tree.writeFile(QStringLiteral("in/x.csv"), "new,row\n");
    scene.tree.writeFile(QStringLiteral("in/x.htm"), "source,data\n");
    run(scene, QStringLiteral("ln -s x.htm in/link.htm"));

    const Outcome outcome = shell(
        scene, QStringLiteral("convert %1 %2")
                   .arg(arguments.startsWith(QLatin1String("-o")) ? QString() : QStringLiteral("--next-to-source"),
                        arguments));

    QCOMPARE(outcome.status, 1);
    QCOMPARE(outcome.out, QByteArray());
    const QList<QByteArray> lines = outcome.err.trimmed().split('\n');
    QCOMPARE(lines.size(), refused.size());
    for (qsizetype i = 0; i < lines.size(); ++i)
        QVERIFY2(lines[i].contains(refused[i]), lines[i].constData());
    QCOMPARE(TempTree::readFile(scene.tree.path(QStringLiteral("in/x.htm"))), QByteArray("source,data\n"));
}

void tst_ConverterEdges::standardStreamsThatNeverEndOrAreOneFile_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("faults");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("err");    // what stderr holds
    QTest::addColumn<QByteArray>("source"); // s.csv afterwards
    // An endless input whose document nobody reads, and one that would fill the temporary folder's disk.
    QTest::newRow("the reader is gone") << QStringLiteral(
                                               "yes a,b 2>/dev/null | convert - | true; exit ${PIPESTATUS[1]}")
                                        << QString() << 141 << QByteArray() << QByteArray("a,b\n");
    QTest::newRow("the reader is gone, SIGPIPE ignored")
        << QStringLiteral("trap '' PIPE; yes a,b 2>/dev/null | convert - | true; exit ${PIPESTATUS[1]}") << QString()
        << 1 << QByteArray("Cannot write standard output: Broken pipe\n") << QByteArray("a,b\n");
    QTest::newRow("the disk would fill")
        << QStringLiteral("yes a,b 2>/dev/null | convert - > /dev/null; exit ${PIPESTATUS[1]}")
        << QStringLiteral("OSTRAND_FAULT_FREE=1048576") << 1
        << QByteArray("Cannot read standard input: cannot keep it in a temporary file in tmp: its disk would have less "
                      "than ")
        << QByteArray("a,b\n");
    // Standard output that is the file standard input reads.
    QTest::newRow("appended to the source") << QStringLiteral("convert - < s.csv >> s.csv") << QString() << 1
                                            << QByteArray("input file is output file\n") << QByteArray("a,b\n");
    QTest::newRow("written over the source") << QStringLiteral("convert - < s.csv 1<> s.csv") << QString() << 1
                                             << QByteArray("input file is output file\n") << QByteArray("a,b\n");
}

void tst_ConverterEdges::standardStreamsThatNeverEndOrAreOneFile()
{
    QFETCH(QString, command);
    QFETCH(QString, faults);
    QFETCH(int, status);
    QFETCH(QByteArray, err);
    QFETCH(QByteArray, source);
    FaultScene scene(1024);
    scene.tree.makeFolder(QStringLiteral("tmp"));
    scene.tree.writeFile(QStringLiteral("s.csv"), "a,b\n");
    QMap<QString, QString> variables;
    if (!faults.isEmpty())
        variables.insert(faults.section(QLatin1Char('='), 0, 0), faults.section(QLatin1Char('='), 1));
    // The temporary folder is named as the user gives it.
    const Outcome outcome = shell(scene, QStringLiteral("export TMPDIR=tmp; ") + command, variables);

    QCOMPARE(outcome.status, status);
    QVERIFY2(err.isEmpty() ? outcome.err.isEmpty()
                           : outcome.err.startsWith("ostrand-convert: -: ") && outcome.err.contains(err),
             outcome.err.constData());
    QCOMPARE(outcome.err.count('\n'), err.isEmpty() ? 0 : 1);
    QCOMPARE(TempTree::readFile(scene.tree.path(QStringLiteral("s.csv"))), source);
    QCOMPARE(
        QDir(scene.tree.path(QStringLiteral("tmp"))).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList());
}

void tst_ConverterEdges::theKernelsFilesAreReadToTheirEnd_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("cell"); // a cell the document holds
    QTest::newRow("a process's status, size 0") << QStringLiteral("/proc/self/status") << QByteArray("<td>Name:");
    QTest::newRow("the processors, size 0") << QStringLiteral("/proc/cpuinfo") << QByteArray("<td>processor\t");
    QTest::newRow("a system file, size 4096")
        << QStringLiteral("/sys/kernel/mm/transparent_hugepage/enabled") << QByteArray("never");
    QTest::newRow("another system file") << QStringLiteral("/sys/devices/system/cpu/online") << QByteArray("<td>0");
}

// A file of the kernel's tells no true size; as a PATH and as standard input it is read to its end, once.
void tst_ConverterEdges::theKernelsFilesAreReadToTheirEnd()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, cell);
    if (!QFileInfo(file).isReadable())
        QSKIP("this system has no such file");
    FaultScene scene(1024);
    scene.tree.makeFolder(QStringLiteral("tmp"));

    const Outcome piped = shell(scene, QStringLiteral("convert - < %1").arg(file));
    const Outcome given = shell(scene, QStringLiteral("convert -z -o out %1").arg(file));

    QCOMPARE(piped.status, 0);
    QVERIFY2(piped.out.contains(cell), piped.out.constData());
    QCOMPARE(given.status, 0);
    QVERIFY2(given.err.isEmpty(), given.err.constData());
    const QByteArray document =
        TempTree::readFile(QDir(scene.tree.root()).filePath(QString::fromUtf8(given.out.chopped(1))));
    QVERIFY2(document.contains(cell), document.constData());
}

// Past a file-size limit a write fails like any other: one line, status 1, the earlier document and no temporary
// left, though the temporary has a name.
void tst_ConverterEdges::aFileSizeLimitIsAFailedWrite()
{
    FaultScene scene;
    scene.tree.makeFolder(QStringLiteral("tmp"));
    const auto earlier = FaultScene::checksums(scene.out);

    const Outcome outcome = shell(scene, QStringLiteral("ulimit -f 1024; convert -o out in/big.csv"),
                                  {{QStringLiteral("OSTRAND_FAULT_TMPFILE"), QStringLiteral("refuse")}});

    QCOMPARE(outcome.status, 1);
    QVERIFY2(outcome.err.contains("out/big.htm: File too large"), outcome.err.constData());
    QCOMPARE(outcome.err.count('\n'), 1);
    QCOMPARE(FaultScene::checksums(scene.out), earlier);
}

// A run killed while it writes through named temporaries leaves them behind; the next run into the folder removes
// them, but not one a live writer holds.
void tst_ConverterEdges::temporariesOfAKilledRunAreSwept()
{
    FaultScene scene;
    scene.tree.makeFolder(QStringLiteral("tmp"));
    const QString held = scene.out + QStringLiteral("/.ostrand-held.tmp");
    FaultScene::writeBytes(held, "a live writer's\n");
    QVERIFY(handToNobody(scene.tree.root()));
    const QMap<QString, QString> named = {{QStringLiteral("OSTRAND_FAULT_TMPFILE"), QStringLiteral("refuse")}};
    QMap<QString, QString> killed = named;
    killed.insert(QStringLiteral("OSTRAND_FAULT_AT"), QStringLiteral("write:2097152"));
    killed.insert(QStringLiteral("OSTRAND_FAULT_RUN"), QStringLiteral("kill -9 $OSTRAND_FAULT_PID"));
    QFile holder(held);
    QVERIFY(holder.open(QIODevice::ReadOnly));
    QCOMPARE(::flock(holder.handle(), LOCK_EX | LOCK_NB), 0);

    const Outcome kill = shell(scene, QStringLiteral("convert -o out in/big.csv"), killed, true);
    QCOMPARE(kill.status, 128 + SIGKILL);
    QCOMPARE(temporaries(scene.out).size(), 2);
    const Outcome next = shell(scene, QStringLiteral("convert -o out in/a.csv"), named, true);

    QCOMPARE(next.status, 0);
    QCOMPARE(temporaries(scene.out), QStringList{QStringLiteral(".ostrand-held.tmp")});
    QCOMPARE(TempTree::readFile(scene.out + QStringLiteral("/big.htm")),
             QByteArray("the only copy of an earlier table\r\n"));
}

QTEST_GUILESS_MAIN(tst_ConverterEdges)
#include "tst_ConverterEdges.moc"
