// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>

#include <QByteArray>

#include "core/common/Result.h"

namespace ostrand {

// Writes all the bytes to a stream (standard output), going on after an interrupted write unless `stop` is
// set. Fails with the system's description (a closed pipe, a full disk).
Status writeWholeStream(int fd, QByteArrayView bytes, const std::atomic<bool>& stop);

// Whether the reader of a stream has gone (a pipe or socket whose other end is closed), so that anything written
// to it would be lost; false for a file or terminal, and where the system cannot tell.
bool readerGone(int fd);

// Whether two streams are one regular file, such as standard output appending to the file standard input reads.
bool sameRegularFile(int first, int second);

// Ends the program as a write to a stream whose reader has gone would: by SIGPIPE where it has its usual effect.
// Returns, with the failure to report, where SIGPIPE is ignored.
Status endForGoneReader();

} // namespace ostrand
