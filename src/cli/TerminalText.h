// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace ostrand {

// True for the characters that a terminal takes as commands rather than text: C0 controls, DEL and the C1
// controls (U+0080 to U+009F).
bool isTerminalControl(char32_t c);

// A name as a terminal should show it: unchanged when it holds no control character; otherwise in the
// shell's $'...' form, each control character written as an escape (\n, \t, \r, \e, or its UTF-8 bytes as
// \xHH), so that no escape sequence in a file name reaches the terminal and the name can be pasted back
// into a shell. The empty name is ''.
QString quotedForTerminal(const QString& name);

// Text with each control character written as its escape, outside of any quotes; line feeds stay when
// keepLineFeeds is set.
QString escapedForTerminal(const QString& text, bool keepLineFeeds = false);

// The columns a terminal gives the text: two for wide East Asian characters, none for combining marks.
int terminalWidth(const QString& text);

// The text cut at its end to at most `columns` columns.
QString cutToWidth(const QString& text, int columns);

} // namespace ostrand
