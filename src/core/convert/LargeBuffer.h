// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>

namespace ostrand {

// Sizes a buffer for bytes about to be written into it (its new bytes are left unset). A large buffer is
// backed by huge pages where the system offers them, so filling hundreds of megabytes costs a few hundred
// page faults instead of tens of thousands.
void resizeForWriting(QByteArray& buffer, qsizetype size);

} // namespace ostrand
