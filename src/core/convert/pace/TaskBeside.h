// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

#include "core/common/Result.h"

namespace ostrand {

// Runs one task at a time on a thread of its own while the caller goes on: work that overlaps with the
// caller's, such as a chunk of a document written while the next one is made, or the next slice of a source
// read while the one before is cut. Making one throws std::system_error when no thread can be had; the caller
// then does the work itself.
class TaskBeside
{
public:
    TaskBeside() : m_thread([this] { run(); }) {}
    ~TaskBeside()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_changed.notify_all();
        m_thread.join(); // after the task under way
    }
    TaskBeside(const TaskBeside&) = delete;
    TaskBeside& operator=(const TaskBeside&) = delete;

    // Starts the task, once the one before is done (its outcome is let go unless wait() took it).
    void start(std::function<Status()> task)
    {
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return !m_busy; });
            m_task = std::move(task);
            m_outcome = Status::success();
            m_busy = true;
        }
        m_changed.notify_all();
    }

    // Waits at most `timeout` for the task under way; true when none is under way (any more).
    bool waitFor(std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(m_mutex);
        if (!m_busy || timeout.count() <= 0) // a look alone costs no call to the system
            return !m_busy;
        return m_changed.wait_for(lock, timeout, [this] { return !m_busy; });
    }

    // Waits for the task under way, if any: how it ended, or success when there was none.
    Status wait()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_busy; });
        return std::exchange(m_outcome, Status::success());
    }

private:
    void run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_busy || m_quit; });
            if (!m_busy)
                return;
            const std::function<Status()> task = std::move(m_task);
            lock.unlock();
            Status outcome = task();
            lock.lock();
            m_outcome = std::move(outcome);
            m_busy = false;
            m_changed.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::function<Status()> m_task;
    bool m_busy = false;
    bool m_quit = false;
    Status m_outcome;
    std::thread m_thread; // last, so that it starts once the rest is made
};

} // namespace ostrand
