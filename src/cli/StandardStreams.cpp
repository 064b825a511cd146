// SPDX-License-Identifier: MIT
#include "cli/StandardStreams.h"

#include <cerrno>
#include <cstring>

#include <QFile>

#include "core/common/SystemText.h"

#ifdef Q_OS_UNIX
#include <csignal>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ostrand {

namespace {

constexpr qsizetype kChunk = 1 << 20;

} // namespace

#ifdef Q_OS_UNIX

Status writeWholeStream(int fd, QByteArrayView bytes, const std::atomic<bool>& stop)
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
            return Failure{QStringLiteral("Cannot write standard output: %1").arg(systemErrorText(errno))};
        data += put;
        left -= put;
    }
    return Status::success();
}

bool readerGone(int fd)
{
    struct stat info;
    if (::fstat(fd, &info) != 0 || !(S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)))
        return false;
    pollfd stream = {fd, POLLOUT, 0};
    return ::poll(&stream, 1, 0) == 1 && (stream.revents & (POLLERR | POLLHUP)) != 0;
}

bool sameRegularFile(int first, int second)
{
    struct stat one;
    struct stat other;
    return ::fstat(first, &one) == 0 && ::fstat(second, &other) == 0 && S_ISREG(one.st_mode) &&
           S_ISREG(other.st_mode) && one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

Status endForGoneReader()
{
    struct sigaction current = {};
    if (::sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler != SIG_IGN) {
        ::signal(SIGPIPE, SIG_DFL);
        ::raise(SIGPIPE);
    }
    return Failure{QStringLiteral("Cannot write standard output: %1").arg(systemErrorText(EPIPE))};
}

#else

bool readerGone(int)
{
    return false;
}

bool sameRegularFile(int, int)
{
    return false;
}

Status endForGoneReader()
{
    return Failure{QStringLiteral("Cannot write standard output: %1").arg(systemErrorText(EPIPE))};
}

Status writeWholeStream(int fd, QByteArrayView bytes, const std::atomic<bool>&)
{
    QFile out;
    if (!out.open(fd, QIODevice::WriteOnly) || out.write(bytes.data(), bytes.size()) != bytes.size() || !out.flush())
        return Failure{QStringLiteral("Cannot write standard output: %1").arg(out.errorString())};
    return Status::success();
}

#endif

} // namespace ostrand
