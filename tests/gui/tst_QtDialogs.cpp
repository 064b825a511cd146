// SPDX-License-Identifier: MIT
#include <QtTest>

#include <QColorDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "app/QtDialogs.h"

using namespace ostrand;

namespace {

// Waits for the next modal dialog to open, lets the check look at it, then lets the answer close it.
template<class Dialog, class Answer>
void whenOpen(Answer answer)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, answer] {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
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
    void messageBox();
    void errorReportBox();
    void question_data();
    void question();
    void inputBox_data();
    void inputBox();
    void colourDialogCancelReturnsTheInitialColour();
    void colourDialogPick();
    void folderBrowserCancelReturnsEmpty();
};

void tst_QtDialogs::displayText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");

    QTest::newRow("CR LF") << "a\r\nb" << "a\nb";
    QTest::newRow("two bare CR") << "a\r\rb" << "a\n\nb";
    QTest::newRow("LF stays") << "a\nb" << "a\nb";
    QTest::newRow("report") << "x\r\nin T at line 1\r\rPlease" << "x\nin T at line 1\n\nPlease";
}

void tst_QtDialogs::displayText()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(QtDialogs::displayText(text), shown);
}

void tst_QtDialogs::messageBox()
{
    QtDialogs dialogs;
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::Warning;
    QMessageBox::StandardButtons buttons;
    whenOpen<QMessageBox>([&](QMessageBox* box) {
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = box->standardButtons();
        box->button(QMessageBox::Ok)->click();
    });
    dialogs.message(QStringLiteral("Done."), QStringLiteral("Ostrand Table Converter"));
    QCOMPARE(title, QStringLiteral("Ostrand Table Converter"));
    QCOMPARE(text, QStringLiteral("Done."));
    QCOMPARE(icon, QMessageBox::NoIcon);
    QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
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
    QMessageBox::StandardButtons buttons;
    whenOpen<QMessageBox>([&](QMessageBox* box) {
        buttons = box->standardButtons();
        box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
    });
    QCOMPARE(dialogs.question(QStringLiteral("Open?"), QStringLiteral("T")), yes);
    QCOMPARE(buttons, QMessageBox::Yes | QMessageBox::No);
}

void tst_QtDialogs::inputBox_data()
{
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QString>("result");
    QTest::newRow("OK keeps the default") << true << "csv";
    QTest::newRow("Cancel gives empty") << false << "";
}

void tst_QtDialogs::inputBox()
{
    QFETCH(bool, accept);
    QFETCH(QString, result);
    QtDialogs dialogs;
    QString title, label;
    whenOpen<QInputDialog>([&](QInputDialog* input) {
        title = input->windowTitle();
        label = input->labelText();
        accept ? input->accept() : input->reject();
    });
    QCOMPARE(dialogs.inputText(QStringLiteral("Extension?"), QStringLiteral("Ostrand"), QStringLiteral("csv")),
             result);
    QCOMPARE(title, QStringLiteral("Ostrand"));
    QCOMPARE(label, QStringLiteral("Extension?"));
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

void tst_QtDialogs::colourDialogPick()
{
    QtDialogs dialogs;
    whenOpen<QColorDialog>([&](QColorDialog* dialog) {
        dialog->setCurrentColor(QColor(0, 0, 255));
        dialog->accept();
    });
    QCOMPARE(dialogs.pickColor(0), qint64(16711680));
}

void tst_QtDialogs::folderBrowserCancelReturnsEmpty()
{
    QtDialogs dialogs;
    QString title;
    whenOpen<QFileDialog>([&](QFileDialog* dialog) {
        title = dialog->windowTitle();
        dialog->reject();
    });
    QCOMPARE(dialogs.browseForFolder(QStringLiteral("Please select folder:"), QDir::tempPath()), QString());
    QCOMPARE(title, QStringLiteral("Please select folder:"));
}

QTEST_MAIN(tst_QtDialogs)
#include "tst_QtDialogs.moc"
