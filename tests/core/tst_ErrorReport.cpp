// SPDX-License-Identifier: MIT
#include <QtTest>

#include "core/app/ErrorReport.h"
#include "core/app/GuardedOperation.h"
#include "support/core/Recorders.h"

using namespace ostrand;

class tst_ErrorReport : public QObject
{
    Q_OBJECT

private slots:
    void reportText();
    void twoFailuresBothReportedAndTheRestRuns();
    void failingTestCountsAsPassed();
    void failureInLastStep();
    void endedOperationSkipsTheRest();
    void exceptionsAreReportedNotThrown();
};

void tst_ErrorReport::reportText()
{
    const QString text = ErrorReportText(QStringLiteral("File not found"), LocationTag::formLoad(), 150);
    QCOMPARE(text, QStringLiteral("File not found\r\nin Vantrel2021/08/31.Form1.Form_Load at line 150\r\r"
                                  "Please email screenshot of this message to ") +
                       supportAddress());
    QCOMPARE(text.count(QLatin1Char('\n')), 1);
    QCOMPARE(text.count(QLatin1Char('\r')), 3);
}

void tst_ErrorReport::twoFailuresBothReportedAndTheRestRuns()
{
    test::RecordingReporter reporter;
    GuardedOperation op(reporter, LocationTag::pushButton2());
    QStringList ran;
    op.step(100, [&] { ran << QStringLiteral("100"); });
    op.step(102, [&]() -> Status { return Failure{QStringLiteral("first")}; });
    op.step(104, [&] { ran << QStringLiteral("104"); });
    op.step(106, [&]() -> Result<int> { return Failure{QStringLiteral("second")}; });
    op.step(108, [&] { ran << QStringLiteral("108"); });
    QCOMPARE(reporter.lines(), (QList<int>{102, 106}));
    QCOMPARE(reporter.reports.at(0).description, QStringLiteral("first"));
    QCOMPARE(reporter.reports.at(1).tag, LocationTag::pushButton2());
    QCOMPARE(ran, (QStringList{QStringLiteral("100"), QStringLiteral("104"), QStringLiteral("108")}));
    QCOMPARE(op.failures(), 2);
}

void tst_ErrorReport::failingTestCountsAsPassed()
{
    test::RecordingReporter reporter;
    GuardedOperation op(reporter, LocationTag::formLoad());
    bool guardedRan = false;
    if (op.test(160, []() -> Result<bool> { return Failure{QStringLiteral("Type mismatch")}; }))
        guardedRan = true;
    QVERIFY(guardedRan);
    QCOMPARE(reporter.lines(), (QList<int>{160}));
    QVERIFY(!op.test(162, [] { return false; }));
}

void tst_ErrorReport::failureInLastStep()
{
    test::RecordingReporter reporter;
    GuardedOperation op(reporter, LocationTag::convertVantrel());
    op.step(100, [] {});
    QVERIFY(!op.step(168, []() -> Status { return Failure{QStringLiteral("disk full")}; }));
    QCOMPARE(reporter.lines(), (QList<int>{168}));
    QVERIFY(!op.ended());
}

void tst_ErrorReport::endedOperationSkipsTheRest()
{
    test::RecordingReporter reporter;
    GuardedOperation op(reporter, LocationTag::convertVantrel());
    bool later = false;
    op.step(168, [&]() -> Status {
        op.end();
        return Failure{QStringLiteral("write failed")};
    });
    op.step(170, [&] { later = true; });
    QVERIFY(!later);
    QCOMPARE(reporter.lines(), (QList<int>{168}));
}

void tst_ErrorReport::exceptionsAreReportedNotThrown()
{
    test::RecordingReporter reporter;
    GuardedOperation op(reporter, LocationTag::pushButton7());
    op.step(100, [] { throw std::runtime_error("boom"); });
    QCOMPARE(reporter.reports.size(), 1);
    QCOMPARE(reporter.reports.at(0).description, QStringLiteral("boom"));
}

QTEST_GUILESS_MAIN(tst_ErrorReport)
#include "tst_ErrorReport.moc"
