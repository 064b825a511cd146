// SPDX-License-Identifier: MIT
#include "core/common/WindowsFiles.h"

#include <fcntl.h>
#include <io.h>

#include <QDir>

namespace ostrand {

namespace {

// The largest piece one ReadFile or WriteFile call is given.
constexpr qint64 kLargestCall = qint64(1) << 30;

} // namespace

std::wstring widePath(const QString& path)
{
    QString native = QDir::toNativeSeparators(path);
    if (native.size() >= MAX_PATH && !native.startsWith(QLatin1String("\\\\?\\"))) {
        const QString absolute = QDir::toNativeSeparators(QDir::cleanPath(QDir(path).absolutePath()));
        native = absolute.startsWith(QLatin1String("\\\\")) ? QStringLiteral("\\\\?\\UNC\\") + absolute.mid(2)
                                                             : QStringLiteral("\\\\?\\") + absolute;
    }
    return native.toStdWString();
}

QString pathFromSystem(const std::wstring& path)
{
    const QString text = QString::fromStdWString(path);
    if (text.startsWith(QLatin1String("\\\\?\\UNC\\")))
        return QStringLiteral("\\\\") + text.mid(8);
    if (text.startsWith(QLatin1String("\\\\?\\")))
        return text.mid(4);
    return text;
}

int descriptorOwning(HANDLE handle, bool readOnly)
{
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), (readOnly ? _O_RDONLY : 0) | _O_BINARY);
    if (fd < 0)
        ::CloseHandle(handle);
    return fd;
}

HANDLE handleOf(int fd)
{
    if (fd < 0)
        return INVALID_HANDLE_VALUE;
    return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

qint64 readAt(HANDLE handle, char* into, qint64 size, qint64 offset)
{
    OVERLAPPED at = {};
    at.Offset = DWORD(quint64(offset) & 0xffffffffu);
    at.OffsetHigh = DWORD(quint64(offset) >> 32);
    DWORD got = 0;
    if (!::ReadFile(handle, into, DWORD(qMin(size, kLargestCall)), &got, &at))
        return ::GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
    return qint64(got);
}

DWORD writeAll(HANDLE handle, const char* data, qint64 size)
{
    while (size > 0) {
        DWORD put = 0;
        if (!::WriteFile(handle, data, DWORD(qMin(size, kLargestCall)), &put, nullptr))
            return ::GetLastError();
        if (put == 0)
            return ERROR_DISK_FULL;
        data += put;
        size -= put;
    }
    return 0;
}

std::optional<BY_HANDLE_FILE_INFORMATION> informationOf(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION information;
    if (handle == INVALID_HANDLE_VALUE || !::GetFileInformationByHandle(handle, &information))
        return std::nullopt;
    return information;
}

} // namespace ostrand
