// SPDX-License-Identifier: MIT
#include <QtTest>

#include <QDir>
#include <sys/stat.h>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "app/CaptionProgressBar.h"
#include "app/PointerScheme.h"
#include "core/app/ErrorReport.h"
#include "filelist/FileListView.h"
#include "support/gui/WindowFixture.h"

using namespace ostrand;
using namespace ostrand::test;

namespace {

// What the bar showed each time its caption was set, and the pointer at that moment.
struct BarSnapshot
{
    int value;
    QString caption;
    MousePointer pointer;
    bool operator==(const BarSnapshot&) const = default;
};

QByteArray document(const QByteArray& rows, const QByteArray& border = "1")
{
    return "<html><title></title><body><table width='100%' style='color:#000000' border='" + border +
           "' bgcolor='#FFFFFF'><tbody>\r\n" + rows + "</body></html>\r\n";
}

} // namespace

namespace QTest {
template <> char* toString(const BarSnapshot& snapshot)
{
    return QTest::toString(QStringLiteral("(%1, \"%2\", %3)")
                               .arg(snapshot.value)
                               .arg(snapshot.caption)
                               .arg(static_cast<int>(snapshot.pointer)));
}
} // namespace QTest

class tst_ConversionRun : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void twoFilesWithProgressAndDone();
    void secondClickDuringARunDoesNothing();
    void emptyListIsRefusedWithoutTouchingPointerOrBar();
    void missingOutputFolderIsRefused_data();
    void missingOutputFolderIsRefused();
    void sourceFolderModeIgnoresTheFolderText();
    void neitherOutputOptionIsNamedAsTheCause_data();
    void neitherOutputOptionIsNamedAsTheCause();
    void otherDelimiter_data();
    void otherDelimiter();
    void optionsAreReadAtTheMomentOfUse();
    void failureInOneFileIsReportedAndTheRunGoesOn();
    void closingDuringARunStopsAtOnceAndWritesNothingMore();
    void addAllDuringARunLeavesTheListLocked();
    void manyFailuresEndWithAFewBoxes_data();
    void manyFailuresEndWithAFewBoxes();
    void closingWhileAReportIsOpenEndsTheRun();

private:
    void recordBar(Form1& form);

    std::unique_ptr<WindowFixture> m_fixture;
    QList<BarSnapshot> m_bar;
    QList<MousePointer> m_pointers;
    QString m_in;
    QString m_out;
};

void tst_ConversionRun::init()
{
    m_fixture = std::make_unique<WindowFixture>();
    m_bar.clear();
    m_pointers.clear();
    m_in = m_fixture->tree().makeFolder(QStringLiteral("in"));
    m_out = m_fixture->tree().makeFolder(QStringLiteral("out"));
    m_fixture->store(QStringLiteral("Output Folder"), m_out + native(u"/"_qs));
}

void tst_ConversionRun::cleanup()
{
    m_fixture.reset();
}

void tst_ConversionRun::recordBar(Form1& form)
{
    connect(form.ProgressBar1, &CaptionProgressBar::captionChanged, this, [this, &form](const QString& caption) {
        m_bar.append({form.ProgressBar1->value(), caption, form.pointer().pointer()});
    });
    connect(&form.pointer(), &PointerScheme::pointerChanged, this,
            [this](MousePointer pointer) { m_pointers.append(pointer); });
}

void tst_ConversionRun::twoFilesWithProgressAndDone()
{
    Form1& form = m_fixture->openShown();
    const QString a = m_fixture->tree().writeFile(QStringLiteral("in/a.csv"), "a,b\r\nc,d\r\n");
    const QString b = m_fixture->tree().writeFile(QStringLiteral("in/b.csv"), "x,y\n\nz\n");
    form.ListView1->AppendEntry(a);
    form.ListView1->AppendEntry(b);
    recordBar(form);

    QTest::mouseClick(form.PushButton2, Qt::LeftButton);

    const QList<BarSnapshot> expected{{50, QStringLiteral("Processing: a.csv"), MousePointer::Busy},
                                      {100, QStringLiteral("Processing: b.csv"), MousePointer::Busy},
                                      {0, QStringLiteral("Progress Bar"), MousePointer::Default}};
    QCOMPARE(m_bar, expected);
    QCOMPARE(m_pointers, (QList<MousePointer>{MousePointer::Busy, MousePointer::Default}));
    QCOMPARE(m_fixture->dialogs.calls.size(), 1);
    QCOMPARE(m_fixture->dialogs.calls.first().kind, DialogKind::Message);
    QCOMPARE(m_fixture->dialogs.calls.first().text, QStringLiteral("Done."));
    QCOMPARE(m_fixture->dialogs.calls.first().title, QStringLiteral("Ostrand Table Converter"));
    QCOMPARE(form.ProgressBar1->value(), 0);
    QCOMPARE(form.ProgressBar1->text(), QStringLiteral("Progress Bar"));
    QVERIFY(!form.isConverting());

    QCOMPARE(TempTree::readFile(m_out + QStringLiteral("/a.htm")),
             document("<tr>\r\n<td>a</td><td>b</td></tr>\r\n<tr>\r\n<td>c</td><td>d</td></tr>\r\n"));
    QCOMPARE(TempTree::readFile(m_out + QStringLiteral("/b.htm")),
             document("<tr>\r\n<td>x</td><td>y</td></tr>\r\n<tr>\r\n<td>z</td></tr>\r\n"));
    QCOMPARE(QDir(m_out).entryList(QDir::Files), (QStringList{QStringLiteral("a.htm"), QStringLiteral("b.htm")}));
}

void tst_ConversionRun::secondClickDuringARunDoesNothing()
{
    Form1& form = m_fixture->openShown();
    form.ListView1->AppendEntry(m_fixture->tree().writeFile(QStringLiteral("in/a.csv"), "1,2\n"));
    form.ListView1->AppendEntry(m_fixture->tree().writeFile(QStringLiteral("in/b.csv"), "3,4\n"));
    recordBar(form);

    // Runs at the run's first yield, while the button is still clickable.
    bool clickedWhileConverting = false;
    QTimer::singleShot(0, &form, [&] {
        clickedWhileConverting = form.isConverting();
        QTest::mouseClick(form.PushButton2, Qt::LeftButton);
    });
    QTest::mouseClick(form.PushButton2, Qt::LeftButton);

    QVERIFY(clickedWhileConverting);
    QCOMPARE(m_fixture->dialogs.textsOf(DialogKind::Message), QStringList{QStringLiteral("Done.")});
    QCOMPARE(m_fixture->dialogs.calls.size(), 1);
    QCOMPARE(m_bar.size(), 3);
    QCOMPARE(m_pointers, (QList<MousePointer>{MousePointer::Busy, MousePointer::Default}));
}

void tst_ConversionRun::emptyListIsRefusedWithoutTouchingPointerOrBar()
{
    // The folder is not even examined: a missing one would bring its own message.
    m_fixture->store(QStringLiteral("Output Folder"), QStringLiteral("/no/such/folder/"));
    Form1& form = m_fixture->openShown();
    recordBar(form);
    QSignalSpy values(form.ProgressBar1, &QProgressBar::valueChanged);

    QTest::mouseClick(form.PushButton2, Qt::LeftButton);

    QCOMPARE(m_fixture->dialogs.textsOf(DialogKind::Message),
             QStringList{QStringLiteral("You forgot to add CSV files.")});
    QCOMPARE(m_fixture->dialogs.calls.size(), 1);
    QCOMPARE(m_fixture->dialogs.calls.first().title, QStringLiteral("Ostrand Table Converter"));
    QCOMPARE(m_bar.size(), 0);
    QCOMPARE(values.size(), 0);
    QCOMPARE(m_pointers.size(), 0);
    QCOMPARE(form.ProgressBar1->text(), QStringLiteral("Progress Bar"));
    QVERIFY(!form.isConverting());
}

void tst_ConversionRun::missingOutputFolderIsRefused_data()
{
    QTest::addColumn<QString>("folder");

    QTest::newRow("empty") << "";
    QTest::newRow("missing") << "/no/such/folder/";
    QTest::newRow("a file") << "FILE";
}

void tst_ConversionRun::missingOutputFolderIsRefused()
{
    QFETCH(QString, folder);

    const QString source = m_fixture->tree().writeFile(QStringLiteral("in/a.csv"), "1,2\n");
    m_fixture->store(QStringLiteral("Output Folder"), folder == QStringLiteral("FILE") ? source : folder);
    Form1& form = m_fixture->openShown();
    form.ListView1->AppendEntry(source);
    recordBar(form);
    QSignalSpy values(form.ProgressBar1, &QProgressBar::valueChanged);

    QTest::mouseClick(form.PushButton2, Qt::LeftButton);

    QCOMPARE(m_fixture->dialogs.textsOf(DialogKind::Message),
             QStringList{QStringLiteral("Folder does not exist. Please select another folder.")});
    QCOMPARE(m_fixture->dialogs.calls.size(), 1);
    QCOMPARE(m_bar.size(), 0);
    QCOMPARE(values.size(), 0);
    QCOMPARE(m_pointers.size(), 0);
    QVERIFY(!QFile::exists(m_in + QStringLiteral("/a.htm")));
    QVERIFY(!form.isConverting());
    // The folder is never created.
    if (folder.startsWith(QLatin1Char('/')))
        QVERIFY(!QFileInfo::exists(folder));
}

void tst_ConversionRun::sourceFolderModeIgnoresTheFolderText()
{
    m_fixture->store(QStringLiteral("Output Folder"), QStringLiteral("/no/such/folder/"));
    Form1& form = m_fixture->openShown();
    form.Option7->click();
    form.ListView1->AppendEntry(m_fixture->tree().writeFile(QStringLiteral("in/sales.csv"), "q;r\n"));
    form.Option3->click();

    QTest::mouseClick(form.PushButton2, Qt::LeftButton);

    QCOMPARE(m_fixture->dialogs.textsOf(DialogKind::Message), QStringList{QStringLiteral("Done.")});
    QCOMPARE(TempTree::readFile(m_in + QStringLiteral("/sales.htm")),
             document("<tr>\r\n<td>q</td><td>r</td></tr>\r\n"));
}

void tst_ConversionRun::otherDelimiter_data()
{
    QTest::addColumn<QString>("other");
    QTest::addColumn<QByteArray>("rows");

    QTest::newRow("two colons") << "::" << QByteArray("<tr>\r\n<td>a</td><td>b:c</td><td></td></tr>\r\n");
    QTest::newRow("empty: one cell per line") << "" << QByteArray("<tr>\r\n<td>a::b:c::</td></tr>\r\n");
}

void tst_ConversionRun::otherDelimiter()
{
    QFETCH(QString, other);
    QFETCH(QByteArray, rows);

    Form1& form = m_fixture->openShown();
    form.Option5->click();
    form.Text1->setText(other);
    form.ListView1->AppendEntry(m_fixture->tree().writeFile(QStringLiteral("in/o.csv"), "a::b:c::\n"));

    form.PushButton2->click();

    QCOMPARE(TempTree::readFile(m_out + QStringLiteral("/o.htm")), document(rows));
}

void tst_ConversionRun::optionsAreReadAtTheMomentOfUse()
{
    Form1& form = m_fixture->openShown();
    form.ListView1->AppendEntry(m_fixture->tree().writeFile(QStringLiteral("in/a.csv"), "1;2\n"));
    form.ListView1->AppendEntry(m_fixture->tree().writeFile(QStringLiteral("in/b.csv"), "3;4\n"));
    // Between the two files the user picks Semicolon and types a border width of 5.
    connect(form.ProgressBar1, &CaptionProgressBar::captionChanged, this, [&](const QString& caption) {
        if (caption == QStringLiteral("Processing: b.csv")) {
            form.Option3->click();
            form.Text2->setText(QStringLiteral("5"));
        }
    });

    form.PushButton2->click();

    QCOMPARE(TempTree::readFile(m_out + QStringLiteral("/a.htm")), document("<tr>\r\n<td>1;2</td></tr>\r\n"));
    QCOMPARE(TempTree::readFile(m_out + QStringLiteral("/b.htm")),
             document("<tr>\r\n<td>3</td><td>4</td></tr>\r\n", "5"));
}

void tst_ConversionRun::failureInOneFileIsReportedAndTheRunGoesOn()
{
    Form1& form = m_fixture->openShown();
    // b's document cannot be written: a folder holds its name.
    m_fixture->tree().makeFolder(QStringLiteral("out/b.htm"));
    for (const char* name : {"a", "b", "c"}) {
        const QString file = QStringLiteral("in/%1.csv").arg(QLatin1String(name));
        form.ListView1->AppendEntry(m_fixture->tree().writeFile(file, "1\n"));
    }

    form.PushButton2->click();

    const QList<DialogCall> reports = m_fixture->dialogs.callsOf(DialogKind::ErrorReport);
    QCOMPARE(reports.size(), 1);
    QCOMPARE(reports.first().title, QStringLiteral("Application Error"));
    QCOMPARE(reports.first().icon, QStringLiteral("Warning"));
    QCOMPARE(reports.first().text,
             QStringLiteral("Cannot write ") + m_out + native(u"/b.htm"_qs) +
                 QStringLiteral(": Filename refers to a directory\r\n"
                                "in Vantrel2021/08/31.modCSV.ConvertVantrel at line 168\r\r"
                                "Please email screenshot of this message to ") +
                 supportAddress());
    QCOMPARE(m_fixture->dialogs.textsOf(DialogKind::Message), QStringList{QStringLiteral("Done.")});
    QCOMPARE(m_fixture->dialogs.calls.last().kind, DialogKind::Message);
    QVERIFY(QFile::exists(m_out + QStringLiteral("/a.htm")));
    QVERIFY(QFile::exists(m_out + QStringLiteral("/c.htm")));
}

void tst_ConversionRun::closingDuringARunStopsAtOnceAndWritesNothingMore()
{
    Form1& form = m_fixture->openShown();
    // Enough files that the run lasts many frames: the close is seen at the next frame, not at the next file.
    constexpr int kFiles = 1000;
    QStringList sources;
    for (int i = 0; i < kFiles; ++i)
        sources.append(m_fixture->tree().writeFile(QStringLiteral("in/f%1.csv").arg(i, 4, 10, QLatin1Char('0')),
                                                   "1,2\n3,4\n"));
    form.ListView1->AppendEntries(sources);
    connect(form.ProgressBar1, &CaptionProgressBar::captionChanged, this, [&](const QString& caption) {
        if (caption == QStringLiteral("Processing: f0001.csv"))
            QTimer::singleShot(0, &form, [&] { form.close(); });
    });

    form.PushButton2->click();

    QVERIFY(form.isClosing());
    QVERIFY(!form.isVisible());
    QVERIFY(!form.isConverting());
    // The documents written before the close stay, in list order, each complete; nothing else is left behind.
    const QStringList written = QDir(m_out).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    QVERIFY2(!written.isEmpty() && written.size() < kFiles, qPrintable(QString::number(written.size())));
    for (int i = 0; i < written.size(); ++i) {
        QCOMPARE(written.at(i), QStringLiteral("f%1.htm").arg(i, 4, 10, QLatin1Char('0')));
        QCOMPARE(TempTree::readFile(m_out + QLatin1Char('/') + written.at(i)),
                 document("<tr>\r\n<td>1</td><td>2</td></tr>\r\n<tr>\r\n<td>3</td><td>4</td></tr>\r\n"));
    }
    QCOMPARE(m_fixture->dialogs.calls.size(), 0);
}

void tst_ConversionRun::addAllDuringARunLeavesTheListLocked()
{
    Form1& form = m_fixture->openShown();
    QStringList listed;
    for (const char* name : {"a", "b", "c"}) {
        const QString file = QStringLiteral("in/%1.csv").arg(QLatin1String(name));
        listed.append(m_fixture->tree().writeFile(file, "1\n"));
    }
    form.ListView1->AppendEntries(listed);
    listed.append(m_fixture->tree().writeFile(QStringLiteral("more/x.csv"), "2\n"));
    m_fixture->dialogs.queueInput(QStringLiteral("csv"));
    m_fixture->dialogs.queueFolder(m_fixture->tree().path(QStringLiteral("more")));

    // At the run's first yield the user adds a folder with "Add All"; once it is done, the list is still
    // the run's: the Delete key and "Clear List" do nothing.
    MousePointer afterAddAll = MousePointer::Default;
    QTimer::singleShot(0, &form, [&] {
        form.PushButton5->click();
        afterAddAll = form.pointer().pointer();
        form.ListView1->selectEntry(1);
        QTest::keyClick(form.ListView1, Qt::Key_Delete);
        form.PushButton7->click();
    });
    form.PushButton2->click();

    QCOMPARE(afterAddAll, MousePointer::Busy);
    QCOMPARE(form.ListView1->entries(), listed);
    QCOMPARE(m_fixture->dialogs.callsOf(DialogKind::ErrorReport).size(), 0);
    QCOMPARE(m_fixture->dialogs.textsOf(DialogKind::Message), QStringList{QStringLiteral("Done.")});
    QCOMPARE(QDir(m_out).entryList(QDir::Files),
             (QStringList{QStringLiteral("a.htm"), QStringLiteral("b.htm"), QStringLiteral("c.htm")}));
    QCOMPARE(form.pointer().pointer(), MousePointer::Default);
}

void tst_ConversionRun::neitherOutputOptionIsNamedAsTheCause_data()
{
    QTest::addColumn<QString>("option6");
    QTest::addColumn<QString>("option7");
    QTest::addColumn<QString>("failure"); // "" when the document is written

    QTest::newRow("neither selected") << u"False"_qs << u"False"_qs
                                      << u"No output option is selected: choose \"Save results to this folder:\" or "
                                         "\"Save results in folder of original file\""_qs;
    QTest::newRow("this folder") << u"True"_qs << u"False"_qs << QString();
    QTest::newRow("folder of the original") << u"False"_qs << u"True"_qs << QString();
}

void tst_ConversionRun::neitherOutputOptionIsNamedAsTheCause()
{
    QFETCH(QString, option6);
    QFETCH(QString, option7);
    QFETCH(QString, failure);

    // The output folder box holds a folder that exists, so the run starts.
    m_fixture->store(QStringLiteral("Option6"), option6);
    m_fixture->store(QStringLiteral("Option7"), option7);
    Form1& form = m_fixture->open();
    form.ListView1->AppendEntry(m_fixture->tree().writeFile(QStringLiteral("in/a.csv"), "1\n"));
    form.PushButton2->click();

    const QStringList reports = m_fixture->dialogs.textsOf(DialogKind::ErrorReport);
    if (failure.isEmpty()) {
        QCOMPARE(reports, QStringList());
        QVERIFY(QFile::exists((option6 == u"True" ? m_out : m_in) + QStringLiteral("/a.htm")));
    } else {
        QCOMPARE(reports.size(), 1);
        QCOMPARE(reports.first(), failure +
                                      QStringLiteral("\r\nin Vantrel2021/08/31.modCSV.ConvertVantrel at line 168"
                                                     "\r\rPlease email screenshot of this message to ") +
                                      supportAddress());
        QCOMPARE(QDir(m_out).entryList(QDir::Files), QStringList());
        QCOMPARE(QDir(m_in).entryList(QDir::Files), QStringList{QStringLiteral("a.csv")});
    }
    QCOMPARE(m_fixture->dialogs.textsOf(DialogKind::Message), QStringList{QStringLiteral("Done.")});
}

void tst_ConversionRun::manyFailuresEndWithAFewBoxes_data()
{
    QTest::addColumn<bool>("oneName"); // a tree of 200 folders each holding a.csv, added with "Add All"
    QTest::addColumn<int>("reports");
    QTest::addColumn<QString>("closing");
    QTest::addColumn<QStringList>("documents");

    QTest::newRow("200 files of one name into one folder")
        << true << 0
        << u"These failures were not shown one by one:\r\n\r\n199 files were not converted because an earlier file of "
           "the list wrote the same document"_qs
        << QStringList{u"a.htm"_qs};
    QTest::newRow("2,000 files that cannot be read")
        << false << 3 << u"These failures were not shown one by one:\r\n\r\nCannot read "_qs << QStringList{};
}

// A run whose every file fails the same way shows a handful of boxes at most, and the run still ends with "Done.".
void tst_ConversionRun::manyFailuresEndWithAFewBoxes()
{
    QFETCH(bool, oneName);
    QFETCH(int, reports);
    QFETCH(QString, closing);
    QFETCH(QStringList, documents);

    Form1& form = m_fixture->openShown();
    if (oneName) {
        for (int i = 0; i < 200; ++i)
            m_fixture->tree().writeFile(QStringLiteral("in/d%1/a.csv").arg(i, 3, 10, QLatin1Char('0')), "1\n");
        m_fixture->dialogs.queueInput(QStringLiteral("csv"));
        m_fixture->dialogs.queueFolder(m_in);
        form.PushButton5->click();
        QCOMPARE(form.ListView1->entryCount(), 200);
    } else {
#ifdef Q_OS_WIN
        QSKIP("Windows has no named pipes that lie in a folder as files do (mkfifo)");
#else
        // Named pipes: listed, but no file to read.
        QStringList sources;
        for (int i = 0; i < 2000; ++i) {
            sources.append(m_in + QStringLiteral("/p%1.csv").arg(i, 4, 10, QLatin1Char('0')));
            QCOMPARE(::mkfifo(QFile::encodeName(sources.last()).constData(), 0600), 0);
        }
        form.ListView1->AppendEntries(sources);
#endif
    }
    m_fixture->dialogs.clear();

    form.PushButton2->click();

    // The reports shown one by one, the summary, then "Done.".
    const QStringList shown = m_fixture->dialogs.textsOf(DialogKind::ErrorReport);
    QCOMPARE(shown.size(), reports + 1);
    QVERIFY2(shown.last().startsWith(closing), qPrintable(shown.last()));
    QVERIFY2(shown.last().endsWith(u"\r\rPlease email screenshot of this message to "_qs + supportAddress()),
             qPrintable(shown.last()));
    QCOMPARE(m_fixture->dialogs.textsOf(DialogKind::Message), QStringList{QStringLiteral("Done.")});
    QCOMPARE(m_fixture->dialogs.calls.last().kind, DialogKind::Message);
    QCOMPARE(QDir(m_out).entryList(QDir::Files | QDir::Hidden), documents);
}

// Closing the window while a report of the run is open ends the run once the box is gone: no further box, no
// further document, no "Done.".
void tst_ConversionRun::closingWhileAReportIsOpenEndsTheRun()
{
    Form1& form = m_fixture->openShown();
    for (const char* name : {"a", "b", "c", "d"}) {
        const QString file = QStringLiteral("in/%1.csv").arg(QLatin1String(name));
        form.ListView1->AppendEntry(m_fixture->tree().writeFile(file, "1\n"));
    }
    m_fixture->tree().makeFolder(QStringLiteral("out/b.htm"));
    m_fixture->dialogs.onCall = [&](const DialogCall& call) {
        if (call.kind == DialogKind::ErrorReport)
            form.close();
    };

    form.PushButton2->click();

    QVERIFY(!form.isVisible());
    QVERIFY(!form.isConverting());
    QCOMPARE(m_fixture->dialogs.calls.size(), 1);
    QCOMPARE(m_fixture->dialogs.calls.first().kind, DialogKind::ErrorReport);
    QCOMPARE(QDir(m_out).entryList(QDir::Files), QStringList{QStringLiteral("a.htm")});
}

QTEST_MAIN(tst_ConversionRun)
#include "tst_ConversionRun.moc"
