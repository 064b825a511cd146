// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

#include "core/filelist/ScanHost.h"

namespace ostrand {

class FileListView;
class SettingsStore;

// What the list's fillers need from the window that holds the list: the list itself, the settings, the
// few dialogs they show, the busy pointer, and the program folder. As a scan host it takes the error
// report of the fillers' guarded steps and of their folder scans, lets the window's events run while they
// work, and tells them to stop once the window is closing. The window implements it; the fillers know
// nothing else of the window.
class FileListHost : public ScanHost
{
public:
    virtual FileListView& fileList() = 0;
    virtual SettingsStore& settings() = 0;
    // The folder of the program's companion files (drag.ico, Samples/).
    virtual QString programFolder() const = 0;
    // The caption of every message box that names no title of its own.
    virtual QString applicationTitle() const = 0;

    // The multi-select file-open dialog: the chosen full paths, empty on cancel.
    virtual QStringList openFileNames(const QString& title, const QString& filter) = 0;
    // The input box with the application title: the typed text, "" on cancel.
    virtual QString inputText(const QString& prompt, const QString& defaultText) = 0;
    // The folder browser: the chosen folder's path, "" on cancel.
    virtual QString browseForFolder(const QString& title, const QString& startFolder) = 0;
    // A plain message box with the application title and OK.
    virtual void showMessage(const QString& text) = 0;
    // A question with the application title and the buttons Yes and No; true for Yes.
    virtual bool question(const QString& text) = 0;
    // Opens a folder in the desktop's file manager.
    virtual void openFolderInFileManager(const QString& path) = 0;

    // The busy pointer, the lock of long operations: shown, and set or taken away.
    virtual bool isBusy() const = 0;
    virtual void setBusyPointer(bool busy) = 0;
};

} // namespace ostrand
