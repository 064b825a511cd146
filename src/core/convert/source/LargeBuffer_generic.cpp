// SPDX-License-Identifier: MIT
#include "core/convert/source/LargeBuffer.h"

namespace ostrand {

// Without a way to advise the memory system, a large buffer is an ordinary one.

void resizeForWriting(QByteArray& buffer, qsizetype size)
{
    buffer.resize(size);
}

void releaseLargeBuffer(QByteArray& buffer, const SliceBreak&)
{
    buffer = QByteArray();
}

} // namespace ostrand
