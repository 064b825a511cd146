// SPDX-License-Identifier: MIT
// The real converter at the edges of what a user may trust it with: a replaced document keeps who may read it, a
// name someone takes meanwhile stays theirs, no source of the run is written over, standard input and output that
// never end or are one file, the kernel's files, a file-size limit, and the temporaries a killed run leaves.
#include <QtTest>

#include "faults/FaultScene.h"
#include "support/core/Unprivileged.h"

#include <csignal>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

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
    return QDir(folder).entryList({QStringLiteral(".ostrand-*.tmp")},
                                  QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

// A file's permission bits.
int modeOf(const QString& path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
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
    void aKernelFileWithNoEndStopsAtItsBound();
    void aFileSizeLimitIsAFailedWrite();
    void temporariesArePrivateFromTheirFirstByte_data();
    void temporariesArePrivateFromTheirFirstByte();
    void theReplacedDocumentIsTheOneThereAtTheEnd_data();
    void theReplacedDocumentIsTheOneThereAtTheEnd();
    void hashesOfTheOldBytesAreNotCarried();
    void aNewDocumentGetsWhatAnyNewFileGetsThere_data();
    void aNewDocumentGetsWhatAnyNewFileGetsThere();
    void theSweepRemovesOnlyWhatIsProvablyItsOwn_data();
    void theSweepRemovesOnlyWhatIsProvablyItsOwn();
    void aLiveWritersTemporaryIsLeftToIt_data();
    void aLiveWritersTemporaryIsLeftToIt();
    void aKillBeforeTheReplaceLeavesANameThatIsSwept();
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

// A file of the kernel's that never ends (a process's page map goes on for its whole address space) is read up to a
// bound of its own, then refused with one line; nothing is written and nothing is left in the temporary folder.
void tst_ConverterEdges::aKernelFileWithNoEndStopsAtItsBound()
{
    if (!QFileInfo(QStringLiteral("/proc/self/pagemap")).isReadable())
        QSKIP("this system has no page map to read");
    FaultScene scene(1024);
    scene.tree.makeFolder(QStringLiteral("tmp"));
    const auto earlier = FaultScene::checksums(scene.out);

    const Outcome outcome = shell(scene, QStringLiteral("convert -o out /proc/self/pagemap"));

    QCOMPARE(outcome.status, 1);
    QVERIFY2(outcome.err.contains("/proc/self/pagemap: It is a kernel file that goes on past 256 MiB, more than any "
                                  "kernel file holds; it was not read further\n"),
             outcome.err.constData());
    QCOMPARE(outcome.err.count('\n'), 1);
    QCOMPARE(FaultScene::checksums(scene.out), earlier);
    QCOMPARE(QDir(scene.tree.path(QStringLiteral("tmp"))).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
}

void tst_ConverterEdges::temporariesArePrivateFromTheirFirstByte_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("earlier"); // the mode of the earlier out/big.htm; -1 when there is none
    QTest::addColumn<QString>("probe");
    QTest::addColumn<QByteArray>("seen"); // what the probe saw while the converter wrote
    QTest::addColumn<int>("mode");        // the document's mode afterwards; -1 for none
    // Each temporary of the document's folder: its mode, and whether "nobody" could open it.
    const QString documents = QStringLiteral(
        "for f in out/.ostrand-*.tmp; do echo \"$(stat -c %a \"$f\") $(setpriv --reuid=nobody --regid=$(id -g nobody) "
        "--clear-groups cat \"$f\" >/dev/null 2>&1 && echo read || echo refused)\"; done > probe");
    const QString convert = QStringLiteral("umask 022; convert -o out in/big.csv");
    QTest::newRow("a new document") << convert << -1 << documents << QByteArray("600 refused\n") << 0644;
    QTest::newRow("over a private document") << convert << 0600 << documents << QByteArray("600 refused\n") << 0600;
    QTest::newRow("over a document all may read") << convert << 0644 << documents << QByteArray("600 refused\n")
                                                  << 0644;
    // Standard input's copy in the shared temporary folder: no name, and the mode of its descriptor.
    QTest::newRow("standard input's copy")
        << QStringLiteral("cat in/big.csv | convert - > /dev/null") << 0644
        << QStringLiteral("{ ls -A tmp; for f in /proc/$OSTRAND_FAULT_PID/fd/*; do case \"$(readlink \"$f\")\" in "
                          "*/tmp/*) stat -L -c %a \"$f\";; esac; done; } > probe")
        << QByteArray("600\n") << -1;
}

// Where the file system has no unnamed files, the converter (as root, the worst case) writes into a named temporary
// that another local user cannot open while it is written, whatever mode the document ends with.
void tst_ConverterEdges::temporariesArePrivateFromTheirFirstByte()
{
    QFETCH(QString, command);
    QFETCH(int, earlier);
    QFETCH(QString, probe);
    QFETCH(QByteArray, seen);
    QFETCH(int, mode);
    if (!FaultScene::isRoot())
        QSKIP("looks at the temporaries as another user, which needs root");
    FaultScene scene;
    scene.tree.makeFolder(QStringLiteral("tmp"));
    const QString document = scene.out + QStringLiteral("/big.htm");
    if (earlier < 0)
        QFile::remove(document);
    else
        QCOMPARE(::chmod(QFile::encodeName(document).constData(), mode_t(earlier)), 0);
    ::chmod(QFile::encodeName(scene.big).constData(), 0600);

    const Outcome outcome = shell(scene, command,
                                  {{QStringLiteral("OSTRAND_FAULT_TMPFILE"), QStringLiteral("refuse")},
                                   {QStringLiteral("OSTRAND_FAULT_AT"), QStringLiteral("write:2097152")},
                                   {QStringLiteral("OSTRAND_FAULT_RUN"), probe}});

    QCOMPARE(outcome.status, 0);
    QCOMPARE(TempTree::readFile(scene.tree.path(QStringLiteral("probe"))), seen);
    if (mode >= 0) {
        QCOMPARE(QFileInfo(document).size(), qint64(scene.bigDocument().size()));
        QCOMPARE(modeOf(document), mode);
    }
    QCOMPARE(temporaries(scene.out), QStringList());
}

void tst_ConverterEdges::theReplacedDocumentIsTheOneThereAtTheEnd_data()
{
    QTest::addColumn<QString>("tmpfile"); // OSTRAND_FAULT_TMPFILE
    QTest::addColumn<QString>("before");  // done to out/big.htm before the run
    QTest::addColumn<QString>("meanwhile");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("check"); // what the check shows of out/big.htm afterwards
    QTest::addColumn<QByteArray>("shown");
    const QString mode = QStringLiteral("stat -c %a out/big.htm; head -c 6 out/big.htm");
    const QString acl = QStringLiteral("getfacl -cp out/big.htm");
    for (const QString& tmpfile : {QString(), QStringLiteral("refuse")}) {
        const char* kind = tmpfile.isEmpty() ? "unnamed" : "named";
        QTest::addRow("removed, and a private file made at its name, %s", kind)
            << tmpfile << QStringLiteral("chmod 644 out/big.htm")
            << QStringLiteral("rm out/big.htm; (umask 077; echo theirs > out/big.htm)") << 1 << mode
            << QByteArray("600\ntheirs");
        QTest::addRow("its mode narrowed, %s", kind)
            << tmpfile << QStringLiteral("chmod 644 out/big.htm") << QStringLiteral("chmod 600 out/big.htm") << 0
            << mode << QByteArray("600\n<html>");
        QTest::addRow("an entry of its access list removed, %s", kind)
            << tmpfile << QStringLiteral("chmod 644 out/big.htm; setfacl -m u:daemon:r out/big.htm")
            << QStringLiteral("setfacl -x u:daemon out/big.htm") << 0 << acl
            << QByteArray("user::rw-\ngroup::r--\nmask::r--\nother::r--\n\n");
        QTest::addRow("an entry of its access list added, %s", kind)
            << tmpfile << QStringLiteral("chmod 644 out/big.htm") << QStringLiteral("setfacl -m u:daemon:r out/big.htm")
            << 0 << acl << QByteArray("user::rw-\nuser:daemon:r--\ngroup::r--\nmask::r--\nother::r--\n\n");
        QTest::addRow("removed, %s", kind) << tmpfile << QStringLiteral("chmod 600 out/big.htm")
                                           << QStringLiteral("rm out/big.htm") << 0 << mode
                                           << QByteArray("644\n<html>");
    }
}

// The document replaces the file that is at its name when it is put in place, with that file's access as it is
// then: a file put there meanwhile in place of the earlier document is someone else's and stays.
void tst_ConverterEdges::theReplacedDocumentIsTheOneThereAtTheEnd()
{
    QFETCH(QString, tmpfile);
    QFETCH(QString, before);
    QFETCH(QString, meanwhile);
    QFETCH(int, status);
    QFETCH(QString, check);
    QFETCH(QByteArray, shown);
    if (QStandardPaths::findExecutable(QStringLiteral("setfacl")).isEmpty())
        QSKIP("setfacl and getfacl are not installed");
    FaultScene scene;
    scene.tree.makeFolder(QStringLiteral("tmp"));
    run(scene, before);

    const Outcome outcome = shell(scene, QStringLiteral("umask 022; convert -o out in/big.csv"),
                                  {{QStringLiteral("OSTRAND_FAULT_TMPFILE"), tmpfile},
                                   {QStringLiteral("OSTRAND_FAULT_AT"), QStringLiteral("write:2097152")},
                                   {QStringLiteral("OSTRAND_FAULT_RUN"), meanwhile}});

    QCOMPARE(outcome.status, status);
    if (status != 0)
        QVERIFY2(outcome.err.contains("out/big.htm: A file appeared there while the document was written, and it is "
                                      "left alone"),
                 outcome.err.constData());
    QCOMPARE(run(scene, check), shown);
    QCOMPARE(temporaries(scene.out), QStringList());
}

// The integrity module's hash and signature of the earlier document's bytes would not match the new ones: root, who
// may set them, does not carry them; a user's attribute still comes along.
void tst_ConverterEdges::hashesOfTheOldBytesAreNotCarried()
{
    if (!FaultScene::isRoot() || QStandardPaths::findExecutable(QStringLiteral("setfattr")).isEmpty())
        QSKIP("sets attributes of the security namespace, which needs root and setfattr");
    FaultScene scene(1024);
    scene.tree.makeFolder(QStringLiteral("tmp"));
    FaultScene::writeBytes(scene.out + QStringLiteral("/c.htm"), "earlier\n");
    run(scene, QStringLiteral("setfattr -n security.ima -v 0x0401 out/c.htm && setfattr -n security.evm -v 0x0301 "
                              "out/c.htm && setfattr -n user.origin -v kept out/c.htm"));

    const Outcome outcome = shell(scene, QStringLiteral("convert -o out in/c.csv"));

    QCOMPARE(outcome.status, 0);
    QCOMPARE(run(scene, QStringLiteral("getfattr -d -m '^(user|security)\\.' out/c.htm")),
             QByteArray("# file: out/c.htm\nuser.origin=\"kept\"\n\n"));
}

void tst_ConverterEdges::aNewDocumentGetsWhatAnyNewFileGetsThere_data()
{
    QTest::addColumn<QString>("tmpfile");
    QTest::addColumn<QString>("setting"); // the umask, or the folder's default access control list
    for (const QString& tmpfile : {QString(), QStringLiteral("refuse")}) {
        const char* kind = tmpfile.isEmpty() ? "unnamed" : "named";
        QTest::addRow("umask 022, %s", kind) << tmpfile << QStringLiteral("umask 022");
        QTest::addRow("umask 077, %s", kind) << tmpfile << QStringLiteral("umask 077");
        QTest::addRow("umask 0, %s", kind) << tmpfile << QStringLiteral("umask 0");
        QTest::addRow("a default access list, %s", kind)
            << tmpfile << QStringLiteral("umask 022; setfacl -d -m u:daemon:rw,g::r,o::- out");
        QTest::addRow("a default access list without named entries, %s", kind)
            << tmpfile << QStringLiteral("umask 077; setfacl -d -m u::rw,g::rw,o::r out");
    }
}

// A new document ends with the access any new file gets in its folder, whether its temporary was unnamed or named
// (private until it is put in place): the umask's, or the folder's default access control list's.
void tst_ConverterEdges::aNewDocumentGetsWhatAnyNewFileGetsThere()
{
    QFETCH(QString, tmpfile);
    QFETCH(QString, setting);
    if (QStandardPaths::findExecutable(QStringLiteral("setfacl")).isEmpty())
        QSKIP("setfacl and getfacl are not installed");
    FaultScene scene(1024);
    scene.tree.makeFolder(QStringLiteral("tmp"));

    const Outcome outcome = shell(scene, setting + QStringLiteral("; convert -o out in/c.csv && touch out/touched"),
                                  {{QStringLiteral("OSTRAND_FAULT_TMPFILE"), tmpfile}});

    QCOMPARE(outcome.status, 0);
    QCOMPARE(run(scene, QStringLiteral("stat -c %a out/c.htm; getfacl -cp out/c.htm")),
             run(scene, QStringLiteral("stat -c %a out/touched; getfacl -cp out/touched")));
}

void tst_ConverterEdges::theSweepRemovesOnlyWhatIsProvablyItsOwn_data()
{
    QTest::addColumn<QString>("plant"); // makes out/.ostrand-k.tmp
    QTest::addColumn<int>("lock");      // how the test holds it: 0 not, or the kind of lock
    QTest::addColumn<int>("ahead");     // the converter's clock, seconds ahead
    QTest::addColumn<QString>("tmpfile");
    QTest::addColumn<bool>("removed");
    const QString left = QStringLiteral("echo left > out/.ostrand-k.tmp");
    const QString named = QStringLiteral("refuse");
    QTest::newRow("a killed run's, untouched for two hours") << left << 0 << 7200 << named << true;
    QTest::newRow("the same, met by a replace through an unnamed file") << left << 0 << 7200 << QString() << true;
    QTest::newRow("untouched only for a moment") << left << 0 << 0 << named << false;
    QTest::newRow("untouched for 59 and a half minutes") << left << 0 << 3570 << named << false;
    QTest::newRow("untouched for an hour and a half minute") << left << 0 << 3630 << named << true;
    QTest::newRow("another user's") << left + QStringLiteral("; chown nobody out/.ostrand-k.tmp") << 0 << 7200
                                    << named << false;
    QTest::newRow("with a second name") << left + QStringLiteral("; ln out/.ostrand-k.tmp out/second") << 0 << 7200
                                        << named << false;
    QTest::newRow("held by flock") << left << LOCK_EX << 7200 << named << false;
    QTest::newRow("held by a POSIX lock") << left << F_SETLK << 7200 << named << false;
    QTest::newRow("held by an open-file lock") << left << F_OFD_SETLK << 7200 << named << false;
    QTest::newRow("a symbolic link") << QStringLiteral("ln -s ../in/a.csv out/.ostrand-k.tmp") << 0 << 7200 << named
                                     << false;
    QTest::newRow("a folder") << QStringLiteral("mkdir out/.ostrand-k.tmp") << 0 << 7200 << named << false;
}

// A run that saves into a folder removes what a killed run of its user left there, and nothing it cannot prove is
// that: a temporary of another user (root saving into a shared folder), one with another name, one a lock holds,
// one touched a moment ago, anything that is not a plain file.
void tst_ConverterEdges::theSweepRemovesOnlyWhatIsProvablyItsOwn()
{
    QFETCH(QString, plant);
    QFETCH(int, lock);
    QFETCH(int, ahead);
    QFETCH(QString, tmpfile);
    QFETCH(bool, removed);
    FaultScene scene;
    scene.tree.makeFolder(QStringLiteral("tmp"));
    run(scene, plant);
    QFile holder(scene.out + QStringLiteral("/.ostrand-k.tmp"));
    if (lock != 0) {
        QVERIFY(holder.open(QIODevice::ReadOnly));
        struct flock range = {};
        range.l_type = F_RDLCK;
        range.l_whence = SEEK_SET;
        QCOMPARE(lock == LOCK_EX ? ::flock(holder.handle(), LOCK_EX | LOCK_NB) : ::fcntl(holder.handle(), lock, &range),
                 0);
    }

    const Outcome outcome = shell(scene, QStringLiteral("convert -o out in/big.csv"),
                                  {{QStringLiteral("OSTRAND_FAULT_TMPFILE"), tmpfile},
                                   {QStringLiteral("OSTRAND_FAULT_CLOCK_AHEAD"), QString::number(ahead)}});

    QCOMPARE(outcome.status, 0);
    QCOMPARE(temporaries(scene.out), removed ? QStringList() : QStringList{QStringLiteral(".ostrand-k.tmp")});
    QCOMPARE(TempTree::readFile(scene.out + QStringLiteral("/big.htm")), scene.bigDocument());
}

void tst_ConverterEdges::aLiveWritersTemporaryIsLeftToIt_data()
{
    QTest::addColumn<QString>("sweeper"); // the second run's faults
    QTest::newRow("its locks do not reach the second run") << QStringLiteral("OSTRAND_FAULT_LOCKS=none");
    QTest::newRow("the second run's clock two hours ahead") << QStringLiteral("OSTRAND_FAULT_CLOCK_AHEAD=7200");
}

// Two writers in one folder, through named temporaries: while the first writes, a second run saves there and sweeps
// the folder. Where the first one's locks do not reach it, the first one's temporary is too fresh to be a killed
// run's; where its clock says that temporary is old, the locks hold it. The first run completes.
void tst_ConverterEdges::aLiveWritersTemporaryIsLeftToIt()
{
    QFETCH(QString, sweeper);
    FaultScene scene;
    scene.tree.makeFolder(QStringLiteral("tmp"));
    const QString second =
        QStringLiteral("env -u OSTRAND_FAULT_AT -u OSTRAND_FAULT_RUN LD_PRELOAD=\"$OSTRAND_FAULT_SHIM\" %1 \"%2\" -o out "
                       "in/a.csv > second.out 2>&1; echo $? >> second.out; ls -A out | grep -c '^.ostrand-' >> second.out")
            .arg(sweeper, qEnvironmentVariable("OSTRAND_BIN_DIR") + QStringLiteral("/ostrand-convert"));

    const Outcome first = shell(scene, QStringLiteral("convert -o out in/big.csv"),
                                {{QStringLiteral("OSTRAND_FAULT_TMPFILE"), QStringLiteral("refuse")},
                                 {QStringLiteral("OSTRAND_FAULT_AT"), QStringLiteral("write:2097152")},
                                 {QStringLiteral("OSTRAND_FAULT_RUN"), second}});

    QCOMPARE(TempTree::readFile(scene.tree.path(QStringLiteral("second.out"))), QByteArray("out/a.htm\n0\n1\n"));
    QVERIFY2(first.err.isEmpty(), first.err.constData());
    QCOMPARE(first.status, 0);
    QCOMPARE(TempTree::readFile(scene.out + QStringLiteral("/big.htm")), scene.bigDocument());
    QCOMPARE(temporaries(scene.out), QStringList());
}

// With unnamed files, a document that replaces another gets a name of its own for a moment before the replace: a run
// killed right then leaves that name, holding the whole new document. A later run that replaces a document there
// removes it once it is old enough to be a killed run's, and not before.
void tst_ConverterEdges::aKillBeforeTheReplaceLeavesANameThatIsSwept()
{
    FaultScene scene;
    scene.tree.makeFolder(QStringLiteral("tmp"));

    const Outcome killed = shell(scene, QStringLiteral("convert -o out in/big.csv"),
                                 {{QStringLiteral("OSTRAND_FAULT_AT"), QStringLiteral("tmplink:1")},
                                  {QStringLiteral("OSTRAND_FAULT_RUN"), QStringLiteral("kill -9 $OSTRAND_FAULT_PID")}});
    QCOMPARE(killed.status, 128 + SIGKILL);
    const QStringList left = temporaries(scene.out);
    QCOMPARE(left.size(), 1);
    QCOMPARE(TempTree::readFile(scene.out + QLatin1Char('/') + left.first()), scene.bigDocument());
    QCOMPARE(TempTree::readFile(scene.out + QStringLiteral("/big.htm")),
             QByteArray("the only copy of an earlier table\r\n"));

    QCOMPARE(shell(scene, QStringLiteral("convert -o out in/big.csv")).status, 0);
    QCOMPARE(temporaries(scene.out), left);
    QCOMPARE(shell(scene, QStringLiteral("convert -o out in/big.csv"),
                   {{QStringLiteral("OSTRAND_FAULT_CLOCK_AHEAD"), QStringLiteral("7200")}})
                 .status,
             0);
    QCOMPARE(temporaries(scene.out), QStringList());
}

QTEST_GUILESS_MAIN(tst_ConverterEdges)
#include "tst_ConverterEdges.moc"
