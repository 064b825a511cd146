// SPDX-License-Identifier: MIT
#include "cli/StandardStreams.h"

#include <cerrno>
#include <cstring>

#include <QFile>

#include "core/common/SystemText.h"

#ifdef Q_OS_UNIX
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

#else

Status writeWholeStream(int fd, QByteArrayView bytes, const std::atomic<bool>&)
{
    QFile out;
    if (!out.open(fd, QIODevice::WriteOnly) || out.write(bytes.data(), bytes.size()) != bytes.size() || !out.flush())
        return Failure{QStringLiteral("Cannot write standard output: %1").arg(out.errorString())};
    return Status::success();
}

#endif

} // namespace ostrand
