// SPDX-License-Identifier: MIT
#include <QtTest>

#include <QPushButton>

#include "app/PointerScheme.h"
#include "core/common/ProgramFolder.h"
#include "filelist/FileListView.h"
#include "support/core/UnixOnly.h"
#include "support/gui/WindowFixture.h"

using namespace ostrand;
using namespace ostrand::test;

namespace {

// Every file under a folder, relative to it, sorted.
QStringList filesUnder(const QString& root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next().mid(root.size() + 1));
    files.sort();
    return files;
}

} // namespace

// The build installed under a temporary prefix, as `cmake --install` lays it out, and the window started from
// there.
class tst_InstalledProgram : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void layout_data();
    void layout();
    void windowFindsItsCompanionFiles();
    void installedProgramRuns();

private:
    TempTree m_tree;
    QString m_prefix;
};

void tst_InstalledProgram::initTestCase()
{
    OSTRAND_UNIX_ONLY("the installed layout under bin/ and share/ (the Windows build's is checked by installing its "
                      "package)");
    m_prefix = m_tree.path(u"prefix"_qs);
    QProcess install;
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(qEnvironmentVariable("OSTRAND_CMAKE"),
                  {u"--install"_qs, qEnvironmentVariable("OSTRAND_BUILD_DIR"), u"--prefix"_qs, m_prefix});
    QVERIFY(install.waitForFinished(120000));
    QVERIFY2(install.exitCode() == 0, install.readAll().constData());
}

void tst_InstalledProgram::layout_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QStringList>("files");

    QTest::newRow("bin: the two programs only") << u"bin"_qs << QStringList{u"ostrand"_qs, u"ostrand-convert"_qs};
    QTest::newRow("share/ostrand: the companion files") << u"share/ostrand"_qs
                                                        << QStringList{u"HAND-M.CUR"_qs,
                                                                       u"Samples/Comma - greetings (UTF-16).csv"_qs,
                                                                       u"Samples/Comma - prices.csv"_qs,
                                                                       u"Samples/Comma - quotes are kept.csv"_qs,
                                                                       u"Samples/Other (pipe) - orders.csv"_qs,
                                                                       u"Samples/Semicolon - cities.csv"_qs,
                                                                       u"Samples/Tab - schedule.csv"_qs,
                                                                       u"drag.ico"_qs};
}

void tst_InstalledProgram::layout()
{
    QFETCH(QString, folder);
    QFETCH(QStringList, files);

    QCOMPARE(filesUnder(m_prefix + u"/"_qs + folder), files);
}

void tst_InstalledProgram::windowFindsItsCompanionFiles()
{
    const QString program = LocateProgramFolder(m_prefix + u"/bin"_qs);
    QCOMPARE(program, m_prefix + u"/share/ostrand"_qs);

    WindowFixture fixture;
    Form1& form = fixture.open(program);
    fixture.dialogs.queueAnswer(false);
    form.PushButton3->click();

    QCOMPARE(fixture.dialogs.callsOf(DialogKind::ErrorReport).size(), 0);
    QCOMPARE(form.pointer().handCursor().shape(), Qt::BitmapCursor);
    QCOMPARE(form.ListView1->entryCount(), qsizetype(6));
    for (const QString& path : form.ListView1->entries())
        QVERIFY2(QFileInfo(path).isFile() && QFileInfo(path).size() > 0, qPrintable(path));
}

void tst_InstalledProgram::installedProgramRuns()
{
    // The installed window starts offscreen with a file to add, and stays up until it is stopped.
    TempTree home;
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"QT_QPA_PLATFORM"_qs, u"offscreen"_qs);
    env.insert(u"HOME"_qs, home.root());
    env.insert(u"XDG_CONFIG_HOME"_qs, home.root());
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(m_prefix + u"/bin/ostrand"_qs, {home.writeFile(u"a.csv"_qs, "a,b\n")});
    QVERIFY(process.waitForStarted());
    QVERIFY2(!process.waitForFinished(1500), process.readAll().constData());
    process.terminate();
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.readAll(), QByteArray());
}

QTEST_MAIN(tst_InstalledProgram)
#include "tst_InstalledProgram.moc"
