// SPDX-License-Identifier: MIT
#include <QtTest>
#ifdef Q_OS_WIN
#include <windows.h>
#endif

#include <cerrno>
#include <cstring>

#include <QMimeData>

#include "app/PointerScheme.h"
#include "core/app/ErrorReport.h"
#include "filelist/FileListView.h"
#include "support/core/DescriptorExhaustion.h"
#include "support/core/UnixOnly.h"
#include "support/gui/WindowFixture.h"

using namespace ostrand;
using namespace ostrand::test;

namespace {

// What a source offers: "file:<path>" for a local file URL, "url:<url>" for another URL, "text:<text>"
// for plain text.
std::unique_ptr<QMimeData> offered(const QStringList& items)
{
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& item : items) {
        if (item.startsWith(u"file:"))
            urls.append(QUrl::fromLocalFile(item.mid(5)));
        else if (item.startsWith(u"url:"))
            urls.append(QUrl(item.mid(4)));
        else if (item.startsWith(u"text:"))
            data->setText(item.mid(5));
    }
    if (!urls.isEmpty())
        data->setUrls(urls);
    return data;
}

struct DragOutcome
{
    bool enterAccepted = false;
    bool moveAccepted = false;
    bool dropAccepted = false;
};

// Drags the data over the list and drops it, as the window system does, and tells which steps the list
// accepted.
DragOutcome dragAndDrop(FileListView& list, const QMimeData& data)
{
    QWidget* target = list.viewport();
    const QPoint at = target->rect().center();
    DragOutcome outcome;
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &enter);
    outcome.enterAccepted = enter.isAccepted() && enter.dropAction() != Qt::IgnoreAction;
    QDragMoveEvent move(at + QPoint(1, 1), Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &move);
    outcome.moveAccepted = move.isAccepted() && move.dropAction() != Qt::IgnoreAction;
    QDropEvent drop(at + QPoint(1, 1), Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &drop);
    outcome.dropAccepted = drop.isAccepted() && drop.dropAction() != Qt::IgnoreAction;
    return outcome;
}

// Two folder trees, each with the kinds of files and folders a drop leaves out, and a folder of twins: names that
// differ only in a first U+FEFF.
void writeTrees(const TempTree& tree)
{
    for (const char* file : {"F1/b.txt", "F1/a.csv", "F1/~lock.csv", "F1/.hidden", "F1/s/c.dat", "F1/.git/x.csv",
                             "F1/s/t/d.csv", "F2/e.csv", "F2/u/f.csv", "loose.csv", "notes.txt", "M/m.csv",
                             "M/\xEF\xBB\xBFm.csv"})
        tree.writeFile(QString::fromUtf8(file), "1\n");
#ifndef Q_OS_WIN
    // Windows makes a shortcut, a file like any other, where Unix makes a link that the scan does not follow.
    QFile::link(tree.path(u"F2"_qs), tree.path(u"F1/s/linkToF2"_qs));
#endif
    tree.hideDotNames();
}

QStringList prefixed(const QString& prefix, const QStringList& items)
{
    QStringList result;
    for (const QString& item : items)
        result.append(prefix + item);
    return result;
}

} // namespace

class tst_DragDropFiles : public QObject
{
    Q_OBJECT

private slots:
    void acceptance_data();
    void acceptance();
    void droppedPaths_data();
    void droppedPaths();
    void pointerUnchanged();
    void failureKeepsWhatWasAppended();
    void folderThatCannotBeListedIsReported();
    void namesNotValidUtf8AreToldOfOnce();
};

void tst_DragDropFiles::acceptance_data()
{
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<bool>("taken");

    QTest::newRow("local files") << QStringList{u"file:/no/such/a.csv"_qs, u"file:/no/such/b.txt"_qs} << true;
    QTest::newRow("plain text") << QStringList{u"text:/tmp/a.csv"_qs} << false;
    QTest::newRow("a web address") << QStringList{u"url:https://example.org/a.csv"_qs} << false;
    QTest::newRow("a local file and a web address")
        << QStringList{u"file:/no/such/a.csv"_qs, u"url:https://example.org/a.csv"_qs} << false;
    QTest::newRow("nothing") << QStringList() << false;
}

void tst_DragDropFiles::acceptance()
{
    QFETCH(QStringList, items);
    QFETCH(bool, taken);

    WindowFixture fixture;
    Form1& form = fixture.open();
    const auto data = offered(items);

    const DragOutcome outcome = dragAndDrop(*form.ListView1, *data);

    QCOMPARE(outcome.enterAccepted, taken);
    QCOMPARE(outcome.moveAccepted, taken);
    QCOMPARE(outcome.dropAccepted, taken);
    QCOMPARE(form.ListView1->entryCount(), qsizetype(taken ? items.size() : 0));
}

void tst_DragDropFiles::droppedPaths_data()
{
    QTest::addColumn<QStringList>("listed"); // before the drop, relative to the tree
    QTest::addColumn<QStringList>("dropped");
    QTest::addColumn<QStringList>("after");

    const QStringList f1Files{u"F1/a.csv"_qs, u"F1/b.txt"_qs, u"F1/s/c.dat"_qs, u"F1/s/t/d.csv"_qs};
    const QStringList f2Files{u"F2/e.csv"_qs, u"F2/u/f.csv"_qs};
    const QStringList threeFiles{u"notes.txt"_qs, u"F1/~lock.csv"_qs, u"missing.csv"_qs};
    QTest::newRow("three files, as received") << QStringList() << threeFiles << threeFiles;
    QTest::newRow("a file already listed") << QStringList{u"loose.csv"_qs} << QStringList{u"loose.csv"_qs}
                                           << QStringList{u"loose.csv"_qs, u"loose.csv"_qs};
    QTest::newRow("two folders") << QStringList() << QStringList{u"F2"_qs, u"F1"_qs} << f2Files + f1Files;
    QTest::newRow("a folder with its trailing separator") << QStringList() << QStringList{u"F2/"_qs} << f2Files;
    const QString marked = QChar(0xFEFF) + u"m.csv"_qs;
    QTest::newRow("a name that begins with U+FEFF") << QStringList() << QStringList{u"M/"_qs + marked}
                                                    << QStringList{u"M/"_qs + marked};
    QTest::newRow("a folder of twins") << QStringList() << QStringList{u"M"_qs}
                                       << QStringList{u"M/m.csv"_qs, u"M/"_qs + marked};
    QTest::newRow("a mix, in the dropped order")
        << QStringList() << QStringList{u"loose.csv"_qs, u"F2"_qs, u"notes.txt"_qs, u"F1/s/t"_qs, u"F1/a.csv"_qs}
        << QStringList{u"loose.csv"_qs} + f2Files + QStringList{u"notes.txt"_qs, u"F1/s/t/d.csv"_qs, u"F1/a.csv"_qs};
}

void tst_DragDropFiles::droppedPaths()
{
    QFETCH(QStringList, listed);
    QFETCH(QStringList, dropped);
    QFETCH(QStringList, after);
#ifdef Q_OS_WIN
    // Wine's look-up of a name ignores an initial U+FEFF, as Windows does not.
    if (QByteArray(QTest::currentDataTag()) == "a folder of twins" &&
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version"))
        QSKIP("Wine does not keep names apart that differ only in an initial U+FEFF");
#endif

    WindowFixture fixture;
    writeTrees(fixture.tree());
    const QString root = fixture.tree().root() + u'/';
    Form1& form = fixture.open();
    form.ListView1->AppendEntries(native(prefixed(root, listed)));

    const auto data = offered(prefixed(u"file:"_qs + root, dropped));
    QVERIFY(dragAndDrop(*form.ListView1, *data).dropAccepted);

    QCOMPARE(form.ListView1->entries(), native(prefixed(root, after)));
    QCOMPARE(fixture.dialogs.calls.size(), 0);
}

void tst_DragDropFiles::pointerUnchanged()
{
    WindowFixture fixture;
    writeTrees(fixture.tree());
    Form1& form = fixture.open();
    form.pointer().setPointer(MousePointer::Hand);
    QList<MousePointer> during;
    connect(&form.pointer(), &PointerScheme::pointerChanged, this,
            [&](MousePointer pointer) { during.append(pointer); });

    const auto data = offered({u"file:"_qs + fixture.tree().path(u"F1"_qs)});
    dragAndDrop(*form.ListView1, *data);

    QCOMPARE(form.ListView1->entryCount(), qsizetype(4));
    QCOMPARE(during, QList<MousePointer>());
    QCOMPARE(form.pointer().pointer(), MousePointer::Hand);
}

void tst_DragDropFiles::failureKeepsWhatWasAppended()
{
    WindowFixture fixture;
    Form1& form = fixture.open();
    FileListView& list = *form.ListView1;
    list.setDropHandler([&list](const QStringList& paths) {
        list.AppendEntry(paths.first());
        throw std::runtime_error("cannot read the second path");
    });

    const auto data = offered({u"file:/first.csv"_qs, u"file:/second.csv"_qs});
    const DragOutcome outcome = dragAndDrop(list, *data);

    QVERIFY(outcome.dropAccepted);
    QCOMPARE(list.entries(), native(QStringList{u"/first.csv"_qs}));
    // The failure is shown in the window's error report.
    QCOMPARE(fixture.dialogs.textsOf(DialogKind::ErrorReport),
             QStringList{u"cannot read the second path\r\nin Vantrel2021/08/31.Form1.ListView1_OLEDragDrop at line 100"
                         "\r\rPlease email screenshot of this message to "_qs +
                         supportAddress()});
}

void tst_DragDropFiles::folderThatCannotBeListedIsReported()
{
    OSTRAND_UNIX_ONLY("a descriptor limit a test can lower (setrlimit) to make every open fail");
    // A dot-folder dropped itself is listed for its files without being scanned; here its listing fails.
    WindowFixture fixture;
    fixture.tree().writeFile(u".data/a.csv"_qs, "1\n");
    const QString loose = fixture.tree().writeFile(u"loose.csv"_qs, "1\n");
    Form1& form = fixture.open();
    const auto data = offered({u"file:"_qs + fixture.tree().path(u".data"_qs), u"file:"_qs + loose});

    bool exhausted = false;
    {
        DescriptorExhaustion exhaustion;
        exhausted = exhaustion.active();
        dragAndDrop(*form.ListView1, *data);
    }
    QVERIFY(exhausted);

    const QStringList reports = fixture.dialogs.textsOf(DialogKind::ErrorReport);
    QCOMPARE(reports.size(), 1);
    QCOMPARE(reports.first(), QString::fromLocal8Bit(std::strerror(EMFILE)) +
                                  u"\r\nin Vantrel2021/08/31.Form1.ListView1_OLEDragDrop at line 104\r\r"
                                  "Please email screenshot of this message to "_qs +
                                  supportAddress());
    // The drop went on with the next path.
    QCOMPARE(form.ListView1->entries(), QStringList{loose});
}

// Files of the dropped folders whose names are not valid UTF-8 are left out, and the user is told how many
// in one plain message after the whole drop.
void tst_DragDropFiles::namesNotValidUtf8AreToldOfOnce()
{
    OSTRAND_UNIX_ONLY("names that are bytes, not valid UTF-8");
    WindowFixture fixture;
    const TempTree& tree = fixture.tree();
    const QString first = tree.writeFile(u"F1/a.csv"_qs, "1\n");
    const QString second = tree.writeFile(u"F2/s/b.txt"_qs, "1\n");
    const QString loose = tree.writeFile(u"loose.csv"_qs, "1\n");
    QVERIFY(tree.writeFileNamed(u"F1"_qs, "x\xFF.csv", "1\n"));
    QVERIFY(tree.writeFileNamed(u"F2/s"_qs, "\xFF", "1\n"));
    QVERIFY(tree.writeFileNamed(u"F2/s"_qs, "y\xC3.dat", "1\n"));
    Form1& form = fixture.open();
    qsizetype entriesAtMessage = -1;
    fixture.dialogs.onCall = [&](const DialogCall& call) {
        if (call.kind == DialogKind::Message)
            entriesAtMessage = form.ListView1->entryCount();
    };
    const auto data =
        offered({u"file:"_qs + tree.path(u"F1"_qs), u"file:"_qs + tree.path(u"F2"_qs), u"file:"_qs + loose});

    QVERIFY(dragAndDrop(*form.ListView1, *data).dropAccepted);

    QCOMPARE(form.ListView1->entries(), (QStringList{first, second, loose}));
    QCOMPARE(fixture.dialogs.textsOf(DialogKind::Message),
             QStringList{u"3 files in the added folders and their subfolders were skipped: their names, or the names of "
                         "their folders, are not valid UTF-8."_qs});
    QCOMPARE(fixture.dialogs.callsOf(DialogKind::Message).first().title, QStringLiteral("Ostrand Table Converter"));
    QCOMPARE(entriesAtMessage, qsizetype(3));
    QCOMPARE(fixture.dialogs.callsOf(DialogKind::ErrorReport).size(), 0);
}

QTEST_MAIN(tst_DragDropFiles)
#include "tst_DragDropFiles.moc"
