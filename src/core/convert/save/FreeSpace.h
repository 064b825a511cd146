// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QString>

namespace ostrand {

// The bytes a new file in the folder of the path may take, as far as the file system tells. A look at the same
// folder taken a few milliseconds earlier that found more than 256 MiB free is not taken again.
std::optional<qint64> freeSpaceFor(const QString& path);

// The bytes a new file in the folder may take, asked of the system each time (the platform's own call).
std::optional<qint64> freeBytesIn(const QString& folder);

} // namespace ostrand
