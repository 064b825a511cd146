// SPDX-License-Identifier: MIT
// How live the window stays while it converts: builds the main window (offscreen unless QT_QPA_PLATFORM names
// another platform, such as xcb on a real X server) over a temporary settings file, lists the CSV files, runs
// "Start Converting" and measures the longest gap between two turns of the event loop during the run, and the
// run's wall time from the click to the closing "Done.".
//
// Usage: bench_gui_responsiveness <csv file or folder>... <output folder>
// A folder stands for its files, in name order (many thousands of paths need no command line).
// Prints: max_gap_ms=<ms> run_s=<s> turns=<n> gap_progress=<bar value before>..<after>
// (the bar values around the longest gap tell which part of the run held the event loop).
#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include "app/CaptionProgressBar.h"
#include "app/Dialogs.h"
#include "app/Form1.h"
#include "filelist/FileListView.h"

namespace {

// Answers every dialog at once: messages are counted, error reports printed.
class AutoDialogs : public ostrand::Dialogs
{
public:
    QStringList openFileNames(const QString&, const QString&) override { return {}; }
    qint64 pickColor(qint64 initialColor) override { return initialColor; }
    QString browseForFolder(const QString&, const QString&) override { return {}; }
    QString inputText(const QString&, const QString&, const QString& defaultText) override { return defaultText; }
    void message(const QString& text, const QString&) override { messages << text; }
    bool question(const QString&, const QString&) override { return false; }
    void errorReport(const QString& text) override
    {
        ++errorReports;
        std::fprintf(stderr, "error report: %s\n",
                     qPrintable(QString(text).replace(QLatin1Char('\r'), QLatin1Char('\n'))));
    }
    void openFolderInFileManager(const QString&) override {}

    QStringList messages;
    int errorReports = 0;
};

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 3) {
        std::fprintf(stderr, "usage: bench_gui_responsiveness <csv file or folder>... <output folder>\n");
        return 2;
    }
    QStringList sources;
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
        const QFileInfo given(arguments.at(i));
        if (!given.isDir()) {
            sources.append(given.absoluteFilePath());
            continue;
        }
        const QDir folder(given.absoluteFilePath());
        for (const QString& name : folder.entryList(QDir::Files, QDir::Name))
            sources.append(folder.filePath(name));
    }
    const QString outputFolder = QDir(arguments.last()).absolutePath();
    if (sources.isEmpty() || !QFileInfo(sources.first()).isFile() || !QFileInfo(outputFolder).isDir()) {
        std::fprintf(stderr, "bench_gui_responsiveness: no such file or output folder\n");
        return 2;
    }

    QTemporaryDir home;
    QSettings settings(home.filePath(QStringLiteral("Kelvadine.conf")), QSettings::IniFormat);
    AutoDialogs dialogs;
    ostrand::Form1 window(settings, dialogs, home.path());
    window.Text3->setText(outputFolder + QLatin1Char('/'));
    window.ListView1->AppendEntries(sources);
    window.show();
    QCoreApplication::processEvents();

    // A zero-interval timer fires on every turn of the event loop; the gaps between its firings are the
    // times the window could not react.
    QElapsedTimer clock;
    qint64 lastTurn = 0;
    qint64 longestGap = 0;
    qint64 turns = 0;
    int lastValue = 0;
    int gapFrom = 0;
    int gapTo = 0;
    bool running = false;
    QTimer turn;
    turn.setInterval(0);
    QObject::connect(&turn, &QTimer::timeout, [&] {
        if (!running)
            return;
        const qint64 now = clock.nsecsElapsed();
        const int value = window.ProgressBar1->value();
        if (now - lastTurn > longestGap) {
            longestGap = now - lastTurn;
            gapFrom = lastValue;
            gapTo = value;
        }
        lastTurn = now;
        lastValue = value;
        ++turns;
    });
    turn.start();

    clock.start();
    running = true;
    window.PushButton2_Click();
    running = false;
    const qint64 end = clock.nsecsElapsed();
    if (end - lastTurn > longestGap) {
        longestGap = end - lastTurn;
        gapFrom = lastValue;
        gapTo = window.ProgressBar1->value();
    }

    if (dialogs.messages != QStringList{QStringLiteral("Done.")} || dialogs.errorReports > 0) {
        std::fprintf(stderr, "bench_gui_responsiveness: the run did not end cleanly (%s)\n",
                     qPrintable(dialogs.messages.join(QStringLiteral(", "))));
        return 1;
    }
    std::printf("max_gap_ms=%.1f run_s=%.3f turns=%lld files=%lld gap_progress=%d..%d\n", double(longestGap) / 1e6,
                double(end) / 1e9, turns, static_cast<long long>(sources.size()), gapFrom, gapTo);
    return 0;
}
