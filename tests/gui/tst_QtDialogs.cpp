// SPDX-License-Identifier: MIT
#include <QtTest>

#include <QColorDialog>
#include <QMessageBox>
#include <QPushButton>

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
    void okBoxesHoldInputButLetTheOwnerClose_data();
    void okBoxesHoldInputButLetTheOwnerClose();
    void question_data();
    void question();
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
    whenOpen<QMessageBox>([&](QMessageBox* box) {
        title = box->windowTitle();
        icon = box->icon();
        buttons = box->standardButtons();
        box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
    });
    QCOMPARE(dialogs.question(QStringLiteral("Open?"), QStringLiteral("Ostrand Table Converter")), yes);
    QCOMPARE(title, QStringLiteral("Ostrand Table Converter"));
    QCOMPARE(icon, QMessageBox::NoIcon);
    QCOMPARE(buttons, QMessageBox::Yes | QMessageBox::No);
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
