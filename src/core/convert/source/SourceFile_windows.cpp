// SPDX-License-Identifier: MIT
#include "core/convert/source/SourceFile.h"

#include <cerrno>
#include <optional>
#include <utility>

#include <io.h>

#include <QDir>
#include <QFile>

#include "core/common/SystemText.h"
#include "core/common/WindowsFiles.h"

namespace ostrand {

namespace {

// Others may go on reading, writing, renaming or removing the file while it is read: a change shows in the
// checks, and nobody is kept from their work.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// What the checks compare: the size, and the last write time in seconds and nanoseconds. GetFileSizeEx and
// GetFileTime ask for no more than that, so they also answer for a handle the system knows no name for (Wine's
// handle on a Unix file given as standard input), where GetFileInformationByHandle does not.
struct SizeAndTime
{
    qint64 size = 0;
    qint64 seconds = 0;
    qint64 nanoseconds = 0;
};

std::optional<SizeAndTime> sizeAndTimeOf(HANDLE handle)
{
    LARGE_INTEGER size = {};
    FILETIME written = {};
    if (!::GetFileSizeEx(handle, &size) || !::GetFileTime(handle, nullptr, nullptr, &written))
        return std::nullopt;
    const quint64 ticks = (quint64(written.dwHighDateTime) << 32) | quint64(written.dwLowDateTime);
    return SizeAndTime{size.QuadPart, qint64(ticks / 10000000u), qint64(ticks % 10000000u) * 100};
}

// Takes the source's size (from START on) and time, or says why they cannot be had.
std::optional<QString> takeSizeAndTime(HANDLE handle, qint64 start, qint64& size, qint64& seconds, qint64& nanoseconds)
{
    const auto now = sizeAndTimeOf(handle);
    if (!now)
        return windowsErrorText(::GetLastError());
    size = qMax<qint64>(now->size - start, 0);
    seconds = now->seconds;
    nanoseconds = now->nanoseconds;
    return std::nullopt;
}

// A file in the temporary folder for the bytes of a stream, removed by the system as it is closed, even when the
// program ends without closing it.
HANDLE keptStreamFile(const QString& folder)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name = folder + QStringLiteral("\\ostrand-stdin-%1.tmp").arg(::GetCurrentProcessId() * 100 + attempt);
        const HANDLE handle = ::CreateFileW(widePath(name).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, kShareAll,
                                            nullptr, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                                            nullptr);
        if (handle != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS)
            return handle;
    }
    return INVALID_HANDLE_VALUE;
}

} // namespace

SourceFile::SourceFile() = default;

SourceFile::~SourceFile()
{
    if (m_fd >= 0)
        ::_close(m_fd);
}

Status SourceFile::open(const QString& path, const SliceBreak&)
{
    m_path = path;
    if (path.isEmpty())
        return Failure{readFailure(path, notFoundReason(path))};
    // Folders may be opened too, so that one is told apart from a file that cannot be read.
    const HANDLE handle = ::CreateFileW(widePath(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return Failure{readFailure(path, missing ? notFoundReason(path) : windowsErrorText(error))};
    }
    m_fd = descriptorOwning(handle, true);
    if (m_fd < 0)
        return Failure{readFailure(path, systemErrorText(EMFILE))};
    const auto information = informationOf(handle);
    if (!information)
        return Failure{readFailure(path, windowsErrorText(::GetLastError()))};
    if (information->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return Failure{readFailure(path, QStringLiteral("It is a folder, not a file"))};
    // Devices, consoles and pipes could block a read or never end.
    if (::GetFileType(handle) != FILE_TYPE_DISK)
        return Failure{readFailure(path, QStringLiteral("It is not a regular file"))};
    if (const auto failed = takeSizeAndTime(handle, 0, m_size, m_mtimeSeconds, m_mtimeNanoseconds))
        return Failure{readFailure(path, *failed)};
    return Status::success();
}

Status SourceFile::openStream(int fd, const QString& name, const SliceBreak& pause)
{
    m_path = name;
    const HANDLE stream = handleOf(fd);
    if (stream == INVALID_HANDLE_VALUE)
        return Failure{readFailure(name, systemErrorText(EBADF))};
    if (::GetFileType(stream) == FILE_TYPE_DISK) {
        // A file given as the stream is read where it stands, from the stream's offset on.
        LARGE_INTEGER at = {};
        const LARGE_INTEGER none = {};
        if (::SetFilePointerEx(stream, none, &at, FILE_CURRENT))
            m_start = qMax<qint64>(at.QuadPart, 0);
        HANDLE own = INVALID_HANDLE_VALUE;
        if (!::DuplicateHandle(::GetCurrentProcess(), stream, ::GetCurrentProcess(), &own, 0, FALSE,
                               DUPLICATE_SAME_ACCESS))
            return Failure{readFailure(name, windowsErrorText(::GetLastError()))};
        m_fd = descriptorOwning(own, true);
        if (m_fd < 0)
            return Failure{readFailure(name, systemErrorText(EMFILE))};
        if (const auto failed = takeSizeAndTime(own, m_start, m_size, m_mtimeSeconds, m_mtimeNanoseconds))
            return Failure{readFailure(name, *failed)};
        return Status::success();
    }
    // A pipe or a console can be read once only: its bytes are kept in a file of their own, which the system
    // removes as it is closed, so nothing is left behind whatever happens.
    const QString folder = QDir::toNativeSeparators(QDir::tempPath());
    const HANDLE kept = keptStreamFile(folder);
    if (kept == INVALID_HANDLE_VALUE)
        return Failure{readFailure(name, QStringLiteral("cannot keep it in a temporary file in %1: %2")
                                             .arg(folder, windowsErrorText(::GetLastError())))};
    m_fd = descriptorOwning(kept, false);
    if (m_fd < 0)
        return Failure{readFailure(name, systemErrorText(EMFILE))};
    QByteArray slice(kWorkSliceBytes, Qt::Uninitialized);
    m_size = 0;
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(stream, slice.data(), DWORD(slice.size()), &got, nullptr)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF)
                break; // the writing end is closed: the stream has ended
            return Failure{readFailure(name, windowsErrorText(error))};
        }
        if (got == 0)
            break;
        if (const DWORD error = writeAll(kept, slice.constData(), got); error != 0)
            return Failure{readFailure(
                name, QStringLiteral("cannot keep it in a temporary file in %1: %2").arg(folder, windowsErrorText(error)))};
        m_size += got;
        if (!offerBreak(pause))
            return Failure{QString()};
    }
    if (const auto failed = takeSizeAndTime(kept, 0, m_size, m_mtimeSeconds, m_mtimeNanoseconds))
        return Failure{readFailure(name, *failed)};
    return Status::success();
}

Status SourceFile::read(qint64 offset, char* into, qsizetype size)
{
    const HANDLE handle = handleOf(m_fd);
    while (size > 0) {
        const qint64 got = readAt(handle, into, size, m_start + offset);
        if (got < 0)
            return Failure{readFailure(m_path, windowsErrorText(::GetLastError()))};
        if (got == 0)
            return Failure{readFailure(m_path, changedReason())}; // it shrank
        into += got;
        offset += got;
        size -= got;
    }
    return Status::success();
}

Status SourceFile::readToEnd(qint64 offset, char* into, qsizetype size)
{
    // Each read asks for one byte more than is left, so the read that gives the last bytes also tells that
    // nothing follows them.
    const HANDLE handle = handleOf(m_fd);
    for (qsizetype left = size;;) {
        const qint64 got = readAt(handle, into, left + 1, m_start + offset);
        if (got < 0)
            return Failure{readFailure(m_path, windowsErrorText(::GetLastError()))};
        if (got > left)
            return Failure{readFailure(m_path, changedReason())}; // it grew
        if (got == 0 && left > 0)
            return Failure{readFailure(m_path, changedReason())}; // it shrank
        into += got;
        offset += got;
        left -= got;
        if (left == 0)
            break;
    }
    m_endSeen = true;
    return Status::success();
}

Status SourceFile::checkUnchanged()
{
    const HANDLE handle = handleOf(m_fd);
    char more = 0;
    const qint64 extra = std::exchange(m_endSeen, false) ? 0 : readAt(handle, &more, 1, m_start + m_size);
    const auto now = sizeAndTimeOf(handle);
    if (extra != 0 || !now || now->size != m_start + m_size || now->seconds != m_mtimeSeconds ||
        now->nanoseconds != m_mtimeNanoseconds)
        return Failure{readFailure(m_path, changedReason())};
    return Status::success();
}

} // namespace ostrand
