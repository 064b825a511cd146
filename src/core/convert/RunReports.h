// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QHash>
#include <QString>
#include <QStringList>

#include "core/convert/ConversionOptions.h"

namespace ostrand {

class WrittenDocuments;

// The host as a run's conversions see it: options, progress and turns go straight to the run's host, and so do
// the reports, unless the host gathers them (RunHost::gathersReports; the window does, so that a run over
// thousands of failing files never holds the user in thousands of boxes):
//  - a refusal to replace a document of the run shows no box;
//  - any other report shows its box the first kShownOfEach times that its kind comes (the same operation, line
//    and description, the entry's source and output paths aside);
// and the run ends with one summary, an error report that lists every kind that was not shown with how often it
// happened and its first files (for a refusal, with the earlier entry whose document was kept, and whether saving
// each document beside its source converts them all).
class RunReports final : public ConversionHost
{
public:
    static constexpr int kShownOfEach = 3;
    // The files the summary names for a kind; it counts the rest.
    static constexpr int kNamed = 5;

    // The summary of what was not shown: an error report's description, and the location of the first report
    // that was held.
    struct Summary
    {
        QString description;
        QString tag;
        int line = 0;
    };

    // With the run's written documents, the summary names the entry whose document a refused entry kept.
    explicit RunReports(RunHost& host, const WrittenDocuments* writtenInRun = nullptr);

    // The entry the run converts now: the reports that follow concern it.
    void converting(const QString& sourcePath);
    // The summary that ends the run, before "Done.": none when every report was shown.
    std::optional<Summary> summary() const;

    void ReportError(const QString& description, const QString& tag, int line) override;
    void reportsConcern(const QString& sourcePath) override;

    QString borderWidth() override { return m_host.borderWidth(); }
    qint64 textColor() override { return m_host.textColor(); }
    qint64 backgroundColor() override { return m_host.backgroundColor(); }
    OutputMode outputMode() override { return m_host.outputMode(); }
    QString outputFolder() override { return m_host.outputFolder(); }
    DocumentFlags documentFlags() override { return m_host.documentFlags(); }
    void setProgressValue(int value) override { m_host.setProgressValue(value); }
    void yieldToEvents() override { m_host.yieldToEvents(); }
    bool stopRequested() override { return m_host.stopRequested(); }

private:
    // Reports of one kind that were not shown.
    struct Held
    {
        QString example; // the first of them, as it would have been shown
        QString tag;
        int line = 0;
        qsizetype count = 0;
        QStringList sources; // the first kNamed + 1
        QStringList kept;    // refusals: for each of the first kNamed, the source whose document was kept
    };
    Held& hold(const QString& kind, const QString& description, const QString& tag, int line);
    QString refusalsText(const Held& held) const;

    QString concern() const { return m_concern.isEmpty() ? m_converting : m_concern; }
    QString kindOf(const QString& description, const QString& tag, int line, const QString& sourcePath);

    RunHost& m_host;
    const WrittenDocuments* m_writtenInRun;
    const bool m_gathers;
    QString m_converting;
    QString m_concern;                // a source converted earlier whose document is written only now
    QHash<QString, qsizetype> m_seen; // reports of each kind so far
    QHash<QString, Held> m_held;
    QStringList m_heldOrder; // the kinds, in the order they were first held
    // Where each refused entry's document beside its source would go, and how often the run would write there.
    QStringList m_refusedBesideSource;
    QHash<QString, int> m_besideSource;
    bool m_refusedInChosenFolder = true;
};

} // namespace ostrand
