// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <optional>

#include <QByteArray>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
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
// own process. No answer (std::nullopt, with the reason in `why`) when root cannot become "nobody". With
// `alsoInGroup`, "nobody" is also a member of that group (root only).
inline std::optional<QByteArray> runUnprivileged(const std::function<QByteArray()>& work, QString* why,
                                                 std::optional<gid_t> alsoInGroup = std::nullopt)
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
        const gid_t groups[1] = {alsoInGroup.value_or(gid)};
        if (::setgroups(alsoInGroup ? 1 : 0, groups) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0 ||
            ::geteuid() == 0)
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

// The user "nobody" that tests running as root act as; none when there is no such user.
inline const passwd* nobodyUser()
{
    return ::getpwnam("nobody");
}

// Hands a file, or a folder and all it holds, to the user "nobody" where the tests run as root, so that work done
// as that user can reach them; does nothing for any other user. False when it could not.
inline bool handToNobody(const QString& path)
{
    const passwd* nobody = nobodyUser();
    if (::geteuid() != 0)
        return true;
    if (!nobody)
        return false;
    const auto give = [&](const QString& at) {
        return ::lchown(QFile::encodeName(at).constData(), nobody->pw_uid, nobody->pw_gid) == 0;
    };
    bool given = give(path);
    QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        given = give(it.next()) && given;
    return given;
}

// Makes a program started by the process run as the user "nobody" where the tests run as root (Qt refuses to run
// a program whose effective user differs from its real one, so the child gives up root whole before it starts
// it). Does nothing for any other user. False, with the reason in `why`, when there is no such user.
inline bool startAsNobody(QProcess& process, QString* why)
{
    if (::geteuid() != 0)
        return true;
    const passwd* nobody = nobodyUser();
    if (!nobody) {
        *why = QStringLiteral("the tests run as root and there is no user \"nobody\" to run as");
        return false;
    }
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    process.setChildProcessModifier([uid, gid] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
            ::_exit(77);
    });
    return true;
}

// While it lives, the process acts as the user "nobody" where the tests run as root (its effective user and group,
// which the file system checks), so permission bits stop it as they stop any user; the old ones come back at the
// end. Does nothing for any other user. active() is false, with the reason in why(), when root cannot act as
// "nobody": the caller then skips, saying so.
class ActingAsNobody
{
public:
    ActingAsNobody()
    {
        if (::geteuid() != 0)
            return;
        const passwd* nobody = nobodyUser();
        if (!nobody) {
            m_why = QStringLiteral("the tests run as root and there is no user \"nobody\" to act as");
            return;
        }
        if (::setegid(nobody->pw_gid) != 0 || ::seteuid(nobody->pw_uid) != 0) {
            ::setegid(0);
            m_why = QStringLiteral("the tests run as root and could not act as the user \"nobody\"");
            return;
        }
        m_switched = true;
    }
    ~ActingAsNobody()
    {
        if (m_switched && (::seteuid(0) != 0 || ::setegid(0) != 0))
            ::abort(); // the rest of the tests would run as the wrong user
    }
    ActingAsNobody(const ActingAsNobody&) = delete;
    ActingAsNobody& operator=(const ActingAsNobody&) = delete;
    bool active() const { return m_why.isEmpty(); }
    const QString& why() const { return m_why; }

private:
    bool m_switched = false;
    QString m_why;
};

} // namespace ostrand::test
