// SPDX-License-Identifier: MIT
#pragma once

#include <QElapsedTimer>
#include <QtGlobal>

namespace ostrand {

// The window's frames during long work: the work offers the event loop a turn often (per file, per slice,
// per share of a file's lines), and a turn is taken only when a frame is due, so a run of thousands of small
// files costs about as many repaints as it takes frames of time, not a few per file. The window stays live:
// no frame is further than one offer past its due time.
class EventFrames
{
public:
    // A frame's length: about 60 frames a second.
    static constexpr qint64 kFrameMs = 16;

    // The next offer is a turn: an operation that begins shows itself at once.
    void restart() { m_sinceTurn.invalidate(); }
    bool due() const { return !m_sinceTurn.isValid() || m_sinceTurn.elapsed() >= kFrameMs; }
    // A turn was taken now.
    void turned() { m_sinceTurn.start(); }

private:
    QElapsedTimer m_sinceTurn;
};

} // namespace ostrand
