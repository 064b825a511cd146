// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>

#include <QByteArray>

#include "core/common/Result.h"

namespace ostrand {

// Reads a stream (standard input) to its end. A signal that arrives while the read waits ends the wait once
// `stop` is set; the text read so far is then dropped. Sized once when the stream is a regular file.
Result<QByteArray> readWholeStream(int fd, const std::atomic<bool>& stop);

// Writes all the bytes to a stream (standard output), going on after an interrupted write unless `stop` is
// set. Fails with the system's description (a closed pipe, a full disk).
Status writeWholeStream(int fd, const QByteArray& bytes, const std::atomic<bool>& stop);

} // namespace ostrand
