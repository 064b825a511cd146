// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <optional>

#include <QByteArray>
#include <QFile>
#include <QString>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ostrand::test {

// Runs work the way an ordinary user would meet the file system. Permission bits do not stop root, and
// tests run as root here and in CI: then the work runs in a child process that has given up root for the
// user "nobody", and its answer comes back through a pipe. Run by anyone else, the work runs in the test's
// own process. No answer (std::nullopt, with the reason in `why`) when root cannot become "nobody".
inline std::optional<QByteArray> runUnprivileged(const std::function<QByteArray()>& work, QString* why)
{
    if (::geteuid() != 0)
        return work();
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody) {
        *why = QStringLiteral("the tests run as root and there is no user \"nobody\" to run as");
        return std::nullopt;
    }
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    int channel[2];
    if (::pipe(channel) != 0) {
        *why = QStringLiteral("no pipe to the child process");
        return std::nullopt;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0 || ::geteuid() == 0)
            ::_exit(77);
        const QByteArray answer = work();
        qsizetype written = 0;
        while (written < answer.size()) {
            const ssize_t n = ::write(channel[1], answer.constData() + written, std::size_t(answer.size() - written));
            if (n <= 0)
                ::_exit(1);
            written += n;
        }
        ::_exit(0);
    }
    ::close(channel[1]);
    if (child < 0) {
        ::close(channel[0]);
        *why = QStringLiteral("no child process could be started");
        return std::nullopt;
    }
    QByteArray answer;
    char buffer[4096];
    for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;)
        answer.append(buffer, n);
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) {
        *why = QStringLiteral("the tests run as root and could not become the user \"nobody\"");
        return std::nullopt;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        *why = QStringLiteral("the unprivileged child process failed");
        return std::nullopt;
    }
    return answer;
}

// A folder mode that lets the user of runUnprivileged list a folder's names but not search it (look up or
// open what it holds): for "nobody" the bits of others, for the owner the owner's.
inline mode_t readButNotSearchMode()
{
    return ::geteuid() == 0 ? 0744 : 0644;
}

// Sets a path's mode for as long as the object lives, then puts the old one back.
class ModeChange
{
public:
    ModeChange(const QString& path, mode_t mode) : m_path(QFile::encodeName(path))
    {
        struct stat info
        {
        };
        if (::stat(m_path.constData(), &info) != 0)
            return;
        m_old = info.st_mode & 07777;
        m_changed = ::chmod(m_path.constData(), mode) == 0;
    }
    ~ModeChange()
    {
        if (m_changed)
            ::chmod(m_path.constData(), m_old);
    }
    ModeChange(const ModeChange&) = delete;
    ModeChange& operator=(const ModeChange&) = delete;
    bool changed() const { return m_changed; }

private:
    QByteArray m_path;
    mode_t m_old = 0;
    bool m_changed = false;
};

} // namespace ostrand::test
