// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

namespace ostrand {

// Asked by a long piece of folder work every so often whether to go on, so that the caller can yield to
// its host on the way and end the work early by answering false.
using WorkGoesOn = std::function<bool()>;

// The entries a loop handles between two questions: enough that asking costs next to nothing, few enough
// that a slow file system is still asked in time.
inline constexpr int EntriesPerGoOnCheck = 64;

// Counts the entries of a loop and asks at every EntriesPerGoOnCheck-th whether to go on. Without a
// question to ask it always goes on.
class GoOnChecks
{
public:
    explicit GoOnChecks(const WorkGoesOn& goOn) : m_goOn(goOn) {}

    bool goOn()
    {
        if (!m_goOn || --m_untilCheck > 0)
            return true;
        m_untilCheck = EntriesPerGoOnCheck;
        return m_goOn();
    }

private:
    const WorkGoesOn& m_goOn;
    int m_untilCheck = EntriesPerGoOnCheck;
};

} // namespace ostrand
