// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include "core/convert/ConversionOptions.h"

namespace ostrand {

// The host as a run's conversions see it: options, progress and turns go straight to the run's host, and so do
// the reports, unless the host gathers them (RunHost::gathersReports; the window does, so that a run over
// thousands of failing files never holds the user in thousands of boxes):
//  - a refusal to replace a document of the run shows no box: the run ends with one message that counts them,
//    names the first few and says whether saving each document beside its source converts them all;
//  - any other report shows its box the first kShownOfEach times that its kind comes (the same operation, line
//    and description, the entry's source and output paths aside); the rest are counted and named once, at the
//    end of the run, in one message for each kind.
class RunReports final : public ConversionHost
{
public:
    static constexpr int kShownOfEach = 3;
    // The files a closing message names; it counts the rest.
    static constexpr int kNamed = 5;

    explicit RunReports(RunHost& host);

    // The entry the run converts now: the reports that follow concern it.
    void converting(const QString& sourcePath);
    // The messages that end the run, before "Done.", in the order their kinds first came; none when every
    // report was shown.
    QStringList closingMessages() const;

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
        QStringList sources; // the first kNamed
    };

    QString concern() const { return m_concern.isEmpty() ? m_converting : m_concern; }
    QString kindOf(const QString& description, const QString& tag, int line, const QString& sourcePath);

    RunHost& m_host;
    const bool m_gathers;
    QString m_converting;
    QString m_concern;                // a source converted earlier whose document is written only now
    QHash<QString, qsizetype> m_seen; // reports of each kind so far
    QHash<QString, Held> m_held;
    QStringList m_heldOrder;
    // The refused entries, and how often each document beside its own source would be written by the run.
    qsizetype m_refusedCount = 0;
    QStringList m_refused;             // the first kNamed
    QStringList m_refusedBesideSource; // every refused entry's document beside its source
    QHash<QString, int> m_besideSource;
    bool m_refusedInChosenFolder = true;
};

} // namespace ostrand
