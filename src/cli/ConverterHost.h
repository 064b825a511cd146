// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include "core/convert/ConversionOptions.h"

namespace ostrand {

// The conversion run's host for ostrand-convert: a fixed file list and fixed options taken from the
// arguments; written documents go to stdout, error reports and the progress display to stderr.
class ConverterHost : public RunHost
{
public:
    struct Choices
    {
        ConversionOptions options;
        DelimiterOption delimiterOption = DelimiterOption::Comma;
        QString otherText;
    };

    // With showProgress, stderr is a terminal: a one-line progress display is kept up to date there, and
    // bare carriage returns of error reports are shown as line breaks.
    ConverterHost(Choices choices, QTextStream& out, QTextStream& err, bool showProgress,
                  const std::atomic<bool>& stop);

    // The file list, filled before the run.
    void appendEntries(const QStringList& paths) { m_entries.append(paths); }

    int failures() const { return m_failures; }
    int documents() const { return m_documents; }
    // A message the run refused with ("Folder does not exist..."); empty when it did not refuse.
    const QString& refusal() const { return m_refusal; }

    // ErrorReporter
    void ReportError(const QString& description, const QString& tag, int line) override;

    // ConversionHost
    QString borderWidth() override { return m_choices.options.BorderWidth; }
    qint64 textColor() override { return m_choices.options.TextColor; }
    qint64 backgroundColor() override { return m_choices.options.BackgroundColor; }
    OutputMode outputMode() override { return m_choices.options.OutputMode; }
    QString outputFolder() override { return m_choices.options.OutputFolder; }
    void setProgressValue(int value) override;
    void yieldToEvents() override { drawProgress(false); }
    bool stopRequested() override { return m_stop; }

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

    Choices m_choices;
    QStringList m_entries;
    QTextStream& m_out;
    QTextStream& m_err;
    bool m_showProgress;
    const std::atomic<bool>& m_stop;
    int m_failures = 0;
    int m_documents = 0;
    QString m_refusal;

    qsizetype m_current = 0; // the entry being converted, from 1
    QString m_currentName;
    int m_percent = 0;
    bool m_progressShown = false;
    QElapsedTimer m_sinceDraw;
};

} // namespace ostrand
