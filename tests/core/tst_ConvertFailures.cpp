// SPDX-License-Identifier: MIT
#include <QtTest>

#include "core/convert/ConvertVantrel.h"
#include "support/core/RecordingRunHost.h"
#include "support/core/TempTree.h"

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

using namespace ostrand;

namespace {

const QByteArray kEmptyDocument = "<html><title></title><body><table width='100%' style='color:#000000' border='1' "
                                  "bgcolor='#FFFFFF'><tbody>\r\n</body></html>\r\n";

} // namespace

class tst_ConvertFailures : public QObject
{
    Q_OBJECT

private slots:
    void unreadableSourceStillGivesAnEmptyDocument_data();
    void unreadableSourceStillGivesAnEmptyDocument();
    void fifoSourceDoesNotBlock();
    void writeFailuresWriteNothing_data();
    void writeFailuresWriteNothing();
    void sourceIsNeverItsOwnOutput_data();
    void sourceIsNeverItsOwnOutput();
    void failedWriteKeepsTheEarlierDocument();
    void sourceWithoutFolderPartIsConvertedBesideIt();
};

void tst_ConvertFailures::unreadableSourceStillGivesAnEmptyDocument_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << QStringLiteral("gone.csv") << QStringLiteral("File not found");
    QTest::newRow("folder") << QStringLiteral("folder.csv") << QStringLiteral("It is a folder, not a file");
}

void tst_ConvertFailures::unreadableSourceStillGivesAnEmptyDocument()
{
    QFETCH(QString, source);
    QFETCH(QString, reason);
    test::TempTree tree;
    tree.makeFolder(QStringLiteral("folder.csv"));
    test::RecordingRunHost host;
    host.options.OutputMode = OutputMode::ChosenFolder;
    host.options.OutputFolder = tree.makeFolder(QStringLiteral("out"));

    const auto written = ConvertVantrel(host, tree.path(source), QStringLiteral(","));

    QCOMPARE(host.reportLines(), QList<int>{114});
    QCOMPARE(host.reports.first().tag, QStringLiteral("in Vantrel2021/08/31.modCSV.ConvertVantrel "));
    QCOMPARE(host.reports.first().description, QStringLiteral("Cannot read %1: %2").arg(tree.path(source), reason));
    QCOMPARE(test::TempTree::readFile(written.value_or(QString())), kEmptyDocument);
    QVERIFY(QFileInfo(tree.path(QStringLiteral("folder.csv"))).isDir());
}

void tst_ConvertFailures::fifoSourceDoesNotBlock()
{
#ifdef Q_OS_UNIX
    test::TempTree tree;
    const QString fifo = tree.path(QStringLiteral("pipe.csv"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    test::RecordingRunHost host;
    host.options.OutputMode = OutputMode::SourceFolder;

    // Opening a FIFO for reading waits for a writer: the conversion must refuse it without opening it.
    const auto written = ConvertVantrel(host, fifo, QStringLiteral(","));

    QCOMPARE(host.reportLines(), QList<int>{114});
    QCOMPARE(host.reports.first().description, QStringLiteral("Cannot read %1: It is not a regular file").arg(fifo));
    QCOMPARE(test::TempTree::readFile(written.value_or(QString())), kEmptyDocument);
#else
    QSKIP("FIFOs are a POSIX feature");
#endif
}

void tst_ConvertFailures::writeFailuresWriteNothing_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("folder");
    QTest::newRow("missing output folder") << int(OutputMode::ChosenFolder) << QStringLiteral("missing/deeper");
    QTest::newRow("a folder where the document goes") << int(OutputMode::ChosenFolder) << QStringLiteral("taken");
    QTest::newRow("output folder is a file") << int(OutputMode::ChosenFolder) << QStringLiteral("in/a.csv");
    QTest::newRow("no output folder") << int(OutputMode::ChosenFolder) << QString();
    QTest::newRow("neither output mode") << int(OutputMode::None) << QStringLiteral("out");
}

void tst_ConvertFailures::writeFailuresWriteNothing()
{
    QFETCH(int, mode);
    QFETCH(QString, folder);
    test::TempTree tree;
    const QString source = tree.writeFile(QStringLiteral("in/a.csv"), "a,b\n");
    tree.makeFolder(QStringLiteral("taken/a.htm"));
    tree.makeFolder(QStringLiteral("out"));
    const auto before = test::TempTree::snapshot(tree.root());
    test::RecordingRunHost host;
    host.options.OutputMode = OutputMode(mode);
    host.options.OutputFolder = folder.isEmpty() ? QString() : tree.path(folder);

    QVERIFY(!ConvertVantrel(host, source, QStringLiteral(",")));

    QCOMPARE(host.reportLines(), QList<int>{168});
    QVERIFY(!host.reports.first().description.isEmpty());
    QCOMPARE(test::TempTree::snapshot(tree.root()), before);
}

void tst_ConvertFailures::sourceIsNeverItsOwnOutput_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("output");
    QTest::newRow("page.htm beside itself") << QStringLiteral("page.htm") << QStringLiteral("page.htm");
    QTest::newRow("through a link to the source") << QStringLiteral("data.csv") << QStringLiteral("data.htm");
    QTest::newRow("through a link to the source's folder")
        << QStringLiteral("linked/page.htm") << QStringLiteral("page.htm");
}

void tst_ConvertFailures::sourceIsNeverItsOwnOutput()
{
    QFETCH(QString, source);
    QFETCH(QString, output);
    test::TempTree tree;
    tree.writeFile(QStringLiteral("page.htm"), "<p>keep</p>,x\r\n");
    tree.writeFile(QStringLiteral("data.csv"), "keep,me\r\n");
    QVERIFY(QFile::link(tree.path(QStringLiteral("data.csv")), tree.path(QStringLiteral("data.htm"))));
    QVERIFY(QFile::link(tree.root(), tree.path(QStringLiteral("linked"))));
    const auto before = test::TempTree::snapshot(tree.root());
    test::RecordingRunHost host;
    host.options.OutputMode = OutputMode::ChosenFolder;
    host.options.OutputFolder = tree.root();

    QVERIFY(!ConvertVantrel(host, tree.path(source), QStringLiteral(",")));

    QCOMPARE(host.reportLines(), QList<int>{168});
    QCOMPARE(host.reports.first().description,
             QStringLiteral("Cannot write %1: It is the source file itself, which is never overwritten")
                 .arg(tree.path(output)));
    QCOMPARE(test::TempTree::snapshot(tree.root()), before);
}

void tst_ConvertFailures::failedWriteKeepsTheEarlierDocument()
{
#ifdef Q_OS_UNIX
    test::TempTree tree;
    const QString source = tree.writeFile(QStringLiteral("a.csv"), "short\n");
    test::RecordingRunHost host;
    host.options.OutputMode = OutputMode::SourceFolder;
    const QByteArray earlier =
        test::TempTree::readFile(ConvertVantrel(host, source, QStringLiteral(",")).value_or(QString()));
    QCOMPARE(earlier, QByteArray("<html><title></title><body><table width='100%' style='color:#000000' border='1' "
                                 "bgcolor='#FFFFFF'><tbody>\r\n<tr>\r\n<td>short</td></tr>\r\n</body></html>\r\n"));
    tree.writeFile(QStringLiteral("a.csv"), QByteArray(100000, 'x'));
    const auto before = test::TempTree::snapshot(tree.root());

    // A file size limit holds for root too: the new document cannot be written past 4 KiB.
    rlimit saved{};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto savedSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto written = ConvertVantrel(host, source, QStringLiteral(","));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedSignal);

    QVERIFY(!written);
    QCOMPARE(host.reportLines(), QList<int>{168});
    QVERIFY2(host.reports.first().description.contains(QLatin1String("a.htm")),
             qPrintable(host.reports.first().description));
    QCOMPARE(test::TempTree::snapshot(tree.root()), before);
    QCOMPARE(test::TempTree::readFile(tree.path(QStringLiteral("a.htm"))), earlier);
#else
    QSKIP("file size limits are a POSIX feature");
#endif
}

void tst_ConvertFailures::sourceWithoutFolderPartIsConvertedBesideIt()
{
    test::TempTree tree;
    tree.writeFile(QStringLiteral("a.csv"), "a\n");
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(tree.root()));
    test::RecordingRunHost host;
    host.options.OutputMode = OutputMode::SourceFolder;
    const auto written = ConvertVantrel(host, QStringLiteral("a.csv"), QStringLiteral(","));
    QDir::setCurrent(previous);

    QCOMPARE(written.value_or(QString()), QStringLiteral("a.htm"));
    QVERIFY(QFileInfo::exists(tree.path(QStringLiteral("a.htm"))));
    QVERIFY(!QFileInfo::exists(QStringLiteral("/a.htm")));
}

QTEST_GUILESS_MAIN(tst_ConvertFailures)
#include "tst_ConvertFailures.moc"
