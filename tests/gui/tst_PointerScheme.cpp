// SPDX-License-Identifier: MIT
#include <QtTest>

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "app/CaptionProgressBar.h"
#include "app/PointerScheme.h"
#include "filelist/FileListView.h"
#include "support/gui/WindowFixture.h"

using namespace ostrand;
using namespace ostrand::test;

class tst_PointerScheme : public QObject
{
    Q_OBJECT

private slots:
    void mouseMoves_data();
    void mouseMoves();
    void controlsWithoutAPointerRule_data();
    void controlsWithoutAPointerRule();
    void busyPointerShowsTheHourglassAndStaysThroughMoves();
    void pointerDuringARunIsBusyWhateverTheMouseDoes();
    void clearList_data();
    void clearList();

private:
    static QWidget* widgetNamed(Form1& form, const QString& name)
    {
        return name == QStringLiteral("Form1") ? &form : form.findChild<QWidget*>(name);
    }
};

// A move with no button held, delivered as the window system delivers it.
static void moveOver(QWidget* widget, QPoint at = QPoint(2, 2))
{
    QTest::mouseMove(widget, at);
    QCoreApplication::processEvents();
}

void tst_PointerScheme::mouseMoves_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("over");
    QTest::addColumn<int>("pointer");

    const int hand = int(MousePointer::Hand);
    const int standard = int(MousePointer::Default);
    for (const char* button : {"PushButton1", "PushButton2", "PushButton3", "PushButton4", "PushButton5", "PushButton6",
                               "PushButton7", "PushButton8"})
        QTest::newRow(button) << "Form1" << button << hand;
    for (const char* area : {"Form1", "Frame1", "Frame2", "Frame4", "Frame5", "Text3"})
        QTest::newRow(area) << "PushButton2" << area << standard;
}

void tst_PointerScheme::mouseMoves()
{
    QFETCH(QString, from);
    QFETCH(QString, over);
    QFETCH(int, pointer);

    WindowFixture fixture;
    Form1& form = fixture.openShown();
    moveOver(widgetNamed(form, from), QPoint(3, 3));
    QCOMPARE(int(form.pointer().pointer()),
             pointer == int(MousePointer::Hand) ? int(MousePointer::Default) : int(MousePointer::Hand));
    moveOver(widgetNamed(form, over), QPoint(4, 4));
    QCOMPARE(int(form.pointer().pointer()), pointer);
    if (pointer == int(MousePointer::Hand))
        QCOMPARE(form.cursor().shape(), form.pointer().handCursor().shape());
    else
        QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
}

void tst_PointerScheme::controlsWithoutAPointerRule_data()
{
    QTest::addColumn<QString>("control");

    // Each sits inside a frame or on the window, whose own moves reset the pointer.
    for (const char* control : {"Option1", "Option2", "Option3", "Option4", "Option5", "Option6", "Option7", "Label1",
                                "Label2", "Label3", "Text1", "Text2", "Picture1", "Picture2", "ProgressBar1"})
        QTest::newRow(control) << control;
}

void tst_PointerScheme::controlsWithoutAPointerRule()
{
    QFETCH(QString, control);

    WindowFixture fixture;
    Form1& form = fixture.openShown();
    moveOver(form.PushButton2, QPoint(3, 3));
    QCOMPARE(form.pointer().pointer(), MousePointer::Hand);

    moveOver(widgetNamed(form, control), QPoint(4, 4));
    QCOMPARE(form.pointer().pointer(), MousePointer::Hand);

    // The frame around it still resets the pointer.
    moveOver(widgetNamed(form, control)->parentWidget(), QPoint(1, 1));
    QCOMPARE(form.pointer().pointer(), MousePointer::Default);
}

void tst_PointerScheme::busyPointerShowsTheHourglassAndStaysThroughMoves()
{
    WindowFixture fixture;
    Form1& form = fixture.openShown();
    form.setBusyPointer(true);
    QCOMPARE(form.cursor().shape(), Qt::WaitCursor);
    for (QWidget* widget : {static_cast<QWidget*>(form.PushButton1), static_cast<QWidget*>(form.Frame1),
                            static_cast<QWidget*>(form.Frame5), static_cast<QWidget*>(form.Text3),
                            static_cast<QWidget*>(form.PushButton6), static_cast<QWidget*>(&form)}) {
        moveOver(widget);
        QCOMPARE(form.pointer().pointer(), MousePointer::Busy);
    }
    QCOMPARE(form.cursor().shape(), Qt::WaitCursor);
    form.setBusyPointer(false);
    QCOMPARE(form.pointer().pointer(), MousePointer::Default);
    moveOver(form.PushButton8);
    QCOMPARE(form.pointer().pointer(), MousePointer::Hand);
}

void tst_PointerScheme::pointerDuringARunIsBusyWhateverTheMouseDoes()
{
    WindowFixture fixture;
    const QString out = fixture.tree().makeFolder(QStringLiteral("out"));
    fixture.store(QStringLiteral("Output Folder"), out + QLatin1Char('/'));
    Form1& form = fixture.openShown();
    form.ListView1->AppendEntry(fixture.tree().writeFile(QStringLiteral("a.csv"), "1\n"));
    form.ListView1->AppendEntry(fixture.tree().writeFile(QStringLiteral("b.csv"), "2\n"));

    QList<MousePointer> seen;
    bool clearedDuringRun = false;
    connect(form.ProgressBar1, &CaptionProgressBar::captionChanged, this, [&](const QString& caption) {
        if (caption != QStringLiteral("Processing: a.csv"))
            return;
        moveOver(form.PushButton3);
        seen << form.pointer().pointer();
        moveOver(form.Frame2);
        seen << form.pointer().pointer();
        // "Clear List" does nothing while the hourglass shows.
        form.PushButton7->click();
        clearedDuringRun = form.ListView1->entryCount() == 0;
    });

    form.PushButton2->click();

    QCOMPARE(seen, (QList<MousePointer>{MousePointer::Busy, MousePointer::Busy}));
    QVERIFY(!clearedDuringRun);
    QCOMPARE(form.pointer().pointer(), MousePointer::Default);
    QVERIFY(QFile::exists(out + QStringLiteral("/b.htm")));
}

void tst_PointerScheme::clearList_data()
{
    QTest::addColumn<int>("entries");
    QTest::addColumn<bool>("busy");
    QTest::addColumn<int>("left");

    QTest::newRow("two entries") << 2 << false << 0;
    QTest::newRow("empty list") << 0 << false << 0;
    QTest::newRow("busy keeps the list") << 2 << true << 2;
}

void tst_PointerScheme::clearList()
{
    QFETCH(int, entries);
    QFETCH(bool, busy);
    QFETCH(int, left);

    WindowFixture fixture;
    Form1& form = fixture.openShown();
    for (int i = 0; i < entries; ++i)
        form.ListView1->AppendEntry(QStringLiteral("/data/same.csv"));
    if (busy)
        form.setBusyPointer(true);

    QTest::mouseClick(form.PushButton7, Qt::LeftButton);

    QCOMPARE(form.ListView1->entryCount(), qsizetype(left));
    QCOMPARE(fixture.dialogs.calls.size(), 0);
}

QTEST_MAIN(tst_PointerScheme)
#include "tst_PointerScheme.moc"
