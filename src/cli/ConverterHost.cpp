// SPDX-License-Identifier: MIT
#include "cli/ConverterHost.h"

#include <utility>

#include "core/app/ErrorReport.h"
#include "core/common/Paths.h"

namespace ostrand {

namespace {

constexpr qint64 kRedrawMs = 100;

} // namespace

ConverterHost::ConverterHost(Choices choices, QTextStream& out, QTextStream& err, bool showProgress,
                             const std::atomic<bool>& stop)
    : m_choices(std::move(choices)), m_out(out), m_err(err), m_showProgress(showProgress), m_stop(stop)
{
}

void ConverterHost::ReportError(const QString& description, const QString& tag, int line)
{
    ++m_failures;
    clearProgress();
    QString text = ErrorReportText(description, tag, line);
    if (m_showProgress) {
        // On a terminal a bare carriage return would overwrite the line; show the breaks as the box does.
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
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
    m_currentName = FileNameOf(m_entries.at(index - 1));
    m_percent = 0;
    drawProgress(index == 1);
    return m_entries.at(index - 1);
}

void ConverterHost::showMessage(const QString& text)
{
    if (text == QLatin1String("Done."))
        return;
    m_refusal = text;
    clearProgress();
    m_err << text << '\n';
    m_err.flush();
}

void ConverterHost::documentWritten(const QString& path)
{
    ++m_documents;
    m_out << path << '\n';
    m_out.flush();
}

void ConverterHost::drawProgress(bool force)
{
    if (!m_showProgress)
        return;
    if (!force && m_sinceDraw.isValid() && m_sinceDraw.elapsed() < kRedrawMs)
        return;
    m_sinceDraw.start();
    // Carriage return, the line, then "erase to the end of the line".
    m_err << '\r'
          << QStringLiteral("[%1/%2 done] %3 %4%")
                 .arg(m_current - 1)
                 .arg(m_entries.size())
                 .arg(m_currentName)
                 .arg(m_percent)
          << "\x1b[K";
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
