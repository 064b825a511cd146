// SPDX-License-Identifier: MIT
#pragma once

#include <QSet>

#include "core/convert/ConversionOptions.h"

namespace ostrand {

// The entries one run converts: those in the list when it starts, each exactly once, whatever the user reorders
// meanwhile. Each turn takes the first of them, in the list's order of that moment, that has not been taken yet:
// an entry dragged up is converted sooner, one converted already is not converted again wherever it is dragged, and
// entries appended during the run are left for the next one.
class RunEntries
{
public:
    // Notes the entries the list holds now.
    void start(RunHost& host);
    // How many entries the list held at the start.
    qsizetype count() const { return m_count; }
    // The index (from 1) of the next entry to convert, which is taken; 0 when none of the waiting entries is in the
    // list any more.
    qsizetype takeNext(RunHost& host);

private:
    QSet<quint64> m_waiting;
    qsizetype m_count = 0;
    qsizetype m_from = 1; // no waiting entry lies above this index while the list's order stays as it was
    quint64 m_moves = 0;  // the host's entryMoves() when m_from was set
};

} // namespace ostrand
