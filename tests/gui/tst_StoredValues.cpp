// SPDX-License-Identifier: MIT
#include <QtTest>

#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "core/app/ErrorReport.h"
#include "filelist/FileListView.h"
#include "options/ColorSwatch.h"
#include "support/gui/WindowFixture.h"

using namespace ostrand;
using namespace ostrand::test;

// What the window makes of the values an earlier run, or the user's own hand, left in the settings file.
class tst_StoredValues : public QObject
{
    Q_OBJECT

private slots:
    void longTextsAreKeptWhole_data();
    void longTextsAreKeptWhole();
    void yesNoValues_data();
    void yesNoValues();
    void colourNumbersShowAsTheDocumentGetsThem_data();
    void colourNumbersShowAsTheDocumentGetsThem();
    void textsBeginningWithU8Mark_data();
    void textsBeginningWithU8Mark();
};

void tst_StoredValues::longTextsAreKeptWhole_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("length");

    for (int length : {32767, 32768, 100000}) {
        QTest::addRow("Other, %d characters", length) << u"Other"_qs << u"Text1"_qs << length;
        QTest::addRow("Border Width, %d characters", length) << u"Border Width"_qs << u"Text2"_qs << length;
        QTest::addRow("Output Folder, %d characters", length) << u"Output Folder"_qs << u"Text3"_qs << length;
    }
}

void tst_StoredValues::longTextsAreKeptWhole()
{
    QFETCH(QString, key);
    QFETCH(QString, box);
    QFETCH(int, length);

    QString text = u"/"_qs;
    while (text.size() < length)
        text += u"abcdefghij/"_qs;
    text.truncate(length);

    WindowFixture fixture;
    fixture.store(key, text);
    Form1& form = fixture.openShown();
    auto* edit = form.findChild<QLineEdit*>(box);
    QVERIFY(edit);

    QCOMPARE(edit->text().size(), qsizetype(length));
    QCOMPARE(edit->text(), text);
    QCOMPARE(fixture.stored(key), text);

    // The user can go on typing at its end.
    edit->setFocus();
    edit->end(false);
    QTest::keyClick(edit, Qt::Key_Z);
    QCOMPARE(fixture.stored(key), text + u"z"_qs);
}

void tst_StoredValues::yesNoValues_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("selected"); // 1 selected, 0 not, -1 refused with the error report

    QTest::newRow("True") << u"True"_qs << 1;
    QTest::newRow("False") << u"False"_qs << 0;
    QTest::newRow("true") << u"true"_qs << 1;
    QTest::newRow("FALSE") << u"FALSE"_qs << 0;
    QTest::newRow("True between blanks") << u" True "_qs << 1;
    QTest::newRow("1") << u"1"_qs << 1;
    QTest::newRow("0") << u"0"_qs << 0;
    QTest::newRow("-1") << u"-1"_qs << 1;
    QTest::newRow("+1") << u"+1"_qs << 1;
    QTest::newRow("-0") << u"-0"_qs << 0;
    QTest::newRow("2") << u"2"_qs << 1;
    QTest::newRow("007") << u"007"_qs << 1;
    QTest::newRow("0.5") << u"0.5"_qs << 1;
    QTest::newRow("0.0") << u"0.0"_qs << 0;
    QTest::newRow(".5") << u".5"_qs << 1;
    QTest::newRow("1.") << u"1."_qs << 1;
    QTest::newRow("1 between blanks") << u" 1 "_qs << 1;
    QTest::newRow("nan") << u"nan"_qs << -1;
    QTest::newRow("NaN") << u"NaN"_qs << -1;
    QTest::newRow("inf") << u"inf"_qs << -1;
    QTest::newRow("-inf") << u"-inf"_qs << -1;
    QTest::newRow("infinity") << u"infinity"_qs << -1;
    QTest::newRow("1e3") << u"1e3"_qs << -1;
    QTest::newRow("1E-3") << u"1E-3"_qs << -1;
    QTest::newRow("0x10") << u"0x10"_qs << -1;
    QTest::newRow("1,5") << u"1,5"_qs << -1;
    QTest::newRow("1 000") << u"1 000"_qs << -1;
    QTest::newRow(".") << u"."_qs << -1;
    QTest::newRow("+") << u"+"_qs << -1;
    QTest::newRow("--1") << u"--1"_qs << -1;
    QTest::newRow("yes") << u"yes"_qs << -1;
    QTest::newRow("Truex") << u"Truex"_qs << -1;
    QTest::newRow("empty") << QString() << -1;
}

void tst_StoredValues::yesNoValues()
{
    QFETCH(QString, stored);
    QFETCH(int, selected);

    WindowFixture fixture;
    fixture.store(u"Option2"_qs, stored);
    Form1& form = fixture.open();

    const QList<DialogCall> reports = fixture.dialogs.callsOf(DialogKind::ErrorReport);
    if (selected < 0) {
        QCOMPARE(reports.size(), 1);
        QVERIFY2(reports.first().text.contains(u"Form_Load at line 138"_qs), qPrintable(reports.first().text));
        QVERIFY(!form.Option2->isChecked());
        QVERIFY(form.Option1->isChecked());
        QCOMPARE(fixture.stored(u"Option2"_qs), stored); // left as it was
    } else {
        QCOMPARE(reports.size(), 0);
        QCOMPARE(form.Option2->isChecked(), selected == 1);
        QCOMPARE(form.Option1->isChecked(), selected == 0);
        // A selected button raises its click, which writes the group back; an unselected one does not.
        QCOMPARE(fixture.stored(u"Option2"_qs), selected == 1 ? u"True"_qs : stored);
    }
}

void tst_StoredValues::colourNumbersShowAsTheDocumentGetsThem_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("colour"); // as the document writes it: red, green, blue

    QTest::newRow("pure red") << u"255"_qs << u"#FF0000"_qs;
    QTest::newRow("white") << u"16777215"_qs << u"#FFFFFF"_qs;
    QTest::newRow("one past white") << u"16777216"_qs << u"#000010"_qs;
    QTest::newRow("eight hexadecimal digits") << u"305419896"_qs << u"#783412"_qs;
    QTest::newRow("high bit only") << u"2147483648"_qs << u"#000080"_qs;
    QTest::newRow("largest") << u"4294967295"_qs << u"#FFFFFF"_qs;
    QTest::newRow("-1") << u"-1"_qs << u"#FFFFFF"_qs;
    QTest::newRow("negative, high byte only") << u"-16777216"_qs << u"#0000FF"_qs;
}

void tst_StoredValues::colourNumbersShowAsTheDocumentGetsThem()
{
    QFETCH(QString, stored);
    QFETCH(QString, colour);

    WindowFixture fixture;
    const QString out = fixture.tree().makeFolder(u"out"_qs);
    fixture.store(u"Output Folder"_qs, out + u"/"_qs);
    fixture.store(u"Text Color"_qs, stored);
    fixture.store(u"Background Color"_qs, stored);
    Form1& form = fixture.open();
    QCOMPARE(fixture.dialogs.callsOf(DialogKind::ErrorReport).size(), 0);

    QCOMPARE(form.Picture1->palette().color(QPalette::Window).name().toUpper(), colour);
    QCOMPARE(form.Picture2->palette().color(QPalette::Window).name().toUpper(), colour);

    form.ListView1->AppendEntry(fixture.tree().writeFile(u"a.csv"_qs, "1\n"));
    form.PushButton2->click();
    const QByteArray document = TempTree::readFile(out + u"/a.htm"_qs);
    const QByteArray expected =
        "style='color:" + colour.toLatin1() + "' border='1' bgcolor='" + colour.toLatin1() + "'";
    QVERIFY2(document.contains(expected), document.constData());
}


void tst_StoredValues::textsBeginningWithU8Mark_data()
{
    QTest::addColumn<QByteArray>("line"); // in the settings file, as an earlier run wrote it
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    const QString mark = QString(QChar(0xFEFF));
    QTest::newRow("Other") << QByteArray("Other=\xEF\xBB\xBFx") << u"Text1"_qs << mark + u"x"_qs;
    QTest::newRow("Output Folder, quoted") << QByteArray("Output%20Folder=\"\xEF\xBB\xBFout, 2\"") << u"Text3"_qs
                                           << mark + u"out, 2"_qs;
    QTest::newRow("two of them") << QByteArray("Other=\"\xEF\xBB\xBF\xEF\xBB\xBF;\"") << u"Text1"_qs
                                 << mark + mark + u";"_qs;
}

// A text that begins with U+FEFF comes back whole at the next start, though Qt's reading of the settings file takes
// that first character for a byte order mark.
void tst_StoredValues::textsBeginningWithU8Mark()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, box);
    QFETCH(QString, text);
    WindowFixture fixture;
    QFile file(fixture.settingsPath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Ostrand]\n" + line + '\n');
    file.close();

    Form1& form = fixture.open();

    QCOMPARE(form.findChild<QLineEdit*>(box)->text(), text);
}

QTEST_MAIN(tst_StoredValues)
#include "tst_StoredValues.moc"
