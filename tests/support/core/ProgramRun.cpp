// SPDX-License-Identifier: MIT
#include "support/core/ProgramRun.h"

#include <QProcess>

namespace ostrand::test {

QString programPath(const QString& program)
{
    const QString bin = qEnvironmentVariable("OSTRAND_BIN_DIR");
    return bin.isEmpty() ? QString() : bin + QLatin1Char('/') + program;
}

ProgramRun runProgram(const QString& program, const QStringList& arguments, const QString& folder,
                      const QByteArray& input)
{
    ProgramRun run;
    QProcess process;
    if (!folder.isEmpty())
        process.setWorkingDirectory(folder);
    process.start(programPath(program), arguments);
    if (!process.waitForStarted(60000))
        return run;
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    if (process.exitStatus() == QProcess::NormalExit && process.state() == QProcess::NotRunning)
        run.status = process.exitCode();
    return run;
}

} // namespace ostrand::test
