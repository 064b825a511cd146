// SPDX-License-Identifier: MIT
#include "core/convert/RunReports.h"

#include "core/common/CountedText.h"
#include "core/convert/save/OutputPath.h"
#include "core/convert/save/WrittenDocuments.h"

namespace ostrand {

namespace {

// The kind under which the refusals to replace a document of the run are held.
const QString kRefusals = QStringLiteral("\x02refusals");

// The document of a source when it is saved beside it.
QString besideSource(const QString& sourcePath)
{
    return OutputPath(sourcePath, OutputMode::SourceFolder, QString(), OutputFileName(sourcePath));
}

// One line each, and how many more there are.
QString namedLines(const QStringList& lines, qsizetype count)
{
    QString text = lines.join(QStringLiteral("\r\n"));
    if (count > lines.size())
        text += QStringLiteral("\r\nand %1 more").arg(count - lines.size());
    return text;
}

} // namespace

RunReports::RunReports(RunHost& host, const WrittenDocuments* writtenInRun)
    : m_host(host), m_writtenInRun(writtenInRun), m_gathers(host.gathersReports())
{
}

void RunReports::converting(const QString& sourcePath)
{
    m_converting = sourcePath;
    if (m_gathers)
        ++m_besideSource[besideSource(sourcePath)];
}

void RunReports::reportsConcern(const QString& sourcePath)
{
    m_concern = sourcePath;
    m_host.reportsConcern(sourcePath);
}

QString RunReports::kindOf(const QString& description, const QString& tag, int line, const QString& sourcePath)
{
    QString general = description;
    if (!sourcePath.isEmpty()) {
        const OutputMode mode = m_host.outputMode();
        const QString outputPath =
            OutputPath(sourcePath, mode, mode == OutputMode::ChosenFolder ? m_host.outputFolder() : QString(),
                       OutputFileName(sourcePath));
        // The longer path first: a source without an extension is the start of its document's path.
        QString paths[] = {outputPath, sourcePath};
        if (paths[0].size() < paths[1].size())
            std::swap(paths[0], paths[1]);
        for (const QString& path : paths) {
            if (!path.isEmpty())
                general.replace(path, QStringLiteral("\x01"));
        }
    }
    return tag + QLatin1Char('\n') + QString::number(line) + QLatin1Char('\n') + general;
}

RunReports::Held& RunReports::hold(const QString& kind, const QString& description, const QString& tag, int line)
{
    Held& held = m_held[kind];
    if (held.count == 0) {
        held.example = description;
        held.tag = tag;
        held.line = line;
        m_heldOrder.append(kind);
    }
    ++held.count;
    return held;
}

void RunReports::ReportError(const QString& description, const QString& tag, int line)
{
    if (!m_gathers) {
        m_host.ReportError(description, tag, line);
        return;
    }
    const QString source = concern();
    if (IsSameOutputRefusal(description)) {
        Held& held = hold(kRefusals, description, tag, line);
        if (held.sources.size() < kNamed) {
            held.sources.append(source);
            held.kept.append(m_writtenInRun ? m_writtenInRun->sourceOf(SameOutputRefusalPath(description))
                                            : QString());
        }
        m_refusedBesideSource.append(besideSource(source));
        m_refusedInChosenFolder = m_refusedInChosenFolder && m_host.outputMode() == OutputMode::ChosenFolder;
        return;
    }
    const QString kind = kindOf(description, tag, line, source);
    if (++m_seen[kind] <= kShownOfEach) {
        m_host.ReportError(description, tag, line);
        return;
    }
    Held& held = hold(kind, description, tag, line);
    if (held.sources.size() <= kNamed)
        held.sources.append(source);
}

QString RunReports::refusalsText(const Held& held) const
{
    QStringList lines;
    for (qsizetype i = 0; i < held.sources.size(); ++i) {
        const QString& kept = held.kept.at(i);
        lines.append(kept.isEmpty() ? held.sources.at(i)
                                    : QStringLiteral("%1 (the document of %2 is kept)").arg(held.sources.at(i), kept));
    }
    const bool one = held.count == 1;
    QString text = QStringLiteral("%1 not converted because an earlier file of the list wrote the same document, "
                                  "which is kept:\r\n%2")
                       .arg(CountedFiles(held.count) + (one ? QStringLiteral(" was") : QStringLiteral(" were")),
                            namedLines(lines, held.count));
    // Beside its own source each of them has a document of its own, unless two sources of one folder share a name
    // but for the extension.
    bool allApart = m_refusedInChosenFolder;
    for (qsizetype i = 0; allApart && i < m_refusedBesideSource.size(); ++i)
        allApart = m_besideSource.value(m_refusedBesideSource.at(i)) == 1;
    if (allApart)
        text += one ? QStringLiteral("\r\n\"Save results in folder of original file\" converts it beside its source.")
                    : QStringLiteral("\r\n\"Save results in folder of original file\" converts them all, each beside "
                                     "its own source.");
    return text;
}

std::optional<RunReports::Summary> RunReports::summary() const
{
    if (m_heldOrder.isEmpty())
        return std::nullopt;
    QStringList kinds;
    for (const QString& kind : m_heldOrder) {
        const Held& held = m_held.value(kind);
        if (kind == kRefusals) {
            kinds.append(refusalsText(held));
            continue;
        }
        // The first report as it would have been shown (it names its file, or its file's document), then the
        // others, each named once.
        QString text = held.example;
        const qsizetype more = held.count - 1;
        if (more > 0)
            text += QStringLiteral("\r\nThe same failure happened for %1:\r\n%2")
                        .arg(Counted(more, QStringLiteral("more file"), QStringLiteral("more files")),
                             namedLines(held.sources.mid(1), more));
        kinds.append(text);
    }
    const Held& first = m_held.value(m_heldOrder.first());
    // A blank line sets the place of the report, which follows, apart from the last kind's list.
    return Summary{QStringLiteral("These failures were not shown one by one:\r\n\r\n") +
                       kinds.join(QStringLiteral("\r\n\r\n")) + QStringLiteral("\r\n"),
                   first.tag, first.line};
}

} // namespace ostrand
