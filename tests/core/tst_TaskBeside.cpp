// SPDX-License-Identifier: MIT
#include <atomic>
#include <chrono>
#include <thread>

#include <QTest>

#include "core/convert/pace/TaskBeside.h"

using namespace ostrand;

// The worker a document's chunks are written on and a source's next slice is read on: one task at a time, each
// outcome to the one who waits for it, none lost when the caller starts the next too soon.
class tst_TaskBeside : public QObject
{
    Q_OBJECT

private slots:
    void eachTaskRunsOnceInOrder();
    void waitForTellsWhetherTheTaskIsDone();
    void goingAwayFinishesTheTaskUnderWay();
};

// A task started while the one before still runs waits for it: neither is lost, and they run in order.
void tst_TaskBeside::eachTaskRunsOnceInOrder()
{
    TaskBeside worker;
    QString order;
    std::atomic<bool> release{false};
    worker.start([&] {
        while (!release)
            std::this_thread::yield();
        order += QLatin1Char('a');
        return Status::success();
    });
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        release = true;
    });
    worker.start([&] {
        order += QLatin1Char('b');
        return Status{Failure{QStringLiteral("b failed")}};
    });
    const Status b = worker.wait();
    releaser.join();
    QCOMPARE(order, QStringLiteral("ab"));
    QCOMPARE(b.error(), QStringLiteral("b failed"));
    // The outcome is taken once; with nothing under way, waiting tells success.
    QVERIFY(worker.wait().ok());
}

void tst_TaskBeside::waitForTellsWhetherTheTaskIsDone()
{
    TaskBeside worker;
    QVERIFY(worker.waitFor(std::chrono::milliseconds(0)));
    std::atomic<bool> release{false};
    worker.start([&] {
        while (!release)
            std::this_thread::yield();
        return Status::success();
    });
    QVERIFY(!worker.waitFor(std::chrono::milliseconds(0)));
    QVERIFY(!worker.waitFor(std::chrono::milliseconds(5)));
    release = true;
    QVERIFY(worker.waitFor(std::chrono::seconds(10)));
    QVERIFY(worker.wait().ok());
}

// Its buffers may go right after it: the worker finishes what it was given first.
void tst_TaskBeside::goingAwayFinishesTheTaskUnderWay()
{
    std::atomic<int> ran{0};
    {
        TaskBeside worker;
        worker.start([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            ++ran;
            return Status::success();
        });
    }
    QCOMPARE(ran.load(), 1);
}

QTEST_GUILESS_MAIN(tst_TaskBeside)
#include "tst_TaskBeside.moc"
