// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QtGlobal>

#ifdef Q_OS_WIN
// Windows has no per-process descriptor limit a test could lower: the tests that need one are skipped there
// (OSTRAND_UNIX_ONLY), and this stands in so that they compile.
namespace ostrand::test {
class DescriptorExhaustion
{
public:
    bool active() const { return false; }
};
} // namespace ostrand::test
#else
#include <sys/resource.h>
#include <unistd.h>

namespace ostrand::test {

// Uses up every file descriptor the process may open, so the next attempt to open a folder fails with
// "Too many open files". Tests run as root, whom permission bits do not stop; this failure stops anyone.
// Everything is given back when the object goes.
class DescriptorExhaustion
{
public:
    DescriptorExhaustion()
    {
        if (::getrlimit(RLIMIT_NOFILE, &m_saved) != 0)
            return;
        rlimit low = m_saved;
        low.rlim_cur = 64; // a small limit, so only a few descriptors need taking
        if (::setrlimit(RLIMIT_NOFILE, &low) != 0)
            return;
        m_lowered = true;
        for (int fd = ::dup(0); fd >= 0; fd = ::dup(0))
            m_held.append(fd);
    }
    ~DescriptorExhaustion()
    {
        for (int fd : m_held)
            ::close(fd);
        if (m_lowered)
            ::setrlimit(RLIMIT_NOFILE, &m_saved);
    }
    DescriptorExhaustion(const DescriptorExhaustion&) = delete;
    DescriptorExhaustion& operator=(const DescriptorExhaustion&) = delete;

    bool active() const { return m_lowered && !m_held.isEmpty(); }

private:
    rlimit m_saved{};
    bool m_lowered = false;
    QList<int> m_held;
};

} // namespace ostrand::test
#endif
