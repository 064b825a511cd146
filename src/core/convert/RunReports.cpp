// SPDX-License-Identifier: MIT
#include "core/convert/RunReports.h"

#include "core/convert/save/OutputPath.h"
#include "core/convert/save/WrittenDocuments.h"

namespace ostrand {

namespace {

// The document of a source when it is saved beside it.
QString besideSource(const QString& sourcePath)
{
    return OutputPath(sourcePath, OutputMode::SourceFolder, QString(), OutputFileName(sourcePath));
}

// One path a line, the first few of them, and how many more there are.
QString namedFiles(const QStringList& named, qsizetype count)
{
    QString text = named.join(QStringLiteral("\r\n"));
    if (count > named.size())
        text += QStringLiteral("\r\nand %1 more").arg(count - named.size());
    return text;
}

} // namespace

RunReports::RunReports(RunHost& host) : m_host(host), m_gathers(host.gathersReports())
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

void RunReports::ReportError(const QString& description, const QString& tag, int line)
{
    if (!m_gathers) {
        m_host.ReportError(description, tag, line);
        return;
    }
    const QString source = concern();
    if (IsSameOutputRefusal(description)) {
        if (m_refused.size() < kNamed)
            m_refused.append(source);
        ++m_refusedCount;
        m_refusedBesideSource.append(besideSource(source));
        m_refusedInChosenFolder = m_refusedInChosenFolder && m_host.outputMode() == OutputMode::ChosenFolder;
        return;
    }
    const QString kind = kindOf(description, tag, line, source);
    if (++m_seen[kind] <= kShownOfEach) {
        m_host.ReportError(description, tag, line);
        return;
    }
    Held& held = m_held[kind];
    if (held.count == 0) {
        held.example = description;
        held.tag = tag;
        held.line = line;
        m_heldOrder.append(kind);
    }
    ++held.count;
    if (held.sources.size() < kNamed)
        held.sources.append(source);
}

QStringList RunReports::closingMessages() const
{
    QStringList messages;
    if (m_refusedCount > 0) {
        QString text =
            QStringLiteral("%1 file(s) were not converted because an earlier file of the list wrote the same "
                           "document, which is kept:\r\n%2")
                .arg(m_refusedCount)
                .arg(namedFiles(m_refused, m_refusedCount));
        // Beside its own source each of them has a document of its own, unless two sources of one folder share a
        // name but for the extension.
        bool allApart = m_refusedInChosenFolder;
        for (qsizetype i = 0; allApart && i < m_refusedBesideSource.size(); ++i)
            allApart = m_besideSource.value(m_refusedBesideSource.at(i)) == 1;
        if (allApart)
            text += QStringLiteral("\r\n\r\n\"Save results in folder of original file\" converts them all, each "
                                   "beside its own source.");
        messages.append(text);
    }
    for (const QString& kind : m_heldOrder) {
        const Held& held = m_held.value(kind);
        messages.append(QStringLiteral("The same failure came for %1 more file(s), whose reports were not shown one by "
                                       "one. The first of them:\r\n%2\r\n%3at line %4\r\n\r\nThe files:\r\n%5")
                            .arg(held.count)
                            .arg(held.example, held.tag)
                            .arg(held.line)
                            .arg(namedFiles(held.sources, held.count)));
    }
    return messages;
}

} // namespace ostrand
