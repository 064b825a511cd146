// SPDX-License-Identifier: MIT
#include <QtTest>

#include <QLineEdit>
#include <QPushButton>

#include "core/options/NumericEntry.h"
#include "options/ColorSwatch.h"
#include "support/gui/WindowFixture.h"

using namespace ostrand;
using namespace ostrand::test;

class tst_AppearanceOptions : public QObject
{
    Q_OBJECT

private slots:
    void borderWidthIsSavedOnEveryKeystroke();
    void numericTest_data();
    void numericTest();
    void leavingTheBorderWidth_data();
    void leavingTheBorderWidth();
    void emptyBorderWidthAndEmptyOtherTextHaveTheirOwnMessages();
    void colourPick_data();
    void colourPick();
};

void tst_AppearanceOptions::borderWidthIsSavedOnEveryKeystroke()
{
    WindowFixture fixture;
    Form1& form = fixture.openShown();
    form.Text2->setFocus();
    form.Text2->clear();
    QCOMPARE(fixture.stored(QStringLiteral("Border Width")), QString());

    QStringList seen;
    connect(form.Text2, &QLineEdit::textChanged, this, [&] { seen << fixture.stored(QStringLiteral("Border Width")); });
    QTest::keyClick(form.Text2, Qt::Key_1);
    QTest::keyClick(form.Text2, Qt::Key_2);
    QCOMPARE(seen, (QStringList{QStringLiteral("1"), QStringLiteral("12")}));
    QCOMPARE(form.borderWidth(), QStringLiteral("12"));
}

void tst_AppearanceOptions::numericTest_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("numeric");

    QTest::newRow("1") << "1" << true;
    QTest::newRow("blanks around") << " 2 " << true;
    QTest::newRow("fraction") << "1.5" << true;
    QTest::newRow("negative") << "-3" << true;
    QTest::newRow("leading plus") << "+4" << true;
    QTest::newRow("exponent") << "1e3" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("blanks only") << "   " << false;
    QTest::newRow("letters") << "abc" << false;
    QTest::newRow("unit") << "2px" << false;
    QTest::newRow("two separators") << "1.2.3" << false;
}

void tst_AppearanceOptions::numericTest()
{
    QFETCH(QString, text);
    QFETCH(bool, numeric);
    QCOMPARE(IsNumericEntry(text), numeric);
}

void tst_AppearanceOptions::leavingTheBorderWidth_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("reminded");

    QTest::newRow("numeric") << "12" << false;
    QTest::newRow("not numeric") << "2px" << true;
}

void tst_AppearanceOptions::leavingTheBorderWidth()
{
    QFETCH(QString, text);
    QFETCH(bool, reminded);

    WindowFixture fixture;
    Form1& form = fixture.openShown();
    form.Text2->setFocus();
    form.Text2->setText(text);
    QCOMPARE(fixture.stored(QStringLiteral("Border Width")), text);

    QTest::mouseClick(form.Text3, Qt::LeftButton);
    QTest::qWait(50);
    if (!reminded) {
        QCOMPARE(fixture.dialogs.calls.size(), 0);
        QVERIFY(form.Text3->hasFocus());
        return;
    }
    QCOMPARE(fixture.dialogs.calls.size(), 1);
    QCOMPARE(fixture.dialogs.calls.first().kind, DialogKind::Message);
    QCOMPARE(fixture.dialogs.calls.first().text, QStringLiteral("Must be a numeric entry."));
    QCOMPARE(fixture.dialogs.calls.first().title, QStringLiteral("Ostrand Table Converter"));
    QVERIFY(form.Text2->hasFocus());
    // The text was saved as typed and is not reset.
    QCOMPARE(form.Text2->text(), text);
    QCOMPARE(fixture.stored(QStringLiteral("Border Width")), text);
}

void tst_AppearanceOptions::emptyBorderWidthAndEmptyOtherTextHaveTheirOwnMessages()
{
    WindowFixture fixture;
    Form1& form = fixture.openShown();
    form.Text1->clear();
    form.Text2->clear();

    // Leave the delimiter text for the border width: one reminder, and the focus goes back to Text1 without
    // Text2 reminding in turn.
    form.Text1->setFocus();
    QTest::mouseClick(form.Text2, Qt::LeftButton);
    QTRY_COMPARE(fixture.dialogs.calls.size(), 1);
    QTest::qWait(50);
    QCOMPARE(fixture.dialogs.textsOf(DialogKind::Message), QStringList{QStringLiteral("You forgot to input a value.")});
    QVERIFY(form.Text1->hasFocus());

    fixture.dialogs.clear();
    form.Text1->setText(QStringLiteral(","));
    form.Text2->setFocus();
    QTest::mouseClick(form.Text3, Qt::LeftButton);
    QTRY_COMPARE(fixture.dialogs.calls.size(), 1);
    QCOMPARE(fixture.dialogs.textsOf(DialogKind::Message), QStringList{QStringLiteral("Must be a numeric entry.")});
    QVERIFY(form.Text2->hasFocus());
}

void tst_AppearanceOptions::colourPick_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("swatch");
    QTest::addColumn<QString>("key");
    QTest::addColumn<qint64>("initial");
    QTest::addColumn<qint64>("answer"); // -1: the dialog is cancelled
    QTest::addColumn<qint64>("result");
    QTest::addColumn<QColor>("shown"); // the swatch's colour on the screen

    QTest::newRow("background pure blue")
        << "PushButton8"
        << "Picture2"
        << "Background Color" << qint64(16777215) << qint64(16711680) << qint64(16711680) << QColor(0, 0, 255);
    QTest::newRow("text green") << "PushButton6"
                                << "Picture1"
                                << "Text Color" << qint64(0) << qint64(65280) << qint64(65280) << QColor(0, 255, 0);
    QTest::newRow("text dark red, a little green and blue")
        << "PushButton6"
        << "Picture1"
        << "Text Color" << qint64(0) << qint64(0x030280) << qint64(0x030280) << QColor(0x80, 0x02, 0x03);
    QTest::newRow("text cancelled") << "PushButton6"
                                    << "Picture1"
                                    << "Text Color" << qint64(0) << qint64(-1) << qint64(0) << QColor(0, 0, 0);
    QTest::newRow("background cancelled")
        << "PushButton8"
        << "Picture2"
        << "Background Color" << qint64(16777215) << qint64(-1) << qint64(16777215) << QColor(255, 255, 255);
}

void tst_AppearanceOptions::colourPick()
{
    QFETCH(QString, button);
    QFETCH(QString, swatch);
    QFETCH(QString, key);
    QFETCH(qint64, initial);
    QFETCH(qint64, answer);
    QFETCH(qint64, result);
    QFETCH(QColor, shown);

    WindowFixture fixture;
    Form1& form = fixture.openShown();
    QVERIFY(!fixture.isStored(key));
    if (answer < 0)
        fixture.dialogs.queueColorCancel();
    else
        fixture.dialogs.queueColor(answer);

    QTest::mouseClick(form.findChild<QPushButton*>(button), Qt::LeftButton);

    QCOMPARE(fixture.dialogs.calls.size(), 1);
    QCOMPARE(fixture.dialogs.calls.first().kind, DialogKind::PickColor);
    QCOMPARE(fixture.dialogs.calls.first().detail, QString::number(initial));
    QWidget* picture = form.findChild<QWidget*>(swatch);
    QCOMPARE(swatchColor(picture), result);
    QCOMPARE(picture->palette().color(QPalette::Window), shown);
    // A cancel writes the colour the swatch already had.
    QCOMPARE(fixture.stored(key), QString::number(result));
}

QTEST_MAIN(tst_AppearanceOptions)
#include "tst_AppearanceOptions.moc"
