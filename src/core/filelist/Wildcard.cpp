// SPDX-License-Identifier: MIT
#include "core/filelist/Wildcard.h"

#include <QChar>

namespace ostrand {

namespace {

// The character (code point) at `i`, a surrogate pair taken as one; `i` moves past it.
char32_t takeChar(const QString& text, qsizetype& i)
{
    const QChar first = text.at(i++);
    if (first.isHighSurrogate() && i < text.size() && text.at(i).isLowSurrogate())
        return QChar::surrogateToUcs4(first, text.at(i++));
    return first.unicode();
}

bool sameIgnoringCase(char32_t a, char32_t b)
{
    return a == b || QChar::toCaseFolded(a) == QChar::toCaseFolded(b);
}

} // namespace

bool WildcardMatch(const QString& name, const QString& pattern)
{
    if (pattern == QLatin1String("*.*"))
        return true;

    // One pass with a single backtrack point: on a mismatch the last "*" takes one more character.
    // Runs in O(name x pattern) at worst and needs no memory.
    qsizetype n = 0;
    qsizetype p = 0;
    qsizetype starPattern = -1; // just after the last "*" seen
    qsizetype starName = 0;     // where the name stood when that "*" matched nothing more
    while (n < name.size()) {
        if (p < pattern.size()) {
            qsizetype nextP = p;
            const char32_t pc = takeChar(pattern, nextP);
            if (pc == U'*') {
                starPattern = nextP;
                starName = n;
                p = nextP;
                continue;
            }
            qsizetype nextN = n;
            const char32_t nc = takeChar(name, nextN);
            if (pc == U'?' || sameIgnoringCase(pc, nc)) {
                p = nextP;
                n = nextN;
                continue;
            }
        }
        if (starPattern < 0)
            return false;
        takeChar(name, starName);
        n = starName;
        p = starPattern;
    }
    while (p < pattern.size() && pattern.at(p) == QLatin1Char('*'))
        ++p;
    return p == pattern.size();
}

} // namespace ostrand
