// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include <QSettings>
#include <QString>

#include "app/Form1.h"
#include "support/core/TempTree.h"
#include "support/gui/ScriptedDialogs.h"

namespace ostrand::test {

// One main window over a settings file of its own in a temporary folder, with scripted dialogs.
// Values stored before open() are what the window finds at start-up.
class WindowFixture
{
public:
    WindowFixture();
    ~WindowFixture();

    // Writes a value into the settings file as an earlier run would have left it.
    void store(const QString& key, const QString& value);
    // Reads the settings file afresh, as the next run would.
    QString stored(const QString& key) const;
    bool isStored(const QString& key) const;
    QString settingsPath() const { return m_tree.path(QStringLiteral("config/Kelvadine.conf")); }

    // Opens the window (start-up runs). The program folder defaults to an empty folder: no skin, no pointer.
    Form1& open(const QString& programFolder = QString());
    // Opens, shows and activates the window, so focus moves and mouse moves reach its controls.
    Form1& openShown(const QString& programFolder = QString());
    Form1& form() { return *m_form; }

    const TempTree& tree() const { return m_tree; }
    ScriptedDialogs dialogs;

private:
    TempTree m_tree;
    std::unique_ptr<QSettings> m_settings;
    std::unique_ptr<Form1> m_form;
};

} // namespace ostrand::test
