// SPDX-License-Identifier: MIT
// Measures how live the main window stays while a folder tree fills its file list.
//
//   bench_gui_append [--drop] FOLDER [EXTENSION]
//
// Opens the main window (offscreen unless QT_QPA_PLATFORM says otherwise) over a settings file of its own
// and runs "Add All CSV File(s) In Folder" on FOLDER with EXTENSION (default "*": every file), or with
// --drop drops FOLDER onto the list. Dialogs answer at once. Prints on stdout
//
//   max_gap_ms=G entries=N run_s=S
//
// G is the longest time between two turns of the event loop from the click (or drop) until the list has
// been laid out and painted with every entry, N the number of entries, S the seconds that took.

#include <cstdio>

#include <QApplication>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include "app/Dialogs.h"
#include "app/Form1.h"
#include "filelist/FileListView.h"

namespace {

// Answers every dialog at once: the extension, the folder, "No", and error reports on stderr.
class ImmediateDialogs : public ostrand::Dialogs
{
public:
    ImmediateDialogs(QString folder, QString extension) : m_folder(std::move(folder)), m_extension(std::move(extension))
    {
    }

    QStringList openFileNames(const QString&, const QString&) override { return {}; }
    qint64 pickColor(qint64 initialColor) override { return initialColor; }
    QString browseForFolder(const QString&, const QString&) override { return m_folder; }
    QString inputText(const QString&, const QString&, const QString&) override { return m_extension; }
    void message(const QString& text, const QString&) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    bool question(const QString&, const QString&) override { return false; }
    void errorReport(const QString& text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    void openFolderInFileManager(const QString&) override {}

private:
    QString m_folder;
    QString m_extension;
};

// The longest time between two turns of the event loop: a zero timer fires once every turn.
class GapMeter : public QObject
{
public:
    GapMeter()
    {
        m_tick.setInterval(0);
        connect(&m_tick, &QTimer::timeout, this, [this] { turn(); });
    }
    void start()
    {
        m_clock.start();
        m_last = 0;
        m_tick.start();
    }
    void turn()
    {
        const qint64 now = m_clock.nsecsElapsed();
        m_maxGap = std::max(m_maxGap, now - m_last);
        m_last = now;
    }
    double maxGapMs() const { return static_cast<double>(m_maxGap) / 1e6; }
    double seconds() const { return static_cast<double>(m_clock.nsecsElapsed()) / 1e9; }

private:
    QTimer m_tick;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_maxGap = 0;
};

void dropFolder(ostrand::FileListView& list, const QString& folder)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(folder)});
    QWidget* target = list.viewport();
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &drop);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    const bool drop = args.removeAll(QStringLiteral("--drop")) > 0;
    if (args.isEmpty() || args.size() > 2) {
        std::fprintf(stderr, "usage: bench_gui_append [--drop] FOLDER [EXTENSION]\n");
        return 2;
    }
    const QString folder = args.at(0);
    const QString extension = args.size() > 1 ? args.at(1) : QStringLiteral("*");

    QTemporaryDir home;
    if (!home.isValid()) {
        std::fprintf(stderr, "bench_gui_append: no temporary folder\n");
        return 1;
    }
    QSettings settings(home.filePath(QStringLiteral("Kelvadine.conf")), QSettings::IniFormat);
    ImmediateDialogs dialogs(folder, extension);
    ostrand::Form1 window(settings, dialogs, home.path());
    window.show();
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();

    GapMeter meter;
    bool done = false;
    QTimer::singleShot(0, &window, [&] {
        meter.start();
        if (drop)
            dropFolder(*window.ListView1, folder);
        else
            window.PushButton5->click();
        done = true;
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    // The last batch is laid out and painted in the turns after the command returns.
    window.ListView1->scrollToBottom();
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        meter.turn();
    }

    std::printf("max_gap_ms=%.1f entries=%lld run_s=%.3f\n", meter.maxGapMs(),
                static_cast<long long>(window.ListView1->entryCount()), meter.seconds());
    return 0;
}
