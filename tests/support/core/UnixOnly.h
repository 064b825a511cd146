// SPDX-License-Identifier: MIT
#pragma once

#include <QtTest>

// A test of what only a Unix system has (symbolic links as Unix makes them, modes and owners, descriptor limits,
// /proc) is skipped on Windows, so that the Windows run counts it as skipped and says why.
#ifdef Q_OS_WIN
#define OSTRAND_UNIX_ONLY(what) QSKIP("on Unix only: " what)
#else
#define OSTRAND_UNIX_ONLY(what) static_cast<void>(0)
#endif

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace ostrand::test {

// A symbolic link that holds TARGET as it is written, relative or not (QFile::link makes it absolute).
inline bool makeSymbolicLink(const char* target, const QString& at)
{
#ifdef Q_OS_WIN
    Q_UNUSED(target);
    Q_UNUSED(at);
    return false;
#else
    return ::symlink(target, QFile::encodeName(at).constData()) == 0;
#endif
}

} // namespace ostrand::test
