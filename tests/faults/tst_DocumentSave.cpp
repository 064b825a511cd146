// SPDX-License-Identifier: MIT
// The atomic save of a document, in this process with the fault library preloaded: every case runs once with
// unnamed temporary files and once on a "file system" that refuses them, where named ones stand in.
#include <QtTest>

#include <cstring>

#include "core/convert/ConversionRun.h"
#include "core/convert/save/DocumentWriter.h"
#include "support/core/RecordingRunHost.h"
#include "support/core/TempTree.h"
#include "support/core/Unprivileged.h"

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace ostrand;

namespace {

const QByteArray kOld = "the earlier document\r\n";

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

int modeOf(const QString& path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

// The kind of what is at the path (links not followed): S_IFREG, S_IFIFO...
int kindOf(const QString& path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & S_IFMT) : -1;
}

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// A row for each kind of temporary file; the test's data follow.
template <class... Values> void addRows(const char* name, Values... values)
{
    ((QTest::newRow(QByteArray(name).append(", unnamed files").constData()) << false) << ... << values);
    ((QTest::newRow(QByteArray(name).append(", named files").constData()) << true) << ... << values);
}

// Makes the fault library refuse unnamed files while it lives.
class TemporaryFiles
{
public:
    explicit TemporaryFiles(bool named)
    {
        if (named)
            qputenv("OSTRAND_FAULT_TMPFILE", "refuse");
    }
    ~TemporaryFiles() { qunsetenv("OSTRAND_FAULT_TMPFILE"); }
};

} // namespace

class tst_DocumentSave : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void permissionsOfTheDocument_data();
    void permissionsOfTheDocument();
    void ownerAndGroupKeptByRoot_data();
    void ownerAndGroupKeptByRoot();
    void ownerAndGroupAsAnOrdinaryUser_data();
    void ownerAndGroupAsAnOrdinaryUser();
    void linksAreWrittenThrough_data();
    void linksAreWrittenThrough();
    void failuresLeaveTheEarlierFileAndNoTemporaryFile_data();
    void failuresLeaveTheEarlierFileAndNoTemporaryFile();
    void thePathIsCheckedRightBeforePlacement_data();
    void thePathIsCheckedRightBeforePlacement();
    void placedOnlyAfterItsBytesAreSynced_data();
    void placedOnlyAfterItsBytesAreSynced();
    void foldersSyncedAfterPlacement_data();
    void foldersSyncedAfterPlacement();
};

void tst_DocumentSave::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("OSTRAND_FAULT_SHIM"))
        QSKIP("runs with the fault library preloaded (ctest)");
}

void tst_DocumentSave::permissionsOfTheDocument_data()
{
    QTest::addColumn<bool>("named");
    QTest::addColumn<int>("earlier"); // the earlier file's mode, -1 for none
    QTest::addColumn<int>("mask");
    QTest::addColumn<int>("expected");
    addRows("new, umask 022", -1, 022, 0644);
    addRows("new, umask 077", -1, 077, 0600);
    addRows("new, umask 0", -1, 0, 0666);
    addRows("earlier 0600 kept", 0600, 022, 0600);
    addRows("earlier 0640 kept under umask 077", 0640, 077, 0640);
    addRows("earlier 0755 kept", 0755, 022, 0755);
}

void tst_DocumentSave::permissionsOfTheDocument()
{
    QFETCH(bool, named);
    QFETCH(int, earlier);
    QFETCH(int, mask);
    QFETCH(int, expected);
    const TemporaryFiles files(named);
    test::TempTree tree;
    const QString source = tree.writeFile(QStringLiteral("in/a.csv"), "a\n");
    const QString path = tree.path(QStringLiteral("out/a.htm"));
    tree.makeFolder(QStringLiteral("out"));
    if (earlier >= 0) {
        tree.writeFile(QStringLiteral("out/a.htm"), kOld);
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(earlier)), 0);
    }
    const mode_t saved = ::umask(mode_t(mask));

    const Status written = writeDocument(path, "<table>\r\n", source);
    ::umask(saved);

    QCOMPARE(written.error(), QString());
    QCOMPARE(modeOf(path), expected);
    QCOMPARE(test::TempTree::readFile(path), QByteArray("<table>\r\n"));
    QCOMPARE(entriesOf(tree.path(QStringLiteral("out"))), QStringList{QStringLiteral("a.htm")});
}

void tst_DocumentSave::ownerAndGroupKeptByRoot_data()
{
    QTest::addColumn<bool>("named");
    QTest::addColumn<int>("owner");
    QTest::addColumn<int>("group");
    addRows("another user and group", 1000, 1000);
    addRows("another user, root's group", 1000, 0);
    addRows("root, another group", 0, 1000);
}

// Root replacing a document of another user keeps its owner, group and mode, as an editor does.
void tst_DocumentSave::ownerAndGroupKeptByRoot()
{
    QFETCH(bool, named);
    QFETCH(int, owner);
    QFETCH(int, group);
    if (::geteuid() != 0)
        QSKIP("only root may give a file to another user");
    const TemporaryFiles files(named);
    test::TempTree tree;
    const QString source = tree.writeFile(QStringLiteral("in/a.csv"), "a\n");
    const QString path = tree.writeFile(QStringLiteral("out/a.htm"), kOld);
    const QByteArray encoded = QFile::encodeName(path);
    QCOMPARE(::chown(encoded.constData(), uid_t(owner), gid_t(group)), 0);
    QCOMPARE(::chmod(encoded.constData(), 0640), 0);

    QCOMPARE(writeDocument(path, "<table>\r\n", source).error(), QString());

    struct stat info;
    QCOMPARE(::stat(encoded.constData(), &info), 0);
    QCOMPARE(int(info.st_uid), owner);
    QCOMPARE(int(info.st_gid), group);
    QCOMPARE(int(info.st_mode & 07777), 0640);
    QCOMPARE(test::TempTree::readFile(path), QByteArray("<table>\r\n"));
}

void tst_DocumentSave::ownerAndGroupAsAnOrdinaryUser_data()
{
    QTest::addColumn<bool>("named");
    QTest::addColumn<bool>("othersDocument"); // the earlier document belongs to root, not to the user
    QTest::addColumn<bool>("member");         // the user belongs to the earlier document's group
    addRows("another user's document, a group of the user's", true, true);
    addRows("another user's document, a group the user is not in", true, false);
    addRows("the user's own document, another group of the user's", false, true);
}

// An ordinary user replacing a document may not give the new one away: it becomes the user's, and keeps the
// earlier document's group where the user belongs to it, as editors do; else it takes the user's own group.
void tst_DocumentSave::ownerAndGroupAsAnOrdinaryUser()
{
    QFETCH(bool, named);
    QFETCH(bool, othersDocument);
    QFETCH(bool, member);
    if (::geteuid() != 0)
        QSKIP("the tests make an ordinary user a member of a group, which only root can");
    const passwd* nobody = test::nobodyUser();
    if (!nobody)
        QSKIP("there is no user \"nobody\" to run as");
    constexpr gid_t shared = 100; // a group the user is made a member of
    const gid_t group = member ? shared : gid_t(0);
    const TemporaryFiles files(named);
    test::TempTree tree;
    const QString source = tree.writeFile(QStringLiteral("in/a.csv"), "a\n");
    const QString path = tree.writeFile(QStringLiteral("out/a.htm"), kOld);
    const QByteArray encoded = QFile::encodeName(path);
    QCOMPARE(::chmod(QFile::encodeName(tree.root()).constData(), 0755), 0);
    QCOMPARE(::chmod(QFile::encodeName(tree.path(QStringLiteral("out"))).constData(), 0777), 0);
    QCOMPARE(::chown(encoded.constData(), othersDocument ? 0 : nobody->pw_uid, group), 0);
    QCOMPARE(::chmod(encoded.constData(), 0666), 0);

    QString why;
    const std::optional<QByteArray> answer = test::runUnprivileged(
        [&] {
            const Status written = writeDocument(path, "<table>\r\n", source);
            struct stat info;
            if (!written.ok() || ::stat(encoded.constData(), &info) != 0)
                return written.error().toUtf8();
            return QByteArray::number(info.st_uid) + ':' + QByteArray::number(info.st_gid) + ':' +
                   QByteArray::number(info.st_mode & 07777, 8);
        },
        &why, shared);
    if (!answer)
        QSKIP(qPrintable(why));

    const gid_t expectedGroup = member ? shared : nobody->pw_gid;
    QCOMPARE(*answer, QByteArray::number(nobody->pw_uid) + ':' + QByteArray::number(expectedGroup) + ":666");
    QCOMPARE(test::TempTree::readFile(path), QByteArray("<table>\r\n"));
}

void tst_DocumentSave::linksAreWrittenThrough_data()
{
    QTest::addColumn<bool>("named");
    QTest::addColumn<QString>("link");      // what out/a.htm points to
    QTest::addColumn<QString>("second");    // a link out/b.htm to make first, "" for none
    QTest::addColumn<bool>("relativePath"); // the document's path is given relative to the working folder
    for (const bool relative : {false, true}) {
        const char* path = relative ? ", relative path" : "";
        addRows(qPrintable(QStringLiteral("absolute link%1").arg(QLatin1String(path))),
                QStringLiteral("@/data/target.htm"), QString(), relative);
        addRows(qPrintable(QStringLiteral("relative link%1").arg(QLatin1String(path))),
                QStringLiteral("../data/target.htm"), QString(), relative);
        addRows(qPrintable(QStringLiteral("link to a link%1").arg(QLatin1String(path))), QStringLiteral("b.htm"),
                QStringLiteral("@/data/target.htm"), relative);
        addRows(qPrintable(QStringLiteral("relative link to a relative link%1").arg(QLatin1String(path))),
                QStringLiteral("b.htm"), QStringLiteral("../data/target.htm"), relative);
        // out/inner is a link to the folder data.
        addRows(qPrintable(QStringLiteral("relative link into a linked folder%1").arg(QLatin1String(path))),
                QStringLiteral("inner/target.htm"), QString(), relative);
    }
}

// The document goes to the link's final target, in that file's folder; the links stay as they were.
void tst_DocumentSave::linksAreWrittenThrough()
{
    QFETCH(bool, named);
    QFETCH(QString, link);
    QFETCH(QString, second);
    QFETCH(bool, relativePath);
    const TemporaryFiles files(named);
    test::TempTree tree;
    const QString source = tree.writeFile(QStringLiteral("in/a.csv"), "a\n");
    const QString target = tree.writeFile(QStringLiteral("data/target.htm"), kOld);
    QCOMPARE(::chmod(QFile::encodeName(target).constData(), 0640), 0);
    tree.makeFolder(QStringLiteral("out"));
    const auto makeLink = [&](QString to, const QString& at) {
        to.replace(QLatin1Char('@'), tree.root());
        QCOMPARE(::symlink(QFile::encodeName(to).constData(), QFile::encodeName(tree.path(at)).constData()), 0);
    };
    if (!second.isEmpty())
        makeLink(second, QStringLiteral("out/b.htm"));
    if (link.startsWith(QLatin1String("inner/")))
        makeLink(QStringLiteral("@/data"), QStringLiteral("out/inner"));
    makeLink(link, QStringLiteral("out/a.htm"));
    const QString path = tree.path(QStringLiteral("out/a.htm"));
    const QString linkText = QFile::symLinkTarget(path);

    const QString previous = QDir::currentPath();
    if (relativePath)
        QVERIFY(QDir::setCurrent(tree.root()));
    const QString given = relativePath ? QStringLiteral("out/a.htm") : path;

    const Status written = writeDocument(given, "<table>\r\n", source);
    QDir::setCurrent(previous);

    QCOMPARE(written.error(), QString());
    QCOMPARE(test::TempTree::readFile(target), QByteArray("<table>\r\n"));
    QCOMPARE(modeOf(target), 0640);
    QVERIFY(QFileInfo(path).isSymLink());
    QCOMPARE(QFile::symLinkTarget(path), linkText);
    QCOMPARE(entriesOf(tree.path(QStringLiteral("data"))), QStringList{QStringLiteral("target.htm")});
    QCOMPARE(entriesOf(tree.path(QStringLiteral("out"))).size(),
             second.isEmpty() && !link.startsWith(QLatin1String("inner/")) ? 1 : 2);
}

void tst_DocumentSave::failuresLeaveTheEarlierFileAndNoTemporaryFile_data()
{
    QTest::addColumn<bool>("named");
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("reason"); // after "Cannot write PATH: "; "" when nothing is reported
    addRows("file size limit", QStringLiteral("limit"), systemText(EFBIG));
    addRows("failed sync", QStringLiteral("sync"), systemText(ENOSPC));
    addRows("stopped between two chunks", QStringLiteral("stop"), QString());
    addRows("cancelled before the commit", QStringLiteral("cancel"), QString());
    addRows("folder moved before placement", QStringLiteral("moved"), systemText(ENOENT));
}

void tst_DocumentSave::failuresLeaveTheEarlierFileAndNoTemporaryFile()
{
    QFETCH(bool, named);
    QFETCH(QString, failure);
    QFETCH(QString, reason);
    const TemporaryFiles files(named);
    test::TempTree tree;
    const QString source = tree.writeFile(QStringLiteral("in/a.csv"), "a\n");
    tree.writeFile(QStringLiteral("out/a.htm"), kOld);
    const QString path = tree.path(QStringLiteral("out/a.htm"));
    const auto before = test::TempTree::snapshot(tree.root());
    const QByteArray bytes(3 * DocumentWriter::kChunkBytes, 'x');

    DocumentWriter writer;
    QCOMPARE(writer.open(path, source).error(), QString());
    Status outcome;
    rlimit savedLimit{};
    ::getrlimit(RLIMIT_FSIZE, &savedLimit);
    const auto savedSignal = std::signal(SIGXFSZ, SIG_IGN);
    if (failure == QLatin1String("limit")) {
        rlimit small = savedLimit;
        small.rlim_cur = 4096;
        ::setrlimit(RLIMIT_FSIZE, &small);
    } else if (failure == QLatin1String("sync")) {
        qputenv("OSTRAND_FAULT_SYNC", "enospc");
    }
    const bool taken = writer.write(bytes.constData(), bytes.size(), [&] { return failure != QLatin1String("stop"); });
    ::setrlimit(RLIMIT_FSIZE, &savedLimit);
    std::signal(SIGXFSZ, savedSignal);
    if (!taken) {
        outcome = writer.failure();
    } else if (failure == QLatin1String("cancel")) {
        writer.cancel();
    } else if (failure == QLatin1String("moved")) {
        QCOMPARE(writer.prepare(path, source).error(), QString());
        QVERIFY(QDir(tree.root()).rename(QStringLiteral("out"), QStringLiteral("gone")));
        outcome = writer.place();
        QVERIFY(QDir(tree.root()).rename(QStringLiteral("gone"), QStringLiteral("out")));
    } else {
        outcome = writer.commit(path, source);
    }
    qunsetenv("OSTRAND_FAULT_SYNC");

    QCOMPARE(taken, failure != QLatin1String("limit") && failure != QLatin1String("stop"));
    QCOMPARE(writer.stopped(), failure == QLatin1String("stop"));
    QCOMPARE(outcome.error(), reason.isEmpty() ? QString() : QStringLiteral("Cannot write %1: %2").arg(path, reason));
    QCOMPARE(test::TempTree::snapshot(tree.root()), before);
}

void tst_DocumentSave::thePathIsCheckedRightBeforePlacement_data()
{
    QTest::addColumn<bool>("named");
    QTest::addColumn<QString>("change"); // what happens at the path between prepare and place
    QTest::addColumn<QString>("refusal");
    addRows("nothing", QStringLiteral("nothing"), QString());
    // A name that was free when the writer opened stays with whoever takes it first.
    const QString taken = QStringLiteral("A file appeared there while the document was written, and it is left alone");
    addRows("a file appears", QStringLiteral("file"), taken);
    addRows("the earlier file is removed", QStringLiteral("removed"), QString());
    addRows("a FIFO appears", QStringLiteral("fifo"), QStringLiteral("It is not a regular file"));
    addRows("a folder appears", QStringLiteral("folder"), QStringLiteral("Filename refers to a directory"));
    addRows("a link to nothing appears", QStringLiteral("dangling"),
            QStringLiteral("It is a symbolic link that leads nowhere"));
    // Between the last look at the free path and the link that puts the document there, another program writes a
    // file there: that file is kept.
    addRows("a file appears at the last moment", QStringLiteral("last moment"), taken);
}

// A document made durable with others is put in place only if its path, as it stands then, may be written; a
// refused one changes nothing and leaves no temporary file.
void tst_DocumentSave::thePathIsCheckedRightBeforePlacement()
{
    QFETCH(bool, named);
    QFETCH(QString, change);
    QFETCH(QString, refusal);
    const TemporaryFiles files(named);
    test::TempTree tree;
    const QString source = tree.writeFile(QStringLiteral("in/a.csv"), "a\n");
    tree.makeFolder(QStringLiteral("out"));
    if (change == QLatin1String("removed"))
        tree.writeFile(QStringLiteral("out/a.htm"), kOld);
    const QString path = tree.path(QStringLiteral("out/a.htm"));
    const QByteArray encoded = QFile::encodeName(path);
    DocumentWriter writer;
    QCOMPARE(writer.open(path, source).error(), QString());
    QVERIFY(writer.write("<table>\r\n", 9));
    QCOMPARE(writer.prepare(path, source).error(), QString());

    if (change == QLatin1String("file"))
        tree.writeFile(QStringLiteral("out/a.htm"), kOld);
    else if (change == QLatin1String("removed"))
        QVERIFY(QFile::remove(path));
    else if (change == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(encoded.constData(), 0600), 0);
    else if (change == QLatin1String("folder"))
        tree.makeFolder(QStringLiteral("out/a.htm"));
    else if (change == QLatin1String("dangling"))
        QCOMPARE(::symlink("nowhere", encoded.constData()), 0);
    const int kindBefore = kindOf(path);
    if (change == QLatin1String("last moment"))
        qputenv("OSTRAND_FAULT_APPEAR", "another program's file\n");

    const Status placed = writer.place();
    qunsetenv("OSTRAND_FAULT_APPEAR");

    QCOMPARE(placed.error(), refusal.isEmpty() ? QString() : QStringLiteral("Cannot write %1: %2").arg(path, refusal));
    if (refusal.isEmpty())
        QCOMPARE(test::TempTree::readFile(path), QByteArray("<table>\r\n"));
    else if (change == QLatin1String("last moment"))
        QCOMPARE(test::TempTree::readFile(path), QByteArray("another program's file\n"));
    else if (change == QLatin1String("file"))
        QCOMPARE(test::TempTree::readFile(path), kOld);
    else
        QCOMPARE(kindOf(path), kindBefore);
    QCOMPARE(entriesOf(tree.path(QStringLiteral("out"))), QStringList{QStringLiteral("a.htm")});
}

void tst_DocumentSave::placedOnlyAfterItsBytesAreSynced_data()
{
    QTest::addColumn<bool>("named");
    QTest::addColumn<bool>("earlier"); // a document is replaced (rename) rather than linked in
    QTest::addColumn<QString>("how");
    QTest::addColumn<QByteArray>("logged");
    addRows("new, by itself", false, QStringLiteral("commit"), QByteArray("synced"));
    addRows("replacing, by itself", true, QStringLiteral("commit"), QByteArray("synced"));
    addRows("new, synced by the caller", false, QStringLiteral("synced"), QByteArray("synced"));
    addRows("replacing, synced by the caller", true, QStringLiteral("synced"), QByteArray("synced"));
    addRows("new, nobody synced", false, QStringLiteral("unsynced"), QByteArray("UNSYNCED"));
    addRows("replacing, nobody synced", true, QStringLiteral("unsynced"), QByteArray("UNSYNCED"));
}

// The fault library's log tells, for every way a document is put in place, whether its bytes were synced first:
// what the fault tests of whole runs rely on.
void tst_DocumentSave::placedOnlyAfterItsBytesAreSynced()
{
    QFETCH(bool, named);
    QFETCH(bool, earlier);
    QFETCH(QString, how);
    QFETCH(QByteArray, logged);
    const TemporaryFiles files(named);
    test::TempTree tree;
    const QString source = tree.writeFile(QStringLiteral("in/a.csv"), "a\n");
    tree.makeFolder(QStringLiteral("out"));
    const QString path = tree.path(QStringLiteral("out/a.htm"));
    if (earlier)
        tree.writeFile(QStringLiteral("out/a.htm"), kOld);
    const QString log = tree.path(QStringLiteral("placed.log"));
    qputenv("OSTRAND_FAULT_LOG", QFile::encodeName(log));

    DocumentWriter writer;
    QCOMPARE(writer.open(path, source).error(), QString());
    QVERIFY(writer.write("<table>\r\n", 9));
    Status placed;
    if (how == QLatin1String("commit")) {
        placed = writer.commit(path, source);
    } else {
        QCOMPARE(writer.prepare(path, source).error(), QString());
        if (how == QLatin1String("synced"))
            QCOMPARE(::fdatasync(writer.handle()), 0);
        placed = writer.place();
    }
    qunsetenv("OSTRAND_FAULT_LOG");

    QCOMPARE(placed.error(), QString());
    QCOMPARE(test::TempTree::readFile(log), QFile::encodeName(path) + ' ' + logged + '\n');
}

void tst_DocumentSave::foldersSyncedAfterPlacement_data()
{
    QTest::addColumn<bool>("named");
    QTest::addColumn<int>("small");   // small documents, made durable in batches
    QTest::addColumn<int>("large");   // large documents among them, each synced by itself
    QTest::addColumn<int>("folders"); // folders the sources, and so the documents, are spread over
    addRows("one small document", 1, 0, 1);
    addRows("small documents over several batches", 100, 0, 1);
    addRows("small documents in three folders", 30, 0, 3);
    addRows("one large document", 0, 1, 1);
    addRows("large and small mixed, two folders", 20, 2, 2);
}

// Once a document is in place, the folder that holds its name is synced, so that the name is as durable as the
// bytes: for every way a run puts documents in place.
void tst_DocumentSave::foldersSyncedAfterPlacement()
{
    QFETCH(bool, named);
    QFETCH(int, small);
    QFETCH(int, large);
    QFETCH(int, folders);
    const TemporaryFiles files(named);
    test::TempTree tree;
    test::RecordingRunHost host;
    host.options.OutputMode = OutputMode::SourceFolder;
    QByteArray big;
    while (large > 0 && big.size() < 3 * 1024 * 1024)
        big += "a large,document\n";
    for (int i = 0; i < small + large; ++i) {
        const QString folder = QStringLiteral("in%1/").arg(i % folders);
        const bool isLarge = i % 10 == 5 && large-- > 0;
        host.entries.append(tree.writeFile(folder + QStringLiteral("s%1.csv").arg(i), isLarge ? big : "a,b\n"));
    }
    const QString log = tree.path(QStringLiteral("placed.log"));
    qputenv("OSTRAND_FAULT_LOG", QFile::encodeName(log));
    qputenv("OSTRAND_FAULT_LOG_FOLDERS", "1");
    bool converting = false;

    RunConversion(host, converting);
    qunsetenv("OSTRAND_FAULT_LOG");
    qunsetenv("OSTRAND_FAULT_LOG_FOLDERS");

    QCOMPARE(host.reportLines(), QList<int>{});
    QCOMPARE(host.written.size(), host.entries.size());
    // Each document, then (at once or with a later batch) its folder.
    QByteArrayList lines = test::TempTree::readFile(log).split('\n');
    lines.removeAll(QByteArray());
    int placed = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines.at(i).endsWith(" folder synced"))
            continue;
        QVERIFY2(lines.at(i).endsWith(".htm synced"), lines.at(i).constData());
        ++placed;
        const QByteArray folder = lines.at(i).left(lines.at(i).lastIndexOf('/'));
        const bool synced = std::any_of(lines.begin() + i + 1, lines.end(),
                                        [&](const QByteArray& line) { return line == folder + " folder synced"; });
        QVERIFY2(synced, ("the folder of " + lines.at(i) + " is never synced after it").constData());
    }
    QCOMPARE(placed, host.entries.size());
}

QTEST_GUILESS_MAIN(tst_DocumentSave)
#include "tst_DocumentSave.moc"
