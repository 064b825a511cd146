// SPDX-License-Identifier: MIT
#include <QtTest>

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/QtTranslations.h"
#include "support/core/UnixOnly.h"
#include "support/gui/WindowFixture.h"

using namespace ostrand;
using namespace ostrand::test;

namespace {

struct Focusable
{
    QString name;
    QString objectName;
};

// Every focusable control that the accessibility tree shows, with the name a screen reader says.
void collectFocusable(QAccessibleInterface* node, QList<Focusable>& found, int depth = 0)
{
    if (!node || depth > 20)
        return;
    const QAccessible::State state = node->state();
    if (state.focusable && !state.invisible) {
        QObject* object = node->object();
        found.append({node->text(QAccessible::Name), object ? object->objectName() : QString()});
    }
    for (int i = 0; i < node->childCount(); ++i)
        collectFocusable(node->child(i), found, depth + 1);
}

} // namespace

// A screen reader hears what every control is for.
class tst_Accessibility : public QObject
{
    Q_OBJECT

private slots:
    void everyFocusableControlHasItsOwnName();
    void names_data();
    void names();
    void labelsNameTheirBoxes();
    void rolesOfTheWindowAndItsControls();
    void qtDialogsSpeakTheLocale_data();
    void qtDialogsSpeakTheLocale();
};

void tst_Accessibility::everyFocusableControlHasItsOwnName()
{
    WindowFixture fixture;
    Form1& form = fixture.openShown();

    QList<Focusable> found;
    collectFocusable(QAccessible::queryAccessibleInterface(&form), found);

    QStringList nameless;
    QStringList repeated;
    QSet<QString> seen;
    for (const Focusable& control : found) {
        if (control.name.trimmed().isEmpty())
            nameless.append(control.objectName);
        else if (seen.contains(control.name))
            repeated.append(control.name);
        seen.insert(control.name);
    }
    QCOMPARE(nameless, QStringList());
    QCOMPARE(repeated, QStringList());
    // All of them: eight buttons, seven options, three boxes and the list.
    QCOMPARE(found.size(), 19);
}

void tst_Accessibility::names_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("toolTip"); // "-" where the control keeps no tooltip of its own

    QTest::newRow("list") << u"ListView1"_qs << u"Files to convert"_qs << u"-"_qs;
    QTest::newRow("text colour button") << u"PushButton6"_qs << u"Choose text colour"_qs << u"Choose text colour"_qs;
    QTest::newRow("background colour button")
        << u"PushButton8"_qs << u"Choose background colour"_qs << u"Choose background colour"_qs;
    QTest::newRow("folder button") << u"PushButton4"_qs << u"Choose output folder"_qs << u"Choose output folder"_qs;
    QTest::newRow("text colour swatch") << u"Picture1"_qs << u"Text colour"_qs << u"The table's text colour"_qs;
    QTest::newRow("background swatch") << u"Picture2"_qs << u"Background colour"_qs
                                       << u"The table's background colour"_qs;
    QTest::newRow("border width box") << u"Text2"_qs << u"Border width"_qs << u"-"_qs;
    QTest::newRow("other delimiter box") << u"Text1"_qs << u"Other delimiter"_qs << u"-"_qs;
    QTest::newRow("output folder box") << u"Text3"_qs << u"Output folder"_qs << u"-"_qs;
    QTest::newRow("progress bar") << u"ProgressBar1"_qs << u"Conversion progress"_qs << u"-"_qs;
    QTest::newRow("a captioned button keeps its caption") << u"PushButton2"_qs << u"Start Converting"_qs << u"-"_qs;
    QTest::newRow("an option keeps its caption")
        << u"Option7"_qs << u"Save results in folder of original file"_qs << u"-"_qs;
}

void tst_Accessibility::names()
{
    QFETCH(QString, control);
    QFETCH(QString, name);
    QFETCH(QString, toolTip);

    WindowFixture fixture;
    Form1& form = fixture.openShown();
    QWidget* widget = form.findChild<QWidget*>(control);
    QVERIFY(widget);

    QAccessibleInterface* node = QAccessible::queryAccessibleInterface(widget);
    QVERIFY(node);
    QCOMPARE(node->text(QAccessible::Name), name);
    if (toolTip != u"-"_qs)
        QCOMPARE(widget->toolTip(), toolTip);
}

void tst_Accessibility::labelsNameTheirBoxes()
{
    WindowFixture fixture;
    Form1& form = fixture.open();

    QCOMPARE(form.Label1->buddy(), form.Text2);
    QCOMPARE(form.Label2->buddy(), form.PushButton6);
    QCOMPARE(form.Label3->buddy(), form.PushButton8);
    // The captions are as designed.
    QCOMPARE(form.Label1->text(), u"Border Width:"_qs);
    QCOMPARE(form.PushButton6->text(), u"..."_qs);
}

namespace {

// The objects under a node of the accessibility tree with the given role.
void collectRole(QAccessibleInterface* node, QAccessible::Role role, QStringList& found, int depth = 0)
{
    if (!node || depth > 20)
        return;
    for (int i = 0; i < node->childCount(); ++i) {
        QAccessibleInterface* child = node->child(i);
        if (child && child->role() == role)
            found.append(child->object() ? child->object()->objectName() : child->text(QAccessible::Name));
        collectRole(child, role, found, depth + 1);
    }
}

} // namespace

// The main window is a window named "Ostrand", and nothing in it has a window's role (a screen reader's list of
// windows shows one Ostrand), nor the role of a frame around nothing: the swatches are labels showing a colour.
void tst_Accessibility::rolesOfTheWindowAndItsControls()
{
    WindowFixture fixture;
    Form1& form = fixture.openShown();
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(&form);
    QVERIFY(window);

    QCOMPARE(window->role(), QAccessible::Window);
    QCOMPARE(window->text(QAccessible::Name), u"Ostrand"_qs);
    for (const QAccessible::Role role : {QAccessible::Window, QAccessible::Border, QAccessible::Dialog}) {
        QStringList found;
        collectRole(window, role, found);
        QVERIFY2(found.isEmpty(), qPrintable(found.join(u", "_qs)));
    }
    for (QWidget* swatch : {form.Picture1, form.Picture2})
        QCOMPARE(QAccessible::queryAccessibleInterface(swatch)->role(), QAccessible::StaticText);
}

void tst_Accessibility::qtDialogsSpeakTheLocale_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("yes");
    QTest::addColumn<QString>("cancel");

    QTest::newRow("German") << u"de_DE"_qs << u"&Ja"_qs << u"Abbrechen"_qs;
    QTest::newRow("French") << u"fr_FR"_qs << u"&Oui"_qs << u"Annuler"_qs;
    QTest::newRow("Spanish") << u"es_ES"_qs << u"&Sí"_qs << u"Cancelar"_qs;
}

void tst_Accessibility::qtDialogsSpeakTheLocale()
{
    QFETCH(QString, locale);
    QFETCH(QString, yes);
    QFETCH(QString, cancel);
    OSTRAND_UNIX_ONLY("Qt's own translations, which the Windows build does not ship yet");

    QVERIFY(installQtTranslations(*QCoreApplication::instance(), QLocale(locale)));
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), yes);
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), cancel);

    // The window's own texts stay as they are.
    WindowFixture fixture;
    Form1& form = fixture.open();
    QCOMPARE(form.PushButton2->text(), u"Start Converting"_qs);

    const auto translators = QCoreApplication::instance()->findChildren<QTranslator*>();
    for (QTranslator* translator : translators) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), u"&Yes"_qs);
}

QTEST_MAIN(tst_Accessibility)
#include "tst_Accessibility.moc"
