// SPDX-License-Identifier: MIT
#include "support/gui/ScriptedDialogs.h"

#include <QtTest>

#include "core/app/ErrorReport.h"

namespace ostrand::test {

namespace {

QString kindName(DialogKind kind)
{
    switch (kind) {
    case DialogKind::OpenFileNames:
        return QStringLiteral("openFileNames");
    case DialogKind::PickColor:
        return QStringLiteral("pickColor");
    case DialogKind::BrowseForFolder:
        return QStringLiteral("browseForFolder");
    case DialogKind::InputText:
        return QStringLiteral("inputText");
    case DialogKind::Message:
        return QStringLiteral("message");
    case DialogKind::Question:
        return QStringLiteral("question");
    case DialogKind::ErrorReport:
        return QStringLiteral("errorReport");
    case DialogKind::OpenFolder:
        return QStringLiteral("openFolderInFileManager");
    }
    return {};
}

} // namespace

void ScriptedDialogs::record(const DialogCall& call)
{
    calls.append(call);
    if (onCall)
        onCall(call);
}

void ScriptedDialogs::missingAnswer(const DialogCall& call)
{
    unanswered.append(call);
    const QByteArray message =
        QStringLiteral("No answer queued for %1 \"%2\" (%3)").arg(kindName(call.kind), call.title, call.text).toUtf8();
    QTest::qFail(message.constData(), __FILE__, __LINE__);
}

QStringList ScriptedDialogs::openFileNames(const QString& title, const QString& filter)
{
    const DialogCall call{DialogKind::OpenFileNames, title, QString(), filter, QString(), QString()};
    record(call);
    if (m_fileNames.isEmpty()) {
        missingAnswer(call);
        return {};
    }
    // In the system's own separators, as the real dialogs give them.
    QStringList names = m_fileNames.dequeue();
    for (QString& name : names)
        name = QDir::toNativeSeparators(name);
    return names;
}

qint64 ScriptedDialogs::pickColor(qint64 initialColor)
{
    const DialogCall call{DialogKind::PickColor,         QString(), QString(),
                          QString::number(initialColor), QString(), QString()};
    record(call);
    if (m_colors.isEmpty()) {
        missingAnswer(call);
        return initialColor;
    }
    const qint64 chosen = m_colors.dequeue();
    return chosen < 0 ? initialColor : chosen;
}

QString ScriptedDialogs::browseForFolder(const QString& title, const QString& startFolder)
{
    const DialogCall call{DialogKind::BrowseForFolder, title, QString(), startFolder, QString(), QString()};
    record(call);
    if (m_folders.isEmpty()) {
        missingAnswer(call);
        return {};
    }
    return QDir::toNativeSeparators(m_folders.dequeue());
}

QString ScriptedDialogs::inputText(const QString& prompt, const QString& title, const QString& defaultText)
{
    const DialogCall call{DialogKind::InputText, title, prompt, defaultText, QStringLiteral("OK Cancel"), QString()};
    record(call);
    if (m_inputs.isEmpty()) {
        missingAnswer(call);
        return {};
    }
    return m_inputs.dequeue();
}

void ScriptedDialogs::message(const QString& text, const QString& title)
{
    record({DialogKind::Message, title, text, QString(), QStringLiteral("OK"), QStringLiteral("None")});
}

bool ScriptedDialogs::question(const QString& text, const QString& title)
{
    const DialogCall call{DialogKind::Question,  title, text, QString(), QStringLiteral("Yes No"),
                          QStringLiteral("None")};
    record(call);
    if (m_answers.isEmpty()) {
        missingAnswer(call);
        return false;
    }
    return m_answers.dequeue();
}

void ScriptedDialogs::errorReport(const QString& text)
{
    record({DialogKind::ErrorReport, errorReportTitle(), text, QString(), QStringLiteral("OK"),
            QStringLiteral("Warning")});
}

void ScriptedDialogs::openFolderInFileManager(const QString& path)
{
    record({DialogKind::OpenFolder, QString(), path, QString(), QString(), QString()});
}

QList<DialogCall> ScriptedDialogs::callsOf(DialogKind kind) const
{
    QList<DialogCall> result;
    for (const DialogCall& call : calls) {
        if (call.kind == kind)
            result.append(call);
    }
    return result;
}

QStringList ScriptedDialogs::textsOf(DialogKind kind) const
{
    QStringList result;
    for (const DialogCall& call : calls) {
        if (call.kind == kind)
            result.append(call.text);
    }
    return result;
}

bool ScriptedDialogs::allAnswersUsed() const
{
    return m_fileNames.isEmpty() && m_colors.isEmpty() && m_folders.isEmpty() && m_inputs.isEmpty() &&
           m_answers.isEmpty();
}

void ScriptedDialogs::clear()
{
    calls.clear();
    unanswered.clear();
    m_fileNames.clear();
    m_colors.clear();
    m_folders.clear();
    m_inputs.clear();
    m_answers.clear();
}

} // namespace ostrand::test
