// SPDX-License-Identifier: MIT
#include <QtTest>

#include <QPushButton>

#include "filelist/FileListView.h"
#include "support/gui/WindowFixture.h"

using namespace ostrand;
using namespace ostrand::test;

namespace {

const QString kQuestion = u"Would you like this software to open the folder where these sample files are stored "
                          u"(so that you can view them before working with them)?"_qs;

// A program folder whose Samples folder holds three files, a hidden one among them, and a subfolder.
QString programWithSamples(const TempTree& tree)
{
    for (const char* file :
         {"prog/Samples/b.csv", "prog/Samples/A.csv", "prog/Samples/.hidden.csv", "prog/Samples/sub/c.csv"})
        tree.writeFile(QString::fromLatin1(file), "1;2\n");
    return tree.path(u"prog"_qs);
}

QStringList samplesOf(const QString& program, const QStringList& names)
{
    QStringList paths;
    for (const QString& name : names)
        paths.append(program + u"/Samples/"_qs + name);
    return native(paths);
}

} // namespace

class tst_SampleFiles : public QObject
{
    Q_OBJECT

private slots:
    void appendedOnce_data();
    void appendedOnce();
    void openFolderOnYes_data();
    void openFolderOnYes();
    void shippedBesideTheProgram();
};

void tst_SampleFiles::appendedOnce_data()
{
    QTest::addColumn<QStringList>("listed"); // names under the Samples folder, or paths when absolute
    QTest::addColumn<int>("clicks");
    QTest::addColumn<QStringList>("after");

    const QStringList all{u".hidden.csv"_qs, u"A.csv"_qs, u"b.csv"_qs};
    QTest::newRow("first click, in listing order") << QStringList() << 1 << all;
    QTest::newRow("second click adds nothing") << QStringList() << 2 << all;
    QTest::newRow("one already listed") << QStringList{u"b.csv"_qs} << 1
                                        << QStringList{u"b.csv"_qs, u".hidden.csv"_qs, u"A.csv"_qs};
    QTest::newRow("listed under a path differing in case")
        << QStringList{u"a.csv"_qs} << 1 << QStringList{u"a.csv"_qs} + all;
}

void tst_SampleFiles::appendedOnce()
{
    QFETCH(QStringList, listed);
    QFETCH(int, clicks);
    QFETCH(QStringList, after);

    WindowFixture fixture;
    const QString program = programWithSamples(fixture.tree());
    Form1& form = fixture.open(program);
    form.ListView1->AppendEntries(samplesOf(program, listed));

    for (int i = 0; i < clicks; ++i) {
        fixture.dialogs.queueAnswer(false);
        form.PushButton3->click();
    }

    QCOMPARE(form.ListView1->entries(), samplesOf(program, after));
    const QList<DialogCall> questions = fixture.dialogs.callsOf(DialogKind::Question);
    QCOMPARE(questions.size(), clicks);
    for (const DialogCall& question : questions) {
        QCOMPARE(question.text, kQuestion);
        QCOMPARE(question.title, QStringLiteral("Ostrand Table Converter"));
        QCOMPARE(question.buttons, u"Yes No"_qs);
    }
    QCOMPARE(fixture.dialogs.callsOf(DialogKind::OpenFolder).size(), 0);
    QCOMPARE(fixture.dialogs.callsOf(DialogKind::ErrorReport).size(), 0);
}

void tst_SampleFiles::openFolderOnYes_data()
{
    QTest::addColumn<bool>("withSamples");
    QTest::addColumn<bool>("yes");

    QTest::newRow("Yes") << true << true;
    QTest::newRow("No") << true << false;
    QTest::newRow("no Samples folder, Yes") << false << true;
}

void tst_SampleFiles::openFolderOnYes()
{
    QFETCH(bool, withSamples);
    QFETCH(bool, yes);

    WindowFixture fixture;
    const QString program = withSamples ? programWithSamples(fixture.tree()) : fixture.tree().makeFolder(u"bare"_qs);
    Form1& form = fixture.open(program);
    fixture.dialogs.queueAnswer(yes);

    form.PushButton3->click();

    QCOMPARE(form.ListView1->entryCount(), qsizetype(withSamples ? 3 : 0));
    QCOMPARE(fixture.dialogs.callsOf(DialogKind::Question).size(), 1);
    QCOMPARE(fixture.dialogs.textsOf(DialogKind::OpenFolder),
             yes ? QStringList{native(program + u"/Samples/"_qs)} : QStringList());
    QCOMPARE(fixture.dialogs.callsOf(DialogKind::ErrorReport).size(), 0);
}

void tst_SampleFiles::shippedBesideTheProgram()
{
    // The build places the samples beside the program, where the window looks for them.
    // The program's folder as the program finds it: absolute, in the system's separators.
    const QString program = native(QFileInfo(qEnvironmentVariable("OSTRAND_BIN_DIR")).absoluteFilePath());
    QVERIFY(!program.isEmpty());
    WindowFixture fixture;
    Form1& form = fixture.open(program);
    fixture.dialogs.queueAnswer(false);

    form.PushButton3->click();

    QCOMPARE(form.ListView1->entryCount(), qsizetype(6));
    for (const QString& path : form.ListView1->entries()) {
        QVERIFY2(path.startsWith(native(program + u"/Samples/"_qs)), qPrintable(path));
        QVERIFY2(QFileInfo(path).size() > 0, qPrintable(path));
    }
}

QTEST_MAIN(tst_SampleFiles)
#include "tst_SampleFiles.moc"
