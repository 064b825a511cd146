// SPDX-License-Identifier: MIT
#include <QtTest>

#include <QLineEdit>
#include <QPushButton>

#include <QLineEdit>
#include <QRadioButton>

#include "support/gui/WindowFixture.h"

using namespace ostrand;
using namespace ostrand::test;

class tst_DelimiterOptions : public QObject
{
    Q_OBJECT

private slots:
    void clickWritesAllFiveKeys_data();
    void clickWritesAllFiveKeys();
    void noStoredSelectionResolvesToNone();
    void otherTextIsSavedOnEveryKeystroke();
    void emptyOtherTextRemindsOnceAndTakesTheFocusBack();
    void reminderComesBeforeTheClickThatTookTheFocus_data();
    void reminderComesBeforeTheClickThatTookTheFocus();
};

void tst_DelimiterOptions::clickWritesAllFiveKeys_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("stored");

    const QString t = QStringLiteral("True");
    const QString f = QStringLiteral("False");
    QTest::newRow("Comma") << "Option1" << QStringList{t, f, f, f, f};
    QTest::newRow("Comma-space") << "Option2" << QStringList{f, t, f, f, f};
    QTest::newRow("Semicolon") << "Option3" << QStringList{f, f, t, f, f};
    QTest::newRow("Tab") << "Option4" << QStringList{f, f, f, t, f};
    QTest::newRow("Other") << "Option5" << QStringList{f, f, f, f, t};
}

void tst_DelimiterOptions::clickWritesAllFiveKeys()
{
    QFETCH(QString, button);
    QFETCH(QStringList, stored);

    WindowFixture fixture;
    // A start that selected Tab: the store says so for all five keys.
    fixture.store(QStringLiteral("Option1"), QStringLiteral("False"));
    fixture.store(QStringLiteral("Option4"), QStringLiteral("True"));
    Form1& form = fixture.openShown();
    QVERIFY(form.Option4->isChecked());

    auto* option = form.findChild<QRadioButton*>(button);
    QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(6, option->height() / 2));
    QVERIFY(option->isChecked());

    QStringList actual;
    for (int i = 1; i <= 5; ++i)
        actual << fixture.stored(QStringLiteral("Option%1").arg(i));
    QCOMPARE(actual, stored);
    QCOMPARE(fixture.dialogs.calls.size(), 0);
}

void tst_DelimiterOptions::noStoredSelectionResolvesToNone()
{
    WindowFixture fixture;
    fixture.store(QStringLiteral("Option1"), QStringLiteral("False"));
    Form1& form = fixture.open();
    for (QRadioButton* option : {form.Option1, form.Option2, form.Option3, form.Option4, form.Option5})
        QVERIFY(!option->isChecked());
    QCOMPARE(form.delimiterOption(), DelimiterOption::None);
    // No click was raised, so nothing rewrote the keys.
    QCOMPARE(fixture.stored(QStringLiteral("Option1")), QStringLiteral("False"));
    QVERIFY(!fixture.isStored(QStringLiteral("Option2")));
}

void tst_DelimiterOptions::otherTextIsSavedOnEveryKeystroke()
{
    WindowFixture fixture;
    Form1& form = fixture.openShown();
    form.Text1->setFocus();
    form.Text1->selectAll();

    QStringList seen;
    connect(form.Text1, &QLineEdit::textChanged, this, [&] { seen << fixture.stored(QStringLiteral("Other")); });
    QTest::keyClick(form.Text1, Qt::Key_Backspace);
    QTest::keyClicks(form.Text1, QStringLiteral("::"));
    QCOMPARE(seen, (QStringList{QString(), QStringLiteral(":"), QStringLiteral("::")}));
    QCOMPARE(form.otherDelimiterText(), QStringLiteral("::"));
}

void tst_DelimiterOptions::emptyOtherTextRemindsOnceAndTakesTheFocusBack()
{
    WindowFixture fixture;
    Form1& form = fixture.openShown();
    form.Text1->setFocus();
    QVERIFY(form.Text1->hasFocus());
    form.Text1->clear();
    QCOMPARE(fixture.stored(QStringLiteral("Other")), QString());
    QVERIFY(fixture.isStored(QStringLiteral("Other")));

    // While the reminder is open it holds the focus, as a real message box does.
    fixture.dialogs.onCall = [&](const DialogCall&) { form.Text2->setFocus(Qt::OtherFocusReason); };

    QTest::keyClick(form.Text1, Qt::Key_Tab);
    QTRY_COMPARE(fixture.dialogs.calls.size(), 1);
    QTest::qWait(50);
    QCOMPARE(fixture.dialogs.calls.size(), 1);
    const DialogCall reminder = fixture.dialogs.calls.first();
    QCOMPARE(reminder.kind, DialogKind::Message);
    QCOMPARE(reminder.text, QStringLiteral("You forgot to input a value."));
    QCOMPARE(reminder.title, QStringLiteral("Ostrand Table Converter"));
    QCOMPARE(reminder.buttons, QStringLiteral("OK"));
    QVERIFY(form.Text1->hasFocus());
    QCOMPARE(form.Text1->text(), QString());
}

void tst_DelimiterOptions::reminderComesBeforeTheClickThatTookTheFocus_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("reminder");
    QTest::addColumn<QString>("command"); // what the button's command shows first

    QTest::newRow("empty Other, Add CSV File(s)") << "Text1" << "" << "PushButton1" << "You forgot to input a value."
                                                  << "OpenFileNames";
    QTest::newRow("letters as border width, Start Converting")
        << "Text2" << "x" << "PushButton2" << "Must be a numeric entry."
        << "You forgot to add CSV files.";
    QTest::newRow("letters as border width, text colour") << "Text2" << "x" << "PushButton6"
                                                          << "Must be a numeric entry." << "PickColor";
}

// A click on a button that takes the focus from a box holding a text that fails its check shows the reminder
// first, and the button's command then runs as usual.
void tst_DelimiterOptions::reminderComesBeforeTheClickThatTookTheFocus()
{
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QString, button);
    QFETCH(QString, reminder);
    QFETCH(QString, command);

    WindowFixture fixture;
    Form1& form = fixture.openShown();
    auto* edit = form.findChild<QLineEdit*>(box);
    edit->setFocus();
    QVERIFY(edit->hasFocus());
    edit->setText(text);
    fixture.dialogs.queueFileNames({});
    fixture.dialogs.queueColorCancel();

    QTest::mouseClick(form.findChild<QPushButton*>(button), Qt::LeftButton);
    QTest::qWait(20);

    QVERIFY(fixture.dialogs.calls.size() >= 2);
    QCOMPARE(fixture.dialogs.calls.at(0).kind, DialogKind::Message);
    QCOMPARE(fixture.dialogs.calls.at(0).text, reminder);
    const DialogCall& next = fixture.dialogs.calls.at(1);
    if (command == u"OpenFileNames")
        QCOMPARE(next.kind, DialogKind::OpenFileNames);
    else if (command == u"PickColor")
        QCOMPARE(next.kind, DialogKind::PickColor);
    else
        QCOMPARE(next.text, command);
    QCOMPARE(fixture.dialogs.textsOf(DialogKind::Message).count(reminder), 1);
}

QTEST_MAIN(tst_DelimiterOptions)
#include "tst_DelimiterOptions.moc"
