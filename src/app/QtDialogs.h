// SPDX-License-Identifier: MIT
#pragma once

#include <QPointer>
#include <QWidget>

#include "app/Dialogs.h"

namespace ostrand {

// The dialogs of the running program: Qt's file, colour, folder and input dialogs and message boxes,
// each modal to the owner window. The OK boxes (messages and error reports) hold every other input as a modal
// box does, but let the owner window be closed while they are open, which closes them. They are dialogs with a
// close button and no minimise or maximise, wide enough for their title. In every box (the question too) the text
// can be selected, Ctrl+C copies it, every character of it is on screen, and the box fits the screen: a text
// taller than the screen scrolls inside it.
class QtDialogs : public Dialogs
{
public:
    QtDialogs() = default;
    // The window the dialogs belong to; none until the window exists.
    void setOwner(QWidget* owner) { m_owner = owner; }

    QStringList openFileNames(const QString& title, const QString& filter) override;
    qint64 pickColor(qint64 initialColor) override;
    QString browseForFolder(const QString& title, const QString& startFolder) override;
    QString inputText(const QString& prompt, const QString& title, const QString& defaultText) override;
    void message(const QString& text, const QString& title) override;
    bool question(const QString& text, const QString& title) override;
    void errorReport(const QString& text) override;
    void openFolderInFileManager(const QString& path) override;

    // The text as a message box shows it: CR LF and a bare CR each become one line break.
    static QString displayText(const QString& text);

private:
    QPointer<QWidget> m_owner;
};

} // namespace ostrand
