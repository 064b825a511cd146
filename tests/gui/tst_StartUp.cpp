// SPDX-License-Identifier: MIT
#include <QtTest>

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

#include "app/ApplicationTitle.h"
#include "app/CaptionProgressBar.h"
#include "app/PointerScheme.h"
#include "core/app/ErrorReport.h"
#include "filelist/FileListView.h"
#include "options/ColorSwatch.h"
#include "support/gui/WindowFixture.h"

using namespace ostrand;
using namespace ostrand::test;

namespace {

// Where a first start sends the documents: the test's home folder has no desktop folder on Unix, so the home
// folder itself; Windows always names a desktop folder of its own.
QString defaultOutputFolder()
{
#ifdef Q_OS_WIN
    return QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation)) + u'\\';
#else
    return QDir::homePath() + QLatin1Char('/');
#endif
}

} // namespace

class tst_StartUp : public QObject
{
    Q_OBJECT

private slots:
    void firstStartShowsTheDefaults();
    void firstStartWritesOnlyWhatTheRestoreChanged();
    void restoredSelectionIsWrittenBackAsAGroup_data();
    void restoredSelectionIsWrittenBackAsAGroup();
    void badLaterOptionIsReportedBeforeTheGroupIsWritten();
    void storedValuesAreRestored_data();
    void storedValuesAreRestored();
    void outputFolderOfOriginalFileDisablesTheFolderFrame();
    void badStoredValueReportsItsLineAndTheRestIsRestored_data();
    void badStoredValueReportsItsLineAndTheRestIsRestored();
    void windowLayout();
    void optionButtonsTakeClicksOverTheirDesignedRectangle_data();
    void optionButtonsTakeClicksOverTheirDesignedRectangle();
    void skinFileGivesTheButtonFaceAndTheStyleSheet();
    void handPointerImageBesideTheProgram();
    void unreadableHandPointerIsReportedAndThePlatformHandStays();
    void applicationTitleCutsByWords_data();
    void applicationTitleCutsByWords();
    void settingsFolderNamedByBytesThatAreNotUtf8_data();
    void settingsFolderNamedByBytesThatAreNotUtf8();
};

void tst_StartUp::firstStartShowsTheDefaults()
{
    WindowFixture fixture;
    Form1& form = fixture.open();

    QCOMPARE(fixture.dialogs.calls.size(), 0);
    QVERIFY(form.Option1->isChecked());
    for (QRadioButton* other : {form.Option2, form.Option3, form.Option4, form.Option5})
        QVERIFY(!other->isChecked());
    QCOMPARE(form.Text1->text(), QStringLiteral("|"));
    QCOMPARE(form.Text2->text(), QStringLiteral("1"));
    QCOMPARE(swatchColor(form.Picture1), qint64(0));
    QCOMPARE(form.Picture1->palette().color(QPalette::Window), QColor(Qt::black));
    QCOMPARE(swatchColor(form.Picture2), qint64(16777215));
    QCOMPARE(form.Picture2->palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(form.Text3->text(), defaultOutputFolder());
    QVERIFY(form.Option6->isChecked());
    QVERIFY(!form.Option7->isChecked());
    QVERIFY(form.Frame4->isEnabled());
    QCOMPARE(form.windowTitle(), QStringLiteral("Ostrand"));
    QCOMPARE(form.applicationTitle(), QStringLiteral("Ostrand Table Converter"));
    QVERIFY(!form.windowIcon().isNull());
    QCOMPARE(form.pointer().pointer(), MousePointer::Default);
    QCOMPARE(form.ProgressBar1->value(), 0);
    QCOMPARE(form.ProgressBar1->text(), QStringLiteral("Progress Bar"));
    QCOMPARE(form.ListView1->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("CSV File(s)"));
    QCOMPARE(form.ListView1->columnWidth(0), 480);
    QCOMPARE(form.ListView1->entryCount(), qsizetype(0));
}

void tst_StartUp::firstStartWritesOnlyWhatTheRestoreChanged()
{
    WindowFixture fixture;
    fixture.open();

    // Only the folder box changes (from empty to the desktop folder), so only its value is written.
    QString text = QString::fromUtf8(TempTree::readFile(fixture.settingsPath()));
    QString folder = defaultOutputFolder();
#ifdef Q_OS_WIN
    text.replace(u"\r\n"_qs, u"\n"_qs);
    folder.replace(u"\\"_qs, u"\\\\"_qs); // the settings file doubles a backslash
#endif
    QCOMPARE(text, QStringLiteral("[Ostrand]\nOutput%20Folder=") + folder + QStringLiteral("\n"));
}

void tst_StartUp::restoredSelectionIsWrittenBackAsAGroup_data()
{
    QTest::addColumn<QStringList>("marked");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QStringList>("stored");

    const QString t = QStringLiteral("True");
    const QString f = QStringLiteral("False");
    QTest::newRow("Semicolon alone") << QStringList{QStringLiteral("Option3")} << "Option3"
                                     << QStringList{f, f, t, f, f};
    QTest::newRow("Comma and Tab: the later wins")
        << QStringList{QStringLiteral("Option1"), QStringLiteral("Option4")} << "Option4" << QStringList{f, f, f, t, f};
    QTest::newRow("Comma-space and Tab: the later wins")
        << QStringList{QStringLiteral("Option2"), QStringLiteral("Option4")} << "Option4" << QStringList{f, f, f, t, f};
    QTest::newRow("all five: Other wins") << QStringList{QStringLiteral("Option1"), QStringLiteral("Option2"),
                                                         QStringLiteral("Option3"), QStringLiteral("Option4"),
                                                         QStringLiteral("Option5")}
                                          << "Option5" << QStringList{f, f, f, f, t};
}

// A value that cannot be read in a later option key is reported before the restored group is written back.
void tst_StartUp::badLaterOptionIsReportedBeforeTheGroupIsWritten()
{
    WindowFixture fixture;
    fixture.store(QStringLiteral("Option2"), QStringLiteral("True"));
    fixture.store(QStringLiteral("Option4"), QStringLiteral("maybe"));
    Form1& form = fixture.open();

    const QList<DialogCall> reports = fixture.dialogs.callsOf(DialogKind::ErrorReport);
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports.first().text.contains(QStringLiteral("in Vantrel2021/08/31.Form1.Form_Load at line 142")),
             qPrintable(reports.first().text));
    QVERIFY(form.Option2->isChecked());
    QCOMPARE(fixture.stored(QStringLiteral("Option4")), QStringLiteral("False"));
}

void tst_StartUp::restoredSelectionIsWrittenBackAsAGroup()
{
    QFETCH(QStringList, marked);
    QFETCH(QString, selected);
    QFETCH(QStringList, stored);

    WindowFixture fixture;
    for (const QString& key : marked)
        fixture.store(key, QStringLiteral("True"));
    Form1& form = fixture.open();

    QVERIFY(form.findChild<QRadioButton*>(selected)->isChecked());
    QStringList actual;
    for (int i = 1; i <= 5; ++i)
        actual << fixture.stored(QStringLiteral("Option%1").arg(i));
    QCOMPARE(actual, stored);
}

void tst_StartUp::storedValuesAreRestored_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("shown");

    QTest::newRow("Other empty stays empty") << "Other"
                                             << ""
                                             << "Text1"
                                             << "";
    QTest::newRow("Other two colons") << "Other"
                                      << "::"
                                      << "Text1"
                                      << "::";
    QTest::newRow("Border Width as typed") << "Border Width"
                                           << "2px"
                                           << "Text2"
                                           << "2px";
    QTest::newRow("Output Folder") << "Output Folder"
                                   << "/srv/out/"
                                   << "Text3"
                                   << "/srv/out/";
    QTest::newRow("Output Folder empty") << "Output Folder"
                                         << ""
                                         << "Text3"
                                         << "";
    QTest::newRow("Text Color pure red") << "Text Color"
                                         << "255"
                                         << "Picture1"
                                         << "#ff0000";
    QTest::newRow("Background Color pure blue") << "Background Color"
                                                << "16711680"
                                                << "Picture2"
                                                << "#0000ff";
    QTest::newRow("Semicolon as True") << "Option3"
                                       << "True"
                                       << "Option3"
                                       << "checked";
    QTest::newRow("Tab as a number, written back by its click") << "Option4"
                                                                << "-1"
                                                                << "Option4"
                                                                << "checked";
    QTest::newRow("Comma as False") << "Option1"
                                    << "False"
                                    << "Option1"
                                    << "unchecked";
    QTest::newRow("Comma as 0") << "Option1"
                                << "0"
                                << "Option1"
                                << "unchecked";
}

void tst_StartUp::storedValuesAreRestored()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, control);
    QFETCH(QString, shown);

    WindowFixture fixture;
    fixture.store(key, value);
    Form1& form = fixture.open();

    QCOMPARE(fixture.dialogs.calls.size(), 0);
    QWidget* widget = form.findChild<QWidget*>(control);
    QVERIFY(widget);
    if (auto* box = qobject_cast<QLineEdit*>(widget)) {
        QCOMPARE(box->text(), shown);
    } else if (auto* option = qobject_cast<QRadioButton*>(widget)) {
        QCOMPARE(option->isChecked() ? QStringLiteral("checked") : QStringLiteral("unchecked"), shown);
    } else {
        QCOMPARE(widget->palette().color(QPalette::Window).name(), shown);
        QCOMPARE(swatchColor(widget), value.toLongLong());
    }
    const bool rewritten = qobject_cast<QRadioButton*>(widget) && shown == QStringLiteral("checked");
    QCOMPARE(fixture.stored(key), rewritten ? QStringLiteral("True") : value);
}

void tst_StartUp::outputFolderOfOriginalFileDisablesTheFolderFrame()
{
    WindowFixture fixture;
    fixture.store(QStringLiteral("Option6"), QStringLiteral("False"));
    fixture.store(QStringLiteral("Option7"), QStringLiteral("True"));
    fixture.store(QStringLiteral("Output Folder"), QStringLiteral("/kept/"));
    Form1& form = fixture.open();

    QVERIFY(!form.Option6->isChecked());
    QVERIFY(form.Option7->isChecked());
    QVERIFY(!form.Frame4->isEnabled());
    QVERIFY(!form.Text3->isEnabled());
    QVERIFY(!form.PushButton4->isEnabled());
    QCOMPARE(form.Text3->text(), QStringLiteral("/kept/"));
    QCOMPARE(form.outputMode(), OutputMode::SourceFolder);
    QCOMPARE(fixture.stored(QStringLiteral("Option6")), QStringLiteral("False"));
    QCOMPARE(fixture.stored(QStringLiteral("Option7")), QStringLiteral("True"));
}

void tst_StartUp::badStoredValueReportsItsLineAndTheRestIsRestored_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("description");

    QTest::newRow("Text Color") << "Text Color"
                                << "abc" << 146 << R"(Type mismatch: "abc" is not a colour number)";
    QTest::newRow("Background Color") << "Background Color"
                                      << "1.5" << 148 << R"(Type mismatch: "1.5" is not a colour number)";
    QTest::newRow("Option1") << "Option1"
                             << "yes" << 136 << R"(Type mismatch: "yes" is not a yes/no value)";
    QTest::newRow("Option5") << "Option5"
                             << "maybe" << 144 << R"(Type mismatch: "maybe" is not a yes/no value)";
    QTest::newRow("Option6") << "Option6"
                             << "x" << 156 << R"(Type mismatch: "x" is not a yes/no value)";
    QTest::newRow("Option7") << "Option7"
                             << "" << 158 << R"(Type mismatch: "" is not a yes/no value)";
}

void tst_StartUp::badStoredValueReportsItsLineAndTheRestIsRestored()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(int, line);
    QFETCH(QString, description);

    WindowFixture fixture;
    fixture.store(key, value);
    fixture.store(QStringLiteral("Other"), QStringLiteral(";;"));
    fixture.store(QStringLiteral("Border Width"), QStringLiteral("7"));
    fixture.store(QStringLiteral("Background Color"), value == QStringLiteral("1.5") ? value : QStringLiteral("255"));
    fixture.store(QStringLiteral("Output Folder"), QStringLiteral("/out/"));
    Form1& form = fixture.open();

    const QList<DialogCall> reports = fixture.dialogs.callsOf(DialogKind::ErrorReport);
    QCOMPARE(reports.size(), 1);
    QCOMPARE(fixture.dialogs.calls.size(), 1);
    QCOMPARE(reports.first().title, QStringLiteral("Application Error"));
    QCOMPARE(reports.first().icon, QStringLiteral("Warning"));
    QCOMPARE(reports.first().buttons, QStringLiteral("OK"));
    QCOMPARE(reports.first().text, description + QStringLiteral("\r\nin Vantrel2021/08/31.Form1.Form_Load at line ") +
                                       QString::number(line) +
                                       QStringLiteral("\r\rPlease email screenshot of this message to ") +
                                       supportAddress());

    // Everything else is restored.
    QCOMPARE(form.Text1->text(), QStringLiteral(";;"));
    QCOMPARE(form.Text2->text(), QStringLiteral("7"));
    if (key != QStringLiteral("Background Color"))
        QCOMPARE(swatchColor(form.Picture2), qint64(255));
    QCOMPARE(form.Text3->text(), QStringLiteral("/out/"));
    QCOMPARE(form.windowTitle(), QStringLiteral("Ostrand"));
    QCOMPARE(form.ListView1->columnWidth(0), 480);
    // The bad value stays stored as it was; its control keeps the state it had.
    QCOMPARE(fixture.stored(key), value);
}

void tst_StartUp::windowLayout()
{
    WindowFixture fixture;
    Form1& form = fixture.open();
    QCOMPARE(form.size(), QSize(536, 554));
    QCOMPARE(form.ListView1->geometry(), QRect(8, 8, 520, 169));
    QCOMPARE(form.PushButton5->geometry(), QRect(272, 183, 256, 27));
    QCOMPARE(form.Frame5->geometry(), QRect(8, 356, 520, 121));
    QCOMPARE(form.Text3->geometry(), QRect(16, 20, 378, 23));
    QCOMPARE(form.Text3->mapTo(&form, QPoint(0, 0)), QPoint(8 + 32 + 16, 356 + 34 + 20));
    QCOMPARE(form.ProgressBar1->geometry(), QRect(8, 519, 520, 27));
    QCOMPARE(form.ListView1->toolTip(), QStringLiteral("Drag and drop files here. Double-click item to remove "
                                                       "it. Move | line to right and out of window to reveal "
                                                       "full names."));
    QCOMPARE(form.palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(form.Frame2->palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(form.Option3->palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(form.Label2->palette().color(QPalette::Window), QColor(Qt::white));
    QVERIFY(form.styleSheet().isEmpty());
    for (QWidget* widget : {static_cast<QWidget*>(&form), static_cast<QWidget*>(form.ListView1),
                            static_cast<QWidget*>(form.Option7), static_cast<QWidget*>(form.PushButton2)}) {
        QCOMPARE(widget->font().family(), QStringLiteral("Arial"));
        QVERIFY(widget->font().bold());
        QCOMPARE(widget->font().pointSizeF(), widget == form.PushButton2 ? 11.25 : 9.0);
    }
}

void tst_StartUp::optionButtonsTakeClicksOverTheirDesignedRectangle_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("before"); // the option selected before the click, in the same frame
    for (const char* option : {"Option1", "Option2", "Option3", "Option4", "Option5"})
        QTest::newRow(option) << QString::fromLatin1(option)
                              << (qstrcmp(option, "Option1") == 0 ? u"Option2"_qs : u"Option1"_qs);
    QTest::newRow("Option6") << u"Option6"_qs << u"Option7"_qs;
    QTest::newRow("Option7") << u"Option7"_qs << u"Option6"_qs;
}

// A click inside an option button's designed rectangle selects it, right of its caption too.
void tst_StartUp::optionButtonsTakeClicksOverTheirDesignedRectangle()
{
    QFETCH(QString, option);
    QFETCH(QString, before);
    WindowFixture fixture;
    Form1& form = fixture.openShown();
    auto* button = form.findChild<QRadioButton*>(option);
    auto* other = form.findChild<QRadioButton*>(before);
    other->click();
    QVERIFY(!button->isChecked());

    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(button->width() - 2, button->height() / 2));

    QVERIFY(button->isChecked());
}

void tst_StartUp::skinFileGivesTheButtonFaceAndTheStyleSheet()
{
    WindowFixture fixture;
    const QString sheet = QStringLiteral("QPushButton { color: #123456; }");
    fixture.tree().writeFile(QStringLiteral("skinned/x/o.cjs"), sheet.toUtf8());
    Form1& form = fixture.open(fixture.tree().path(QStringLiteral("skinned")));

    QCOMPARE(fixture.dialogs.calls.size(), 0);
    QCOMPARE(form.styleSheet(), sheet);
    const QColor buttonFace = QApplication::palette().color(QPalette::Button);
    QCOMPARE(form.palette().color(QPalette::Window), buttonFace);
    QCOMPARE(form.Frame5->palette().color(QPalette::Window), buttonFace);
    QCOMPARE(form.Option7->palette().color(QPalette::Window), buttonFace);
    QCOMPARE(form.Label3->palette().color(QPalette::Window), buttonFace);
    // The swatches are no labels: they keep their colours.
    QCOMPARE(form.Picture2->palette().color(QPalette::Window), QColor(Qt::white));
}

void tst_StartUp::handPointerImageBesideTheProgram()
{
    WindowFixture fixture;
    const QByteArray cursorFile =
        TempTree::readFile(qEnvironmentVariable("OSTRAND_SOURCE_DIR") + QStringLiteral("/resources/beside/HAND-M.CUR"));
    QVERIFY(!cursorFile.isEmpty());
    fixture.tree().writeFile(QStringLiteral("withhand/HAND-M.CUR"), cursorFile);
    Form1& form = fixture.open(fixture.tree().path(QStringLiteral("withhand")));

    QCOMPARE(fixture.dialogs.calls.size(), 0);
    const QCursor hand = form.pointer().handCursor();
    QCOMPARE(hand.shape(), Qt::BitmapCursor);
    QCOMPARE(hand.pixmap().size(), QSize(32, 32));
    QCOMPARE(hand.hotSpot(), QPoint(5, 0));
}

void tst_StartUp::unreadableHandPointerIsReportedAndThePlatformHandStays()
{
    WindowFixture fixture;
    fixture.tree().writeFile(QStringLiteral("badhand/HAND-M.CUR"), QByteArray("not a cursor"));
    Form1& form = fixture.open(fixture.tree().path(QStringLiteral("badhand")));

    const QStringList reports = fixture.dialogs.textsOf(DialogKind::ErrorReport);
    QCOMPARE(reports.size(), 1);
    QCOMPARE(reports.first(), QStringLiteral("Invalid picture: ") + fixture.tree().path(QStringLiteral("badhand")) +
                                  QStringLiteral("/HAND-M.CUR is not a cursor file\r\n"
                                                 "in Vantrel2021/08/31.Form1.Form_Load at line 106\r\r"
                                                 "Please email screenshot of this message to ") +
                                  supportAddress());
    QCOMPARE(form.pointer().handCursor().shape(), Qt::PointingHandCursor);
    QVERIFY(form.Option1->isChecked());
}

void tst_StartUp::applicationTitleCutsByWords_data()
{
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("title");

    QTest::newRow("ours") << productName() << "Ostrand Table Converter";
    QTest::newRow("short name still loses a word") << "Ostrand Converter"
                                                   << "Ostrand";
    QTest::newRow("no blank stays whole") << "Ostrand"
                                          << "Ostrand";
    QTest::newRow("trailing blank") << "Ostrand "
                                    << "Ostrand";
    QTest::newRow("cut while longer than 40") << "Ostrand CSV to HTML Table Converter Deluxe Edition 2021"
                                              << "Ostrand CSV to HTML Table Converter";
    QTest::newRow("exactly 40 after one cut") << "Ostrand CSV to HTML Table Converter Plus 7"
                                              << "Ostrand CSV to HTML Table Converter Plus";
}

void tst_StartUp::applicationTitleCutsByWords()
{
    QFETCH(QString, product);
    QFETCH(QString, title);
    QCOMPARE(ApplicationTitle(product), title);
}

void tst_StartUp::settingsFolderNamedByBytesThatAreNotUtf8_data()
{
    QTest::addColumn<QByteArray>("variable"); // set to a name that is not valid UTF-8
    QTest::addColumn<QString>("file");        // the settings file, below that name; "" when the settings are elsewhere
    QTest::addColumn<QString>("message");     // %1 the name as the message shows it, %2 the settings file
    QTest::addColumn<bool>("defaultFolder");  // the output folder box has its default, the desktop folder

    const QString settings = QStringLiteral("Your choices cannot be saved: the settings file $'%1%2' cannot be written "
                                            "(The name of its folder, from $XDG_CONFIG_HOME, is not valid UTF-8)."
                                            "\r\n\r\nOstrand works as usual, but the choices you make now will not be "
                                            "there at the next start.");
    const QString home = QStringLiteral("The name of your home folder, $'%1', is not valid UTF-8, so Ostrand cannot "
                                        "reach the folders in it by their names:\r\n\r\n%3- Documents have no folder "
                                        "to go to until you choose one with the \"...\" button beside the output "
                                        "folder.\r\n\r\nEverything else works as usual.");
    QTest::newRow("XDG_CONFIG_HOME") << QByteArray("XDG_CONFIG_HOME") << QStringLiteral("/Kelvadine.conf") << settings
                                     << true;
    // The home folder's message tells all its name prevents, the settings among them: one message, not two.
    QTest::newRow("HOME without XDG_CONFIG_HOME")
        << QByteArray("HOME") << QStringLiteral("/.config/Kelvadine.conf")
        << QString(home).replace(QStringLiteral("%3"), QStringLiteral("- Your choices cannot be saved: they will not "
                                                                      "be there at the next start.\r\n"))
        << false;
    QTest::newRow("HOME, the settings elsewhere")
        << QByteArray("HOME") << QString() << QString(home).replace(QStringLiteral("%3"), QString()) << false;
}

// A folder whose name is not valid UTF-8 cannot be reached by the name the program reads: the window says once what
// that prevents (the choices are not saved; with the home folder, the documents have no default folder), writes
// nothing under that other name, and does not offer that name as a folder.
void tst_StartUp::settingsFolderNamedByBytesThatAreNotUtf8()
{
    QFETCH(QByteArray, variable);
    QFETCH(QString, file);
    QFETCH(QString, message);
    QFETCH(bool, defaultFolder);
#ifdef Q_OS_WIN
    Q_UNUSED(defaultFolder);
    QSKIP("Windows names are UTF-16: no folder is named by bytes that are not UTF-8");
#else
    TempTree tree;
    const QByteArray folder = QFile::encodeName(tree.root()) + "/s\xFF";
    QCOMPARE(::mkdir(folder.constData(), 0700), 0);
    const QByteArray home = qgetenv("HOME");
    const QByteArray config = qgetenv("XDG_CONFIG_HOME");
    const auto restore = qScopeGuard([&] {
        qputenv("HOME", home);
        qputenv("XDG_CONFIG_HOME", config);
    });
    if (!file.isEmpty())
        qunsetenv("XDG_CONFIG_HOME");
    qputenv(variable.constData(), folder);
    {
        // The name the user's settings get from the variable (the system's path lookup is made once a process).
        QSettings settings(file.isEmpty() ? tree.path(QStringLiteral("config/Kelvadine.conf"))
                                          : QFile::decodeName(folder) + file,
                           QSettings::IniFormat);
        ScriptedDialogs dialogs;
        Form1 form(settings, dialogs, tree.makeFolder(QStringLiteral("program")));
        QCoreApplication::processEvents(); // the start-up's message is shown once the window runs
        form.Option3->click();
        form.Text2->setText(QStringLiteral("7"));

        QCOMPARE(dialogs.textsOf(DialogKind::Message),
                 QStringList{message.arg(tree.root() + QStringLiteral("/s\\xFF"), file)});
        QCOMPARE(dialogs.callsOf(DialogKind::ErrorReport).size(), 0);
        QCOMPARE(form.Text3->text().isEmpty(), !defaultFolder);
    }
    QVERIFY(!QFileInfo::exists(tree.root() + QStringLiteral("/s\uFFFD")));
    QCOMPARE(::rmdir(folder.constData()), 0); // nothing was written into the folder itself either
#endif
}

QTEST_MAIN(tst_StartUp)
#include "tst_StartUp.moc"
