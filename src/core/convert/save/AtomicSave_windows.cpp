// SPDX-License-Identifier: MIT
#include "core/convert/save/AtomicSave.h"

#include <cerrno>
#include <utility>

#include <io.h>

#include <QDir>
#include <QRandomGenerator>

#include "core/common/NameBytes.h"
#include "core/common/SystemText.h"
#include "core/common/WindowsFiles.h"
#include "core/convert/save/OutputTarget.h"

namespace ostrand {

// Here the temporary file has a name: a fresh one in the document's folder, flushed by whoever writes it and then
// moved over the document (or onto its free name) with a move that returns once it is on the disk. The paths are
// kept as UTF-8 and handed to the wide-character calls.

namespace {

Failure systemFailure(DWORD error)
{
    return Failure{windowsErrorText(error)};
}

QString folderOf(const QString& file)
{
    const QString native = QDir::toNativeSeparators(file);
    const qsizetype separator = native.lastIndexOf(QLatin1Char('\\'));
    if (separator < 0)
        return QStringLiteral(".");
    return native.left(separator + 1);
}

// A fresh name in the folder, made only for the moment: short whatever the document's name, never ending in a
// document's extension.
QString temporaryName(const QString& folder)
{
    const quint64 random = QRandomGenerator::global()->generate64();
    QString name = folder;
    if (!name.endsWith(QLatin1Char('\\')))
        name += QLatin1Char('\\');
    return name + QStringLiteral(".ostrand-") + QString::number(random, 36) + QStringLiteral(".tmp");
}

} // namespace

class AtomicSave::Fallback
{
};

AtomicSave::AtomicSave() = default;

AtomicSave::~AtomicSave()
{
    cancel();
}

AtomicSave::AtomicSave(AtomicSave&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_folder(std::exchange(other.m_folder, -1)), m_file(std::move(other.m_file)),
      m_temporary(std::move(other.m_temporary))
{
}

AtomicSave& AtomicSave::operator=(AtomicSave&& other) noexcept
{
    if (this != &other) {
        cancel();
        m_fd = std::exchange(other.m_fd, -1);
        m_folder = std::exchange(other.m_folder, -1);
        m_file = std::move(other.m_file);
        m_temporary = std::move(other.m_temporary);
    }
    return *this;
}

Status AtomicSave::open(const QString& file)
{
    // The replaced file's security, attributes and other streams are kept by the replace itself (place()).
    cancel();
    m_file = file.toUtf8();
    const QString folder = folderOf(file);
    for (int attempt = 0; m_fd < 0; ++attempt) {
        const QString temporary = temporaryName(folder);
        // Read and write: a document moved to another path is read back from it. Others may read it, and the
        // move may rename it while it is open.
        const HANDLE handle = ::CreateFileW(widePath(temporary).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                            FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                            FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD error = ::GetLastError();
            if ((error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) && attempt < 100)
                continue;
            return systemFailure(error);
        }
        m_temporary = temporary.toUtf8();
        m_fd = descriptorOwning(handle, false);
        if (m_fd < 0) {
            ::DeleteFileW(widePath(temporary).c_str());
            m_temporary.clear();
            return Failure{systemErrorText(EMFILE)};
        }
    }
    return Status::success();
}

bool AtomicSave::isOpen() const
{
    return m_fd >= 0;
}

int AtomicSave::handle() const
{
    return m_fd;
}

Status AtomicSave::write(const char* data, qint64 size)
{
    if (m_fd < 0)
        return systemFailure(ERROR_INVALID_HANDLE);
    if (const DWORD error = writeAll(handleOf(m_fd), data, size); error != 0)
        return systemFailure(error);
    return Status::success();
}

Status AtomicSave::place(const std::optional<SeenFile>& replacing)
{
    if (m_fd < 0)
        return systemFailure(ERROR_INVALID_HANDLE);
    // The file to replace is looked at now: another file at the name is someone else's and stays; with none there any
    // more, the name is taken as a new one.
    bool replaces = false;
    if (replacing) {
        const std::optional<FileIdentity> there = identityAt(NameFromBytes(m_file));
        if (there && *there != replacing->identity) {
            cancel();
            return Failure{nameTakenMeanwhile()};
        }
        replaces = there.has_value();
    }
    // The file is closed first: the move must not find it open for writing.
    ::_close(std::exchange(m_fd, -1));
    const std::wstring from = widePath(NameFromBytes(m_temporary));
    const std::wstring to = widePath(NameFromBytes(m_file));
    // A file just closed may still be held for a moment by a program that looks into every new file (a virus
    // scanner, an indexer): a move refused for that is tried again for up to about a second.
    const auto move = [&](DWORD flags) {
        for (int attempt = 0;; ++attempt) {
            if (::MoveFileExW(from.c_str(), to.c_str(), flags))
                return DWORD(0);
            const DWORD failed = ::GetLastError();
            if ((failed != ERROR_SHARING_VIOLATION && failed != ERROR_ACCESS_DENIED) || attempt == 20)
                return failed;
            ::Sleep(50);
        }
    };
    DWORD error = 0;
    if (!replaces) {
        // A free name is taken without replacing: a file that appeared there since the caller's look is left alone.
        error = move(MOVEFILE_WRITE_THROUGH);
    } else if (!::ReplaceFileW(to.c_str(), from.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
        // ReplaceFileW keeps the replaced file's security and attributes. Where it cannot (the file was removed
        // meanwhile, a file system without the means), the new file, still under its temporary name, is moved over
        // the name in one step.
        error = move(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    } else {
        // The replace has no write-through of its own.
        const HANDLE placed = ::CreateFileW(to.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, 0, nullptr);
        if (placed != INVALID_HANDLE_VALUE) {
            ::FlushFileBuffers(placed);
            ::CloseHandle(placed);
        }
    }
    if (error != 0) {
        cancel();
        if (!replaces && (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS))
            return Failure{nameTakenMeanwhile()};
        return systemFailure(error);
    }
    m_temporary.clear();
    cancel();
    return Status::success();
}

void AtomicSave::syncFolderOf(const QString&)
{
    // The move wrote its change of the folder through to the disk.
}

Status AtomicSave::readBack(qint64 offset, char* into, qsizetype size)
{
    const HANDLE handle = handleOf(m_fd);
    while (size > 0) {
        const qint64 got = readAt(handle, into, size, offset);
        if (got < 0)
            return systemFailure(::GetLastError());
        if (got == 0)
            return Failure{QStringLiteral("The document was cut short")};
        into += got;
        offset += got;
        size -= got;
    }
    return Status::success();
}

void AtomicSave::cancel()
{
    if (m_fd >= 0)
        ::_close(std::exchange(m_fd, -1));
    if (!m_temporary.isEmpty()) {
        ::DeleteFileW(widePath(NameFromBytes(m_temporary)).c_str());
        m_temporary.clear();
    }
}

} // namespace ostrand
