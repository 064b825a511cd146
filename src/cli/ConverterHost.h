// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <functional>

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include "core/convert/ConversionOptions.h"

namespace ostrand {

// A failure as the converter's one line says it, "ostrand-convert: PATH: REASON": the path the reason is about,
// named once, and the reason in the system's words.
struct ConverterLine
{
    QString path;
    QString reason;
};

// The line for a failure the conversion described in the window's words ("Cannot write out/a.htm: No space left
// on device") while it worked on `subject` (the source, or the folder being scanned): the path the description
// names, else the subject.
ConverterLine ConverterLineFor(const QString& subject, const QString& description);

// What ostrand-convert knows of the streams it writes to.
struct ConverterTerminal
{
    bool stdinIsTerminal = false;
    bool stdoutIsTerminal = false;
    bool stderrIsTerminal = false;
    // Standard input or output was closed when the program started (it is held open on /dev/null since).
    bool stdinClosed = false;
    bool stdoutClosed = false;
    // The columns of the terminal on stderr, asked at each redraw (the window may be resized); 0 unknown.
    std::function<int()> columns;
};

// How the converter writes what it has to say.
struct ConverterOutput
{
    bool showProgress = false; // a progress display on stderr (a terminal, no --quiet)
    bool fullReports = false;  // each failure as the window's report text instead of one line
    bool nullEnded = false;    // each written path ends with NUL instead of a line feed
};

// The conversion run's host for ostrand-convert: a fixed file list and fixed options taken from the
// arguments; written documents go to stdout, failures and the progress display to stderr. Names shown on a
// terminal have their control characters quoted.
class ConverterHost : public RunHost
{
public:
    struct Choices
    {
        ConversionOptions options;
        DelimiterOption delimiterOption = DelimiterOption::Comma;
        QString otherText;
    };

    ConverterHost(Choices choices, QTextStream& out, QTextStream& err, ConverterTerminal terminal,
                  ConverterOutput output, const std::atomic<bool>& stop);

    // The file list, filled before the run.
    void appendEntries(const QStringList& paths)
    {
        m_entries.append(paths);
        m_identities.resize(m_entries.size());
    }
    // A path given by itself, and the identity of its file where the command's look at it told it.
    void appendEntry(const QString& path, const std::optional<FileIdentity>& identity)
    {
        m_entries.append(path);
        m_identities.resize(m_entries.size());
        if (identity)
            m_identities.last() = identity;
    }
    std::optional<std::optional<FileIdentity>> entryIdentity(qsizetype index) override
    {
        return m_identities.value(index - 1);
    }
    // What a failure reported outside a file's conversion is about (the folder being scanned).
    void setSubject(const QString& path) { m_subject = path; }
    // The program's arguments as the system gave them: a name read from bytes that are not valid UTF-8 is named in
    // a report by those bytes, as ShownName shows them.
    void setArgumentBytes(const QList<QByteArray>& bytes) { m_argumentBytes = bytes; }

    int failures() const { return m_failures; }
    // A message the run refused with ("Folder does not exist..."); empty when it did not refuse.
    const QString& refusal() const { return m_refusal; }

    // Says one line on stderr about a path, "ostrand-convert: PATH: TEXT", clearing the progress display
    // first; counts it as a failure.
    void reportFailure(const QString& path, const QString& text);
    // Says one line on stderr, "ostrand-convert: TEXT".
    void say(const QString& text);

    // ErrorReporter
    void ReportError(const QString& description, const QString& tag, int line) override;

    // ConversionHost
    QString borderWidth() override { return m_choices.options.BorderWidth; }
    qint64 textColor() override { return m_choices.options.TextColor; }
    qint64 backgroundColor() override { return m_choices.options.BackgroundColor; }
    OutputMode outputMode() override { return m_choices.options.OutputMode; }
    QString outputFolder() override { return m_choices.options.OutputFolder; }
    DocumentFlags documentFlags() override { return m_choices.options.Flags; }
    void setProgressValue(int value) override;
    void yieldToEvents() override { drawProgress(false); }
    bool stopRequested() override { return m_stop; }
    void reportsConcern(const QString& sourcePath) override { m_concern = sourcePath; }

    // RunHost
    qsizetype entryCount() override { return m_entries.size(); }
    QString entry(qsizetype index) override;
    DelimiterOption delimiterOption() override { return m_choices.delimiterOption; }
    QString otherDelimiterText() override { return m_choices.otherText; }
    void setProgressText(const QString&) override {}
    void showMessage(const QString& text) override;
    void setBusyPointer(bool) override {}
    void documentWritten(const QString& path) override;

    // Removes the progress display from the terminal.
    void clearProgress();

private:
    void drawProgress(bool force);
    QString progressLine(int columns) const;
    // A path as stderr shows it.
    QString errName(const QString& path) const;

    Choices m_choices;
    QStringList m_entries;
    QList<std::optional<std::optional<FileIdentity>>> m_identities; // as entryIdentity() gives them
    QTextStream& m_out;
    QTextStream& m_err;
    ConverterTerminal m_terminal;
    ConverterOutput m_output;
    const std::atomic<bool>& m_stop;
    int m_failures = 0;
    QString m_refusal;
    QString m_subject;
    QList<QByteArray> m_argumentBytes;
    QString m_concern; // the source the reports concern, when it is not the entry being converted

    qsizetype m_current = 0; // the entry being converted, from 1
    QString m_currentName;
    int m_percent = 0;
    bool m_progressShown = false;
    bool m_listLost = false; // the list of documents could not be written to standard output
    QElapsedTimer m_sinceDraw;
};

} // namespace ostrand
