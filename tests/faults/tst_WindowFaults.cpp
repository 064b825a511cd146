// SPDX-License-Identifier: MIT
// The real window (offscreen) on a failing machine: a full disk under a run, broken settings files, and the
// window closed at any moment of a large conversion.
#include <QtTest>

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>

#include "faults/FaultScene.h"
#include "support/core/Unprivileged.h"
#include "filelist/FileListView.h"
#include "support/gui/WindowFixture.h"

using namespace ostrand;
using namespace ostrand::test;

class tst_WindowFaults : public QObject
{
    Q_OBJECT

private slots:
    void fullDisk_data();
    void fullDisk();
    void brokenSettingsFiles_data();
    void brokenSettingsFiles();
    void closeAtRandomPoints();
    void failedSyncInABatch();

private:
    static void addScene(Form1& form, const FaultScene& scene)
    {
        for (const QString& path : {scene.a, scene.big, scene.c})
            form.ListView1->AppendEntry(path);
    }
};

// The large document does not fit on the disk: one error report in the system's words, the earlier
// document kept, and the next file converted.
void tst_WindowFaults::fullDisk_data()
{
    QTest::addColumn<bool>("smallFromTheStart");
    QTest::addColumn<QString>("reason"); // the large document's report after its path
    QTest::newRow("the disk fills during the write") << false
                                                     << QStringLiteral("Cannot write %1/big.htm: No space "
                                                                       "left on device");
    QTest::newRow("the disk is too small from the start")
        << true << QStringLiteral("Not enough disk space for %1/big.htm: the document needs at least ");
}

void tst_WindowFaults::fullDisk()
{
    QFETCH(bool, smallFromTheStart);
    QFETCH(QString, reason);
    FaultScene scene;
    const bool shim = qEnvironmentVariable("LD_PRELOAD").contains(QLatin1String("faultshim"));
    const bool mounted = smallFromTheStart && FaultScene::mountSmallDisk(scene.out, 1024 * 1024);
    if (mounted) {
        FaultScene::plantEarlierDocuments(scene.out);
    } else {
        if (!shim)
            QSKIP("neither a small disk nor the fault library is at hand");
        qputenv(smallFromTheStart ? "OSTRAND_FAULT_FREE" : "OSTRAND_FAULT_SPACE", "1048576");
    }
    WindowFixture fixture;
    fixture.store(QStringLiteral("Output Folder"), scene.out + QLatin1Char('/'));
    Form1& form = fixture.openShown();
    addScene(form, scene);

    form.PushButton2->click();
    qunsetenv("OSTRAND_FAULT_SPACE");
    qunsetenv("OSTRAND_FAULT_FREE");
    const auto after = FaultScene::checksums(scene.out);
    if (mounted)
        FaultScene::unmount(scene.out);

    const QStringList reports = fixture.dialogs.textsOf(DialogKind::ErrorReport);
    QCOMPARE(reports.size(), 1);
    const QString report = reports.first().left(reports.first().indexOf(QLatin1String("\r\r")));
    QVERIFY2(report.startsWith(reason.arg(scene.out)), qPrintable(report));
    QVERIFY2(report.endsWith(QLatin1String("\r\nin Vantrel2021/08/31.modCSV.ConvertVantrel at line 168")),
             qPrintable(report));
    QCOMPARE(fixture.dialogs.textsOf(DialogKind::Message), QStringList{QStringLiteral("Done.")});
    QCOMPARE(after, scene.expectedOut(true, false, true));
    QCOMPARE(FaultScene::checksums(scene.in), scene.inputs);
}

void tst_WindowFaults::brokenSettingsFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason"); // why the choices cannot be saved, "" when they can
    QTest::newRow("unreadable") << QStringLiteral("unreadable") << QStringLiteral("Permission denied");
    QTest::newRow("a folder") << QStringLiteral("folder") << QStringLiteral("It is a folder, not a file");
    QTest::newRow("binary garbage") << QStringLiteral("garbage") << QString();
    QTest::newRow("10 MB of one line") << QStringLiteral("long") << QString();
    QTest::newRow("read-only") << QStringLiteral("read-only") << QStringLiteral("Permission denied");
    QTest::newRow("a folder once the window is open")
        << QStringLiteral("folder later") << QStringLiteral("It is a folder, not a file");
}

// The window starts over a settings file broken in each way, and every change made while it runs still
// works: the conversion uses the delimiter, the border and the folder chosen just before it. A file that
// cannot be written is told of once, however many choices are then made.
void tst_WindowFaults::brokenSettingsFiles()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    FaultScene scene(1024);
    FaultScene::writeBytes(scene.a, "a;b,c\r\n");
    WindowFixture fixture;
    const QString file = fixture.settingsPath();
    QByteArray bytes;
    if (kind == QLatin1String("garbage")) {
        QRandomGenerator random(11);
        for (int i = 0; i < 4096; ++i)
            bytes += char(random.bounded(256));
    } else if (kind == QLatin1String("long")) {
        bytes = "[Ostrand]\nOther=" + QByteArray(10 * 1024 * 1024, 'x');
    } else {
        bytes = "[Ostrand]\nOption1=True\n";
    }
    if (kind == QLatin1String("folder"))
        QDir().mkpath(file);
    else
        FaultScene::writeBytes(file, bytes);
    if (kind == QLatin1String("unreadable"))
        QFile::setPermissions(file, QFileDevice::WriteOwner);
    if (kind == QLatin1String("read-only"))
        QFile::setPermissions(file, QFileDevice::ReadOwner);
    // Permission bits stop an ordinary user, not root: where the tests run as root, the window meets those files
    // as the user "nobody", who is handed the files it must reach.
    std::optional<test::ActingAsNobody> actor;
    if (kind == QLatin1String("unreadable") || kind == QLatin1String("read-only")) {
        QVERIFY(test::handToNobody(QFileInfo(QFileInfo(file).absolutePath()).absolutePath()));
        QVERIFY(test::handToNobody(scene.tree.root()));
        actor.emplace();
        if (!actor->active())
            QSKIP(qPrintable(actor->why()));
    }

    Form1& form = fixture.openShown();
    if (kind == QLatin1String("folder later")) {
        QCOMPARE(fixture.dialogs.calls.size(), 0);
        QVERIFY(QFile::remove(file));
        QVERIFY(QDir().mkpath(file));
    }
    form.Option3->click(); // Semicolon
    form.Text2->setText(QStringLiteral("7"));
    form.Option6->click();
    form.Text3->setText(scene.out + QLatin1Char('/'));
    form.ListView1->AppendEntry(scene.a);
    form.PushButton2->click();

    QStringList messages{QStringLiteral("Done.")};
    if (!reason.isEmpty())
        messages.prepend(QStringLiteral("Your choices cannot be saved: the settings file %1 cannot be written (%2).\r\n"
                                        "\r\nOstrand works as usual, but the choices you make now will not be there at "
                                        "the next start.")
                             .arg(file, reason));
    QCOMPARE(fixture.dialogs.textsOf(DialogKind::Message), messages);
    QCOMPARE(TempTree::readFile(scene.out + QStringLiteral("/a.htm")),
             QByteArray("<html><title></title><body><table width='100%' style='color:#000000' border='7' "
                        "bgcolor='#FFFFFF'><tbody>\r\n<tr>\r\n<td>a</td><td>b,c</td></tr>\r\n</body></html>\r\n"));
    // A read-only file stays as it was.
    if (kind == QLatin1String("read-only"))
        QCOMPARE(TempTree::readFile(file), bytes);
    actor.reset();
    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

// The window closed at points spread over a run of a large file (a fixed seed, so a failure can be
// repeated): every document is either the earlier one or complete, nothing temporary is left, no source
// changed, and a new window converts them all.
void tst_WindowFaults::closeAtRandomPoints()
{
    FaultScene scene(24 * 1024 * 1024);
    const QByteArray bigSum = FaultScene::sha256(scene.bigDocument());
    QElapsedTimer timer;
    qint64 wholeMs = 0;
    {
        WindowFixture fixture;
        fixture.store(QStringLiteral("Output Folder"), scene.out + QLatin1Char('/'));
        Form1& form = fixture.openShown();
        addScene(form, scene);
        timer.start();
        form.PushButton2->click();
        wholeMs = qMax<qint64>(timer.elapsed(), 50);
        QCOMPARE(FaultScene::checksums(scene.out).value(QStringLiteral("big.htm")), bigSum);
    }

    QRandomGenerator random(1208);
    for (int round = 0; round < 8; ++round) {
        QDir(scene.out).removeRecursively();
        QDir().mkpath(scene.out);
        FaultScene::plantEarlierDocuments(scene.out);
        WindowFixture fixture;
        fixture.store(QStringLiteral("Output Folder"), scene.out + QLatin1Char('/'));
        Form1& form = fixture.openShown();
        addScene(form, scene);
        const int delay = int(random.bounded(wholeMs));
        QTimer::singleShot(delay, &form, [&form] { form.close(); });

        form.PushButton2->click();
        QTRY_VERIFY(!form.isVisible());

        const auto after = FaultScene::checksums(scene.out);
        QMap<QString, QByteArray> expected = scene.expectedOut(false, false, false);
        // Documents come in list order, each complete or not at all.
        const bool a = after.contains(QStringLiteral("a.htm"));
        const bool big = after.value(QStringLiteral("big.htm")) == bigSum;
        const bool c = after.contains(QStringLiteral("c.htm"));
        QVERIFY2(!c || big, qPrintable(QStringLiteral("round %1, %2 ms").arg(round).arg(delay)));
        QVERIFY2(!big || a, qPrintable(QStringLiteral("round %1, %2 ms").arg(round).arg(delay)));
        expected = scene.expectedOut(a, big, c);
        QCOMPARE(after, expected);
        QCOMPARE(FaultScene::checksums(scene.in), scene.inputs);
        QCOMPARE(fixture.dialogs.callsOf(DialogKind::ErrorReport).size(), 0);
    }

    WindowFixture fixture;
    fixture.store(QStringLiteral("Output Folder"), scene.out + QLatin1Char('/'));
    Form1& form = fixture.openShown();
    addScene(form, scene);
    form.PushButton2->click();
    QCOMPARE(FaultScene::checksums(scene.out), scene.expectedOut(true, true, true));
}

// The disk refuses one small document's bytes when its batch is synced: the window reports that document once,
// at the write, before the report of a later entry whose source is gone, writes every other document, keeps the
// earlier version of the failed one, and ends the run with "Done.".
void tst_WindowFaults::failedSyncInABatch()
{
    if (!qEnvironmentVariable("LD_PRELOAD").contains(QLatin1String("faultshim")))
        QSKIP("the fault library is not at hand");
    FaultScene scene;
    const ManySmall many(scene, 12, 3);
    const QString gone = scene.tree.writeFile(QStringLiteral("many/gone.csv"), "x\r\n");
    WindowFixture fixture;
    fixture.store(QStringLiteral("Output Folder"), scene.out + QLatin1Char('/'));
    Form1& form = fixture.openShown();
    for (qsizetype i = 0; i < many.sources.size(); ++i) {
        form.ListView1->AppendEntry(many.sources.at(i));
        if (i == 7)
            form.ListView1->AppendEntry(gone);
    }
    QVERIFY(QFile::remove(gone));
    qputenv("OSTRAND_FAULT_SYNC", "enospc");
    qputenv("OSTRAND_FAULT_SYNC_SIZE", QByteArray::number(many.documents.value(QStringLiteral("m003.htm")).size()));
    // A slow disk: the batch holding m003 is still being synced when the later entries are converted, so the
    // order of the reports never rests on how fast the sync happens to be.
    qputenv("OSTRAND_FAULT_SYNC_HOLD", "200");

    form.PushButton2->click();
    qunsetenv("OSTRAND_FAULT_SYNC");
    qunsetenv("OSTRAND_FAULT_SYNC_SIZE");
    qunsetenv("OSTRAND_FAULT_SYNC_HOLD");

    const QStringList reports = fixture.dialogs.textsOf(DialogKind::ErrorReport);
    QCOMPARE(reports.size(), 2);
    QVERIFY2(
        reports.at(0).startsWith(QStringLiteral("Cannot write %1/m003.htm: No space left on device").arg(scene.out)),
        qPrintable(reports.at(0)));
    QVERIFY2(reports.at(0).contains(QLatin1String("\r\nin Vantrel2021/08/31.modCSV.ConvertVantrel at line 168")),
             qPrintable(reports.at(0)));
    QVERIFY2(reports.at(1).contains(QLatin1String("gone.csv")), qPrintable(reports.at(1)));
    QCOMPARE(fixture.dialogs.textsOf(DialogKind::Message), QStringList{QStringLiteral("Done.")});
    QByteArrayList written = many.outputs;
    written.removeAll("out/m003.htm");
    QCOMPARE(FaultScene::checksums(scene.out), many.expectedOut(scene, written));
}

QTEST_MAIN(tst_WindowFaults)
#include "tst_WindowFaults.moc"
