// SPDX-License-Identifier: MIT
#include "core/filelist/SampleCopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "core/filelist/FileListing.h"

namespace ostrand {

QString UserSampleFolder()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    // A name read from bytes that are not valid UTF-8 (the home folder's) names no folder.
    if (data.isEmpty() || data.contains(QChar::ReplacementCharacter))
        return QString();
    return QDir::toNativeSeparators(data + QStringLiteral("/Samples"));
}

Result<QString> UsableSampleFolder(const QString& samples, bool samplesWritable, const QString& userCopy)
{
    if (samplesWritable || userCopy.isEmpty() || !QFileInfo(samples).isDir())
        return samples;
    const Result<QStringList> names = GetFilesInFolder(samples, QStringLiteral("*.*"));
    if (!names)
        return Failure{names.error()};
    if (!QDir().mkpath(userCopy))
        return Failure{QStringLiteral("The folder %1 could not be created").arg(userCopy)};

    for (const QString& name : names.value()) {
        const QString source = samples + QLatin1Char('/') + name;
        const QString copy = userCopy + QLatin1Char('/') + name;
        const QFileInfo existing(copy);
        if (existing.exists() || existing.isSymLink())
            continue; // copied before: perhaps changed by the user since, so never replaced
        QFile file(source);
        if (!file.copy(copy))
            return Failure{QStringLiteral("%1 could not be copied to %2: %3").arg(source, copy, file.errorString())};
        // The copy is the user's own, to read and change, whatever the installed file's permissions are.
        QFile::setPermissions(copy, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                        QFileDevice::ReadOther);
    }
    return userCopy;
}

} // namespace ostrand
