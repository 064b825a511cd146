// SPDX-License-Identifier: MIT
// ostrand: the desktop program. Opens the main window over the user's settings store; closing it ends
// the program.
#include <memory>

#include <QApplication>
#include <QSettings>

#include "app/Form1.h"
#include "app/QtDialogs.h"
#include "core/settings/SettingsStore.h"

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ostrand"));
    QApplication::setApplicationVersion(QStringLiteral(OSTRAND_VERSION));

    const std::unique_ptr<QSettings> settings = ostrand::SettingsStore::openUserSettings();
    ostrand::QtDialogs dialogs;
    ostrand::Form1 window(*settings, dialogs);
    dialogs.setOwner(&window);
    window.show();
    return application.exec();
}
