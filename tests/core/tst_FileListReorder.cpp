// SPDX-License-Identifier: MIT
#include <QtTest>

#include <utility>
#include <vector>

#include "core/filelist/Reorder.h"

using namespace ostrand;

namespace {

// A list control seen through the three calls the exchange makes, counting the texts it writes.
struct CountingTexts
{
    std::vector<QString> items;
    int writes = 0;

    qsizetype size() const { return qsizetype(items.size()); }
    QString at(int row) const { return items.at(std::size_t(row)); }
    void swapItemsAt(int first, int second)
    {
        std::swap(items.at(std::size_t(first)), items.at(std::size_t(second)));
        writes += 2;
    }
};

} // namespace

class tst_FileListReorder : public QObject
{
    Q_OBJECT

private slots:
    void exchange_data();
    void exchange();
    void draggingStepByStepCarriesTheEntry();
    void onlyTwoEntriesAreWritten();
    void reveal_data();
    void reveal();
};

void tst_FileListReorder::exchange_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<int>("dragged");
    QTest::addColumn<int>("under");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("newDragged"); // -1: nothing exchanged

    const QStringList six{u"a"_qs, u"b"_qs, u"c"_qs, u"d"_qs, u"e"_qs, u"f"_qs};
    QTest::newRow("second onto fifth swaps only those")
        << six << 1 << 4 << QStringList{u"a"_qs, u"e"_qs, u"c"_qs, u"d"_qs, u"b"_qs, u"f"_qs} << 4;
    QTest::newRow("first onto fourth leaves the rows between")
        << six << 0 << 3 << QStringList{u"d"_qs, u"b"_qs, u"c"_qs, u"a"_qs, u"e"_qs, u"f"_qs} << 3;
    QTest::newRow("upwards") << six << 5 << 0 << QStringList{u"f"_qs, u"b"_qs, u"c"_qs, u"d"_qs, u"e"_qs, u"a"_qs} << 0;
    QTest::newRow("same text never exchanged")
        << QStringList{u"x"_qs, u"a"_qs, u"x"_qs} << 0 << 2 << QStringList{u"x"_qs, u"a"_qs, u"x"_qs} << -1;
    QTest::newRow("texts differing in case are exchanged")
        << QStringList{u"A.csv"_qs, u"a.csv"_qs} << 0 << 1 << QStringList{u"a.csv"_qs, u"A.csv"_qs} << 1;
    QTest::newRow("onto itself") << six << 2 << 2 << six << -1;
    QTest::newRow("nothing under the pointer") << six << 2 << -1 << six << -1;
    QTest::newRow("nothing dragged") << six << -1 << 2 << six << -1;
    QTest::newRow("dragged entry since removed")
        << QStringList{u"a"_qs, u"b"_qs} << 4 << 0 << QStringList{u"a"_qs, u"b"_qs} << -1;
    QTest::newRow("pointer past the last entry") << six << 1 << 6 << six << -1;
}

void tst_FileListReorder::exchange()
{
    QFETCH(QStringList, texts);
    QFETCH(int, dragged);
    QFETCH(int, under);
    QFETCH(QStringList, expected);
    QFETCH(int, newDragged);
    const std::optional<int> result = ExchangeDraggedEntry(texts, dragged, under);
    QCOMPARE(texts, expected);
    QCOMPARE(result.value_or(-1), newDragged);
}

void tst_FileListReorder::draggingStepByStepCarriesTheEntry()
{
    QStringList texts{u"a"_qs, u"b"_qs, u"c"_qs, u"d"_qs};
    int dragged = 0;
    for (int row : {1, 1, 2, 3}) { // the second movement stays on the same row
        if (const std::optional<int> now = ExchangeDraggedEntry(texts, dragged, row))
            dragged = *now;
    }
    QCOMPARE(texts, (QStringList{u"b"_qs, u"c"_qs, u"d"_qs, u"a"_qs}));
    QCOMPARE(dragged, 3);
}

void tst_FileListReorder::onlyTwoEntriesAreWritten()
{
    CountingTexts texts;
    for (int i = 0; i < 1000; ++i)
        texts.items.push_back(QString::number(i));
    QCOMPARE(ExchangeDraggedEntry(texts, 10, 900).value_or(-1), 900);
    QCOMPARE(texts.writes, 2);
    QCOMPARE(texts.items.at(10), u"900"_qs);
    QCOMPARE(texts.items.at(900), u"10"_qs);
}

void tst_FileListReorder::reveal_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("screenY");
    QTest::addColumn<int>("expected"); // -1: nothing scrolls

    QTest::newRow("304 shows the row above") << 3 << 10 << 304 << 2;
    QTest::newRow("305 scrolls nothing") << 3 << 10 << 305 << -1;
    QTest::newRow("364 scrolls nothing") << 3 << 10 << 364 << -1;
    QTest::newRow("365 shows the row below") << 3 << 10 << 365 << 4;
    QTest::newRow("top of the screen") << 1 << 10 << 0 << 0;
    QTest::newRow("no row above the first") << 0 << 10 << 304 << -1;
    QTest::newRow("no row below the last") << 9 << 10 << 365 << -1;
    QTest::newRow("row below the last but one") << 8 << 10 << 365 << 9;
}

void tst_FileListReorder::reveal()
{
    QFETCH(int, row);
    QFETCH(int, count);
    QFETCH(int, screenY);
    QFETCH(int, expected);
    QCOMPARE(RowToRevealAfterExchange(row, count, screenY).value_or(-1), expected);
}

QTEST_GUILESS_MAIN(tst_FileListReorder)
#include "tst_FileListReorder.moc"
