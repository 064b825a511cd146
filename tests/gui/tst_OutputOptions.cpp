// SPDX-License-Identifier: MIT
#include <QtTest>

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "support/gui/WindowFixture.h"

using namespace ostrand;
using namespace ostrand::test;

class tst_OutputOptions : public QObject
{
    Q_OBJECT

private slots:
    void sourceFolderOptionDisablesTheFolderAndBackAgain();
    void folderTextIsSavedOnEveryKeystroke();
    void browse_data();
    void browse();
};

void tst_OutputOptions::sourceFolderOptionDisablesTheFolderAndBackAgain()
{
    WindowFixture fixture;
    fixture.store(QStringLiteral("Output Folder"), QStringLiteral("/data/out/"));
    Form1& form = fixture.openShown();

    QTest::mouseClick(form.Option7, Qt::LeftButton, {}, QPoint(6, form.Option7->height() / 2));
    QVERIFY(form.Option7->isChecked());
    QCOMPARE(fixture.stored(QStringLiteral("Option6")), QStringLiteral("False"));
    QCOMPARE(fixture.stored(QStringLiteral("Option7")), QStringLiteral("True"));
    QVERIFY(!form.Frame4->isEnabled());
    QVERIFY(!form.Text3->isEnabled());
    QVERIFY(!form.PushButton4->isEnabled());
    QCOMPARE(form.outputMode(), OutputMode::SourceFolder);

    QTest::mouseClick(form.Option6, Qt::LeftButton, {}, QPoint(6, form.Option6->height() / 2));
    QCOMPARE(fixture.stored(QStringLiteral("Option6")), QStringLiteral("True"));
    QCOMPARE(fixture.stored(QStringLiteral("Option7")), QStringLiteral("False"));
    QVERIFY(form.Text3->isEnabled());
    QVERIFY(form.PushButton4->isEnabled());
    QCOMPARE(form.Text3->text(), QStringLiteral("/data/out/"));
    QCOMPARE(form.outputMode(), OutputMode::ChosenFolder);
    QCOMPARE(fixture.dialogs.calls.size(), 0);
}

void tst_OutputOptions::folderTextIsSavedOnEveryKeystroke()
{
    WindowFixture fixture;
    Form1& form = fixture.openShown();
    form.Text3->setFocus();
    form.Text3->clear();
    QStringList seen;
    connect(form.Text3, &QLineEdit::textChanged, this,
            [&] { seen << fixture.stored(QStringLiteral("Output Folder")); });
    QTest::keyClicks(form.Text3, QStringLiteral("/no"));
    QCOMPARE(seen, (QStringList{QStringLiteral("/"), QStringLiteral("/n"), QStringLiteral("/no")}));
    // A folder that does not exist is accepted here; the run refuses it.
    QCOMPARE(form.outputFolder(), QStringLiteral("/no"));
    QCOMPARE(fixture.dialogs.calls.size(), 0);
}

void tst_OutputOptions::browse_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("folderText");
    QTest::addColumn<QString>("lastFolder");

    QTest::newRow("top folder keeps its one separator") << "/"
                                                        << "/"
                                                        << "/";
    QTest::newRow("folder gains a separator") << "/srv/out"
                                              << "/srv/out/"
                                              << "/srv/out";
    QTest::newRow("cancel changes nothing") << ""
                                            << "/before/"
                                            << "/started/here";
}

void tst_OutputOptions::browse()
{
    QFETCH(QString, chosen);
    QFETCH(QString, folderText);
    QFETCH(QString, lastFolder);

    WindowFixture fixture;
    fixture.store(QStringLiteral("Output Folder"), QStringLiteral("/before/"));
    fixture.store(QStringLiteral("LastFolderDot"), QStringLiteral("/started/here"));
    Form1& form = fixture.openShown();
    fixture.dialogs.queueFolder(chosen);

    QTest::mouseClick(form.PushButton4, Qt::LeftButton);

    QCOMPARE(fixture.dialogs.calls.size(), 1);
    const DialogCall browser = fixture.dialogs.calls.first();
    QCOMPARE(browser.kind, DialogKind::BrowseForFolder);
    QCOMPARE(browser.title, QStringLiteral("Please select folder:"));
    QCOMPARE(browser.detail, QStringLiteral("/started/here"));
    // A chosen folder comes in the system's own separators, as the real dialog gives it.
    if (!chosen.isEmpty()) {
        folderText = native(folderText);
        lastFolder = native(lastFolder);
    }
    QCOMPARE(form.Text3->text(), folderText);
    QCOMPARE(fixture.stored(QStringLiteral("Output Folder")), folderText);
    QCOMPARE(fixture.stored(QStringLiteral("LastFolderDot")), lastFolder);
}

QTEST_MAIN(tst_OutputOptions)
#include "tst_OutputOptions.moc"
