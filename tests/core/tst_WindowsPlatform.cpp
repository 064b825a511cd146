// SPDX-License-Identifier: MIT
// What only the Windows files promise, through their public interfaces: built and run on Windows alone.
#include <QtTest>

#include <windows.h>

#include "core/common/FileAttributes.h"
#include "core/convert/save/AtomicSave.h"
#include "core/convert/save/FileSystem.h"
#include "core/convert/save/FreeSpace.h"
#include "core/convert/save/OutputTarget.h"
#include "core/convert/source/SourceFile.h"
#include "support/core/TempTree.h"

using namespace ostrand;
using namespace ostrand::test;

class tst_WindowsPlatform : public QObject
{
    Q_OBJECT

private slots:
    void realAttributes_data();
    void realAttributes();
    void sourceReadWhileOthersWrite_data();
    void sourceReadWhileOthersWrite();
    void placeReplacesOrTakesAFreeName_data();
    void placeReplacesOrTakesAFreeName();
    void identityIsVolumeAndIndex();
    void junctionIsNotWrittenThrough();
    void freeSpaceOfAFolder();
};

namespace {

std::wstring wide(const QString& path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

} // namespace

void tst_WindowsPlatform::realAttributes_data()
{
    QTest::addColumn<bool>("folder");
    QTest::addColumn<int>("set"); // attributes given to the new entry
    QTest::addColumn<int>("expected");

    QTest::newRow("file") << false << int(FILE_ATTRIBUTE_ARCHIVE) << Attribute::Archive;
    QTest::newRow("hidden file") << false << int(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN)
                                 << (Attribute::Archive | Attribute::Hidden);
    QTest::newRow("read-only file") << false << int(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE)
                                    << (Attribute::ReadOnly | Attribute::Archive);
    QTest::newRow("folder") << true << 0 << Attribute::Folder;
    QTest::newRow("hidden system folder") << true << int(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)
                                          << (Attribute::Folder | Attribute::Hidden | Attribute::System);
}

void tst_WindowsPlatform::realAttributes()
{
    QFETCH(bool, folder);
    QFETCH(int, set);
    QFETCH(int, expected);
    TempTree tree;
    // A name without a dot in front: here the attributes come from the file system, never from the name.
    const QString path = folder ? tree.makeFolder(u"entry"_qs) : tree.writeFile(u"entry"_qs, "x");
    if (set != 0)
        QVERIFY(::SetFileAttributesW(wide(path).c_str(), DWORD(set)));
    QCOMPARE(AttributesOf(QDir::toNativeSeparators(path)), expected);
    ::SetFileAttributesW(wide(path).c_str(), folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL);
}

void tst_WindowsPlatform::sourceReadWhileOthersWrite_data()
{
    QTest::addColumn<int>("share"); // what the other program lets others do with the file it holds open

    QTest::newRow("others may read and write") << int(FILE_SHARE_READ | FILE_SHARE_WRITE);
    QTest::newRow("others may do anything") << int(FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
}

void tst_WindowsPlatform::sourceReadWhileOthersWrite()
{
    QFETCH(int, share);
    TempTree tree;
    const QString path = tree.writeFile(u"held.csv"_qs, "a,b\r\n");
    const HANDLE other = ::CreateFileW(wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, DWORD(share), nullptr,
                                       OPEN_EXISTING, 0, nullptr);
    QVERIFY(other != INVALID_HANDLE_VALUE);
    SourceFile source;
    const Status opened = source.open(QDir::toNativeSeparators(path));
    QVERIFY2(opened.ok(), qPrintable(opened.error()));
    QByteArray bytes(source.size(), '\0');
    QVERIFY(source.read(0, bytes.data(), bytes.size()).ok());
    QCOMPARE(bytes, QByteArray("a,b\r\n"));
    // The other program appends: the read sees the change.
    DWORD put = 0;
    ::SetFilePointer(other, 0, nullptr, FILE_END);
    QVERIFY(::WriteFile(other, "c", 1, &put, nullptr));
    QVERIFY(!source.checkUnchanged().ok());
    ::CloseHandle(other);
}

void tst_WindowsPlatform::placeReplacesOrTakesAFreeName_data()
{
    QTest::addColumn<bool>("existsBefore");  // a file was at the name when the caller looked
    QTest::addColumn<bool>("appears");       // a file appears at the name before the document is placed
    QTest::addColumn<bool>("placed");
    QTest::addColumn<QByteArray>("expected"); // at the name afterwards

    QTest::newRow("new name") << false << false << true << QByteArray("new");
    QTest::newRow("replaced") << true << false << true << QByteArray("new");
    QTest::newRow("a file appeared at the free name") << false << true << false << QByteArray("theirs");
}

void tst_WindowsPlatform::placeReplacesOrTakesAFreeName()
{
    QFETCH(bool, existsBefore);
    QFETCH(bool, appears);
    QFETCH(bool, placed);
    QFETCH(QByteArray, expected);
    TempTree tree;
    const QString file = QDir::toNativeSeparators(tree.path(u"doc.htm"_qs));
    if (existsBefore)
        tree.writeFile(u"doc.htm"_qs, "old");
    const std::optional<FileIdentity> there = identityAt(file);
    const std::optional<SeenFile> replacing = there ? std::optional<SeenFile>(SeenFile{*there}) : std::nullopt;
    AtomicSave save;
    QVERIFY(save.open(file).ok());
    QVERIFY(save.write("new", 3).ok());
    if (appears)
        tree.writeFile(u"doc.htm"_qs, "theirs");
    QCOMPARE(save.place(replacing).ok(), placed);
    QCOMPARE(TempTree::readFile(file), expected);
    // No temporary file is left, placed or not.
    QCOMPARE(QDir(tree.root()).entryList(QDir::Files | QDir::Hidden), QStringList{u"doc.htm"_qs});
}

void tst_WindowsPlatform::identityIsVolumeAndIndex()
{
    TempTree tree;
    const QString file = QDir::toNativeSeparators(tree.writeFile(u"a.csv"_qs, "x"));
    const QString link = QDir::toNativeSeparators(tree.path(u"b.csv"_qs));
    const QString other = QDir::toNativeSeparators(tree.writeFile(u"c.csv"_qs, "x"));
    QVERIFY(::CreateHardLinkW(wide(link).c_str(), wide(file).c_str(), nullptr));
    QVERIFY(identityAt(file).has_value());
    QCOMPARE(identityAt(link), identityAt(file));
    QVERIFY(identityAt(other) != identityAt(file));
    QVERIFY(!identityAt(tree.path(u"missing"_qs)).has_value());
}

void tst_WindowsPlatform::junctionIsNotWrittenThrough()
{
    TempTree tree;
    const QString folder = tree.makeFolder(u"target"_qs);
    const QString junction = QDir::toNativeSeparators(tree.path(u"link"_qs));
    // A folder link, as an unprivileged user makes one.
    QProcess mklink;
    mklink.start(u"cmd"_qs, {u"/c"_qs, u"mklink"_qs, u"/J"_qs, junction, QDir::toNativeSeparators(folder)});
    QVERIFY(mklink.waitForFinished(30000));
    if (AttributesOf(junction) < 0)
        QSKIP("this system makes no junctions");
    QVERIFY(AttributesOf(junction) & Attribute::Link);
    QVERIFY(!lookAtTarget(junction).ok());
}

void tst_WindowsPlatform::freeSpaceOfAFolder()
{
    TempTree tree;
    const auto free = freeSpaceFor(QDir::toNativeSeparators(tree.path(u"doc.htm"_qs)));
    QVERIFY(free.has_value());
    QVERIFY(*free > 0);
}

QTEST_GUILESS_MAIN(tst_WindowsPlatform)
#include "tst_WindowsPlatform.moc"
