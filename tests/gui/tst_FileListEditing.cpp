// SPDX-License-Identifier: MIT
#include <QtTest>

#include <QHeaderView>
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
void sendMouse(FileListView& list, QEvent::Type type, QPoint at, Qt::MouseButtons held, int screenY = 330,
               Qt::MouseButton pressed = Qt::LeftButton)
{
    const QPointF global(list.viewport()->mapToGlobal(at).x(), screenY);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : pressed;
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
    void noEntryOutsideTheVisibleEntries_data();
    void noEntryOutsideTheVisibleEntries();
    void onlyTheLeftButtonDragsAndRemoves_data();
    void onlyTheLeftButtonDragsAndRemoves();
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

void tst_FileListEditing::noEntryOutsideTheVisibleEntries_data()
{
    QTest::addColumn<QString>("where"); // where the pointer jumps to, relative to the list's viewport

    QTest::newRow("200 px below the list") << u"below"_qs;
    QTest::newRow("just below the visible entries") << u"just below"_qs;
    QTest::newRow("over the column header") << u"header"_qs;
    QTest::newRow("200 px above the list") << u"above"_qs;
    QTest::newRow("left of the list, level with an entry") << u"left"_qs;
    QTest::newRow("right of the list, level with an entry") << u"right"_qs;
    QTest::newRow("right of the column, level with another entry") << u"beside the column"_qs;
}

void tst_FileListEditing::noEntryOutsideTheVisibleEntries()
{
    QFETCH(QString, where);

    WindowFixture fixture;
    const QStringList entries = numberedPaths(40);
    FileListView& list = filledList(fixture.openShown(), entries);
    // Scrolled so that hidden entries lie 200 px above and below the list.
    list.scrollTo(list.model()->index(15, 0), QAbstractItemView::PositionAtTop);
    QCoreApplication::processEvents();
    const int top = topRow(list);
    QCOMPARE(top, 15);

    const QWidget* area = list.viewport();
    const int levelWithAnEntry = centreOf(list, top + 3).y();
    QPoint outside;
    if (where == u"below")
        outside = QPoint(area->width() / 2, area->height() + 200);
    else if (where == u"just below")
        outside = QPoint(area->width() / 2, area->height());
    else if (where == u"header")
        outside = QPoint(area->width() / 2, -list.header()->height() / 2);
    else if (where == u"above")
        outside = QPoint(area->width() / 2, -200);
    else if (where == u"left")
        outside = QPoint(-10, levelWithAnEntry);
    else if (where == u"beside the column")
        outside = QPoint(list.columnWidth(0) + 10, levelWithAnEntry);
    else
        outside = QPoint(area->width() + 10, levelWithAnEntry);

    // The entry was clicked before: a press on a selected entry is where the view itself would select anew at
    // the release.
    list.selectEntry(top + 1);
    press(list, centreOf(list, top + 1));
    QCOMPARE(list.draggedIndex(), qsizetype(top + 1));
    moveHeld(list, outside);
    release(list, outside);

    QCOMPARE(list.entries(), entries);
    QCOMPARE(list.draggedIndex(), qsizetype(top + 1));
    QCOMPARE(list.selectedIndex(), qsizetype(top + 1));
    QCOMPARE(topRow(list), top);
    // The entry dragged is still the one Delete removes.
    QTest::keyClick(&list, Qt::Key_Delete);
    QCOMPARE(list.entryCount(), qsizetype(entries.size() - 1));
    QVERIFY(!list.entries().contains(entries.at(top)));
}

void tst_FileListEditing::onlyTheLeftButtonDragsAndRemoves_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("action");

    QTest::newRow("right drag") << int(Qt::RightButton) << u"drag"_qs;
    QTest::newRow("middle drag") << int(Qt::MiddleButton) << u"drag"_qs;
    QTest::newRow("right double-click") << int(Qt::RightButton) << u"double-click"_qs;
    QTest::newRow("middle double-click") << int(Qt::MiddleButton) << u"double-click"_qs;
}

void tst_FileListEditing::onlyTheLeftButtonDragsAndRemoves()
{
    QFETCH(int, button);
    QFETCH(QString, action);
    const auto pressed = Qt::MouseButton(button);

    WindowFixture fixture;
    const QStringList entries = numberedPaths(7);
    FileListView& list = filledList(fixture.openShown(), entries);
    list.selectEntry(2);
    const auto send = [&](QEvent::Type type, int index) {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(pressed);
        sendMouse(list, type, centreOf(list, index), held, 330, pressed);
    };

    if (action == u"drag") {
        send(QEvent::MouseButtonPress, 2);
        QVERIFY(!list.isButtonDown());
        send(QEvent::MouseMove, 5);
        send(QEvent::MouseButtonRelease, 5);
    } else {
        send(QEvent::MouseButtonPress, 2);
        send(QEvent::MouseButtonRelease, 2);
        send(QEvent::MouseButtonDblClick, 2);
        send(QEvent::MouseButtonRelease, 2);
    }

    QCOMPARE(list.entries(), entries);
    QCOMPARE(list.draggedIndex(), qsizetype(0));

    // A left drag afterwards still works.
    press(list, centreOf(list, 2));
    moveHeld(list, centreOf(list, 5));
    release(list, centreOf(list, 5));
    QStringList swapped = entries;
    swapped.swapItemsAt(1, 4);
    QCOMPARE(list.entries(), swapped);
}

void tst_FileListEditing::scrollAfterExchange_data()
{
    QTest::addColumn<QString>("onto"); // the top or bottom entry in full view, or the half-visible one below
    QTest::addColumn<int>("screenY");
    QTest::addColumn<int>("scrolledBy");

    QTest::newRow("top, y 304") << u"top"_qs << 304 << -1;
    QTest::newRow("top, y 305") << u"top"_qs << 305 << 0;
    QTest::newRow("top, y 365") << u"top"_qs << 365 << 0; // the entry below is in view already
    QTest::newRow("bottom, y 364") << u"bottom"_qs << 364 << 0;
    QTest::newRow("bottom, y 365") << u"bottom"_qs << 365 << 1;
    QTest::newRow("bottom, y 304") << u"bottom"_qs << 304 << 0; // the entry above is in view already
    QTest::newRow("half-visible, y 305") << u"half-visible"_qs << 305 << 0;
    QTest::newRow("half-visible, y 330") << u"half-visible"_qs << 330 << 0;
    QTest::newRow("half-visible, y 364") << u"half-visible"_qs << 364 << 0;
}

void tst_FileListEditing::scrollAfterExchange()
{
    QFETCH(QString, onto);
    QFETCH(int, screenY);
    QFETCH(int, scrolledBy);

    WindowFixture fixture;
    FileListView& list = filledList(fixture.openShown(), numberedPaths(60));
    // A third of an entry's height is cut off at the bottom of the list.
    const int rowHeight = list.visualRect(list.model()->index(0, 0)).height();
    const int cut = list.viewport()->height() % rowHeight;
    list.resize(list.width(), list.height() - cut + rowHeight * 2 / 3);
    QCoreApplication::processEvents();
    list.scrollTo(list.model()->index(20, 0), QAbstractItemView::PositionAtTop);
    QCoreApplication::processEvents();
    const int top = topRow(list);
    QCOMPARE(top, 20);
    int bottom = top;
    while (list.visualRect(list.model()->index(bottom + 1, 0)).bottom() < list.viewport()->height())
        ++bottom;
    QVERIFY2(bottom - top >= 3, "the list shows too few entries for the test");
    QVERIFY(list.visualRect(list.model()->index(bottom + 1, 0)).top() < list.viewport()->height());

    // Rows count from 0 here; the list's indexes from 1.
    const int from = onto == u"top" ? top + 1 : bottom - 1;
    const int to = onto == u"top" ? top : onto == u"bottom" ? bottom : bottom + 1;
    const QStringList before = list.entries();
    press(list, centreOf(list, from + 1));
    moveHeld(list, centreOf(list, to + 1), screenY);
    release(list, centreOf(list, to + 1));

    QCOMPARE(list.entry(to + 1), before.at(from));
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
