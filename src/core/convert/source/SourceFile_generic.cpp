// SPDX-License-Identifier: MIT
#include "core/convert/source/SourceFile.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace ostrand {

SourceFile::SourceFile() = default;

SourceFile::~SourceFile() = default;

Status SourceFile::open(const QString& path, const SliceBreak&)
{
    m_path = path;
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return Failure{readFailure(path, notFoundReason(path))};
    if (info.isDir())
        return Failure{readFailure(path, QStringLiteral("It is a folder, not a file"))};
    if (!info.isFile())
        return Failure{readFailure(path, QStringLiteral("It is not a regular file"))};
    m_file = std::make_unique<QFile>(path);
    if (!m_file->open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return Failure{readFailure(path, m_file->errorString())};
    m_size = m_file->size();
    return Status::success();
}

Status SourceFile::read(qint64 offset, char* into, qsizetype size)
{
    if (!m_file->seek(offset))
        return Failure{readFailure(m_path, m_file->errorString())};
    while (size > 0) {
        const qint64 got = m_file->read(into, size);
        if (got < 0)
            return Failure{readFailure(m_path, m_file->errorString())};
        if (got == 0)
            return Failure{readFailure(m_path, changedReason())};
        into += got;
        size -= got;
    }
    return Status::success();
}

Status SourceFile::readToEnd(qint64 offset, char* into, qsizetype size)
{
    return read(offset, into, size);
}

Status SourceFile::checkUnchanged()
{
    char more = 0;
    if (!m_file->seek(m_size) || m_file->read(&more, 1) != 0 || m_file->size() != m_size)
        return Failure{readFailure(m_path, changedReason())};
    return Status::success();
}

Status SourceFile::openStream(int fd, const QString& name, const SliceBreak& pause)
{
    // The stream's bytes are kept in a temporary file, which is then read as any source.
    QFile in;
    if (!in.open(fd, QIODevice::ReadOnly))
        return Failure{readFailure(name, in.errorString())};
    auto kept = std::make_unique<QTemporaryFile>();
    if (!kept->open())
        return Failure{readFailure(name, kept->errorString())};
    for (;;) {
        const QByteArray slice = in.read(kWorkSliceBytes);
        if (slice.isEmpty())
            break;
        if (kept->write(slice) != slice.size())
            return Failure{readFailure(name, kept->errorString())};
        if (!offerBreak(pause))
            return Failure{QString()};
    }
    m_path = name;
    m_size = kept->size();
    m_file = std::move(kept);
    return Status::success();
}

} // namespace ostrand
