// SPDX-License-Identifier: MIT
#include "cli/TerminalText.h"

#include <QList>
#include <QStringView>

#ifdef Q_OS_UNIX
#include <wchar.h>
#endif

namespace ostrand {

namespace {

// The escape of one control character, without quotes.
QString escapeOf(char32_t c)
{
    switch (c) {
    case U'\n':
        return QStringLiteral("\\n");
    case U'\t':
        return QStringLiteral("\\t");
    case U'\r':
        return QStringLiteral("\\r");
    case 0x1B:
        return QStringLiteral("\\e");
    default:
        break;
    }
    QString escape;
    for (const char byte : QString::fromUcs4(&c, 1).toUtf8())
        escape += QStringLiteral("\\x") +
                  QString::number(static_cast<unsigned char>(byte), 16).toUpper().rightJustified(2, QLatin1Char('0'));
    return escape;
}

bool holdsControl(const QString& text)
{
    for (const char32_t c : QStringView(text).toUcs4()) {
        if (isTerminalControl(c))
            return true;
    }
    return false;
}

int columnsOf(char32_t c)
{
#ifdef Q_OS_UNIX
    const int width = ::wcwidth(static_cast<wchar_t>(c));
    return width < 0 ? 1 : width;
#else
    Q_UNUSED(c);
    return 1;
#endif
}

} // namespace

bool isTerminalControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

QString quotedForTerminal(const QString& name)
{
    if (name.isEmpty())
        return QStringLiteral("''");
    if (!holdsControl(name))
        return name;
    QString quoted = QStringLiteral("$'");
    for (const char32_t c : QStringView(name).toUcs4()) {
        if (isTerminalControl(c))
            quoted += escapeOf(c);
        else if (c == U'\\' || c == U'\'')
            quoted += QLatin1Char('\\') + QChar(c);
        else
            quoted += QString::fromUcs4(&c, 1);
    }
    return quoted + QLatin1Char('\'');
}

QString escapedForTerminal(const QString& text, bool keepLineFeeds)
{
    if (!holdsControl(text))
        return text;
    QString escaped;
    for (const char32_t c : QStringView(text).toUcs4()) {
        if (isTerminalControl(c) && !(keepLineFeeds && c == U'\n'))
            escaped += escapeOf(c);
        else
            escaped += QString::fromUcs4(&c, 1);
    }
    return escaped;
}

int terminalWidth(const QString& text)
{
    int width = 0;
    for (const char32_t c : QStringView(text).toUcs4())
        width += columnsOf(c);
    return width;
}

QString cutToWidth(const QString& text, int columns)
{
    QString cut;
    int width = 0;
    for (const char32_t c : QStringView(text).toUcs4()) {
        width += columnsOf(c);
        if (width > columns)
            break;
        cut += QString::fromUcs4(&c, 1);
    }
    return cut;
}

} // namespace ostrand
