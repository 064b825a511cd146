// SPDX-License-Identifier: MIT
#include <QtTest>

#include <QScreen>

#include "app/WindowPlacement.h"
#include "support/gui/WindowFixture.h"

using namespace ostrand;
using namespace ostrand::test;

// The window opens centred on the available area of its screen, its title bar always on the screen.
class tst_WindowPlacement : public QObject
{
    Q_OBJECT

private slots:
    void centred_data();
    void centred();
    void windowOpensCentred();
};

void tst_WindowPlacement::centred_data()
{
    QTest::addColumn<QSize>("window");
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QPoint>("topLeft");

    const QSize designed(536, 554);
    QTest::newRow("1024x768") << designed << QRect(0, 0, 1024, 768) << QPoint(244, 107);
    QTest::newRow("a top panel") << designed << QRect(0, 32, 1920, 1048) << QPoint(692, 279);
    QTest::newRow("second screen to the right") << designed << QRect(1920, 0, 1280, 1024) << QPoint(2292, 235);
    QTest::newRow("screen above the primary") << designed << QRect(0, -900, 1600, 900) << QPoint(532, -727);
    // 1280x800 at 150 %: 853x533 logical pixels, less a 27-pixel panel; the title bar stays on the screen.
    QTest::newRow("1280x800 at 150 %") << QSize(536, 583) << QRect(0, 27, 853, 506) << QPoint(158, 27);
    QTest::newRow("exactly as tall") << QSize(536, 506) << QRect(0, 27, 853, 506) << QPoint(158, 27);
    QTest::newRow("taller and wider") << QSize(900, 700) << QRect(100, 50, 800, 600) << QPoint(100, 50);
}

void tst_WindowPlacement::centred()
{
    QFETCH(QSize, window);
    QFETCH(QRect, available);
    QFETCH(QPoint, topLeft);

    QCOMPARE(CentredPlacement(window, available), topLeft);
}

void tst_WindowPlacement::windowOpensCentred()
{
    WindowFixture fixture;
    Form1& form = fixture.openShown();

    // The window's outer corner goes where the window of the designed size is centred; the frame around it is
    // not known before the window is shown.
    const QRect available = form.screen()->availableGeometry();
    QVERIFY(available.width() >= 536 && available.height() >= 554);
    QCOMPARE(form.frameGeometry().topLeft(),
             available.topLeft() + QPoint((available.width() - 536) / 2, (available.height() - 554) / 2));
    QCOMPARE(form.size(), QSize(536, 554)); // the designed size is kept
}

QTEST_MAIN(tst_WindowPlacement)
#include "tst_WindowPlacement.moc"
