// SPDX-License-Identifier: MIT
#include "core/convert/SourceText.h"

#include <array>
#include <cstring>
#include <new>

#include <QFile>
#include <QFileInfo>

#include "core/convert/ByteScan.h"
#include "core/convert/LargeBuffer.h"

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ostrand {

namespace {

// Appends the UTF-8 form of one code point (below U+110000, not a surrogate) and returns the new end.
char* putUtf8(char* out, char32_t c)
{
    if (c < 0x80) {
        *out++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *out++ = static_cast<char>(0xC0 | (c >> 6));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (c >> 12));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (c >> 18));
        *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

// The code points of the Windows-1252 bytes 80 to 9F; from A0 on, a byte is its own code point.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t windows1252CodePoint(unsigned char byte)
{
    return byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : char16_t(byte);
}

qsizetype utf8Length(char32_t c)
{
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

QString readFailure(const QString& path, const QString& reason)
{
    return QStringLiteral("Cannot read %1: %2").arg(path, reason);
}

} // namespace

namespace {

// UTF-16 in either byte order to UTF-8; `high` is the offset of a code unit's high byte (1 for little-endian,
// 0 for big-endian). An odd last byte is one more code unit with a zero high byte.
QByteArray utf16ToUtf8(const char* data, qsizetype size, int high, const SliceBreak& pause)
{
    const auto* s = reinterpret_cast<const unsigned char*>(data);
    const int low = 1 - high;
    const qsizetype units = (size + 1) / 2;
    // Four ASCII code units at a time: every high byte zero and every low byte below 80.
    const quint64 notAscii = high == 1 ? 0xFF80FF80FF80FF80ULL : 0x80FF80FF80FF80FFULL;
    // Each code unit needs at most three bytes (a pair of surrogates needs four for two units).
    QByteArray result;
    resizeForWriting(result, units * 3);
    char* out = result.data();
    const auto unitAt = [&](qsizetype u) -> char16_t {
        const qsizetype b = 2 * u;
        if (b + 1 >= size)
            return char16_t(s[b]);
        return char16_t(s[b + low] | (s[b + high] << 8));
    };
    qsizetype u = 0;
    while (u < units) {
        if (u > 0 && !offerBreak(pause))
            return QByteArray();
        // A pair of surrogates may end one unit past the slice.
        const qsizetype sliceEnd = qMin(units, u + kWorkSliceBytes / 2);
        while (u < sliceEnd) {
            if (units - u >= 4 && 2 * u + 8 <= size) {
                quint64 word;
                std::memcpy(&word, s + 2 * u, 8);
                if ((word & notAscii) == 0) {
                    out[0] = static_cast<char>(s[2 * u + low]);
                    out[1] = static_cast<char>(s[2 * u + 2 + low]);
                    out[2] = static_cast<char>(s[2 * u + 4 + low]);
                    out[3] = static_cast<char>(s[2 * u + 6 + low]);
                    out += 4;
                    u += 4;
                    continue;
                }
            }
            const char16_t unit = unitAt(u);
            if (unit < 0xD800 || unit > 0xDFFF) {
                out = putUtf8(out, unit);
                ++u;
            } else if (unit <= 0xDBFF && u + 1 < units && unitAt(u + 1) >= 0xDC00 && unitAt(u + 1) <= 0xDFFF) {
                const char32_t c = 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(unitAt(u + 1)) - 0xDC00);
                out = putUtf8(out, c);
                u += 2;
            } else {
                out = putUtf8(out, 0xFFFD);
                ++u;
            }
        }
    }
    result.resize(out - result.constData());
    return result;
}

} // namespace

QByteArray utf16LeToUtf8(const char* data, qsizetype size, const SliceBreak& pause)
{
    return utf16ToUtf8(data, size, 1, pause);
}

QByteArray utf16BeToUtf8(const char* data, qsizetype size, const SliceBreak& pause)
{
    return utf16ToUtf8(data, size, 0, pause);
}

QByteArray windows1252ToUtf8(const char* data, qsizetype size, const SliceBreak& pause)
{
    const auto* s = reinterpret_cast<const unsigned char*>(data);
    qsizetype length = 0;
    const bool measured = inSlices(size, pause, [&](qsizetype begin, qsizetype end) {
        for (qsizetype i = begin; i < end; ++i)
            length += s[i] < 0x80 ? 1 : utf8Length(windows1252CodePoint(s[i]));
    });
    if (!measured || !offerBreakAfter(size, pause))
        return QByteArray();
    QByteArray result;
    resizeForWriting(result, length);
    char* out = result.data();
    const bool converted = inSlices(size, pause, [&](qsizetype begin, qsizetype end) {
        for (qsizetype i = begin; i < end; ++i) {
            if (s[i] < 0x80)
                *out++ = static_cast<char>(s[i]);
            else
                out = putUtf8(out, windows1252CodePoint(s[i]));
        }
    });
    return converted ? result : QByteArray();
}

QByteArray decodeSourceBytes(QByteArray bytes, const SliceBreak& pause)
{
    if (bytes.isEmpty())
        return bytes;
    const auto first = static_cast<unsigned char>(bytes.front());
    const auto second = bytes.size() > 1 ? static_cast<unsigned char>(bytes.at(1)) : 0;
    const bool littleEndian = first == 0xFF && second == 0xFE;
    if (littleEndian || (first == 0xFE && second == 0xFF)) {
        QByteArray text = littleEndian ? utf16LeToUtf8(bytes.constData(), bytes.size(), pause)
                                       : utf16BeToUtf8(bytes.constData(), bytes.size(), pause);
        releaseLargeBuffer(bytes, pause);
        return text;
    }
    Utf8Check check;
    bool valid = true;
    const bool checked = inSlices(bytes.size(), pause, [&](qsizetype begin, qsizetype end) {
        valid = valid && check.add(bytes.constData() + begin, end - begin);
    });
    if (!checked)
        return QByteArray();
    if (valid && check.complete())
        return bytes;
    if (!offerBreakAfter(bytes.size(), pause))
        return QByteArray();
    QByteArray text = windows1252ToUtf8(bytes.constData(), bytes.size(), pause);
    releaseLargeBuffer(bytes, pause);
    return text;
}

namespace {

// A missing path whose name holds U+FFFD came from bytes that are not valid UTF-8: no name we can pass
// on reaches that file.
QString notFoundReason(const QString& path)
{
    if (path.contains(QChar::ReplacementCharacter))
        return QStringLiteral("The name is not valid UTF-8, so the file cannot be reached by it");
    return QStringLiteral("File not found");
}

QString changedReason()
{
    return QStringLiteral("The file changed while it was read");
}

#ifdef Q_OS_UNIX

// Closes a descriptor on every way out.
class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool sameState(const struct stat& a, const struct stat& b)
{
    return a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// Reads the whole file. It is opened without waiting (a FIFO put in the file's place since it was listed
// opens at once) and its kind is checked on the opened descriptor, so what is read is what was checked.
// A file that changes while it is read (shorter, longer, written to) fails: its text would be neither the
// old nor the new one.
Result<QByteArray> readSourceBytes(const QString& path, const SliceBreak& pause)
{
    if (path.isEmpty())
        return Failure{readFailure(path, notFoundReason(path))};
    int fd = -1;
    do {
        fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR && offerBreak(pause));
    if (fd < 0) {
        const int error = errno;
        if (error == EINTR)
            return QByteArray(); // stopped
        return Failure{readFailure(path, error == ENOENT ? notFoundReason(path) : systemText(error))};
    }
    const Descriptor file(fd);
    struct stat before;
    if (::fstat(fd, &before) != 0)
        return Failure{readFailure(path, systemText(errno))};
    if (S_ISDIR(before.st_mode))
        return Failure{readFailure(path, QStringLiteral("It is a folder, not a file"))};
    // FIFOs, sockets and devices could block a read or never end.
    if (!S_ISREG(before.st_mode))
        return Failure{readFailure(path, QStringLiteral("It is not a regular file"))};
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        return Failure{readFailure(path, systemText(errno))};
    if (before.st_size <= 0)
        return emptyFileText();

    QByteArray bytes;
    resizeForWriting(bytes, qsizetype(before.st_size));
    qsizetype filled = 0;
    while (filled < bytes.size()) {
        if (filled > 0 && !offerBreak(pause))
            return QByteArray();
        const ssize_t got = ::read(fd, bytes.data() + filled, size_t(qMin(bytes.size() - filled, kWorkSliceBytes)));
        if (got < 0 && errno == EINTR)
            continue; // an interrupt asking to stop is seen at the next break
        if (got < 0)
            return Failure{readFailure(path, systemText(errno))};
        if (got == 0)
            return Failure{readFailure(path, changedReason())}; // it shrank
        filled += got;
    }
    char more = 0;
    ssize_t extra = 0;
    do {
        extra = ::read(fd, &more, 1);
    } while (extra < 0 && errno == EINTR);
    struct stat after;
    if (extra != 0 || ::fstat(fd, &after) != 0 || !sameState(before, after))
        return Failure{readFailure(path, changedReason())};
    return bytes;
}

#else

Result<QByteArray> readSourceBytes(const QString& path, const SliceBreak& pause)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return Failure{readFailure(path, notFoundReason(path))};
    if (info.isDir())
        return Failure{readFailure(path, QStringLiteral("It is a folder, not a file"))};
    if (!info.isFile())
        return Failure{readFailure(path, QStringLiteral("It is not a regular file"))};
    if (info.size() <= 0)
        return emptyFileText();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return Failure{readFailure(path, file.errorString())};
    QByteArray bytes;
    resizeForWriting(bytes, file.size());
    qsizetype filled = 0;
    while (filled < bytes.size()) {
        if (filled > 0 && !offerBreak(pause))
            return QByteArray();
        const qint64 got = file.read(bytes.data() + filled, qMin(bytes.size() - filled, kWorkSliceBytes));
        if (got < 0)
            return Failure{readFailure(path, file.errorString())};
        if (got == 0)
            return Failure{readFailure(path, changedReason())};
        filled += got;
    }
    char more = 0;
    if (file.read(&more, 1) != 0 || file.size() != filled)
        return Failure{readFailure(path, changedReason())};
    return bytes;
}

#endif

} // namespace

Result<QByteArray> ReadCSVText(const QString& path, const SliceBreak& pause)
{
    // A source too large for the memory at hand fails like any unreadable one: its reading takes the
    // memory once for the bytes and once more for a decoded copy.
    try {
        Result<QByteArray> bytes = readSourceBytes(path, pause);
        if (!bytes || bytes.value().isEmpty())
            return bytes;
        if (!offerBreakAfter(bytes.value().size(), pause))
            return QByteArray();
        return decodeSourceBytes(std::move(bytes.value()), pause);
    } catch (const std::bad_alloc&) {
#ifdef Q_OS_UNIX
        return Failure{readFailure(path, systemText(ENOMEM))};
#else
        return Failure{readFailure(path, QStringLiteral("Not enough memory"))};
#endif
    }
}

} // namespace ostrand
