// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>

#include "core/app/ErrorReport.h"

namespace ostrand::test {

// One error report as the operation raised it.
struct RecordedReport
{
    QString description;
    QString tag;
    int line = 0;
};

// Records every error report instead of showing it.
class RecordingReporter : public ErrorReporter
{
public:
    void ReportError(const QString& description, const QString& tag, int line) override
    {
        reports.append({description, tag, line});
    }
    QList<int> lines() const
    {
        QList<int> result;
        for (const auto& r : reports)
            result.append(r.line);
        return result;
    }
    QList<RecordedReport> reports;
};

} // namespace ostrand::test
