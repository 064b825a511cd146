// SPDX-License-Identifier: MIT
#include <QtTest>

#include <QPushButton>

#include "app/PointerScheme.h"
#include "filelist/FileListView.h"
#include "support/gui/WindowFixture.h"

using namespace ostrand;
using namespace ostrand::test;

namespace {

QStringList numberedPaths(int count)
{
    QStringList paths;
    for (int i = 1; i <= count; ++i)
        paths.append(QStringLiteral("/data/file%1.csv").arg(i, 2, 10, QLatin1Char('0')));
    return paths;
}

// The list of an open window, filled with the given entries.
FileListView& filledList(Form1& form, const QStringList& entries)
{
    form.ListView1->AppendEntries(entries);
    QCoreApplication::processEvents();
    return *form.ListView1;
}

// The centre of entry index (1-based) in the list's viewport.
QPoint centreOf(FileListView& list, int index)
{
    return list.visualRect(list.model()->index(index - 1, 0)).center();
}

// Sends one mouse event to the list's viewport at a viewport position, with the pointer at the given
// height on the screen: the height the reordering scrolls by.
void sendMouse(FileListView& list, QEvent::Type type, QPoint at, Qt::MouseButtons held, int screenY = 330)
{
    const QPointF global(list.viewport()->mapToGlobal(at).x(), screenY);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), global, button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(list.viewport(), &event);
}

void press(FileListView& list, QPoint at)
{
    sendMouse(list, QEvent::MouseButtonPress, at, Qt::LeftButton);
}

void moveHeld(FileListView& list, QPoint at, int screenY = 330)
{
    sendMouse(list, QEvent::MouseMove, at, Qt::LeftButton, screenY);
}

void release(FileListView& list, QPoint at)
{
    sendMouse(list, QEvent::MouseButtonRelease, at, Qt::NoButton);
}

// A double-click as the window system delivers it: press, release, the second press as a double-click,
// release.
void doubleClick(FileListView& list, QPoint at)
{
    press(list, at);
    release(list, at);
    sendMouse(list, QEvent::MouseButtonDblClick, at, Qt::LeftButton);
    release(list, at);
}

// A point of the viewport below the last entry.
QPoint blankArea(FileListView& list)
{
    const int count = list.model()->rowCount();
    const int y = count ? list.visualRect(list.model()->index(count - 1, 0)).bottom() + 4 : 4;
    if (y >= list.viewport()->height())
        QTest::qFail("The list has no room below its entries", __FILE__, __LINE__);
    return QPoint(5, y);
}

int topRow(FileListView& list)
{
    return list.indexAt(QPoint(5, 1)).row();
}

QString dragIconOfTheProject()
{
    return qEnvironmentVariable("OSTRAND_SOURCE_DIR") + QStringLiteral("/resources/beside/drag.ico");
}

} // namespace

class tst_FileListEditing : public QObject
{
    Q_OBJECT

private slots:
    void removal_data();
    void removal();
    void exchanges_data();
    void exchanges();
    void scrollAfterExchange_data();
    void scrollAfterExchange();
    void removalForgetsTheDraggedEntry_data();
    void removalForgetsTheDraggedEntry();
    void dragPointer_data();
    void dragPointer();
    void moveOverListResetsWindowPointer_data();
    void moveOverListResetsWindowPointer();
};

void tst_FileListEditing::removal_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<int>("selected"); // 0: none
    QTest::addColumn<bool>("busy");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("left");

    const QStringList abc{u"/a.csv"_qs, u"/b.csv"_qs, u"/c.csv"_qs};
    const QStringList ac{u"/a.csv"_qs, u"/c.csv"_qs};
    QTest::newRow("Delete") << abc << 2 << false << u"Delete"_qs << ac;
    QTest::newRow("Shift+Delete") << abc << 2 << false << u"Shift+Delete"_qs << ac;
    QTest::newRow("Ctrl+Alt+Delete") << abc << 2 << false << u"Ctrl+Alt+Delete"_qs << ac;
    QTest::newRow("Backspace removes nothing") << abc << 2 << false << u"Backspace"_qs << abc;
    QTest::newRow("a letter removes nothing") << abc << 2 << false << u"X"_qs << abc;
    QTest::newRow("Delete while busy") << abc << 2 << true << u"Delete"_qs << abc;
    QTest::newRow("Delete with nothing selected") << abc << 0 << false << u"Delete"_qs << abc;
    QTest::newRow("Delete on an empty list") << QStringList() << 0 << false << u"Delete"_qs << QStringList();
    QTest::newRow("double-click") << abc << 3 << false << u"double-click"_qs << QStringList{u"/a.csv"_qs, u"/b.csv"_qs};
    QTest::newRow("double-click while busy") << abc << 3 << true << u"double-click"_qs << abc;
    QTest::newRow("double-click below the entries") << abc << 0 << false << u"double-click"_qs << abc;
    QTest::newRow("double-click on an empty list")
        << QStringList() << 0 << false << u"double-click"_qs << QStringList();
    QTest::newRow("Clear List") << abc << 1 << false << u"Clear List"_qs << QStringList();
    QTest::newRow("Clear List while busy") << abc << 1 << true << u"Clear List"_qs << abc;
    QTest::newRow("one of two equal entries") << QStringList{u"/a.csv"_qs, u"/b.csv"_qs, u"/a.csv"_qs} << 3 << false
                                              << u"Delete"_qs << QStringList{u"/a.csv"_qs, u"/b.csv"_qs};
}

void tst_FileListEditing::removal()
{
    QFETCH(QStringList, entries);
    QFETCH(int, selected);
    QFETCH(bool, busy);
    QFETCH(QString, action);
    QFETCH(QStringList, left);

    WindowFixture fixture;
    Form1& form = fixture.openShown();
    FileListView& list = filledList(form, entries);
    list.selectEntry(selected);
    if (busy)
        form.pointer().setPointer(MousePointer::Busy);

    if (action == u"Delete")
        QTest::keyClick(&list, Qt::Key_Delete);
    else if (action == u"Shift+Delete")
        QTest::keyClick(&list, Qt::Key_Delete, Qt::ShiftModifier);
    else if (action == u"Ctrl+Alt+Delete")
        QTest::keyClick(&list, Qt::Key_Delete, Qt::ControlModifier | Qt::AltModifier);
    else if (action == u"Backspace")
        QTest::keyClick(&list, Qt::Key_Backspace);
    else if (action == u"X")
        QTest::keyClick(&list, Qt::Key_X);
    else if (action == u"double-click")
        doubleClick(list, selected ? centreOf(list, selected) : blankArea(list));
    else
        QTest::mouseClick(form.PushButton7, Qt::LeftButton);

    QCOMPARE(list.entries(), left);
    QCOMPARE(fixture.dialogs.calls.size(), 0);
}

void tst_FileListEditing::exchanges_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<int>("pressed");
    QTest::addColumn<QList<int>>("movesOver"); // 0: below the last entry
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<int>("selectedAfter");

    const QStringList seven = numberedPaths(7);
    QStringList twoAndFive = seven;
    twoAndFive.swapItemsAt(1, 4);
    QTest::newRow("2 onto 5 in one movement") << seven << 2 << QList<int>{5} << twoAndFive << 5;

    QStringList thereAndBack = twoAndFive;
    thereAndBack.swapItemsAt(4, 2);
    QTest::newRow("2 onto 5, then onto 3") << seven << 2 << QList<int>{5, 3} << thereAndBack << 3;

    QStringList stepByStep = seven;
    stepByStep.move(0, 3);
    QTest::newRow("1 down row by row to 4") << seven << 1 << QList<int>{2, 3, 4} << stepByStep << 4;

    QTest::newRow("over itself") << seven << 3 << QList<int>{3} << seven << 3;
    const QStringList four = numberedPaths(4);
    QTest::newRow("below the entries") << four << 3 << QList<int>{0} << four << 3;

    const QStringList same{u"/a.csv"_qs, u"/b.csv"_qs, u"/a.csv"_qs, u"/c.csv"_qs};
    QTest::newRow("over an entry with the same text") << same << 1 << QList<int>{3} << same << 1;
    QTest::newRow("past the same text onto another")
        << same << 1 << QList<int>{3, 4} << QStringList{u"/c.csv"_qs, u"/b.csv"_qs, u"/a.csv"_qs, u"/a.csv"_qs} << 4;
}

void tst_FileListEditing::exchanges()
{
    QFETCH(QStringList, entries);
    QFETCH(int, pressed);
    QFETCH(QList<int>, movesOver);
    QFETCH(QStringList, after);
    QFETCH(int, selectedAfter);

    WindowFixture fixture;
    FileListView& list = filledList(fixture.openShown(), entries);

    press(list, centreOf(list, pressed));
    QVERIFY(list.isButtonDown());
    QCOMPARE(list.draggedIndex(), qsizetype(pressed));
    for (int over : movesOver)
        moveHeld(list, over ? centreOf(list, over) : blankArea(list));
    release(list, centreOf(list, selectedAfter));

    QCOMPARE(list.entries(), after);
    QCOMPARE(list.selectedIndex(), qsizetype(selectedAfter));
    QCOMPARE(list.draggedIndex(), qsizetype(selectedAfter));
    QVERIFY(!list.isButtonDown());

    // Once the button is up, movements exchange nothing.
    sendMouse(list, QEvent::MouseMove, centreOf(list, 1), Qt::NoButton);
    QCOMPARE(list.entries(), after);
}

void tst_FileListEditing::scrollAfterExchange_data()
{
    QTest::addColumn<bool>("atTheTop"); // dragged onto the top visible entry, else onto the bottom one
    QTest::addColumn<int>("screenY");
    QTest::addColumn<int>("scrolledBy");

    QTest::newRow("top, y 304") << true << 304 << -1;
    QTest::newRow("top, y 305") << true << 305 << 0;
    QTest::newRow("top, y 365") << true << 365 << 0; // the entry below is in view already
    QTest::newRow("bottom, y 364") << false << 364 << 0;
    QTest::newRow("bottom, y 365") << false << 365 << 1;
    QTest::newRow("bottom, y 304") << false << 304 << 0; // the entry above is in view already
}

void tst_FileListEditing::scrollAfterExchange()
{
    QFETCH(bool, atTheTop);
    QFETCH(int, screenY);
    QFETCH(int, scrolledBy);

    WindowFixture fixture;
    FileListView& list = filledList(fixture.openShown(), numberedPaths(60));
    list.scrollTo(list.model()->index(20, 0), QAbstractItemView::PositionAtTop);
    QCoreApplication::processEvents();
    const int top = topRow(list);
    QCOMPARE(top, 20);
    int bottom = top;
    while (list.visualRect(list.model()->index(bottom + 1, 0)).bottom() < list.viewport()->height())
        ++bottom;
    QVERIFY2(bottom - top >= 3, "the list shows too few entries for the test");

    // Rows count from 0 here; the list's indexes from 1.
    const int from = atTheTop ? top + 1 : bottom - 1;
    const int onto = atTheTop ? top : bottom;
    const QStringList before = list.entries();
    press(list, centreOf(list, from + 1));
    moveHeld(list, centreOf(list, onto + 1), screenY);
    release(list, centreOf(list, onto + 1));

    QCOMPARE(list.entry(onto + 1), before.at(from));
    QCOMPARE(topRow(list), top + scrolledBy);
}

void tst_FileListEditing::removalForgetsTheDraggedEntry_data()
{
    QTest::addColumn<QString>("removal");

    QTest::newRow("Delete") << u"Delete"_qs;
    QTest::newRow("double-click") << u"double-click"_qs;
    QTest::newRow("Clear List") << u"Clear List"_qs;
}

void tst_FileListEditing::removalForgetsTheDraggedEntry()
{
    QFETCH(QString, removal);

    WindowFixture fixture;
    Form1& form = fixture.openShown();
    const QStringList entries = numberedPaths(5);
    FileListView& list = filledList(form, entries);
    press(list, centreOf(list, 2));
    release(list, centreOf(list, 2));
    QCOMPARE(list.draggedIndex(), qsizetype(2));

    if (removal == u"Delete") {
        list.selectEntry(5);
        QTest::keyClick(&list, Qt::Key_Delete);
    } else if (removal == u"double-click") {
        doubleClick(list, centreOf(list, 5));
    } else {
        QTest::mouseClick(form.PushButton7, Qt::LeftButton);
        list.AppendEntries(entries.first(4));
    }
    QCOMPARE(list.draggedIndex(), qsizetype(0));
    const QStringList left = list.entries();
    QCOMPARE(left, entries.first(4));

    // A drag that starts beside the entries has no dragged entry: moving over one changes nothing.
    press(list, blankArea(list));
    moveHeld(list, centreOf(list, 1));
    moveHeld(list, centreOf(list, 3));
    release(list, centreOf(list, 3));
    QCOMPARE(list.entries(), left);
}

void tst_FileListEditing::dragPointer_data()
{
    QTest::addColumn<QString>("iconFile"); // "" for none beside the program
    QTest::addColumn<int>("whileDragging");

    QTest::newRow("drag.ico beside the program") << dragIconOfTheProject() << int(Qt::BitmapCursor);
    QTest::newRow("no drag.ico") << QString() << int(Qt::ArrowCursor);
    QTest::newRow("unreadable drag.ico") << u"garbage"_qs << int(Qt::ArrowCursor);
}

void tst_FileListEditing::dragPointer()
{
    QFETCH(QString, iconFile);
    QFETCH(int, whileDragging);

    WindowFixture fixture;
    const QString program = fixture.tree().makeFolder(u"with-icon"_qs);
    if (iconFile == u"garbage")
        fixture.tree().writeFile(u"with-icon/drag.ico"_qs, "not an icon");
    else if (!iconFile.isEmpty())
        QVERIFY(QFile::copy(iconFile, program + u"/drag.ico"_qs));
    Form1& form = fixture.open(program);
    form.show();
    FileListView& list = filledList(form, numberedPaths(3));

    press(list, blankArea(list)); // no entry clicked: the pointer stays
    QVERIFY(list.isButtonDown());
    QVERIFY(!list.viewport()->testAttribute(Qt::WA_SetCursor));
    release(list, blankArea(list));

    press(list, centreOf(list, 2));
    QCOMPARE(int(list.viewport()->cursor().shape()), whileDragging);
    if (whileDragging == Qt::BitmapCursor)
        QCOMPARE(list.viewport()->cursor().pixmap().size(), QSize(32, 32));
    release(list, centreOf(list, 2));
    QCOMPARE(list.viewport()->cursor().shape(), Qt::ArrowCursor);
}

void tst_FileListEditing::moveOverListResetsWindowPointer_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");

    QTest::newRow("hand") << int(MousePointer::Hand) << int(MousePointer::Default);
    QTest::newRow("busy stays") << int(MousePointer::Busy) << int(MousePointer::Busy);
}

void tst_FileListEditing::moveOverListResetsWindowPointer()
{
    QFETCH(int, before);
    QFETCH(int, after);

    WindowFixture fixture;
    Form1& form = fixture.openShown();
    FileListView& list = filledList(form, numberedPaths(3));
    form.pointer().setPointer(MousePointer(before));
    sendMouse(list, QEvent::MouseMove, centreOf(list, 2), Qt::NoButton);
    QCOMPARE(int(form.pointer().pointer()), after);
}

QTEST_MAIN(tst_FileListEditing)
#include "tst_FileListEditing.moc"
