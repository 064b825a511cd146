// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>

#include "app/Dialogs.h"

namespace ostrand::test {

enum class DialogKind {
    OpenFileNames,
    PickColor,
    BrowseForFolder,
    InputText,
    Message,
    Question,
    ErrorReport,
    OpenFolder
};

// One dialog as the program asked for it.
struct DialogCall
{
    DialogKind kind;
    QString title;   // the box's or dialog's title ("" where the dialog has none)
    QString text;    // the message, the prompt, the folder to open; "" for the pickers
    QString detail;  // the filter, the start folder, the default text or the initial colour number
    QString buttons; // "OK", "Yes No", or "" for the pickers
    QString icon;    // "Warning" for the error report, "None" for the other boxes, "" for the pickers
};

// The dialogs of a test: answers come from per-kind queues, every call is recorded. A dialog that needs an
// answer and has none queued fails the test and returns as a cancel would, so no test ever blocks.
// OK-only boxes need no answer: they are recorded and return.
class ScriptedDialogs : public Dialogs
{
public:
    void queueFileNames(const QStringList& paths) { m_fileNames.enqueue(paths); }
    void queueColor(qint64 chosen) { m_colors.enqueue(chosen); }
    // The colour dialog's cancel: it returns the colour it was given.
    void queueColorCancel() { m_colors.enqueue(-1); }
    void queueFolder(const QString& folder) { m_folders.enqueue(folder); }
    void queueInput(const QString& text) { m_inputs.enqueue(text); }
    void queueAnswer(bool yes) { m_answers.enqueue(yes); }

    // Runs on every call, after it is recorded and before it returns: the test acts while the dialog is open.
    std::function<void(const DialogCall&)> onCall;

    QStringList openFileNames(const QString& title, const QString& filter) override;
    qint64 pickColor(qint64 initialColor) override;
    QString browseForFolder(const QString& title, const QString& startFolder) override;
    QString inputText(const QString& prompt, const QString& title, const QString& defaultText) override;
    void message(const QString& text, const QString& title) override;
    bool question(const QString& text, const QString& title) override;
    void errorReport(const QString& text) override;
    void openFolderInFileManager(const QString& path) override;

    QList<DialogCall> calls;
    // Calls that found no queued answer.
    QList<DialogCall> unanswered;

    // The calls of one kind, and the texts of those calls.
    QList<DialogCall> callsOf(DialogKind kind) const;
    QStringList textsOf(DialogKind kind) const;
    // True when every queued answer has been used.
    bool allAnswersUsed() const;
    void clear();

private:
    void record(const DialogCall& call);
    void missingAnswer(const DialogCall& call);

    QQueue<QStringList> m_fileNames;
    QQueue<qint64> m_colors;
    QQueue<QString> m_folders;
    QQueue<QString> m_inputs;
    QQueue<bool> m_answers;
};

} // namespace ostrand::test
