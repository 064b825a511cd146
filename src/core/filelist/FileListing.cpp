// SPDX-License-Identifier: MIT
#include "core/filelist/FileListing.h"

#include <algorithm>
#include <string_view>
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

namespace {

// The names sorted at once before the slices are merged.
constexpr std::size_t NamesPerSortSlice = 4096;

// A name's place in the sort: its upper-case text in a shared buffer, whose first eight code units also
// stand packed in two numbers that order as the text does, so that most comparisons touch neither text.
struct SortKey
{
    quint64 head = 0;
    quint64 nextHead = 0;
    qsizetype offset = 0;
    qsizetype length = 0;
    qsizetype index = 0; // in the names being sorted
};

// Code units `from` to `from + 3` of a text, packed in order; units past its end count as 0, which sorts
// a text before any longer text it begins.
quint64 packedUnits(std::u16string_view text, std::size_t from)
{
    quint64 packed = 0;
    for (std::size_t i = from; i < from + 4; ++i)
        packed = (packed << 16) | (i < text.size() ? text[i] : 0);
    return packed;
}

// Appends the upper-case text of a name: plain ASCII directly, anything else as QString::toUpper gives it.
void appendUpper(std::vector<char16_t>& buffer, const QString& name)
{
    const bool ascii = std::all_of(name.cbegin(), name.cend(), [](QChar c) { return c.unicode() < 128; });
    if (ascii) {
        for (const QChar c : name) {
            const char16_t unit = c.unicode();
            buffer.push_back(unit >= u'a' && unit <= u'z' ? char16_t(unit - u'a' + u'A') : unit);
        }
        return;
    }
    const QString upper = name.toUpper();
    buffer.insert(buffer.end(), upper.utf16(), upper.utf16() + upper.size());
}

} // namespace

void SortInListingOrder(QStringList& names)
{
    SortInListingOrder(names, WorkGoesOn());
}

bool SortInListingOrder(QStringList& names, const WorkGoesOn& goOn)
{
    // Each name is turned to upper case once, into one buffer, so a large folder sorts without chasing a
    // separate allocation at every comparison.
    qsizetype totalLength = 0;
    for (const QString& name : std::as_const(names))
        totalLength += name.size();
    std::vector<char16_t> buffer;
    buffer.reserve(std::size_t(totalLength));
    std::vector<SortKey> keys(std::size_t(names.size()));
    GoOnChecks checks(goOn);
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (!checks.goOn())
            return false;
        SortKey& key = keys[std::size_t(i)];
        key.offset = qsizetype(buffer.size());
        appendUpper(buffer, names.at(i));
        key.length = qsizetype(buffer.size()) - key.offset;
        key.index = i;
    }
    const char16_t* upper = buffer.data();
    const auto textOf = [upper](const SortKey& key) {
        return std::u16string_view(upper + key.offset, std::size_t(key.length));
    };
    for (SortKey& key : keys) {
        key.head = packedUnits(textOf(key), 0);
        key.nextHead = packedUnits(textOf(key), 4);
    }
    const auto less = [&](const SortKey& a, const SortKey& b) {
        if (a.head != b.head)
            return a.head < b.head;
        if (a.nextHead != b.nextHead)
            return a.nextHead < b.nextHead;
        const int byUpper = textOf(a).compare(textOf(b));
        if (byUpper != 0)
            return byUpper < 0;
        return QString::compare(names.at(a.index), names.at(b.index), Qt::CaseSensitive) < 0;
    };

    // Sorted in slices, then merged pairwise, asking between any two pieces of work whether to go on.
    const auto at = [&keys](std::size_t i) { return keys.begin() + std::ptrdiff_t(std::min(i, keys.size())); };
    bool first = true;
    const auto mayGoOn = [&] {
        const bool goesOn = first || !goOn || goOn();
        first = false;
        return goesOn;
    };
    for (std::size_t from = 0; from < keys.size(); from += NamesPerSortSlice) {
        if (!mayGoOn())
            return false;
        std::sort(at(from), at(from + NamesPerSortSlice), less);
    }
    for (std::size_t width = NamesPerSortSlice; width < keys.size(); width *= 2) {
        for (std::size_t from = 0; from + width < keys.size(); from += 2 * width) {
            if (!mayGoOn())
                return false;
            std::inplace_merge(at(from), at(from + width), at(from + 2 * width), less);
        }
    }

    QStringList sorted;
    sorted.reserve(names.size());
    for (const SortKey& key : keys)
        sorted.append(std::move(names[key.index]));
    names = std::move(sorted);
    return true;
}

bool FileCanBeOpened(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

Result<QStringList> GetFilesInFolder(const QString& folder, const QString& pattern)
{
    FolderEntries entries = ReadFolderEntries(folder, EntryKind::Files, pattern);
    if (entries.listingFailed())
        return Failure{entries.errorText()};
    SortInListingOrder(entries.names);
    return std::move(entries.names);
}

} // namespace ostrand
