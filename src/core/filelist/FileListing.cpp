// SPDX-License-Identifier: MIT
#include "core/filelist/FileListing.h"

#include <algorithm>
#include <utility>
#include <vector>

#include <QFileInfo>

#include "core/filelist/FolderEntries.h"

namespace ostrand {

bool HasUnsupportedChars(const QString& name)
{
    return std::any_of(name.cbegin(), name.cend(), [](QChar c) {
        const char16_t code = c.unicode();
        return code < 32 || (code >= 127 && code <= 159) || code == u'?' || code == QChar::ReplacementCharacter;
    });
}

bool ListingOrderLess(const QString& a, const QString& b)
{
    const int byUpper = QString::compare(a.toUpper(), b.toUpper(), Qt::CaseSensitive);
    return byUpper != 0 ? byUpper < 0 : QString::compare(a, b, Qt::CaseSensitive) < 0;
}

void SortInListingOrder(QStringList& names)
{
    // Each name is turned to upper case once, not once per comparison.
    std::vector<std::pair<QString, QString>> keyed;
    keyed.reserve(names.size());
    for (QString& name : names)
        keyed.emplace_back(name.toUpper(), std::move(name));
    std::sort(keyed.begin(), keyed.end());
    names.clear();
    for (auto& [upper, name] : keyed)
        names.append(std::move(name));
}

bool FileCanBeOpened(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

Result<QStringList> GetFilesInFolder(const QString& folder, const QString& pattern)
{
    FolderEntries entries = ReadFolderEntries(folder, EntryKind::Files, pattern);
    if (entries.error && !entries.notFound())
        return Failure{entries.errorText()};
    SortInListingOrder(entries.names);
    return std::move(entries.names);
}

} // namespace ostrand
