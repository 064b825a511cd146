// SPDX-License-Identifier: MIT
#include "core/convert/save/AtomicSave.h"

#include <utility>

#include <QSaveFile>

#include "core/convert/save/OutputTarget.h"

namespace ostrand {

// Elsewhere the save is Qt's own.
class AtomicSave::Fallback
{
public:
    explicit Fallback(const QString& file) : save(file) {}
    QSaveFile save;
};

AtomicSave::AtomicSave(AtomicSave&& other) noexcept : m_fallback(std::move(other.m_fallback))
{
}

AtomicSave& AtomicSave::operator=(AtomicSave&& other) noexcept
{
    if (this != &other) {
        cancel();
        m_fallback = std::move(other.m_fallback);
    }
    return *this;
}

Status AtomicSave::open(const QString& file)
{
    cancel();
    auto fallback = std::make_unique<Fallback>(file);
    if (!fallback->save.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return Failure{fallback->save.errorString()};
    m_fallback = std::move(fallback);
    return Status::success();
}

bool AtomicSave::isOpen() const
{
    return m_fallback != nullptr;
}

int AtomicSave::handle() const
{
    return m_fallback ? m_fallback->save.handle() : -1;
}

Status AtomicSave::write(const char* data, qint64 size)
{
    while (m_fallback && size > 0) {
        const qint64 done = m_fallback->save.write(data, size);
        if (done <= 0)
            return Failure{m_fallback->save.errorString()};
        data += done;
        size -= done;
    }
    return Status::success();
}

Status AtomicSave::place(const std::optional<SeenFile>& replacing)
{
    if (!m_fallback)
        return Failure{QStringLiteral("Nothing was written")};
    // Another file at the name now is someone else's; Qt's save would replace it.
    if (replacing) {
        const std::optional<FileIdentity> there = identityAt(m_fallback->save.fileName());
        if (there && *there != replacing->identity) {
            cancel();
            return Failure{nameTakenMeanwhile()};
        }
    }
    const bool committed = m_fallback->save.commit();
    const QString reason = m_fallback->save.errorString();
    m_fallback.reset();
    return committed ? Status::success() : Failure{reason};
}

void AtomicSave::syncFolderOf(const QString&)
{
}

Status AtomicSave::readBack(qint64, char*, qsizetype)
{
    return Failure{QStringLiteral("The document could not be read back")};
}

void AtomicSave::cancel()
{
    if (m_fallback)
        m_fallback->save.cancelWriting();
    m_fallback.reset();
}

AtomicSave::AtomicSave() = default;

AtomicSave::~AtomicSave()
{
    cancel();
}

} // namespace ostrand
