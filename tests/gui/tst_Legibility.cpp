// SPDX-License-Identifier: MIT
#include <QtTest>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "filelist/FileListView.h"
#include "support/gui/WindowFixture.h"

using namespace ostrand;
using namespace ostrand::test;

namespace {

// WCAG relative luminance and contrast ratio of two colours.
double luminance(const QColor& colour)
{
    auto channel = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) + 0.0722 * channel(colour.blueF());
}

double contrast(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QPalette desktopPalette(bool dark)
{
    QPalette palette;
    const QColor back = dark ? QColor(0x2a, 0x2a, 0x2e) : QColor(0xef, 0xef, 0xef);
    const QColor text = dark ? QColor(0xee, 0xee, 0xee) : QColor(0x10, 0x10, 0x10);
    for (auto role : {QPalette::Window, QPalette::Button, QPalette::AlternateBase})
        palette.setColor(role, back);
    palette.setColor(QPalette::Base, dark ? QColor(0x1e, 0x1e, 0x20) : Qt::white);
    for (auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        palette.setColor(role, text);
    return palette;
}

// The share of a control's drawn pixels that are dark: its text on a white background.
int darkPixels(QWidget* widget)
{
    const QImage image = widget->grab().toImage();
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            dark += qGray(image.pixel(x, y)) < 96 ? 1 : 0;
    return dark;
}

} // namespace

// The window shows one light palette whatever the desktop's: its white backgrounds carry dark text, and its
// buttons, list, text boxes and progress bar are light with dark text too, so every caption can be read under a
// dark palette as under a light one, and nothing of the window follows the dark palette.
class tst_Legibility : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void captionsOnWhite_data();
    void captionsOnWhite();
    void everyControlKeepsTheWindowsPalette_data();
    void everyControlKeepsTheWindowsPalette();
    void skinnedWindowFollowsThePalette();
};

void tst_Legibility::cleanup()
{
    QApplication::setPalette(QPalette());
}

void tst_Legibility::captionsOnWhite_data()
{
    QTest::addColumn<bool>("dark");
    QTest::addColumn<QString>("control");

    for (bool dark : {true, false}) {
        for (const char* name : {"Form1", "Frame1", "Frame2", "Frame5", "Option1", "Option5", "Option6", "Option7",
                                 "Label1", "Label2", "Label3"})
            QTest::addRow("%s palette, %s", dark ? "dark" : "light", name) << dark << QString::fromLatin1(name);
    }
}

void tst_Legibility::captionsOnWhite()
{
    QFETCH(bool, dark);
    QFETCH(QString, control);

    QApplication::setPalette(desktopPalette(dark));
    WindowFixture fixture;
    Form1& form = fixture.openShown();
    QWidget* widget = control == u"Form1"_qs ? &form : form.findChild<QWidget*>(control);
    QVERIFY(widget);

    QCOMPARE(widget->palette().color(QPalette::Window), QColor(Qt::white));
    QVERIFY2(contrast(widget->palette().color(QPalette::WindowText), Qt::white) >= 7.0, qPrintable(control));
    // What is drawn: a frame's title, an option's or a label's caption shows as dark pixels on white.
    if (control != u"Form1"_qs)
        QVERIFY2(darkPixels(widget) > 20, qPrintable(control));
}

void tst_Legibility::everyControlKeepsTheWindowsPalette_data()
{
    QTest::addColumn<bool>("dark");
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("backgroundRole");
    QTest::addColumn<int>("textRole");

    for (bool dark : {true, false}) {
        const char* palette = dark ? "dark" : "light";
        for (const char* name : {"Text1", "Text2", "Text3"})
            QTest::addRow("%s palette, %s", palette, name)
                << dark << QString::fromLatin1(name) << int(QPalette::Base) << int(QPalette::Text);
        for (const char* name : {"PushButton1", "PushButton2", "PushButton6"})
            QTest::addRow("%s palette, %s", palette, name)
                << dark << QString::fromLatin1(name) << int(QPalette::Button) << int(QPalette::ButtonText);
        QTest::addRow("%s palette, ListView1", palette)
            << dark << u"ListView1"_qs << int(QPalette::Base) << int(QPalette::Text);
        QTest::addRow("%s palette, ProgressBar1", palette)
            << dark << u"ProgressBar1"_qs << int(QPalette::Base) << int(QPalette::Text);
    }
}

void tst_Legibility::everyControlKeepsTheWindowsPalette()
{
    QFETCH(bool, dark);
    QFETCH(QString, control);
    QFETCH(int, backgroundRole);
    QFETCH(int, textRole);

    QApplication::setPalette(desktopPalette(dark));
    WindowFixture fixture;
    Form1& form = fixture.openShown();
    QWidget* widget = form.findChild<QWidget*>(control);
    QVERIFY(widget);

    const QColor background = widget->palette().color(QPalette::ColorRole(backgroundRole));
    const QColor text = widget->palette().color(QPalette::ColorRole(textRole));
    QVERIFY2(luminance(background) > 0.6, qPrintable(background.name()));
    QVERIFY2(contrast(background, text) >= 7.0, qPrintable(background.name() + u" "_qs + text.name()));
}

void tst_Legibility::skinnedWindowFollowsThePalette()
{
    // With a skin the forced white gives way to the palette's button face, and the text follows it.
    const QPalette desktop = desktopPalette(true);
    QApplication::setPalette(desktop);
    WindowFixture fixture;
    fixture.tree().writeFile(u"skinned/x/o.cjs"_qs, "");
    Form1& form = fixture.openShown(fixture.tree().path(u"skinned"_qs));

    for (QWidget* widget : {static_cast<QWidget*>(&form), static_cast<QWidget*>(form.Frame1),
                            static_cast<QWidget*>(form.Option1), static_cast<QWidget*>(form.Label1)}) {
        QCOMPARE(widget->palette().color(QPalette::Window), desktop.color(QPalette::Button));
        QCOMPARE(widget->palette().color(QPalette::WindowText), desktop.color(QPalette::ButtonText));
    }
}

QTEST_MAIN(tst_Legibility)
#include "tst_Legibility.moc"
