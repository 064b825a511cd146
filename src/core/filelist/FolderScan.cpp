// SPDX-License-Identifier: MIT
#include "core/filelist/FolderScan.h"

#include <utility>

#include <QList>

#include "core/app/GuardedOperation.h"
#include "core/common/FileAttributes.h"
#include "core/common/Paths.h"
#include "core/filelist/FileListing.h"
#include "core/filelist/FolderEntries.h"
#include "core/filelist/Pacer.h"

namespace ostrand {

namespace {

// The numbered steps of the scan, as its error reports name them.
enum ScanStep : int
{
    StepFolderTest = 100,     // attributes of a folder of the level
    StepReadSubfolders = 102, // reading its subfolders
    StepTakeLevel = 104,      // appending a level's expandable folders to the list
};

// A hidden system folder (22) or a link to a folder (1046) is never entered; a drive's top folder is,
// whatever its attributes.
bool expandable(const QString& folder, int attributes)
{
    constexpr int dotFolder = Attribute::Folder | Attribute::Hidden | Attribute::System;
    constexpr int folderLink = dotFolder | Attribute::Link;
    return (attributes != dotFolder && attributes != folderLink) || IsRootFolder(folder);
}

// The attribute value of a folder of the list. The entry's trailing separator is left out of the query,
// so that the folder's own name decides (a dot-folder is told by its name).
int folderAttributes(const QString& dir)
{
    if (IsRootFolder(dir))
        return AttributesOf(dir);
    const QChar sep = pathSeparator();
    qsizetype end = dir.size();
    while (end > 1 && dir.at(end - 1) == sep)
        --end;
    return AttributesOf(end == dir.size() ? dir : dir.left(end));
}

bool isFolder(int attributes)
{
    return attributes >= 0 && (attributes & Attribute::Folder) != 0;
}

bool isUsableSubfolderName(const QString& name)
{
    return name.size() < MaxScanFolderName && !HasUnsupportedChars(name) && !name.contains(QLatin1Char('?'))
        && name != QLatin1String(".") && name != QLatin1String("..");
}

// One run of the scan. The level-by-level recursion of the scan is unrolled into a loop: each level is
// read, and its expandable folders are appended to the list after the shallower levels, which is the
// order the recursion gives. Each folder's attributes are read once and serve both the test before it is
// read and the test before it is appended.
class FolderScan
{
public:
    explicit FolderScan(ScanHost& host) : m_operation(host, LocationTag::getSubDirectories()), m_pacer(host) {}

    // Keeps the files matching `pattern` of every folder read to its end in `files`.
    void keepFiles(const QString& pattern, ScannedFolderFiles& files)
    {
        m_filePattern = pattern;
        m_files = &files;
    }

    void run(QStringList& list, bool recurse)
    {
        QStringList level = readLevel(list, nullptr);
        if (!recurse) {
            appendExpandable(list, level);
            return;
        }
        while (!level.isEmpty() && !m_operation.ended()) {
            QList<bool> take;
            QStringList deeper = readLevel(level, &take);
            if (m_operation.ended())
                break;
            m_operation.step(StepTakeLevel, [&] {
                for (qsizetype i = 0; i < level.size(); ++i) {
                    if (take.at(i))
                        list.append(level.at(i));
                }
            });
            level = std::move(deeper);
        }
    }

private:
    // Reads every folder of `level` and returns the subfolders found, in order. Folders that vanish or
    // may not be read are dropped from `level`. `take`, when given, receives for each remaining entry
    // whether it is an expandable folder, which decides whether it joins the caller's list.
    QStringList readLevel(QStringList& level, QList<bool>* take)
    {
        QStringList found;
        if (take)
            *take = QList<bool>(level.size(), false);
        for (qsizetype i = 0; i < level.size() && !m_operation.ended(); ++i) {
            const QString dir = level.at(i);
            int attributes = -1;
            m_operation.step(StepFolderTest, [&] { attributes = folderAttributes(dir); });
            if (!isFolder(attributes))
                continue;
            const bool canEnter = expandable(dir, attributes);
            if (take)
                (*take)[i] = canEnter;
            if (dir.size() >= MaxScanFolderPath)
                continue;
            if (!yield())
                break;
            if (!canEnter)
                continue;
            bool dropped = false;
            m_operation.step(StepReadSubfolders, [&]() -> Status {
                FolderEntries subfolders = readSubfolders(dir);
                if (subfolders.stopped)
                    return Status::success(); // the scan has ended
                SortInListingOrder(subfolders.names);
                for (const QString& name : std::as_const(subfolders.names)) {
                    if (!yield())
                        return Status::success();
                    if (isUsableSubfolderName(name))
                        found.append(dir + name + pathSeparator());
                }
                if (!subfolders.error)
                    return Status::success();
                if (subfolders.notFound() || subfolders.accessDenied()) {
                    dropped = true;
                    return Status::success();
                }
                return Failure{subfolders.errorText()};
            });
            if (dropped) {
                const qsizetype at = level.indexOf(dir); // the first equal entry, at or before i
                level.removeAt(at);
                if (take)
                    take->removeAt(at);
                --i;
            }
        }
        return found;
    }

    // The subfolders of a folder, and the files kept along from the same reading when they are wanted.
    // The reading yields on the way and stops when the scan ends.
    FolderEntries readSubfolders(const QString& dir)
    {
        const WorkGoesOn goOn = [this] { return yield(); };
        if (!m_files)
            return ReadFolderEntries(dir, EntryKind::Subfolders, QStringLiteral("*"), goOn);
        FolderContents contents = ReadFolderContents(dir, m_filePattern, goOn);
        if (!contents.files.stopped)
            m_files->insert(dir, std::move(contents.files));
        return std::move(contents.subfolders);
    }

    // Appends the expandable folders of a level that was not read itself.
    void appendExpandable(QStringList& list, const QStringList& level)
    {
        for (const QString& dir : level) {
            int attributes = -1;
            m_operation.step(StepFolderTest, [&] { attributes = folderAttributes(dir); });
            if (!isFolder(attributes))
                continue;
            if (!yield())
                return;
            if (expandable(dir, attributes))
                list.append(dir);
        }
    }

    bool yield()
    {
        if (m_operation.ended())
            return false;
        if (m_pacer.yield())
            return true;
        m_operation.end();
        return false;
    }

    GuardedOperation m_operation;
    Pacer m_pacer;
    QString m_filePattern;
    ScannedFolderFiles* m_files = nullptr;
};

} // namespace

bool IsExpandableFolder(const QString& folder)
{
    const int attributes = folderAttributes(folder);
    return isFolder(attributes) && expandable(folder, attributes);
}

void GetSubDirectories2016(QStringList& list, bool recurse, ScanHost& host)
{
    FolderScan(host).run(list, recurse);
}

void GetSubDirectories2016(QStringList& list, bool recurse, ScanHost& host, const QString& filePattern,
                           ScannedFolderFiles& files)
{
    FolderScan scan(host);
    scan.keepFiles(filePattern, files);
    scan.run(list, recurse);
}

} // namespace ostrand
