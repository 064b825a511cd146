// SPDX-License-Identifier: MIT
#include <QtTest>

#include <QPushButton>

#include "filelist/FileListView.h"
#include "support/gui/WindowFixture.h"

using namespace ostrand;
using namespace ostrand::test;

namespace {

const QString kTooManyFiles =
    uR"(You've selected too many files to add.)"_qs + u"\r\r"_qs + uR"(Please try adding via the "Add All" button.)"_qs;

// A rooted path of the rows as a file dialog gives it on this system: on Windows on a drive, in "\\".
QString onThisSystem(const QString& path)
{
#ifdef Q_OS_WIN
    return QDir::toNativeSeparators(u"C:"_qs + path);
#else
    return path;
#endif
}

QStringList onThisSystem(QStringList paths)
{
    for (QString& path : paths)
        path = onThisSystem(path);
    return paths;
}

const QString kFolder = onThisSystem(u"/d"_qs);

// Names in folder kFolder whose dialog result (the folder, NUL, each name and a NUL, a final NUL) has the
// given length: names of 99 characters, the last one making up the rest.
QStringList selectionOfResultLength(qsizetype length)
{
    qsizetype left = length - kFolder.size() - 2;
    QStringList paths;
    for (int i = 0; left > 0; ++i) {
        const qsizetype nameLength = left >= 200 ? 99 : left - 1;
        const QString stem = QStringLiteral("%1").arg(i, 5, 10, QLatin1Char('0'));
        paths.append(onThisSystem(u"/d/"_qs + stem + QString(nameLength - stem.size() - 4, QLatin1Char('x')) +
                                  u".csv"_qs));
        left -= nameLength + 1;
    }
    return paths;
}

} // namespace

class tst_AddFilesByDialog : public QObject
{
    Q_OBJECT

private slots:
    void chosenFiles_data();
    void chosenFiles();
    void selectionLimit_data();
    void selectionLimit();
};

void tst_AddFilesByDialog::chosenFiles_data()
{
    QTest::addColumn<QStringList>("listed"); // before the click
    QTest::addColumn<QStringList>("chosen");
    QTest::addColumn<QStringList>("after");

    QTest::newRow("cancel") << QStringList{u"/x.csv"_qs} << QStringList() << QStringList{u"/x.csv"_qs};
    QTest::newRow("one file as returned")
        << QStringList() << QStringList{u"/data//odd  name.CSV"_qs} << QStringList{u"/data//odd  name.CSV"_qs};
    QTest::newRow("one file that is no CSV")
        << QStringList() << QStringList{u"/data/readme"_qs} << QStringList{u"/data/readme"_qs};
    QTest::newRow("three files, in the dialog's order")
        << QStringList() << QStringList{u"/data/c.csv"_qs, u"/data/a.csv"_qs, u"/data/b.txt"_qs}
        << QStringList{u"/data/c.csv"_qs, u"/data/a.csv"_qs, u"/data/b.txt"_qs};
    QTest::newRow("three files in the top folder")
        << QStringList() << QStringList{u"/a.csv"_qs, u"/b.csv"_qs, u"/c.csv"_qs}
        << QStringList{u"/a.csv"_qs, u"/b.csv"_qs, u"/c.csv"_qs};
    QTest::newRow("several files: folder and names joined and normalized")
        << QStringList() << QStringList{u"/data//in//a.csv"_qs, u"/data//in//b.csv"_qs}
        << QStringList{u"/data/in/a.csv"_qs, u"/data/in/b.csv"_qs};
    QTest::newRow("a name that begins with U+FEFF")
        << QStringList() << QStringList{u"/data/"_qs + QChar(0xFEFF) + u"a.csv"_qs}
        << QStringList{u"/data/"_qs + QChar(0xFEFF) + u"a.csv"_qs};
    QTest::newRow("a file already listed comes again")
        << QStringList{u"/data/a.csv"_qs} << QStringList{u"/data/a.csv"_qs}
        << QStringList{u"/data/a.csv"_qs, u"/data/a.csv"_qs};
}

void tst_AddFilesByDialog::chosenFiles()
{
    QFETCH(QStringList, listed);
    QFETCH(QStringList, chosen);
    QFETCH(QStringList, after);

    WindowFixture fixture;
    Form1& form = fixture.open();
    form.ListView1->AppendEntries(onThisSystem(listed));
    fixture.dialogs.queueFileNames(onThisSystem(chosen));

    form.PushButton1->click();

    QCOMPARE(form.ListView1->entries(), onThisSystem(after));
    QCOMPARE(fixture.dialogs.calls.size(), 1);
    const DialogCall& call = fixture.dialogs.calls.first();
    QCOMPARE(call.kind, DialogKind::OpenFileNames);
    QCOMPARE(call.title, u"Add File(s) - Hold Ctrl to select multiple files"_qs);
    QCOMPARE(call.detail, u"CSV Files (*.csv)"_qs);
}

void tst_AddFilesByDialog::selectionLimit_data()
{
    QTest::addColumn<qsizetype>("resultLength");
    QTest::addColumn<bool>("added");

    QTest::newRow("a few names") << qsizetype(500) << true;
    QTest::newRow("30000 characters") << qsizetype(30000) << true;
    QTest::newRow("30001 characters") << qsizetype(30001) << false;
    QTest::newRow("far too many") << qsizetype(250000) << false;
}

void tst_AddFilesByDialog::selectionLimit()
{
    QFETCH(qsizetype, resultLength);
    QFETCH(bool, added);

    const QStringList chosen = selectionOfResultLength(resultLength);
    qsizetype length = kFolder.size() + 1 + 1;
    for (const QString& path : chosen)
        length += path.size() - (kFolder.size() + 1) + 1;
    QCOMPARE(length, resultLength);

    WindowFixture fixture;
    Form1& form = fixture.open();
    form.ListView1->AppendEntry(u"/before.csv"_qs);
    fixture.dialogs.queueFileNames(chosen);

    form.PushButton1->click();

    const QList<DialogCall> messages = fixture.dialogs.callsOf(DialogKind::Message);
    if (added) {
        QCOMPARE(form.ListView1->entries(), QStringList{u"/before.csv"_qs} + chosen);
        QCOMPARE(messages.size(), 0);
    } else {
        QCOMPARE(form.ListView1->entries(), QStringList{u"/before.csv"_qs});
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.first().text, kTooManyFiles);
        QCOMPARE(messages.first().title, QStringLiteral("Ostrand Table Converter"));
        QCOMPARE(messages.first().buttons, u"OK"_qs);
    }
    QCOMPARE(fixture.dialogs.callsOf(DialogKind::ErrorReport).size(), 0);
}

QTEST_MAIN(tst_AddFilesByDialog)
#include "tst_AddFilesByDialog.moc"
