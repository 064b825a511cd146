// SPDX-License-Identifier: MIT
// The real converter on a failing machine: a full disk, an output folder that goes away, sources that
// change while they are read, too little memory, broken settings files, a FIFO slipped in, and SIGTERM or
// SIGKILL at any moment. After each, the earlier documents are intact, no input changed, the failure was
// reported in plain words, and the next file converts; no temporary file is left but by SIGKILL, and none that
// could be taken for a document.
#include <QtTest>

#include <QRandomGenerator>

#include <algorithm>
#include <memory>

#include "faults/FaultScene.h"
#include "support/core/Unprivileged.h"

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/stat.h>
#endif

using namespace ostrand::test;

namespace {

// How the converter ended: its exit status, -1 when a signal ended it, -2 when it hung and was killed.
struct Outcome
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

QString converter()
{
    return qEnvironmentVariable("OSTRAND_BIN_DIR") + QStringLiteral("/ostrand-convert");
}

// Starts the converter in the scene's folder with the preloaded fault library and the given faults.
void start(QProcess& program, const FaultScene& scene, const QStringList& arguments,
           const QMap<QString, QString>& faults = {}, const QString& limits = QString())
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LD_PRELOAD"), qEnvironmentVariable("OSTRAND_FAULT_SHIM"));
    for (auto it = faults.begin(); it != faults.end(); ++it)
        environment.insert(it.key(), it.value());
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(scene.tree.root());
    if (limits.isEmpty()) {
        program.start(converter(), arguments);
    } else {
        program.start(QStringLiteral("/bin/sh"),
                      QStringList{QStringLiteral("-c"), limits + QStringLiteral("; exec \"$0\" \"$@\""), converter()} +
                          arguments);
    }
}

Outcome finish(QProcess& program)
{
    Outcome outcome;
    // A test that waited with events running may have seen it end already.
    if (program.state() != QProcess::NotRunning && !program.waitForFinished(120000)) {
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

Outcome convert(const FaultScene& scene, const QStringList& arguments, const QMap<QString, QString>& faults = {},
                const QString& limits = QString())
{
    QProcess program;
    start(program, scene, arguments, faults, limits);
    return finish(program);
}

const QStringList kRun = {QStringLiteral("--output-dir"), QStringLiteral("out"), QStringLiteral("in/a.csv"),
                          QStringLiteral("in/big.csv"), QStringLiteral("in/c.csv")};

// A failure as the converter's one line on stderr says it: the path the reason is about, once, and the reason.
QByteArray report(const QByteArray& path, const QByteArray& reason)
{
    return "ostrand-convert: " + path + ": " + reason + "\n";
}

qsizetype reportCount(const QByteArray& err)
{
    return err.count("ostrand-convert: ");
}

QByteArray lines(const QByteArrayList& paths)
{
    return paths.isEmpty() ? QByteArray() : paths.join('\n') + '\n';
}

// Every entry of a folder, hidden ones too, sorted by name.
QStringList entries(const QString& folder)
{
    QStringList list = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    list.sort();
    return list;
}

// Five thousand sources of about 2 KB in many/kill/, each with fields of its own, listed in an order that is not
// the order of their names; each has an earlier document in many/out/ but every eighth, which has none. Made once
// and shared by every kill. Where the test may mount one, many/ is a file system in memory: a kill ends the
// program, not the machine, so it sees the same files either way, and the runs then neither wait for nor slow
// the machine's other disk work.
struct ManyKilled
{
    static constexpr int kCount = 5000;

    ManyKilled() : scene(1024)
    {
        const QString base = scene.tree.makeFolder(QStringLiteral("many"));
        mounted = FaultScene::mountSmallDisk(base, 256 * 1024 * 1024);
        out = scene.tree.makeFolder(QStringLiteral("many/out"));
        FaultScene::plantEarlierDocuments(out);
        arguments = QStringList{QStringLiteral("--output-dir"), QStringLiteral("many/out")};
        for (int at = 0; at < kCount; ++at) {
            const int i = int(qint64(at) * 1201 % kCount); // 1201 shares no factor with 5000
            const QByteArray name = "k" + QByteArray::number(i).rightJustified(4, '0');
            QList<QByteArrayList> rows;
            QByteArray bytes;
            for (int line = 0; line < 30; ++line) {
                QByteArrayList row;
                for (int field = 0; field < 6; ++field)
                    row << name + 'l' + QByteArray::number(line) + 'f' + QByteArray::number(field);
                bytes += row.join(',') + "\r\n";
                rows << row;
            }
            sources << bytes;
            documents << FaultScene::document(rows);
            earlier << (i % 8 == 5 ? QByteArray() : "an earlier table of " + name + "\r\n");
            names << QString::fromLatin1(name + ".htm");
            outputs << "many/out/" + name + ".htm";
            arguments << QStringLiteral("many/kill/") + QString::fromLatin1(name + ".csv");
            scene.tree.writeFile(arguments.last(), bytes);
            if (!earlier.last().isEmpty())
                FaultScene::writeBytes(out + QLatin1Char('/') + names.last(), earlier.last());
        }
        settle();
    }
    ~ManyKilled()
    {
        if (mounted)
            FaultScene::unmount(scene.tree.path(QStringLiteral("many")));
    }

    // On the disk, what the test wrote is made durable first, so that a run's syncs do not wait for it.
    void settle() const
    {
#ifdef Q_OS_UNIX
        if (!mounted)
            ::sync();
#endif
    }

    // Puts the earlier documents back where a run replaced them and removes whatever else it left in out/.
    void restore() const
    {
        const QByteArray letters = states();
        for (int at = 0; at < kCount; ++at) {
            if (letters[at] == 'O' || letters[at] == '-')
                continue;
            const QString path = out + QLatin1Char('/') + names[at];
            if (earlier[at].isEmpty())
                QFile::remove(path);
            else
                FaultScene::writeBytes(path, earlier[at]);
        }
        const QStringList untouched = present(untouchedAfter(0));
        const QSet<QString> keep(untouched.begin(), untouched.end());
        for (const QString& name : entries(out)) {
            if (!keep.contains(name) && !QFile::remove(out + QLatin1Char('/') + name))
                QDir(out + QLatin1Char('/') + name).removeRecursively();
        }
        settle();
    }

    // One letter for each entry of the list, by what its document holds: N the new one, O the earlier one,
    // - nothing, ? anything else.
    QByteArray states() const
    {
        QByteArray letters(kCount, '?');
        for (int at = 0; at < kCount; ++at) {
            const QString path = out + QLatin1Char('/') + names[at];
            const QByteArray bytes = TempTree::readFile(path);
            if (bytes == documents[at])
                letters[at] = 'N';
            else if (!earlier[at].isEmpty() && bytes == earlier[at])
                letters[at] = 'O';
            else if (earlier[at].isEmpty() && !QFileInfo::exists(path))
                letters[at] = '-';
        }
        return letters;
    }

    // How many entries at the head of the list have their new documents.
    static qsizetype newAtHead(const QByteArray& letters)
    {
        return std::find_if(letters.begin(), letters.end(), [](char c) { return c != 'N'; }) - letters.begin();
    }

    // The letters when the first `placed` entries of the list have their new documents and the others are untouched.
    QByteArray untouchedAfter(qsizetype placed) const
    {
        QByteArray letters(placed, 'N');
        for (qsizetype at = placed; at < kCount; ++at)
            letters += earlier[at].isEmpty() ? '-' : 'O';
        return letters;
    }

    // The entry at a place of the list with what its letter says it holds; "" past the end.
    QString describe(const QByteArray& letters, qsizetype at) const
    {
        if (at >= letters.size())
            return QString();
        const char letter = letters[at];
        return QStringLiteral("entry %1, %2: %3")
            .arg(at)
            .arg(names[at], letter == 'N'   ? QStringLiteral("the new document")
                            : letter == 'O' ? QStringLiteral("the earlier document")
                            : letter == '-' ? QStringLiteral("no document")
                                            : QStringLiteral("other bytes"));
    }

    // The names of the files out/ should hold: the documents the letters say are there, and the two earlier
    // ones no source of the run touches.
    QStringList present(const QByteArray& letters) const
    {
        QStringList list = {QStringLiteral("big.htm"), QStringLiteral("old.htm")};
        for (int at = 0; at < kCount; ++at) {
            if (letters[at] == 'N' || letters[at] == 'O')
                list << names[at];
        }
        list.sort();
        return list;
    }

    // The sources whose bytes are no longer those they were made with.
    QStringList changedSources() const
    {
        QStringList changed;
        for (int at = 0; at < kCount; ++at) {
            if (TempTree::readFile(scene.tree.path(arguments[at + 2])) != sources[at])
                changed << arguments[at + 2];
        }
        return changed;
    }

    FaultScene scene;
    bool mounted = false;
    QString out;
    QStringList arguments;  // the converter's, writing into out/
    QStringList names;      // the documents' names, in the order of the list
    QByteArrayList outputs; // the documents as the converter lists them
    QByteArrayList sources;
    QByteArrayList documents;
    QByteArrayList earlier; // empty where there is no earlier document
    qint64 runMs = 0;       // how long a whole run took
};

} // namespace

class tst_ConverterFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fullDisk_data();
    void fullDisk();
    void documentThatJustFits();
    void outputFolderGoesAway_data();
    void outputFolderGoesAway();
    void sourceChangesWhileRead_data();
    void sourceChangesWhileRead();
    void sourceLargerThanTheMemoryLimit();
    void brokenSettingsFiles_data();
    void brokenSettingsFiles();
    void everyFailureOfAConversion_data();
    void everyFailureOfAConversion();
    void fifoSlippedInNeverHangs();
    void sigtermAtRandomPoints();
    void failedSyncInABatch_data();
    void failedSyncInABatch();
    void placedOnlyOnceSyncedInListOrder();
    void sharedNameWhileTheFirstIsPlaced_data();
    void sharedNameWhileTheFirstIsPlaced();
    void sigtermInABatch_data();
    void sigtermInABatch();
    void killAtRandomPointsOfManyFiles_data();
    void killAtRandomPointsOfManyFiles();

private:
    std::unique_ptr<ManyKilled> m_many; // made by the first kill, shared by the others
    quint32 m_seed = 0;
};

void tst_ConverterFaults::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("OSTRAND_BIN_DIR") || qEnvironmentVariableIsEmpty("OSTRAND_FAULT_SHIM"))
        QSKIP("OSTRAND_BIN_DIR and OSTRAND_FAULT_SHIM are not set (CTest sets them)");
    // The kills land at random points; OSTRAND_KILL_SEED repeats the points of an earlier run.
    const QString seed = qEnvironmentVariable("OSTRAND_KILL_SEED");
    m_seed = seed.isEmpty() ? QRandomGenerator::system()->generate() : seed.toUInt();
    qInfo("OSTRAND_KILL_SEED=%u", m_seed);
}

void tst_ConverterFaults::fullDisk_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QByteArray>("reason"); // what the large document's report says after its path
    QTest::newRow("the disk fills during the write") << QStringLiteral("space")
                                                     << QByteArray("No space left on device\n");
    // Past the first chunk, which is written while the next ones are made.
    QTest::newRow("the disk fills at a later chunk") << QStringLiteral("space late")
                                                     << QByteArray("No space left on device\n");
    QTest::newRow("the sync finds the disk full")
        << QStringLiteral("sync") << QByteArray("No space left on device\n");
    QTest::newRow("the disk is too small from the start")
        << QStringLiteral("small") << QByteArray("Not enough disk space (the document needs at least ");
}

// The large document does not fit; the small ones before and after it do.
void tst_ConverterFaults::fullDisk()
{
    QFETCH(QString, fault);
    QFETCH(QByteArray, reason);
    FaultScene scene;
    QMap<QString, QString> faults;
    bool mounted = false;
    if (fault.startsWith(QLatin1String("space"))) {
        faults.insert(QStringLiteral("OSTRAND_FAULT_SPACE"),
                      fault == QLatin1String("space") ? QStringLiteral("1048576") : QStringLiteral("5242880"));
    } else if (fault == QLatin1String("small")) {
        // A disk of 1 MB: the large document, 4 MB at least, is refused before anything is written.
        mounted = FaultScene::mountSmallDisk(scene.out, 1024 * 1024);
        if (mounted)
            FaultScene::plantEarlierDocuments(scene.out);
        else
            faults.insert(QStringLiteral("OSTRAND_FAULT_FREE"), QStringLiteral("1048576"));
    } else {
        // Only the large document is synced by itself before it is put in place; the shim fails every sync,
        // so the small ones fail too and the test checks each of the three reports.
        faults.insert(QStringLiteral("OSTRAND_FAULT_SYNC"), QStringLiteral("enospc"));
    }

    const Outcome outcome = convert(scene, kRun, faults);
    const auto after = FaultScene::checksums(scene.out);
    if (mounted)
        FaultScene::unmount(scene.out);

    QCOMPARE(outcome.status, 1);
    // The document named once, the reason, and no location in the program.
    QVERIFY2(outcome.err.contains("ostrand-convert: out/big.htm: " + reason), outcome.err.constData());
    QVERIFY2(!outcome.err.contains("Vantrel") && outcome.err.count("big.htm") == 1, outcome.err.constData());
    const bool sync = fault == QLatin1String("sync");
    QCOMPARE(reportCount(outcome.err), sync ? 3 : 1);
    QCOMPARE(outcome.out, sync ? QByteArray() : QByteArray("out/a.htm\nout/c.htm\n"));
    QCOMPARE(after, scene.expectedOut(!sync, false, !sync));
    QCOMPARE(FaultScene::checksums(scene.in), scene.inputs);
}

// The room a document needs is judged by a bound it never exceeds: with exactly its size free, the large
// document is written.
void tst_ConverterFaults::documentThatJustFits()
{
    FaultScene scene;
    const QMap<QString, QString> faults = {
        {QStringLiteral("OSTRAND_FAULT_FREE"), QString::number(scene.bigDocument().size())}};

    const Outcome outcome = convert(scene, kRun, faults);

    QCOMPARE(outcome.err, QByteArray());
    QCOMPARE(outcome.status, 0);
    QCOMPARE(outcome.out, QByteArray("out/a.htm\nout/big.htm\nout/c.htm\n"));
    QCOMPARE(FaultScene::checksums(scene.out), scene.expectedOut(true, true, true));
}

void tst_ConverterFaults::outputFolderGoesAway_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("removed while the large document is written") << QStringLiteral("removed");
    QTest::newRow("made read-only while the large source is read") << QStringLiteral("read-only");
}

// Every document after the fault fails with the system's own words; the one written before it is kept.
void tst_ConverterFaults::outputFolderGoesAway()
{
    QFETCH(QString, fault);
    FaultScene scene;
    QMap<QString, QString> faults;
    QString keptIn = scene.out;
    QByteArray reason;
    bool bound = false;
    if (fault == QLatin1String("removed")) {
        faults.insert(QStringLiteral("OSTRAND_FAULT_AT"), QStringLiteral("write:1048576"));
        faults.insert(QStringLiteral("OSTRAND_FAULT_RUN"), QStringLiteral("mv out out.gone"));
        keptIn = scene.tree.path(QStringLiteral("out.gone"));
        reason = "No such file or directory";
    } else {
        faults.insert(QStringLiteral("OSTRAND_FAULT_AT"), QStringLiteral("read:1048576"));
        if (FaultScene::isRoot()) {
            // Root writes into any folder whatever its mode: a read-only mount of it is what stops root.
            bound = QProcess::execute(QStringLiteral("mount"), {QStringLiteral("--bind"), scene.out, scene.out}) == 0;
            if (!bound)
                QSKIP("root may not mount here, and a read-only mode does not stop root");
            faults.insert(QStringLiteral("OSTRAND_FAULT_RUN"), QStringLiteral("mount -o remount,bind,ro out"));
            reason = "Read-only file system";
        } else {
            faults.insert(QStringLiteral("OSTRAND_FAULT_RUN"), QStringLiteral("chmod 555 out"));
            reason = "Permission denied";
        }
    }

    const Outcome outcome = convert(scene, kRun, faults);
    const auto after = FaultScene::checksums(keptIn);
    if (bound)
        FaultScene::unmount(scene.out);
    QFile::setPermissions(scene.out, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QCOMPARE(outcome.status, 1);
    QCOMPARE(outcome.out, QByteArray("out/a.htm\n"));
    // The large document fails in the system's words (or, for a read-only folder, Qt's: the earlier document
    QVERIFY2(outcome.err.startsWith("ostrand-convert: out/big.htm: "), outcome.err.constData());
    QVERIFY2(outcome.err.endsWith(report("out/c.htm", reason)), outcome.err.constData());
    QCOMPARE(reportCount(outcome.err), 2);
    QCOMPARE(after, scene.expectedOut(true, false, false));
    QCOMPARE(FaultScene::checksums(scene.in), scene.inputs);
    if (fault == QLatin1String("removed"))
        QVERIFY(!QFileInfo::exists(scene.out));

    // Once the folder is back, the next run converts.
    QDir().mkpath(scene.out);
    const Outcome next =
        convert(scene, {QStringLiteral("--output-dir"), QStringLiteral("out"), QStringLiteral("in/c.csv")});
    QCOMPARE(next.status, 0);
    QCOMPARE(TempTree::readFile(scene.out + QStringLiteral("/c.htm")), FaultScene::document({{"c", "d"}}));
}

void tst_ConverterFaults::sourceChangesWhileRead_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("truncated") << QStringLiteral("truncate -s 100 in/big.csv");
    QTest::newRow("grown") << QStringLiteral("printf 'x,y\\r\\n' >> in/big.csv");
    QTest::newRow("rewritten in place") << QStringLiteral("printf 'X' | dd of=in/big.csv bs=1 seek=5 conv=notrunc "
                                                          "2>/dev/null; touch -d '2001-01-01' in/big.csv");
}

void tst_ConverterFaults::sourceChangesWhileRead()
{
    QFETCH(QString, command);
    FaultScene scene;
    const QMap<QString, QString> faults = {{QStringLiteral("OSTRAND_FAULT_AT"), QStringLiteral("read:1048576")},
                                           {QStringLiteral("OSTRAND_FAULT_RUN"), command}};

    const Outcome outcome = convert(scene, kRun, faults);

    QCOMPARE(outcome.status, 1);
    QCOMPARE(outcome.out, QByteArray("out/a.htm\nout/c.htm\n"));
    QCOMPARE(outcome.err, report("in/big.csv", "The file changed while it was read"));
    QCOMPARE(FaultScene::checksums(scene.out), scene.expectedOut(true, false, true));
    auto inputs = FaultScene::checksums(scene.in);
    inputs.remove(QStringLiteral("big.csv")); // the test changed it
    auto before = scene.inputs;
    before.remove(QStringLiteral("big.csv"));
    QCOMPARE(inputs, before);
}

// A source larger than the memory the converter may take converts: the conversion holds a few slices of it at
// a time, never the whole source or document.
void tst_ConverterFaults::sourceLargerThanTheMemoryLimit()
{
#ifdef OSTRAND_SANITIZE
    QSKIP("AddressSanitizer reserves more address space than the limit this test sets");
#endif
    FaultScene scene(1024);
    // 1.5 GB of NUL bytes with a short line every 16 MB: a sparse file that takes no room on the disk, three
    // times the address space the converter gets. Its document, about as large, is written.
    const qint64 size = qint64(1536) * 1024 * 1024;
    const qint64 every = qint64(16) * 1024 * 1024;
    const QByteArray line = "\r\nx,y\r\n";
    {
        QFile big(scene.big);
        QVERIFY(big.open(QIODevice::ReadWrite | QIODevice::Truncate));
        QVERIFY(big.resize(size));
        for (qint64 at = every; at < size; at += every) {
            QVERIFY(big.seek(at));
            QCOMPARE(big.write(line), qint64(line.size()));
        }
    }
    const Outcome outcome = convert(scene, kRun, {}, QStringLiteral("ulimit -v 512000"));
    QFile::resize(scene.big, 0);

    QCOMPARE(outcome.err, QByteArray());
    QCOMPARE(outcome.status, 0);
    QCOMPARE(outcome.out, QByteArray("out/a.htm\nout/big.htm\nout/c.htm\n"));
    QFile document(scene.out + QStringLiteral("/big.htm"));
    // Each 16 MB run of NUL bytes but the first gives one cell; each short line a row of two cells.
    const qint64 lines = size / every - 1;
    const QByteArray header = FaultScene::document({}).chopped(16);
    const qint64 expected = header.size() + (size - line.size() * lines) +
                            (lines + 1) * qint64(sizeof "<tr>\r\n<td></td></tr>\r\n" - 1) +
                            lines * qint64(sizeof "<tr>\r\n<td>x</td><td>y</td></tr>\r\n" - 1) + 16;
    QCOMPARE(document.size(), expected);
    QFile::remove(document.fileName());
}

void tst_ConverterFaults::brokenSettingsFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("message"); // the one line on stderr, "" for none
    QTest::newRow("unreadable") << QStringLiteral("unreadable") << QByteArray("Permission denied; using the defaults");
    QTest::newRow("a folder") << QStringLiteral("folder")
                              << QByteArray("It is a folder, not a file; using the defaults");
    QTest::newRow("binary garbage") << QStringLiteral("garbage") << QByteArray();
    QTest::newRow("10 MB of one line") << QStringLiteral("long") << QByteArray();
    QTest::newRow("read-only") << QStringLiteral("read-only") << QByteArray();
}

// --saved-settings over a settings file that is broken in each way: the run converts, with the defaults where
// nothing can be read, and says so in one line when the file cannot be read at all.
void tst_ConverterFaults::brokenSettingsFiles()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, message);
    FaultScene scene(1024);
    const QString config = scene.tree.makeFolder(QStringLiteral("config"));
    const QString file = config + QStringLiteral("/Kelvadine.conf");
    QByteArray bytes;
    if (kind == QLatin1String("garbage")) {
        QRandomGenerator random(7);
        for (int i = 0; i < 4096; ++i)
            bytes += char(random.bounded(256));
    } else if (kind == QLatin1String("long")) {
        bytes = "[Ostrand]\nOther=" + QByteArray(10 * 1024 * 1024, 'x');
    } else {
        bytes = "[Ostrand]\nOption6=True\n";
    }
    if (kind == QLatin1String("folder"))
        QDir().mkpath(file);
    else
        FaultScene::writeBytes(file, bytes);
    if (kind == QLatin1String("unreadable"))
        QFile::setPermissions(file, QFileDevice::WriteOwner);
    if (kind == QLatin1String("read-only"))
        QFile::setPermissions(file, QFileDevice::ReadOwner);
    const QMap<QString, QString> faults = {{QStringLiteral("XDG_CONFIG_HOME"), config}};
    // Permission bits stop an ordinary user, not root: where the tests run as root, the converter meets those
    // files as the user "nobody", who is handed the scene.
    QProcess program;
    if (kind == QLatin1String("unreadable") || kind == QLatin1String("read-only")) {
        QString why;
        if (!startAsNobody(program, &why))
            QSKIP(qPrintable(why));
        QVERIFY(handToNobody(scene.tree.root()));
    }

    start(program, scene,
          {QStringLiteral("--saved-settings"), QStringLiteral("--output-dir"), QStringLiteral("out"),
           QStringLiteral("in/a.csv"), QStringLiteral("in/c.csv")},
          faults);
    const Outcome outcome = finish(program);

    QCOMPARE(outcome.status, 0);
    QCOMPARE(outcome.out, QByteArray("out/a.htm\nout/c.htm\n"));
    if (message.isEmpty())
        QCOMPARE(outcome.err, QByteArray());
    else
        QCOMPARE(outcome.err,
                 "ostrand-convert: cannot read the saved settings " + QFile::encodeName(file) + ": " + message + '\n');
    QCOMPARE(FaultScene::checksums(scene.out), scene.expectedOut(true, false, true));
    // The settings file is left as it was.
    if (kind != QLatin1String("folder")) {
        QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QVERIFY(TempTree::readFile(file) == bytes);
    }
}

void tst_ConverterFaults::everyFailureOfAConversion_data()
{
    QTest::addColumn<QString>("setup"); // a shell command run in the scene first
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("when"); // OSTRAND_FAULT_AT: when `command` runs, "" for never
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("faults"); // more of the fault library's variables, "NAME=VALUE" each, ";" between
    QTest::addColumn<bool>("asUser");    // met as an ordinary user (the user "nobody" where the tests run as root)
    QTest::addColumn<QByteArray>("path");   // the path the one line on stderr names
    QTest::addColumn<QByteArray>("reason"); // and what it says of it
    QTest::addColumn<int>("listed"); // documents written and listed
    const QStringList run = {QStringLiteral("-o"), QStringLiteral("out"), QStringLiteral("in/a.csv"),
                             QStringLiteral("in/c.csv")};
    const QString afterA = QStringLiteral("write:1"); // once a.htm is being written
    const auto row = [&](const char* name, const QString& setup, const QString& when, const QString& command,
                         const QString& faults, bool asUser, const QByteArray& path, const QByteArray& reason) {
        QTest::newRow(name) << setup << run << when << command << faults << asUser << path << reason << 1;
    };
    // The same with c.csv alone, for a failure that would come for any document.
    const auto alone = [&](const char* name, const QString& faults, const QByteArray& reason) {
        QTest::newRow(name) << QString()
                            << QStringList{QStringLiteral("-o"), QStringLiteral("out"), QStringLiteral("in/c.csv")}
                            << QString() << QString() << faults << false << QByteArray("out/c.htm") << reason << 0;
    };
    // Reading the source.
    row("the source is gone by its turn", {}, afterA, QStringLiteral("rm in/c.csv"), {}, false, "in/c.csv",
        "No such file or directory");
    row("the source became a folder", {}, afterA, QStringLiteral("rm in/c.csv && mkdir in/c.csv"), {}, false, "in/c.csv",
        "Is a directory");
    row("the source became a FIFO", {}, afterA, QStringLiteral("rm in/c.csv && mkfifo in/c.csv"), {}, false, "in/c.csv",
        "It is not a regular file");
    row("the source cannot be read", QStringLiteral("chmod 000 in/c.csv"), {}, {}, {}, true, "in/c.csv",
        "Permission denied");
    QTest::newRow("the source changed while it was read")
        << QString() << QStringList{QStringLiteral("-o"), QStringLiteral("out"), QStringLiteral("in/big.csv")}
        << QStringLiteral("read:1048576") << QStringLiteral("echo x >> in/big.csv") << QString() << false
        << QByteArray("in/big.csv") << QByteArray("The file changed while it was read") << 0;
    // What stands at the output path.
    row("a link to nowhere", QStringLiteral("ln -s nowhere.htm out/c.htm"), {}, {}, {}, false, "out/c.htm",
        "It is a symbolic link that leads nowhere");
    row("a link to a folder", QStringLiteral("mkdir out/d && ln -s d out/c.htm"), {}, {}, {}, false, "out/c.htm",
        "It is a symbolic link to something that is not a regular file");
    row("a link to a FIFO in another folder", QStringLiteral("mkfifo in/f && ln -s ../in/f out/c.htm"), {}, {}, {},
        false, "out/c.htm", "It is a symbolic link to something that is not a regular file");
    row("a chain of 41 links",
        QStringLiteral("cd out && echo old > t.htm && p=t.htm && for i in $(seq 40); do ln -s $p l$i; p=l$i; done "
                       "&& ln -s $p c.htm"),
        {}, {}, {}, false, "out/c.htm", "Too many levels of symbolic links");
    row("a FIFO", QStringLiteral("mkfifo out/c.htm"), {}, {}, {}, false, "out/c.htm",
        "It is not a regular file");
    row("a folder", QStringLiteral("mkdir out/c.htm"), {}, {}, {}, false, "out/c.htm",
        "Is a directory");
    row("a document the user may not write", QStringLiteral("echo old > out/c.htm && chmod 444 out/c.htm"), {}, {}, {},
        true, "out/c.htm", "Permission denied");
    QTest::newRow("a folder the user may not write")
        << QStringLiteral("mkdir ro && cp in/c.csv ro/c.csv && chmod 555 ro")
        << QStringList{QStringLiteral("--next-to-source"), QStringLiteral("in/a.csv"), QStringLiteral("ro/c.csv")}
        << QString() << QString() << QString() << true << QByteArray("ro/c.htm") << QByteArray("Permission denied")
        << 1;
    QTest::newRow("the source itself")
        << QStringLiteral("cp in/c.csv in/x.htm")
        << QStringList{QStringLiteral("--next-to-source"), QStringLiteral("in/a.csv"), QStringLiteral("in/x.htm")}
        << QString() << QString() << QString() << false << QByteArray("in/x.htm")
        << QByteArray("It is the source file itself, which is never overwritten") << 1;
    QTest::newRow("a document of an earlier entry")
        << QStringLiteral("mkdir in/two && cp in/c.csv in/two/a.csv")
        << QStringList{QStringLiteral("-o"), QStringLiteral("out"), QStringLiteral("in/a.csv"),
                       QStringLiteral("in/two/a.csv")}
        << QString() << QString() << QString() << false << QByteArray("out/a.htm")
        << QByteArray("A document of an earlier entry of this run was written there, and it is kept") << 1;
    // The disk.
    alone("no room from the start", QStringLiteral("OSTRAND_FAULT_FREE=0"),
          "Not enough disk space (the document needs at least 126 bytes, and 0 are free)");
    alone("the disk fills during the write", QStringLiteral("OSTRAND_FAULT_SPACE=100"), "No space left on device");
    alone("the disk refuses the sync", QStringLiteral("OSTRAND_FAULT_SYNC=enospc"), "No space left on device");
}

// Every failure a conversion can report, met through the program: one line on stderr naming the path the failure
// is about once, the reason in the system's words where it has them, exit status 1; the other source still converts, no
// source changes and no earlier document is touched.
void tst_ConverterFaults::everyFailureOfAConversion()
{
    QFETCH(QString, setup);
    QFETCH(QStringList, arguments);
    QFETCH(QString, when);
    QFETCH(QString, command);
    QFETCH(QString, faults);
    QFETCH(bool, asUser);
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, reason);
    QFETCH(int, listed);
    FaultScene scene;
    if (!setup.isEmpty()) {
        QProcess shell;
        shell.setWorkingDirectory(scene.tree.root());
        shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), setup});
        QVERIFY(shell.waitForFinished() && shell.exitCode() == 0);
    }
    const auto earlier = FaultScene::checksums(scene.out);
    QMap<QString, QString> variables;
    if (!when.isEmpty())
        variables = {{QStringLiteral("OSTRAND_FAULT_AT"), when}, {QStringLiteral("OSTRAND_FAULT_RUN"), command}};
    for (const QString& variable : faults.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        variables.insert(variable.section(QLatin1Char('='), 0, 0), variable.section(QLatin1Char('='), 1));
    QProcess program;
    if (asUser) {
        QString why;
        if (!startAsNobody(program, &why))
            QSKIP(qPrintable(why));
        QVERIFY(handToNobody(scene.tree.root()));
    }

    start(program, scene, arguments, variables);
    const Outcome outcome = finish(program);

    QCOMPARE(outcome.status, 1);
    QCOMPARE(outcome.err, report(path, reason));
    QCOMPARE(reportCount(outcome.out), 0);
    QCOMPARE(outcome.out.count('\n'), listed); // the document of the other source
    // No earlier document changed; the one document written is the other source's.
    auto now = FaultScene::checksums(scene.out);
    const QString written =
        listed ? QFileInfo(scene.tree.path(QString::fromUtf8(outcome.out.trimmed()))).fileName() : QString();
    if (now.value(written) != earlier.value(written))
        now.remove(written);
    auto before = earlier;
    before.remove(written);
    for (auto it = before.begin(); it != before.end(); ++it)
        QVERIFY2(now.value(it.key()) == it.value(), qPrintable(it.key()));
}

// A FIFO put in a source's place between the look at its kind and the opening must not make the converter
// wait for a writer forever: the same path is converted many times while it keeps changing between a file
// and a FIFO, and the converter ends, and Ctrl-C or SIGTERM would end it.
void tst_ConverterFaults::fifoSlippedInNeverHangs()
{
#ifdef Q_OS_UNIX
    FaultScene scene(1024);
    QStringList arguments = {QStringLiteral("--output-dir"), QStringLiteral("out")};
    for (int i = 0; i < 400; ++i)
        arguments << QStringLiteral("in/a.csv");
    QProcess swapper;
    swapper.setWorkingDirectory(scene.tree.root());
    swapper.start(QStringLiteral("/bin/sh"),
                  {QStringLiteral("-c"), QStringLiteral("while :; do rm -f in/a.csv; mkfifo in/a.csv; rm -f in/a.csv; "
                                                        "printf 'a,b\\r\\n' > in/a.csv; done")});
    QVERIFY(swapper.waitForStarted());
    QProcess program;
    start(program, scene, arguments);
    const bool ended = program.waitForFinished(60000);
    swapper.kill();
    swapper.waitForFinished();
    if (!ended) {
        program.kill();
        program.waitForFinished();
    }
    QVERIFY2(ended, "the converter waited on a FIFO");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    // Each round either converted the file or reported it; nothing else is in out/.
    const auto after = FaultScene::checksums(scene.out);
    QCOMPARE(after.value(QStringLiteral("old.htm")), FaultScene::sha256("an unrelated earlier table\r\n"));
    for (const QString& name : after.keys())
        QVERIFY2(name == QLatin1String("a.htm") || name == QLatin1String("big.htm") || name == QLatin1String("old.htm"),
                 qPrintable(name));
#else
    QSKIP("FIFOs are a POSIX feature");
#endif
}

// SIGTERM at points spread over a run of a large file (a fixed seed, so a failure can be repeated): every
// document is either the earlier one or complete, nothing temporary is left, and the next run converts.
void tst_ConverterFaults::sigtermAtRandomPoints()
{
#ifdef Q_OS_UNIX
    FaultScene scene(24 * 1024 * 1024);
    const QByteArray bigSum = FaultScene::sha256(scene.bigDocument());
    QElapsedTimer timer;
    timer.start();
    const Outcome whole = convert(scene, kRun);
    const qint64 wholeMs = qMax<qint64>(timer.elapsed(), 50);
    QCOMPARE(whole.status, 0);

    QRandomGenerator random(20261208);
    for (int round = 0; round < 8; ++round) {
        QDir(scene.out).removeRecursively();
        QDir().mkpath(scene.out);
        FaultScene::plantEarlierDocuments(scene.out);
        QProcess program;
        start(program, scene, kRun);
        QVERIFY(program.waitForStarted());
        QTest::qWait(int(random.bounded(wholeMs)));
        const qint64 pid = program.processId(); // 0 once it has ended: never signal that
        if (pid > 0 && program.state() == QProcess::Running)
            ::kill(pid_t(pid), SIGTERM);
        const Outcome outcome = finish(program);

        const auto after = FaultScene::checksums(scene.out);
        if (outcome.status == -1) {
            // The signal came before the program set up its handlers: it ended at once, with nothing written.
            QCOMPARE(after, scene.expectedOut(false, false, false));
            continue;
        }
        // 143 for a stop by SIGTERM, 0 when the run had ended before the signal came.
        QVERIFY2(outcome.status == 0 || outcome.status == 143, qPrintable(QString::number(outcome.status)));
        const QStringList written = QString::fromUtf8(outcome.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        const bool bigWritten = written.contains(QStringLiteral("out/big.htm"));
        auto expected = scene.expectedOut(written.contains(QStringLiteral("out/a.htm")), bigWritten,
                                          written.contains(QStringLiteral("out/c.htm")));
        // A stop that comes while the large document is put in place lets it complete before the program
        // ends; the path then holds the whole new document.
        if (!bigWritten && after.value(QStringLiteral("big.htm")) == bigSum)
            expected.insert(QStringLiteral("big.htm"), bigSum);
        QCOMPARE(after, expected);
        QCOMPARE(FaultScene::checksums(scene.in), scene.inputs);
    }

    const Outcome next = convert(scene, kRun);
    QCOMPARE(next.status, 0);
    QCOMPARE(FaultScene::checksums(scene.out).value(QStringLiteral("big.htm")), bigSum);
#else
    QSKIP("signals are a POSIX feature");
#endif
}

void tst_ConverterFaults::failedSyncInABatch_data()
{
    QTest::addColumn<int>("failing"); // the source whose document's sync fails
    QTest::newRow("the first document") << 0;
    QTest::newRow("one in the middle") << 7;
    QTest::newRow("the last document") << 39;
}

// The disk refuses one document's bytes when the batch is synced: that document alone is reported, at the
// write, and its earlier version stays; the documents before and after it are written and listed in order.
void tst_ConverterFaults::failedSyncInABatch()
{
    QFETCH(int, failing);
    FaultScene scene;
    const ManySmall many(scene, 40, failing);
    const QByteArray name = "m" + QByteArray::number(failing).rightJustified(3, '0');
    const QByteArray failingDocument = many.documents.value(QString::fromLatin1(name) + QStringLiteral(".htm"));

    const Outcome outcome =
        convert(scene, many.arguments,
                {{QStringLiteral("OSTRAND_FAULT_SYNC"), QStringLiteral("enospc")},
                 {QStringLiteral("OSTRAND_FAULT_SYNC_SIZE"), QString::number(failingDocument.size())},
                 // A slow disk: each batch is still being synced while the next documents are converted.
                 {QStringLiteral("OSTRAND_FAULT_SYNC_HOLD"), QStringLiteral("150")}});

    QCOMPARE(outcome.status, 1);
    QCOMPARE(outcome.err,
             report("out/" + name + ".htm", "No space left on device"));
    QByteArrayList written = many.outputs;
    written.removeAll("out/" + name + ".htm");
    QCOMPARE(outcome.out, lines(written));
    QCOMPARE(FaultScene::checksums(scene.out), many.expectedOut(scene, written));
    QCOMPARE(FaultScene::checksums(scene.in), scene.inputs);
}

// Every document, the small ones made durable together and a large one synced by itself among them, is put in
// place only after its bytes were synced, in the order of the list, and listed in that order.
void tst_ConverterFaults::placedOnlyOnceSyncedInListOrder()
{
    FaultScene scene;
    const ManySmall many(scene, 80, -1, 40);
    const QString log = scene.tree.path(QStringLiteral("placed.log"));

    const Outcome outcome = convert(scene, many.arguments, {{QStringLiteral("OSTRAND_FAULT_LOG"), log}});

    QCOMPARE(outcome.status, 0);
    QCOMPARE(outcome.err, QByteArray());
    QCOMPARE(outcome.out, lines(many.outputs));
    QByteArrayList placed;
    for (const QByteArray& path : many.outputs)
        placed << scene.tree.path(QString::fromLatin1(path)).toUtf8() + " synced";
    QByteArrayList logged = TempTree::readFile(log).split('\n');
    logged.removeAll(QByteArray());
    // The converter names a document as the command line does, or by its whole path.
    for (QByteArray& line : logged) {
        if (!line.startsWith('/'))
            line = scene.tree.root().toUtf8() + '/' + line;
    }
    QCOMPARE(logged, placed);
    QCOMPARE(FaultScene::checksums(scene.out), many.expectedOut(scene, many.outputs));
}

void tst_ConverterFaults::sharedNameWhileTheFirstIsPlaced_data()
{
    QTest::addColumn<int>("first"); // the entry whose document name the last entry shares
    QTest::addColumn<QString>("tmpfile"); // OSTRAND_FAULT_TMPFILE
    QTest::newRow("the first entry, its batch being put in place") << 0 << QString();
    QTest::newRow("an entry of the batch still gathering") << 35 << QString();
    QTest::newRow("the first entry, without unnamed files") << 0 << QStringLiteral("refuse");
}

// The last entry's document would go where an earlier entry's went while that one is still being synced and put
// in place beside the conversion: the earlier one keeps the name and the last one is refused, as one at a time.
void tst_ConverterFaults::sharedNameWhileTheFirstIsPlaced()
{
    QFETCH(int, first);
    QFETCH(QString, tmpfile);
    FaultScene scene;
    const ManySmall many(scene, 40);
    const QByteArray name = "m" + QByteArray::number(first).rightJustified(3, '0');
    scene.tree.writeFile(QStringLiteral("twin/") + QString::fromLatin1(name) + QStringLiteral(".csv"), "twin,row\r\n");
    QStringList arguments = many.arguments;
    arguments << QStringLiteral("twin/") + QString::fromLatin1(name) + QStringLiteral(".csv");

    const Outcome outcome = convert(scene, arguments,
                                    {{QStringLiteral("OSTRAND_FAULT_SYNC_HOLD"), QStringLiteral("150")},
                                     {QStringLiteral("OSTRAND_FAULT_TMPFILE"), tmpfile}});

    QCOMPARE(outcome.status, 1);
    QCOMPARE(outcome.err, report("out/" + name + ".htm",
                                 "A document of an earlier entry of this run was written there, and it is kept"));
    QCOMPARE(outcome.out, lines(many.outputs));
    QCOMPARE(FaultScene::checksums(scene.out), many.expectedOut(scene, many.outputs));
    QCOMPARE(QDir(scene.out).entryList({QStringLiteral(".ostrand-*")}, QDir::Files | QDir::Hidden), QStringList());
}

void tst_ConverterFaults::sigtermInABatch_data()
{
    QTest::addColumn<int>("bytes"); // written to documents when the signal comes
    QTest::newRow("in the first document") << 100;
    QTest::newRow("a few documents in") << 1000;
    QTest::newRow("well into the run") << 6000;
    QTest::newRow("late in the run") << 12000;
}

// SIGTERM while a batch of small documents is being written: the program stops, the documents are a prefix of
// the list, each either its earlier version or complete, exactly the listed ones new, and nothing temporary.
void tst_ConverterFaults::sigtermInABatch()
{
#ifdef Q_OS_UNIX
    QFETCH(int, bytes);
    FaultScene scene;
    const ManySmall many(scene, 80);

    const Outcome outcome =
        convert(scene, many.arguments,
                {{QStringLiteral("OSTRAND_FAULT_AT"), QStringLiteral("write:%1").arg(bytes)},
                 {QStringLiteral("OSTRAND_FAULT_RUN"), QStringLiteral("kill -TERM $OSTRAND_FAULT_PID")}});

    QCOMPARE(outcome.status, 143);
    const QByteArrayList written = outcome.out.split('\n').mid(0, outcome.out.count('\n'));
    QVERIFY(written.size() < many.outputs.size());
    QCOMPARE(written, many.outputs.mid(0, written.size()));
    QCOMPARE(FaultScene::checksums(scene.out), many.expectedOut(scene, written));
    QCOMPARE(FaultScene::checksums(scene.in), scene.inputs);
#else
    QSKIP("signals are a POSIX feature");
#endif
}

void tst_ConverterFaults::killAtRandomPointsOfManyFiles_data()
{
    QTest::addColumn<bool>("crash"); // SIGKILL, which lets nothing of the program run, or else SIGTERM
    QTest::addColumn<bool>("named"); // the file system refuses unnamed files: the temporary files have names
    QTest::addColumn<int>("round");  // which point of the seed's series
    for (int round = 1; round <= 6; ++round)
        QTest::addRow(round <= 4 ? "SIGKILL %d" : "SIGKILL %d, named temporary files", round)
            << true << (round > 4) << round;
    QTest::newRow("SIGTERM") << false << false << 7;
    QTest::newRow("SIGTERM, named temporary files") << false << true << 8;
}

// A run of 5,000 small documents, made durable in batches, ended by a signal at a random point of its measured
// duration, with unnamed temporary files or, where the file system has none, named ones: every document is its
// earlier version or the complete new one, the new ones are a prefix of the list, each listed document is among
// them, no source changed, and no file the kill leaves behind can be taken for a document; after SIGTERM nothing
// temporary is left. The next run converts everything.
void tst_ConverterFaults::killAtRandomPointsOfManyFiles()
{
#ifdef Q_OS_UNIX
    QFETCH(bool, crash);
    QFETCH(bool, named);
    QFETCH(int, round);
    QMap<QString, QString> faults;
    if (named)
        faults.insert(QStringLiteral("OSTRAND_FAULT_TMPFILE"), QStringLiteral("refuse"));
    if (!m_many) {
        m_many = std::make_unique<ManyKilled>();
        QElapsedTimer timer;
        timer.start();
        const Outcome whole = convert(m_many->scene, m_many->arguments);
        m_many->runMs = qMax<qint64>(timer.elapsed(), 50);
        QCOMPARE(whole.err, QByteArray());
        QCOMPARE(whole.status, 0);
        QCOMPARE(whole.out, lines(m_many->outputs));
        const QByteArray states = m_many->states();
        QCOMPARE(m_many->describe(states, ManyKilled::newAtHead(states)), QString());
    }
    const ManyKilled& many = *m_many;
    many.restore();

    const int delayMs = int(QRandomGenerator(m_seed + quint32(round)).bounded(many.runMs));
    QProcess program;
    start(program, many.scene, many.arguments, faults);
    QVERIFY(program.waitForStarted());
    const bool endedFirst = program.waitForFinished(delayMs);
    const qint64 pid = program.processId(); // 0 once it has ended: never signal that
    if (!endedFirst && pid > 0)
        ::kill(pid_t(pid), crash ? SIGKILL : SIGTERM);
    const Outcome outcome = finish(program);

    const QByteArray states = many.states();
    const qsizetype placed = ManyKilled::newAtHead(states);
    const QByteArray expected = many.untouchedAfter(placed);
    const qsizetype wrong = std::mismatch(states.begin(), states.end(), expected.begin()).first - states.begin();
    const QStringList present = many.present(states);
    QStringList left = entries(many.out);
    QStringList strays = left;
    strays.removeIf(
        [&present](const QString& name) { return std::binary_search(present.begin(), present.end(), name); });
    qInfo("OSTRAND_KILL_SEED=%u: %s after %d ms of a %lld ms run, ended with %d; %lld of %d documents new; %lld "
          "other files left %s",
          m_seed, crash ? "SIGKILL" : "SIGTERM", delayMs, many.runMs, outcome.status, qlonglong(placed),
          ManyKilled::kCount, qlonglong(strays.size()), qPrintable(strays.mid(0, 3).join(QLatin1Char(' '))));
    QCOMPARE(many.describe(states, wrong), many.describe(expected, wrong));
    const QByteArrayList listed = outcome.out.split('\n').mid(0, outcome.out.count('\n'));
    QCOMPARE(listed, many.outputs.mid(0, listed.size()));
    QVERIFY2(listed.size() <= placed, "a document was listed before it was in place");
    if (crash) {
        // -1 for the kill, 0 when the run had ended before it came.
        QVERIFY2(outcome.status == -1 || outcome.status == 0, qPrintable(QString::number(outcome.status)));
        QCOMPARE(outcome.err, QByteArray());
        left.removeIf([](const QString& name) { return !name.endsWith(QLatin1String(".htm"), Qt::CaseInsensitive); });
    } else {
        // 143 for a stop by SIGTERM, 0 when the run had ended before the signal came, -1 when the signal came
        // before the program set up its handlers.
        QVERIFY2(outcome.status == 143 || outcome.status == 0 || outcome.status == -1,
                 qPrintable(QString::number(outcome.status)));
    }
    QCOMPARE(left, present);
    QCOMPARE(TempTree::readFile(many.out + QStringLiteral("/big.htm")),
             QByteArray("the only copy of an earlier table\r\n"));
    QCOMPARE(TempTree::readFile(many.out + QStringLiteral("/old.htm")), QByteArray("an unrelated earlier table\r\n"));
    QCOMPARE(many.changedSources(), QStringList());
    QCOMPARE(entries(many.scene.tree.path(QStringLiteral("many/kill"))).size(), ManyKilled::kCount);

    const Outcome next = convert(many.scene, many.arguments, faults);
    QCOMPARE(next.err, QByteArray());
    QCOMPARE(next.status, 0);
    QCOMPARE(next.out, lines(many.outputs));
    const QByteArray after = many.states();
    QCOMPARE(many.describe(after, ManyKilled::newAtHead(after)), QString());
#else
    QSKIP("signals are a POSIX feature");
#endif
}

QTEST_GUILESS_MAIN(tst_ConverterFaults)
#include "tst_ConverterFaults.moc"
