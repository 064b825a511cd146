// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

#include <QList>
#include <QString>
#include <QStringList>

#include "core/convert/ConversionOptions.h"
#include "support/core/Recorders.h"

namespace ostrand::test {

// A conversion host over plain values that records everything the conversion and the run do, in order, as
// short event texts ("value:50", "text:Processing: a.csv", "yield", "busy:1", "message:Done.",
// "written:/x/a.htm", "report:114").
class RecordingRunHost : public RunHost
{
public:
    ConversionOptions options;
    DelimiterOption delimiter = DelimiterOption::Comma;
    QString otherText = QStringLiteral("|");
    QStringList entries;
    bool stop = false;
    // Reports gathered as the window gathers them, rather than each one passed on as the converter has them.
    bool gathers = false;
    // Runs at each yield, after it is recorded (changes options, asks to stop, clicks again, ...).
    std::function<void()> onYield;

    QStringList events;
    QList<RecordedReport> reports;
    QList<int> progressValues;
    QStringList messages;
    QStringList written;
    int outputFolderReads = 0;

    QList<int> reportLines() const
    {
        QList<int> lines;
        for (const auto& r : reports)
            lines.append(r.line);
        return lines;
    }

    void ReportError(const QString& description, const QString& tag, int line) override
    {
        reports.append({description, tag, line});
        events.append(QStringLiteral("report:%1").arg(line));
    }
    QString borderWidth() override { return options.BorderWidth; }
    qint64 textColor() override { return options.TextColor; }
    qint64 backgroundColor() override { return options.BackgroundColor; }
    OutputMode outputMode() override { return options.OutputMode; }
    QString outputFolder() override
    {
        ++outputFolderReads;
        return options.OutputFolder;
    }
    void setProgressValue(int value) override
    {
        progressValues.append(value);
        events.append(QStringLiteral("value:%1").arg(value));
    }
    void yieldToEvents() override
    {
        events.append(QStringLiteral("yield"));
        if (onYield)
            onYield();
    }
    bool stopRequested() override { return stop; }

    qsizetype entryCount() override { return entries.size(); }
    QString entry(qsizetype index) override { return entries.at(index - 1); }
    DelimiterOption delimiterOption() override { return delimiter; }
    QString otherDelimiterText() override { return otherText; }
    void setProgressText(const QString& text) override { events.append(QStringLiteral("text:") + text); }
    void showMessage(const QString& text) override
    {
        messages.append(text);
        events.append(QStringLiteral("message:") + text);
    }
    void setBusyPointer(bool busy) override { events.append(QStringLiteral("busy:%1").arg(busy ? 1 : 0)); }
    bool gathersReports() override { return gathers; }
    void documentWritten(const QString& path) override
    {
        written.append(path);
        events.append(QStringLiteral("written:") + path);
    }
};

} // namespace ostrand::test
