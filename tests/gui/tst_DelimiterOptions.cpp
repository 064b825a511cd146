// SPDX-License-Identifier: MIT
#include <QtTest>

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

QTEST_MAIN(tst_DelimiterOptions)
#include "tst_DelimiterOptions.moc"
