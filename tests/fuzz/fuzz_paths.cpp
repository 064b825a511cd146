// SPDX-License-Identifier: MIT
// The path routines under both rule sets and the wildcard match. Input: one byte saying how to read the
// text (UTF-8, or raw UTF-16 with lone surrogates and all), two bytes giving the length of the path (also
// the name to match), then the path and the pattern.
#include <cstdint>
#include <vector>

#include "FuzzSupport.h"
#include "core/common/Paths.h"
#include "core/filelist/Wildcard.h"

using namespace ostrand;

namespace {

QString textOf(const QByteArray& bytes, bool raw16)
{
    if (!raw16)
        return QString::fromUtf8(bytes);
    const QList<char16_t> units = fuzz::utf16LeUnits(bytes);
    return QString(reinterpret_cast<const QChar*>(units.constData()), units.size());
}

// One leading separator here, two on Windows, for a leading run of any length; elsewhere each pair of
// separators, taken left to right without overlap, becomes one.
QString plainNormalize(const QString& path, PathRules rules)
{
    const QChar sep = pathSeparator(rules);
    qsizetype lead = 0;
    while (lead < path.size() && path.at(lead) == sep)
        ++lead;
    QString rest = path.mid(lead);
    rest.replace(QString(2, sep), QString(sep));
    const QString prefix = lead == 0 ? QString() : QString(rules == PathRules::Windows ? 2 : 1, sep);
    return prefix + rest;
}

void checkPaths(const QString& path)
{
    for (const PathRules rules : {PathRules::Posix, PathRules::Windows}) {
        const QChar sep = pathSeparator(rules);
        const QString normal = NormalizePath(path, rules);
        fuzz::check(normal == plainNormalize(path, rules), "NormalizePath collapses pairs of separators",
                    normal.toUtf8(), plainNormalize(path, rules).toUtf8());
        const QString folder = FolderOf(path, rules);
        const QString name = FileNameOf(path, rules);
        fuzz::check(folder + name == path, "the folder and the name make the path", (folder + name).toUtf8(),
                    path.toUtf8());
        fuzz::check(!name.contains(sep), "a name holds no separator", name.toUtf8());
        fuzz::check(folder.isEmpty() || folder.endsWith(sep), "a folder ends with its separator", folder.toUtf8());
    }
}

// The code points of a text, a surrogate pair taken as one.
std::vector<char32_t> codePoints(const QString& text)
{
    std::vector<char32_t> points;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            points.push_back(QChar::surrogateToUcs4(c, text.at(i + 1)));
            ++i;
        } else {
            points.push_back(c.unicode());
        }
    }
    return points;
}

// Wildcard matching by the textbook table: matches[i][j] says whether the first i characters of the name
// match the first j of the pattern.
bool plainWildcard(const QString& nameText, const QString& patternText)
{
    if (patternText == QLatin1String("*.*"))
        return true;
    const std::vector<char32_t> name = codePoints(nameText);
    const std::vector<char32_t> pattern = codePoints(patternText);
    std::vector<std::vector<bool>> matches(name.size() + 1, std::vector<bool>(pattern.size() + 1, false));
    matches[0][0] = true;
    for (std::size_t j = 1; j <= pattern.size(); ++j)
        matches[0][j] = matches[0][j - 1] && pattern[j - 1] == U'*';
    for (std::size_t i = 1; i <= name.size(); ++i) {
        for (std::size_t j = 1; j <= pattern.size(); ++j) {
            const char32_t p = pattern[j - 1];
            if (p == U'*') {
                matches[i][j] = matches[i][j - 1] || matches[i - 1][j];
            } else {
                const char32_t n = name[i - 1];
                const bool same = p == U'?' || p == n || QChar::toCaseFolded(p) == QChar::toCaseFolded(n);
                matches[i][j] = same && matches[i - 1][j - 1];
            }
        }
    }
    return matches[name.size()][pattern.size()];
}

void checkWildcard(const QString& name, const QString& pattern)
{
    const bool match = WildcardMatch(name, pattern);
    if (name.size() * pattern.size() <= 100000) {
        fuzz::check(match == plainWildcard(name, pattern), "WildcardMatch agrees with the table",
                    (name + QStringLiteral(" ~ ") + pattern).toUtf8());
    }
    fuzz::check(WildcardMatch(name, name), "a name matches itself", name.toUtf8());
    fuzz::check(WildcardMatch(name, QStringLiteral("*")), "\"*\" matches every name", name.toUtf8());
    fuzz::check(WildcardMatch(name, QStringLiteral("*.*")), "\"*.*\" matches every name", name.toUtf8());
    QString swapped = name;
    for (QChar& c : swapped) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 32);
        else if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + 32);
    }
    fuzz::check(WildcardMatch(name, swapped) && WildcardMatch(swapped, name), "letters match in either case",
                name.toUtf8());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    const bool raw16 = input.byte() & 1;
    const qsizetype firstSize = (input.byte() << 8) | input.byte();
    const QString first = textOf(input.bytes(firstSize), raw16);
    const QString second = textOf(input.rest(), raw16);
    checkPaths(first);
    checkWildcard(first, second);
    return 0;
}
