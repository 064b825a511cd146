// SPDX-License-Identifier: MIT
#include "cli/StandardStreams.h"

#include <cerrno>
#include <cstring>

#include <QFile>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ostrand {

namespace {

constexpr qsizetype kChunk = 1 << 20;

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

#ifdef Q_OS_UNIX

Result<QByteArray> readWholeStream(int fd, const std::atomic<bool>& stop)
{
    QByteArray bytes;
    struct stat info;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
        bytes.reserve(static_cast<qsizetype>(info.st_size) + 1);
    qsizetype filled = 0;
    for (;;) {
        if (stop)
            return QByteArray();
        if (bytes.size() - filled < kChunk)
            bytes.resize(qMax(filled + kChunk, bytes.capacity()));
        const ssize_t got = ::read(fd, bytes.data() + filled, static_cast<size_t>(bytes.size() - filled));
        if (got < 0 && errno == EINTR)
            continue; // the stop, if that was one, is seen at the top
        if (got < 0)
            return Failure{QStringLiteral("Cannot read standard input: %1").arg(systemText(errno))};
        if (got == 0)
            break;
        filled += got;
    }
    bytes.resize(filled);
    return bytes;
}

Status writeWholeStream(int fd, const QByteArray& bytes, const std::atomic<bool>& stop)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        if (stop)
            return Status::success();
        const ssize_t put = ::write(fd, data, static_cast<size_t>(qMin(left, kChunk)));
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0)
            return Failure{QStringLiteral("Cannot write standard output: %1").arg(systemText(errno))};
        data += put;
        left -= put;
    }
    return Status::success();
}

#else

Result<QByteArray> readWholeStream(int fd, const std::atomic<bool>&)
{
    QFile in;
    if (!in.open(fd, QIODevice::ReadOnly))
        return Failure{QStringLiteral("Cannot read standard input: %1").arg(in.errorString())};
    return in.readAll();
}

Status writeWholeStream(int fd, const QByteArray& bytes, const std::atomic<bool>&)
{
    QFile out;
    if (!out.open(fd, QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.flush())
        return Failure{QStringLiteral("Cannot write standard output: %1").arg(out.errorString())};
    return Status::success();
}

#endif

} // namespace ostrand
