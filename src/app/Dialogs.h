// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

namespace ostrand {

// Every modal interaction of the desktop program: the program shows real Qt dialogs, tests answer from a
// script. Texts arrive exactly as built (a bare CR included); showing them is the implementation's job.
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    // The multi-select file-open dialog: the chosen full paths, empty on cancel.
    virtual QStringList openFileNames(const QString& title, const QString& filter) = 0;
    // The colour dialog starting at a colour number; a cancel returns the initial number.
    virtual qint64 pickColor(qint64 initialColor) = 0;
    // BrowseForFolder: the chosen folder's path, "" on cancel. An empty start folder preselects nothing.
    virtual QString browseForFolder(const QString& title, const QString& startFolder) = 0;
    // The input box: the typed text, "" on cancel.
    virtual QString inputText(const QString& prompt, const QString& title, const QString& defaultText) = 0;
    // A plain message box with an OK button.
    virtual void message(const QString& text, const QString& title) = 0;
    // A question with the buttons Yes and No; true for Yes.
    virtual bool question(const QString& text, const QString& title) = 0;
    // The error report: warning icon, title "Application Error", OK.
    virtual void errorReport(const QString& text) = 0;
    // Opens a folder in the desktop's file manager; the outcome is not examined.
    virtual void openFolderInFileManager(const QString& path) = 0;
};

} // namespace ostrand
