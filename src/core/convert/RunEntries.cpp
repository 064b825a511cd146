// SPDX-License-Identifier: MIT
#include "core/convert/RunEntries.h"

namespace ostrand {

void RunEntries::start(RunHost& host)
{
    m_count = host.entryCount();
    m_waiting.clear();
    m_waiting.reserve(m_count);
    for (qsizetype index = 1; index <= m_count; ++index)
        m_waiting.insert(host.entryKey(index));
    m_from = 1;
    m_moves = host.entryMoves();
}

qsizetype RunEntries::takeNext(RunHost& host)
{
    // Once entries have moved, a waiting one may lie anywhere: the search starts again from the top. Otherwise it
    // goes on below the last entry taken, so a run over a list nobody touches reads each key once.
    if (const quint64 moves = host.entryMoves(); moves != m_moves) {
        m_moves = moves;
        m_from = 1;
    }
    const qsizetype entries = host.entryCount();
    for (; !m_waiting.isEmpty() && m_from <= entries; ++m_from) {
        if (m_waiting.remove(host.entryKey(m_from)))
            return m_from++;
    }
    return 0;
}

} // namespace ostrand
