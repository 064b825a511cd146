// SPDX-License-Identifier: MIT
#include <QtTest>

#include <QHeaderView>

#include "filelist/FileListView.h"

using namespace ostrand;

class tst_FileListView : public QObject
{
    Q_OBJECT

private slots:
    void entriesAreNumberedFromOne();
    void isInFileList_data();
    void isInFileList();
    void removalAndClearing();
    void hundredThousandEntries();
};

void tst_FileListView::entriesAreNumberedFromOne()
{
    FileListView list;
    list.AppendEntry(QStringLiteral("/d/a.csv"));
    list.AppendEntry(QStringLiteral("/d/a.csv"));
    list.AppendEntry(QStringLiteral("relative\\\\kept as given"));
    QCOMPARE(list.entryCount(), qsizetype(3));
    QCOMPARE(list.entry(1), QStringLiteral("/d/a.csv"));
    QCOMPARE(list.entry(2), QStringLiteral("/d/a.csv"));
    QCOMPARE(list.entry(3), QStringLiteral("relative\\\\kept as given"));
    QCOMPARE(list.entry(0), QString());
    QCOMPARE(list.entry(4), QString());
    QCOMPARE(list.model()->rowCount(), 3);
    QCOMPARE(list.model()->index(2, 0).data().toString(), QStringLiteral("relative\\\\kept as given"));
}

void tst_FileListView::isInFileList_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("listed");

    QTest::newRow("same text") << "/data/Prices.csv" << true;
    QTest::newRow("other case") << "/data/prices.csv" << false;
    QTest::newRow("trailing blank") << "/data/Prices.csv " << false;
    QTest::newRow("second entry") << "/x.csv" << true;
    QTest::newRow("empty") << "" << false;
}

void tst_FileListView::isInFileList()
{
    QFETCH(QString, path);
    QFETCH(bool, listed);
    FileListView list;
    list.AppendEntry(QStringLiteral("/data/Prices.csv"));
    list.AppendEntry(QStringLiteral("/x.csv"));
    QCOMPARE(list.IsInFileList(path), listed);
}

void tst_FileListView::removalAndClearing()
{
    FileListView list;
    for (const char* path : {"/a", "/b", "/a", "/c"})
        list.AppendEntry(QString::fromLatin1(path));
    QVERIFY(list.removeEntry(3));
    QCOMPARE(list.entries(), (QStringList{QStringLiteral("/a"), QStringLiteral("/b"), QStringLiteral("/c")}));
    QVERIFY(!list.removeEntry(4));
    QVERIFY(!list.removeEntry(0));
    QVERIFY(list.setEntry(1, QStringLiteral("/z")));
    QCOMPARE(list.entry(1), QStringLiteral("/z"));
    QVERIFY(!list.setEntry(9, QStringLiteral("/z")));
    list.clearEntries();
    QCOMPARE(list.entryCount(), qsizetype(0));
    QCOMPARE(list.model()->rowCount(), 0);
}

void tst_FileListView::hundredThousandEntries()
{
    FileListView list;
    list.setColumnHeader(QStringLiteral("CSV File(s)"));
    list.resize(520, 169);
    list.show();
    for (int i = 1; i <= 100000; ++i) {
        list.AppendEntry(QStringLiteral("/data/file%1.csv").arg(i));
        if (i % 1000 == 0)
            QCoreApplication::processEvents();
    }
    QCOMPARE(list.entryCount(), qsizetype(100000));
    QVERIFY(list.IsInFileList(QStringLiteral("/data/file99999.csv")));
    list.selectEntry(100000);
    list.scrollTo(list.model()->index(99999, 0));
    QCoreApplication::processEvents();
    QCOMPARE(list.entry(list.selectedIndex()), QStringLiteral("/data/file100000.csv"));
    QCOMPARE(list.header()->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("CSV File(s)"));
}

QTEST_MAIN(tst_FileListView)
#include "tst_FileListView.moc"
