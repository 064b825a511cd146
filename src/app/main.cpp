// SPDX-License-Identifier: MIT
// ostrand: the desktop program. `ostrand [OPTIONS] [PATH...]` opens the main window over the user's settings
// store and adds each PATH to the list as a drop would; closing the window ends the program.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <tuple>

#include <QApplication>
#include <QList>
#include <QLocale>
#include <QSettings>
#include <QTimer>

#include "app/CommandLine.h"
#include "app/Form1.h"
#include "app/QtDialogs.h"
#include "app/QtTranslations.h"
#include "core/common/ProgramArguments.h"
#include "core/common/ProgramFolder.h"
#include "core/settings/SettingsStore.h"

namespace {

// Help and version go to stdout, bad usage to stderr; the window is not opened for any of them.
int answerWithoutWindow(const ostrand::CommandLine& line)
{
    const bool bad = line.action == ostrand::CommandLine::Action::BadUsage;
    std::fputs(line.text.toLocal8Bit().constData(), bad ? stderr : stdout);
    return bad ? 2 : 0;
}

// While the application object connects to the display, the toolkit's messages are held back: without a display
// it would end the program with an abort after a few lines about its plugins; it ends with one line naming the
// problem and status 1 instead. Once connected, the held messages go out as usual.
QtMessageHandler g_toolkitHandler = nullptr;
QList<std::tuple<QtMsgType, QString>> g_heldMessages;

void whileConnecting(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtFatalMsg) {
        g_heldMessages.append({type, qFormatLogMessage(type, context, message)});
        return;
    }
    const QByteArray display = qgetenv("DISPLAY");
    const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
    const QByteArray where = !display.isEmpty()   ? "the display \"" + display + '"'
                             : !wayland.isEmpty() ? "the display \"" + wayland + '"'
                                                  : QByteArray("a display (DISPLAY and WAYLAND_DISPLAY are not set)");
    std::fprintf(stderr, "ostrand: cannot open a window: no connection to %s; ostrand-convert converts without one\n",
                 where.constData());
    std::_Exit(1);
}

void connected()
{
    qInstallMessageHandler(g_toolkitHandler);
    for (const auto& [type, text] : std::as_const(g_heldMessages))
        std::fprintf(stderr, "%s\n", qPrintable(text));
    g_heldMessages.clear();
}

} // namespace

int main(int argc, char* argv[])
{
    using Action = ostrand::CommandLine::Action;
#ifdef SIGXFSZ
    // A file-size limit makes a write fail with EFBIG, which is reported like any failed write, instead of ending
    // the program.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    // Decided before the application object exists, so help and version need no display.
    ostrand::CommandLine line = ostrand::ParseCommandLine(ostrand::ProgramArguments(argc, argv), true);
    if (line.action != Action::OpenWindow && line.action != Action::Undecided)
        return answerWithoutWindow(line);

    g_toolkitHandler = qInstallMessageHandler(whileConnecting);
    QApplication application(argc, argv);
    connected();
    QApplication::setApplicationName(QStringLiteral("ostrand"));
    QApplication::setApplicationVersion(QStringLiteral(OSTRAND_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(OSTRAND_APP_ID));
    if (line.action == Action::Undecided) {
        line = ostrand::ParseCommandLine(ostrand::ProgramArguments(argc, argv));
        if (line.action != Action::OpenWindow)
            return answerWithoutWindow(line);
    }

    // The standard dialogs speak the user's language; the window's own texts stay as they are.
    ostrand::installQtTranslations(application, QLocale::system());

    const std::unique_ptr<QSettings> settings = ostrand::SettingsStore::openUserSettings();
    // Where the user's settings folder cannot be reached by its name, the store keeps nothing (and says so once);
    // the toolkit's own settings (the file dialog's history, the colour dialog's custom colours) would go under that
    // other name, so they go nowhere instead: no file can be made below /dev/null.
    if (ostrand::SettingsStore::folderNameNotValidUtf8(settings->fileName())) {
        for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(format, QSettings::UserScope, QStringLiteral("/dev/null"));
    }
    ostrand::QtDialogs dialogs;
    ostrand::Form1 window(*settings, dialogs, ostrand::LocateProgramFolder(QApplication::applicationDirPath()));
    dialogs.setOwner(&window);
    window.show();
    // The paths arrive once the window runs, as a drop on the list would.
    QTimer::singleShot(0, &window, [&window, paths = line.paths] { ostrand::AddCommandLinePaths(window, paths); });
    return application.exec();
}
