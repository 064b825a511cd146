// SPDX-License-Identifier: MIT
#include "cli/ConverterHost.h"

#include <cerrno>
#include <utility>

#include <QIODevice>

#include "cli/TerminalText.h"
#include "core/app/ErrorReport.h"
#include "core/common/NameBytes.h"
#include "core/common/Paths.h"
#include "core/common/SystemText.h"

namespace ostrand {

namespace {

constexpr qint64 kRedrawMs = 100;
const QString kProgram = QStringLiteral("ostrand-convert");
const QString kEllipsis = QStringLiteral("...");

const QString kReasonSeparator = QStringLiteral(": ");

// The window words a few reasons as its toolkit does; where the system has words for the same, a shell user
// reads those.
QString systemWordsFor(const QString& path, const QString& reason)
{
    if (reason == QLatin1String("File not found"))
        return systemErrorText(ENOENT);
    if (reason == QLatin1String("Filename refers to a directory") || reason == QLatin1String("It is a folder, not a file"))
        return systemErrorText(EISDIR);
    if (reason == QStringLiteral("Existing file %1 is not writable").arg(path))
        return systemErrorText(EACCES);
    return reason;
}

} // namespace

ConverterLine ConverterLineFor(const QString& subject, const QString& description)
{
    // The shared descriptions that name a path: "Cannot read PATH: REASON", "Cannot write PATH: REASON" and
    // "Not enough disk space for PATH: HOW MUCH". A reason never holds ": " (the system's texts do not, nor do the
    // program's own), so the path is what comes before the last one, whatever the path holds.
    struct Shape
    {
        QLatin1String prefix;
        QLatin1String reason; // what the line says before the description's own reason, if anything
    };
    static constexpr Shape kShapes[] = {{QLatin1String("Cannot read "), QLatin1String()},
                                        {QLatin1String("Cannot write "), QLatin1String()},
                                        {QLatin1String("Not enough disk space for "), QLatin1String("Not enough disk space")}};
    for (const Shape& shape : kShapes) {
        if (!description.startsWith(shape.prefix))
            continue;
        const qsizetype split = description.lastIndexOf(kReasonSeparator);
        if (split <= shape.prefix.size())
            break;
        const QString path = description.mid(shape.prefix.size(), split - shape.prefix.size());
        const QString reason = description.mid(split + kReasonSeparator.size());
        if (shape.reason.isEmpty())
            return {path, systemWordsFor(path, reason)};
        return {path, QStringLiteral("%1 (%2)").arg(shape.reason, reason)};
    }
    return {subject, description};
}

ConverterHost::ConverterHost(Choices choices, QTextStream& out, QTextStream& err, ConverterTerminal terminal,
                             ConverterOutput output, const std::atomic<bool>& stop)
    : m_choices(std::move(choices)), m_out(out), m_err(err), m_terminal(std::move(terminal)), m_output(output),
      m_stop(stop)
{
}

QString ConverterHost::errName(const QString& path) const
{
    // A name that holds U+FFFD in place of bytes that are not valid UTF-8 is named by those bytes, in the one form
    // the program gives such names everywhere.
    if (path.contains(QChar::ReplacementCharacter)) {
        if (const QByteArray bytes = UndecodedBytesOf(path, m_argumentBytes); !bytes.isEmpty())
            return ShownName(bytes);
    }
    return m_terminal.stderrIsTerminal || path.isEmpty() ? quotedForTerminal(path) : path;
}

void ConverterHost::say(const QString& text)
{
    clearProgress();
    m_err << kProgram << ": " << text << '\n';
    m_err.flush();
}

void ConverterHost::reportFailure(const QString& path, const QString& text)
{
    ++m_failures;
    say(errName(path) + QStringLiteral(": ") + (m_terminal.stderrIsTerminal ? escapedForTerminal(text) : text));
}

void ConverterHost::ReportError(const QString& description, const QString& tag, int line)
{
    if (!m_output.fullReports) {
        const QString subject = !m_concern.isEmpty() ? m_concern
                                : m_current > 0      ? m_entries.at(m_current - 1)
                                                     : m_subject;
        const ConverterLine shaped = ConverterLineFor(subject, description);
        reportFailure(shaped.path, shaped.reason);
        return;
    }
    ++m_failures;
    clearProgress();
    QString text = ErrorReportText(description, tag, line);
    if (m_terminal.stderrIsTerminal) {
        // On a terminal a bare carriage return would overwrite the line; show the breaks as the box does.
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        text = escapedForTerminal(text, true);
    }
    m_err << text << '\n';
    m_err.flush();
}

// The run's share of the list and the conversion's share of the current file both arrive here; the display
// shows the file's own share: entry() starts it at 0 and it is drawn only at yields, after each file's value.
void ConverterHost::setProgressValue(int value)
{
    m_percent = value;
}

QString ConverterHost::entry(qsizetype index)
{
    m_current = index;
    m_currentName = quotedForTerminal(FileNameOf(m_entries.at(index - 1)));
    m_percent = 0;
    drawProgress(index == 1);
    return m_entries.at(index - 1);
}

void ConverterHost::showMessage(const QString& text)
{
    if (text == QLatin1String("Done."))
        return;
    m_refusal = text;
    say(text);
}

void ConverterHost::documentWritten(const QString& path)
{
    clearProgress();
    if (m_listLost)
        return;
    if (m_output.nullEnded)
        m_out << path << QChar(0);
    else
        m_out << (m_terminal.stdoutIsTerminal ? quotedForTerminal(path) : path) << '\n';
    m_out.flush();
    // A script that reads the list must not take a lost list for an empty one: the loss is a failure, told once.
    if (m_terminal.stdoutClosed || m_out.status() != QTextStream::Ok) {
        m_listLost = true;
        const QString reason = m_terminal.stdoutClosed ? QStringLiteral("it was closed")
                               : m_out.device()        ? m_out.device()->errorString()
                                                       : QStringLiteral("the write failed");
        ++m_failures;
        say(QStringLiteral("cannot write the list of documents to standard output: %1").arg(reason));
    }
}

QString ConverterHost::progressLine(int columns) const
{
    const QString count = QStringLiteral("%1/%2 ").arg(m_current).arg(m_entries.size());
    const QString share = QStringLiteral(" %1%").arg(m_percent);
    const QString line = count + m_currentName + share;
    if (columns <= 0 || terminalWidth(line) <= columns)
        return line;
    // Too wide: the name gives way first, keeping its end (the file name, not its folder).
    const int room = columns - terminalWidth(count) - terminalWidth(share) - kEllipsis.size();
    if (room <= 0)
        return cutToWidth(line, columns);
    QString tail;
    const QList<uint> codePoints = m_currentName.toUcs4();
    for (auto it = codePoints.crbegin(); it != codePoints.crend(); ++it) {
        const char32_t c = *it;
        const QString character = QString::fromUcs4(&c, 1);
        if (terminalWidth(character + tail) > room)
            break;
        tail.prepend(character);
    }
    return count + kEllipsis + tail + share;
}

void ConverterHost::drawProgress(bool force)
{
    if (!m_output.showProgress || m_current == 0)
        return;
    if (!force && m_sinceDraw.isValid() && m_sinceDraw.elapsed() < kRedrawMs)
        return;
    m_sinceDraw.start();
    // The last column stays free: a line that fills the terminal would wrap on some terminals, and each redraw
    // would then add a line.
    const int columns = m_terminal.columns ? m_terminal.columns() - 1 : 0;
    // Carriage return, the line, then "erase to the end of the line".
    m_err << '\r' << progressLine(columns) << "\x1b[K";
    m_err.flush();
    m_progressShown = true;
}

void ConverterHost::clearProgress()
{
    if (!m_progressShown)
        return;
    m_err << "\r\x1b[K";
    m_err.flush();
    m_progressShown = false;
}

} // namespace ostrand
