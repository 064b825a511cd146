// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace ostrand::test {

// How one run of a built program ended and what it wrote.
struct ProgramRun
{
    int status = -1; // the exit status; -1 when it did not exit normally
    QByteArray out;
    QByteArray err;
};

// The built program's path (OSTRAND_BIN_DIR, set by CTest); empty when it is not known.
QString programPath(const QString& program);

// Runs a built program in `folder` (the test's working folder when empty) with its standard input fed from
// `input` and then closed, and waits up to a minute for it.
ProgramRun runProgram(const QString& program, const QStringList& arguments, const QString& folder = QString(),
                      const QByteArray& input = QByteArray());

} // namespace ostrand::test
