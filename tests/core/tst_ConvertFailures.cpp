// SPDX-License-Identifier: MIT
#include <QtTest>

#include <cstring>

#include "core/convert/ConvertVantrel.h"
#include "core/convert/decode/WholeText.h"
#include "support/core/RecordingRunHost.h"
#include "support/core/TempTree.h"
#include "support/core/UnixOnly.h"

#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace ostrand;

namespace {

const QByteArray kDocument = "<html><title></title><body><table width='100%' style='color:#000000' border='1' "
                             "bgcolor='#FFFFFF'><tbody>\r\n<tr>\r\n<td>a</td><td>b</td></tr>\r\n</body></html>\r\n";

} // namespace

class tst_ConvertFailures : public QObject
{
    Q_OBJECT

private slots:
    void unreadableSourceWritesNothing_data();
    void unreadableSourceWritesNothing();
    void sourceChangingWhileReadFails_data();
    void sourceChangingWhileReadFails();
    void outputLinksAreFollowedOnlyWhereSafe_data();
    void outputLinksAreFollowedOnlyWhereSafe();
    void linkRuleInSharedFolders_data();
    void linkRuleInSharedFolders();
    void linkChains_data();
    void linkChains();
    void writeFailuresWriteNothing_data();
    void writeFailuresWriteNothing();
    void sourceIsNeverItsOwnOutput_data();
    void sourceIsNeverItsOwnOutput();
    void failedWriteKeepsTheEarlierDocument();
    void sourceWithoutFolderPartIsConvertedBesideIt();
};

void tst_ConvertFailures::unreadableSourceWritesNothing_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << QStringLiteral("x.csv") << QStringLiteral("File not found");
    QTest::newRow("folder") << QStringLiteral("folder/x.csv") << QStringLiteral("It is a folder, not a file");
    QTest::newRow("FIFO") << QStringLiteral("fifo/x.csv") << QStringLiteral("It is not a regular file");
    QTest::newRow("name not valid UTF-8")
        << QStringLiteral("bad") << QStringLiteral("The name is not valid UTF-8, so the file cannot be reached by it");
}

// Whatever keeps a source from being read, the report names it at step 114 and nothing is written: an
// earlier document at the output path (perhaps the last copy of that data) stays as it was.
void tst_ConvertFailures::unreadableSourceWritesNothing()
{
#ifdef Q_OS_UNIX
    QFETCH(QString, source);
    QFETCH(QString, reason);
    test::TempTree tree;
    tree.makeFolder(QStringLiteral("folder/x.csv"));
    tree.makeFolder(QStringLiteral("fifo"));
    QCOMPARE(::mkfifo(QFile::encodeName(tree.path(QStringLiteral("fifo/x.csv"))).constData(), 0600), 0);
    // A file whose name holds the byte FF: its decoded name holds U+FFFD and reaches nothing.
    tree.makeFolder(QStringLiteral("bad"));
    const QByteArray rawName = QFile::encodeName(tree.path(QStringLiteral("bad/"))) + "x\xFF.csv";
    const int fd = ::open(rawName.constData(), O_WRONLY | O_CREAT, 0600);
    QVERIFY(fd >= 0 && ::write(fd, "a,b\n", 4) == 4 && ::close(fd) == 0);
    const QString out = tree.makeFolder(QStringLiteral("out"));
    tree.writeFile(QStringLiteral("out/x.htm"), "the only copy\r\n");
    const auto before = test::TempTree::snapshot(tree.root());
    test::RecordingRunHost host;
    host.options.OutputMode = OutputMode::ChosenFolder;
    host.options.OutputFolder = out;
    const QString path = source == QLatin1String("bad") ? QFile::decodeName(rawName) : tree.path(source);

    const auto written = ConvertVantrel(host, path, QStringLiteral(","));

    QCOMPARE(written, std::nullopt);
    QCOMPARE(host.reportLines(), QList<int>{114});
    QCOMPARE(host.reports.first().tag, QStringLiteral("in Vantrel2021/08/31.modCSV.ConvertVantrel "));
    QCOMPARE(host.reports.first().description, QStringLiteral("Cannot read %1: %2").arg(path, reason));
    QCOMPARE(test::TempTree::snapshot(tree.root()), before);
#else
    QSKIP("FIFOs and names of raw bytes are POSIX features");
#endif
}

void tst_ConvertFailures::sourceChangingWhileReadFails_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("shrinks") << QStringLiteral("shrink");
    QTest::newRow("grows") << QStringLiteral("grow");
    QTest::newRow("truncated to nothing") << QStringLiteral("empty");
}

// The read takes a few slices; between two of them the file changes. Its text would be neither the old nor the
// new one, so the read fails.
void tst_ConvertFailures::sourceChangingWhileReadFails()
{
    QFETCH(QString, change);
    test::TempTree tree;
    const QByteArray line = "field one,field two,field three\r\n";
    QByteArray bytes;
    while (bytes.size() < 3 * 1024 * 1024)
        bytes += line;
    const QString path = tree.writeFile(QStringLiteral("s.csv"), bytes);
    int breaks = 0;
    const SliceBreak pause = [&] {
        if (++breaks == 1) {
            QFile file(path);
            if (change == QLatin1String("grow")) {
                file.open(QIODevice::Append);
                file.write(line);
            } else {
                file.open(QIODevice::ReadWrite);
                file.resize(change == QLatin1String("empty") ? 0 : bytes.size() / 2);
            }
        }
        return true;
    };

    const Result<QByteArray> read = ReadCSVText(path, pause);

    QVERIFY(breaks > 0);
    QCOMPARE(read.error(), QStringLiteral("Cannot read %1: The file changed while it was read").arg(path));
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
    if (QByteArray(QTest::currentDataTag()).contains("link"))
        OSTRAND_UNIX_ONLY("symbolic links");
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
    QCOMPARE(host.reports.first().description,
             QStringLiteral("Cannot write %1: %2")
                 .arg(tree.path(QStringLiteral("a.htm")), QString::fromLocal8Bit(std::strerror(EFBIG))));
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

void tst_ConvertFailures::outputLinksAreFollowedOnlyWhereSafe_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("refusal"); // "" when the document is written through the link
    QTest::addColumn<bool>("needsRoot");
    const QString notRegular = QStringLiteral("It is a symbolic link to something that is not a regular file");
    QTest::newRow("link to a file of the user") << QStringLiteral("plain/link") << QString() << false;
    QTest::newRow("link in a shared folder, the user's own") << QStringLiteral("shared/mine") << QString() << false;
    QTest::newRow("link in a shared folder, the folder owner's")
        << QStringLiteral("shared-other/owners") << QString() << true;
    QTest::newRow("link in a shared folder, a stranger's")
        << QStringLiteral("shared/strangers")
        << QStringLiteral("It is a symbolic link in a shared folder, owned by another user; it is not followed")
        << true;
    QTest::newRow("link to a FIFO") << QStringLiteral("plain/to-fifo") << notRegular << false;
    QTest::newRow("link to a folder") << QStringLiteral("plain/to-folder") << notRegular << false;
    QTest::newRow("link to nothing") << QStringLiteral("plain/dangling")
                                     << QStringLiteral("It is a symbolic link that leads nowhere") << false;
    QTest::newRow("a FIFO itself") << QStringLiteral("plain/fifo") << QStringLiteral("It is not a regular file")
                                   << false;
}

// An output path that is a symbolic link is followed as the kernel follows links in shared sticky folders,
// and only to a regular file; a refused path is reported at step 168 and nothing at all changes.
void tst_ConvertFailures::outputLinksAreFollowedOnlyWhereSafe()
{
#ifdef Q_OS_UNIX
    QFETCH(QString, output);
    QFETCH(QString, refusal);
    QFETCH(bool, needsRoot);
    if (needsRoot && ::geteuid() != 0)
        QSKIP("links and folders of other users can only be made by root");
    constexpr uid_t stranger = 65534;
    test::TempTree tree;
    const QString target = tree.writeFile(QStringLiteral("data/target.htm"), "the user's own file\n");
    tree.makeFolder(QStringLiteral("data/folder"));
    QCOMPARE(::mkfifo(QFile::encodeName(tree.path(QStringLiteral("data/fifo"))).constData(), 0600), 0);
    tree.makeFolder(QStringLiteral("plain"));
    QCOMPARE(::mkfifo(QFile::encodeName(tree.path(QStringLiteral("plain/fifo.htm"))).constData(), 0600), 0);
    for (const QString& folder : {QStringLiteral("shared"), QStringLiteral("shared-other")}) {
        tree.makeFolder(folder);
        QCOMPARE(::chmod(QFile::encodeName(tree.path(folder)).constData(), 01777), 0);
    }
    const auto link = [&](const QString& to, const QString& at, uid_t owner) {
        const QString where = tree.path(at + QStringLiteral(".htm"));
        QVERIFY(QFile::link(to, where));
        if (owner != ::geteuid())
            QCOMPARE(::lchown(QFile::encodeName(where).constData(), owner, owner), 0);
    };
    link(target, QStringLiteral("plain/link"), ::geteuid());
    link(target, QStringLiteral("shared/mine"), ::geteuid());
    link(tree.path(QStringLiteral("data/fifo")), QStringLiteral("plain/to-fifo"), ::geteuid());
    link(tree.path(QStringLiteral("data/folder")), QStringLiteral("plain/to-folder"), ::geteuid());
    link(tree.path(QStringLiteral("data/none")), QStringLiteral("plain/dangling"), ::geteuid());
    if (::geteuid() == 0) {
        link(target, QStringLiteral("shared/strangers"), stranger);
        link(target, QStringLiteral("shared-other/owners"), stranger);
        QCOMPARE(::chown(QFile::encodeName(tree.path(QStringLiteral("shared-other"))).constData(), stranger, stranger),
                 0);
    }
    const QString source =
        tree.writeFile(QStringLiteral("in/") + QFileInfo(output).fileName() + QStringLiteral(".csv"), "a,b\n");
    const auto before = test::TempTree::snapshot(tree.root());
    test::RecordingRunHost host;
    host.options.OutputMode = OutputMode::ChosenFolder;
    host.options.OutputFolder = tree.path(QFileInfo(output).path());
    const QString outputPath = tree.path(output + QStringLiteral(".htm"));

    const auto written = ConvertVantrel(host, source, QStringLiteral(","));

    if (refusal.isEmpty()) {
        QCOMPARE(host.reportLines(), QList<int>{});
        QCOMPARE(written.value_or(QString()), outputPath);
        QCOMPARE(test::TempTree::readFile(target), kDocument);
        QVERIFY(QFileInfo(outputPath).isSymLink());
    } else {
        QCOMPARE(written, std::nullopt);
        QCOMPARE(host.reportLines(), QList<int>{168});
        QCOMPARE(host.reports.first().description, QStringLiteral("Cannot write %1: %2").arg(outputPath, refusal));
        QCOMPARE(test::TempTree::snapshot(tree.root()), before);
    }
#else
    QSKIP("symbolic links as POSIX has them");
#endif
}

// The rule for a link at the output path, walked whole: who owns the link (the user, the folder's owner, a
// stranger) against the folder's mode. Only a stranger's link in a folder both sticky and writable by all is
// refused, as the kernel refuses to follow it when links in shared sticky folders are protected.
void tst_ConvertFailures::linkRuleInSharedFolders_data()
{
    QTest::addColumn<QString>("owner"); // "user", "folder owner" or "stranger"
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<bool>("followed");
    const QList<std::pair<const char*, int>> modes = {
        {"sticky, writable by all", 01777}, {"sticky only", 01755}, {"writable by all", 0777}, {"plain", 0755}};
    for (const char* owner : {"user", "folder owner", "stranger"}) {
        for (const auto& [name, mode] : modes)
            QTest::addRow("%s's link, %s", owner, name)
                << QString::fromLatin1(owner) << mode << !(QByteArray(owner) == "stranger" && mode == 01777);
    }
}

void tst_ConvertFailures::linkRuleInSharedFolders()
{
#ifdef Q_OS_UNIX
    QFETCH(QString, owner);
    QFETCH(int, folderMode);
    QFETCH(bool, followed);
    if (owner != QStringLiteral("user") && ::geteuid() != 0)
        QSKIP("links and folders of other users can only be made by root");
    constexpr uid_t folderOwner = 65534;
    constexpr uid_t stranger = 65533;
    test::TempTree tree;
    const QString target = tree.writeFile(QStringLiteral("data/target.htm"), "the earlier document\n");
    const QString folder = tree.makeFolder(QStringLiteral("out"));
    const QString path = tree.path(QStringLiteral("out/a.htm"));
    QVERIFY(QFile::link(target, path));
    const uid_t linkOwner = owner == QStringLiteral("user")           ? ::geteuid()
                            : owner == QStringLiteral("folder owner") ? folderOwner
                                                                      : stranger;
    if (linkOwner != ::geteuid())
        QCOMPARE(::lchown(QFile::encodeName(path).constData(), linkOwner, linkOwner), 0);
    if (::geteuid() == 0)
        QCOMPARE(::chown(QFile::encodeName(folder).constData(), folderOwner, folderOwner), 0);
    QCOMPARE(::chmod(QFile::encodeName(folder).constData(), mode_t(folderMode)), 0);
    const QString source = tree.writeFile(QStringLiteral("in/a.csv"), "a,b\n");
    test::RecordingRunHost host;
    host.options.OutputMode = OutputMode::ChosenFolder;
    host.options.OutputFolder = folder;

    const auto written = ConvertVantrel(host, source, QStringLiteral(","));

    QCOMPARE(written.has_value(), followed);
    QCOMPARE(test::TempTree::readFile(target), followed ? kDocument : QByteArray("the earlier document\n"));
    QCOMPARE(host.reportLines(), followed ? QList<int>{} : QList<int>{168});
    QVERIFY(QFileInfo(path).isSymLink());
#else
    QSKIP("symbolic links as POSIX has them");
#endif
}

// A chain of links at the output path is followed as far as the system follows links in one path (Linux: 40),
// and refused, changing nothing, one link beyond.
void tst_ConvertFailures::linkChains_data()
{
    QTest::addColumn<int>("links");
    QTest::addColumn<bool>("followed");
    QTest::newRow("one link") << 1 << true;
    QTest::newRow("39 links") << 39 << true;
    QTest::newRow("40 links, the limit") << 40 << true;
    QTest::newRow("41 links") << 41 << false;
}

void tst_ConvertFailures::linkChains()
{
#ifdef Q_OS_LINUX
    QFETCH(int, links);
    QFETCH(bool, followed);
    test::TempTree tree;
    const QString folder = tree.makeFolder(QStringLiteral("out"));
    const QString target = tree.writeFile(QStringLiteral("out/target.htm"), "the earlier document\n");
    QString previous = QStringLiteral("target.htm");
    for (int i = 1; i < links; ++i) {
        const QString name = QStringLiteral("link%1").arg(i);
        QVERIFY(QFile::link(previous, tree.path(QStringLiteral("out/") + name)));
        previous = name;
    }
    QVERIFY(QFile::link(previous, tree.path(QStringLiteral("out/a.htm"))));
    // What the system itself does with the chain.
    QCOMPARE(QFile(tree.path(QStringLiteral("out/a.htm"))).open(QIODevice::ReadOnly), followed);
    const QString source = tree.writeFile(QStringLiteral("in/a.csv"), "a,b\n");
    test::RecordingRunHost host;
    host.options.OutputMode = OutputMode::ChosenFolder;
    host.options.OutputFolder = folder;

    const auto written = ConvertVantrel(host, source, QStringLiteral(","));

    QCOMPARE(written.has_value(), followed);
    QCOMPARE(test::TempTree::readFile(target), followed ? kDocument : QByteArray("the earlier document\n"));
    if (!followed)
        QCOMPARE(host.reports.value(0).description,
                 QStringLiteral("Cannot write %1: %2")
                     .arg(tree.path(QStringLiteral("out/a.htm")), QString::fromLocal8Bit(std::strerror(ELOOP))));
#else
    QSKIP("the limit of links in one path is Linux's");
#endif
}

QTEST_GUILESS_MAIN(tst_ConvertFailures)
#include "tst_ConvertFailures.moc"
