// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>

#include <QByteArray>

#include "core/common/Result.h"

namespace ostrand {

// Writes all the bytes to a stream (standard output), going on after an interrupted write unless `stop` is
// set. Fails with the system's description (a closed pipe, a full disk).
Status writeWholeStream(int fd, QByteArrayView bytes, const std::atomic<bool>& stop);

} // namespace ostrand
