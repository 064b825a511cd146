// SPDX-License-Identifier: MIT
#include <QtTest>

#include <QClipboard>
#include <QColorDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextLayout>

#include "app/BoxText.h"
#include "app/QtDialogs.h"

using namespace ostrand;

namespace {

// The dialog of this kind that is open, modal or not.
template <class Dialog> Dialog* openDialog()
{
    if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget()))
        return dialog;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<Dialog*>(window); dialog && dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

// Waits for the next dialog to open, lets the check look at it, then lets the answer close it.
template <class Dialog, class Answer> void whenOpen(Answer answer)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, answer] {
        if (auto* dialog = openDialog<Dialog>()) {
            timer->stop();
            timer->deleteLater();
            answer(dialog);
        }
    });
    timer->start();
}

} // namespace

class tst_QtDialogs : public QObject
{
    Q_OBJECT

private slots:
    void displayText_data();
    void displayText();
    void errorReportBox();
    void breakableText_data();
    void breakableText();
    void widePiecesBreakInsideThemselves_data();
    void widePiecesBreakInsideThemselves();
    void okBoxesAreCopyableDialogs_data();
    void okBoxesAreCopyableDialogs();
    void okBoxesHoldInputButLetTheOwnerClose_data();
    void okBoxesHoldInputButLetTheOwnerClose();
    void question_data();
    void question();
    void boxesFitTheScreen_data();
    void boxesFitTheScreen();
    void colourDialogCancelReturnsTheInitialColour();
};

void tst_QtDialogs::displayText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");

    QTest::newRow("CR LF") << "a\r\nb"
                           << "a\nb";
    QTest::newRow("two bare CR") << "a\r\rb"
                                 << "a\n\nb";
    QTest::newRow("LF stays") << "a\nb"
                              << "a\nb";
    QTest::newRow("report") << "x\r\nin T at line 1\r\rPlease"
                            << "x\nin T at line 1\n\nPlease";
}

void tst_QtDialogs::displayText()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(QtDialogs::displayText(text), shown);
}

void tst_QtDialogs::errorReportBox()
{
    QtDialogs dialogs;
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    whenOpen<QMessageBox>([&](QMessageBox* box) {
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = box->standardButtons();
        box->button(QMessageBox::Ok)->click();
    });
    dialogs.errorReport(QStringLiteral("Disk full\r\nin X at line 168\r\rPlease email"));
    QCOMPARE(title, QStringLiteral("Application Error"));
    QCOMPARE(text, QStringLiteral("Disk full\nin X at line 168\n\nPlease email"));
    QCOMPARE(icon, QMessageBox::Warning);
    QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

void tst_QtDialogs::breakableText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("breakable"); // "~" for the joiner that keeps a line from breaking there

    QTest::newRow("spaces and separators inside a path break") << "Permission denied: a/b/c.csv"
                                                                 << "Permission denied: a/b/c.csv";
    QTest::newRow("not after the separator that begins a path") << "of /tmp/x.csv (/y)"
                                                                  << "of /~tmp/x.csv (/~y)";
    QTest::newRow("not after a hyphen inside a name") << "/in/x-1.csv - done" << "/~in/x-~1.csv - done";
    QTest::newRow("a separator or hyphen at the end") << "a/ b- /" << "a/ b- /";
}

void tst_QtDialogs::breakableText()
{
    QFETCH(QString, text);
    QFETCH(QString, breakable);
    breakable.replace(QLatin1Char('~'), QChar(0x2060));
    const BoxText shown(text);
    QCOMPARE(shown.shown(), breakable);
    QCOMPARE(shown.original(0, shown.shown().size()), text);
}

void tst_QtDialogs::widePiecesBreakInsideThemselves_data()
{
    QTest::addColumn<QString>("text");
    const QString segment(120, QLatin1Char('x'));
    QTest::newRow("a path of long folder names")
        << u"Cannot read /"_qs + segment + u'/' + segment + u"/y.csv: Permission denied"_qs;
    QTest::newRow("one long word among short ones") << u"a "_qs + segment + segment + u" b\nc"_qs;
    QTest::newRow("nothing wider than a line") << u"Cannot read /tmp/a.csv: File not found"_qs;
    QTest::newRow("a name holding a word joiner and a zero width space")
        << u"/"_qs + segment + QChar(0x2060) + segment + QChar(0x200B) + u"z"_qs;
}

// Laid out at the width of a box's text, no line is wider than the box, and the text copies as it was given, whole
// or in part.
void tst_QtDialogs::widePiecesBreakInsideThemselves()
{
    QFETCH(QString, text);
    const QFont font(u"Arial"_qs, 9);
    const int width = 300;
    BoxText shown(text);
    shown.breakWidePieces(font, width);

    QTextLayout layout(shown.shown(), font);
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        QVERIFY2(line.naturalTextWidth() <= width,
                 qPrintable(shown.shown().mid(line.textStart(), line.textLength())));
    }
    layout.endLayout();
    QCOMPARE(shown.original(0, shown.shown().size()), text);
    const qsizetype middle = shown.shown().size() / 2;
    QCOMPARE(shown.original(0, middle) + shown.original(middle, shown.shown().size()), text);
}

void tst_QtDialogs::okBoxesAreCopyableDialogs_data()
{
    QTest::addColumn<bool>("report");
    QTest::newRow("error report") << true;
    QTest::newRow("message") << false;
}

// An OK box is a dialog with a close button and no minimise or maximise, no child of the main window (a window
// manager would minimise the main window with it), comes back when it is minimised, is wider than its title, and
// its text can be selected and copied with Ctrl+C: the selection, or the whole box.
void tst_QtDialogs::okBoxesAreCopyableDialogs()
{
    QFETCH(bool, report);
    QWidget owner;
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    QtDialogs dialogs;
    dialogs.setOwner(&owner);
    const QString title = report ? u"Application Error"_qs : u"Ostrand Table Converter"_qs;

    Qt::WindowFlags flags;
    QWidget* parent = &owner;
    int width = 0;
    bool selectable = false;
    bool minimisedStays = true;
    QString whole, selection;
    whenOpen<QMessageBox>([&](QMessageBox* box) {
        flags = box->windowFlags();
        parent = box->parentWidget();
        width = box->width();
        auto* label = box->findChild<QLabel*>(u"qt_msgbox_label"_qs);
        selectable = label && (label->textInteractionFlags() & Qt::TextSelectableByMouse);
        QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
        whole = QGuiApplication::clipboard()->text();
        if (label) {
            label->setSelection(0, 4);
            QTest::keyClick(label, Qt::Key_C, Qt::ControlModifier);
            selection = QGuiApplication::clipboard()->text();
        }
        box->setWindowState(Qt::WindowMinimized);
        QTest::qWait(50);
        minimisedStays = box->isMinimized();
        box->button(QMessageBox::Ok)->click();
    });
    if (report)
        dialogs.errorReport(u"Disk full\r\nin X at line 168\r\rPlease email"_qs);
    else
        dialogs.message(u"Done."_qs, title);

    QCOMPARE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint), Qt::WindowFlags());
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
    QCOMPARE(parent, nullptr);
    QFont titleFont = QApplication::font("QMdiSubWindowTitleBar");
    titleFont.setBold(true);
    QVERIFY2(width >= QFontMetrics(titleFont).horizontalAdvance(title) + 100, qPrintable(QString::number(width)));
    QVERIFY(selectable);
    QCOMPARE(whole, report ? u"Application Error\n\nDisk full\nin X at line 168\n\nPlease email"_qs
                           : u"Ostrand Table Converter\n\nDone."_qs);
    QCOMPARE(selection, report ? u"Disk"_qs : u"Done"_qs);
    QVERIFY(!minimisedStays);
}

void tst_QtDialogs::okBoxesHoldInputButLetTheOwnerClose_data()
{
    QTest::addColumn<bool>("report");
    QTest::newRow("error report") << true;
    QTest::newRow("message") << false;
}

// While the box is open no window is blocked by it (Qt would drop the owner's close from the window manager),
// the owner's controls take no input, and closing the owner closes the box.
void tst_QtDialogs::okBoxesHoldInputButLetTheOwnerClose()
{
    QFETCH(bool, report);
    QWidget owner;
    auto* button = new QPushButton(QStringLiteral("Start"), &owner);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    QSignalSpy clicks(button, &QPushButton::clicked);
    QtDialogs dialogs;
    dialogs.setOwner(&owner);

    QWindow* blocking = nullptr;
    bool boxOpen = false;
    whenOpen<QMessageBox>([&](QMessageBox* box) {
        boxOpen = box->isVisible();
        blocking = QGuiApplication::modalWindow();
        QTest::mouseClick(button, Qt::LeftButton);
        QTest::keyClick(button, Qt::Key_Space);
        owner.close();
    });
    if (report)
        dialogs.errorReport(QStringLiteral("Disk full\r\nin X at line 168"));
    else
        dialogs.message(QStringLiteral("Done."), QStringLiteral("Ostrand"));

    QVERIFY(boxOpen);
    QCOMPARE(blocking, nullptr);
    QCOMPARE(clicks.size(), 0);
    QVERIFY(!owner.isVisible());
    QCOMPARE(openDialog<QMessageBox>(), nullptr);
}

void tst_QtDialogs::question_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("Yes") << true;
    QTest::newRow("No") << false;
}

void tst_QtDialogs::question()
{
    QFETCH(bool, yes);
    QtDialogs dialogs;
    QString title;
    QMessageBox::Icon icon = QMessageBox::Warning;
    QMessageBox::StandardButtons buttons;
    QString copied;
    whenOpen<QMessageBox>([&](QMessageBox* box) {
        title = box->windowTitle();
        icon = box->icon();
        buttons = box->standardButtons();
        QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
        copied = QGuiApplication::clipboard()->text();
        box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
    });
    QCOMPARE(dialogs.question(QStringLiteral("Open?"), QStringLiteral("Ostrand Table Converter")), yes);
    QCOMPARE(title, QStringLiteral("Ostrand Table Converter"));
    // Ctrl+C copies the question as it copies any box.
    QCOMPARE(copied, u"Ostrand Table Converter\n\nOpen?"_qs);
    QCOMPARE(icon, QMessageBox::NoIcon);
    QCOMPARE(buttons, QMessageBox::Yes | QMessageBox::No);
}

void tst_QtDialogs::boxesFitTheScreen_data()
{
    QTest::addColumn<int>("kind"); // 0 an error report, 1 a message, 2 a question
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("scrolls");
    QString tall;
    for (int i = 0; i < 300; ++i)
        tall += QStringLiteral("Cannot read /data/in/file%1.csv: Permission denied\r\n").arg(i);
    const QString segment(120, QLatin1Char('x'));
    const QString path = u"/"_qs + segment + u'/' + segment + u'/' + QString(60, QLatin1Char('y')) + u".csv"_qs;
    for (int kind = 0; kind < 3; ++kind) {
        QTest::addRow("a tall text, kind %d", kind) << kind << tall << true;
        QTest::addRow("a path of long names, kind %d", kind)
            << kind << u"Cannot read "_qs + path + u": Permission denied"_qs << false;
    }
}

// Every box fits the screen's available area with room for a frame around it, its buttons inside it; every character
// of its text is inside the text's area, and a text taller than the screen scrolls there.
void tst_QtDialogs::boxesFitTheScreen()
{
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(bool, scrolls);
    QtDialogs dialogs;
    QRect area;
    QRect box;
    QList<QRect> buttons;
    int textWidth = 0;
    int widestPiece = 0;
    int scrollRange = 0;
    whenOpen<QMessageBox>([&](QMessageBox* shown) {
        QTest::qWait(20);
        area = shown->screen()->availableGeometry();
        box = shown->frameGeometry();
        for (QAbstractButton* button : shown->buttons())
            buttons.append(QRect(button->mapTo(shown, QPoint(0, 0)), button->size()));
        auto* label = shown->findChild<QLabel*>(u"qt_msgbox_label"_qs);
        textWidth = label->width();
        widestPiece = label->minimumSizeHint().width();
        scrollRange = shown->findChild<QScrollArea*>()->verticalScrollBar()->maximum();
        shown->buttons().first()->click();
    });
    if (kind == 0)
        dialogs.errorReport(text);
    else if (kind == 1)
        dialogs.message(text, u"Ostrand Table Converter"_qs);
    else
        dialogs.question(text, u"Ostrand Table Converter"_qs);

    QVERIFY2(area.contains(box),
             qPrintable(QStringLiteral("%1,%2 %3x%4").arg(box.x()).arg(box.y()).arg(box.width()).arg(box.height())));
    for (const QRect& button : buttons)
        QVERIFY(QRect(QPoint(0, 0), box.size()).contains(button)); // inside the box, which is inside the screen
    QVERIFY2(widestPiece <= textWidth, qPrintable(QStringLiteral("%1 > %2").arg(widestPiece).arg(textWidth)));
    QCOMPARE(scrollRange > 0, scrolls);
}

void tst_QtDialogs::colourDialogCancelReturnsTheInitialColour()
{
    QtDialogs dialogs;
    QColor shown;
    whenOpen<QColorDialog>([&](QColorDialog* dialog) {
        shown = dialog->currentColor();
        dialog->reject();
    });
    QCOMPARE(dialogs.pickColor(255), qint64(255));
    QCOMPARE(shown, QColor(255, 0, 0));
}

QTEST_MAIN(tst_QtDialogs)
#include "tst_QtDialogs.moc"
