// SPDX-License-Identifier: MIT
#include "core/convert/SourceText.h"

#include <array>
#include <cstring>
#include <new>

#include <QFile>
#include <QFileInfo>

#include "core/common/Paths.h"
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

QString readFailure(const QString& path, const QString& reason)
{
    return QStringLiteral("Cannot read %1: %2").arg(path, reason);
}

} // namespace

SourceEncoding byteOrderMarkEncoding(const char* data, qsizetype size)
{
    if (size < 2)
        return SourceEncoding::Utf8;
    const auto first = static_cast<unsigned char>(data[0]);
    const auto second = static_cast<unsigned char>(data[1]);
    if (first == 0xFF && second == 0xFE)
        return SourceEncoding::Utf16LittleEndian;
    if (first == 0xFE && second == 0xFF)
        return SourceEncoding::Utf16BigEndian;
    return SourceEncoding::Utf8;
}

char* SourceDecoder::putUnit(char* out, char16_t unit)
{
    if (m_highSurrogate != 0) {
        const char32_t high = m_highSurrogate;
        m_highSurrogate = 0;
        if (unit >= 0xDC00 && unit <= 0xDFFF)
            return putUtf8(out, 0x10000 + ((high - 0xD800) << 10) + (char32_t(unit) - 0xDC00));
        out = putUtf8(out, 0xFFFD);
    }
    if (unit >= 0xD800 && unit <= 0xDBFF)
        m_highSurrogate = unit;
    else if (unit >= 0xDC00 && unit <= 0xDFFF)
        out = putUtf8(out, 0xFFFD);
    else
        out = putUtf8(out, unit);
    return out;
}

QByteArrayView SourceDecoder::add(const char* data, qsizetype size)
{
    const auto* s = reinterpret_cast<const unsigned char*>(data);
    switch (m_encoding) {
    case SourceEncoding::Utf8:
        return QByteArrayView(data, size);
    case SourceEncoding::Windows1252: {
        if (m_out.size() < 3 * size)
            m_out.resize(3 * size);
        char* out = m_out.data();
        for (qsizetype i = 0; i < size; ++i) {
            if (s[i] < 0x80)
                *out++ = static_cast<char>(s[i]);
            else
                out = putUtf8(out, windows1252CodePoint(s[i]));
        }
        return QByteArrayView(m_out.constData(), out - m_out.constData());
    }
    case SourceEncoding::Utf16LittleEndian:
    case SourceEncoding::Utf16BigEndian:
        break;
    }
    const bool littleEndian = m_encoding == SourceEncoding::Utf16LittleEndian;
    const int low = littleEndian ? 0 : 1;
    const int high = 1 - low;
    // Each code unit needs at most three bytes, and a held surrogate three more.
    const qsizetype room = (size / 2 + 1) * 3 + 8;
    if (m_out.size() < room)
        m_out.resize(room);
    char* out = m_out.data();
    qsizetype i = 0;
    if (m_hasOddByte && size > 0) {
        m_hasOddByte = false;
        const unsigned first = m_oddByte;
        out = putUnit(out, char16_t(littleEndian ? first | (s[0] << 8) : (first << 8) | s[0]));
        i = 1;
    }
    // Four ASCII code units at a time: every high byte zero and every low byte below 80.
    const quint64 notAscii = littleEndian ? 0xFF80FF80FF80FF80ULL : 0x80FF80FF80FF80FFULL;
    while (i + 1 < size) {
        if (m_highSurrogate == 0 && i + 8 <= size) {
            quint64 word;
            std::memcpy(&word, s + i, 8);
            if ((word & notAscii) == 0) {
                out[0] = static_cast<char>(s[i + low]);
                out[1] = static_cast<char>(s[i + 2 + low]);
                out[2] = static_cast<char>(s[i + 4 + low]);
                out[3] = static_cast<char>(s[i + 6 + low]);
                out += 4;
                i += 8;
                continue;
            }
        }
        out = putUnit(out, char16_t(s[i + low] | (s[i + high] << 8)));
        i += 2;
    }
    if (i < size) {
        m_hasOddByte = true;
        m_oddByte = s[i];
    }
    return QByteArrayView(m_out.constData(), out - m_out.constData());
}

QByteArrayView SourceDecoder::finish()
{
    if (m_out.size() < 8)
        m_out.resize(8);
    char* out = m_out.data();
    if (m_hasOddByte) {
        // An odd last byte is one more code unit with a zero high byte.
        m_hasOddByte = false;
        out = putUnit(out, char16_t(m_oddByte));
    }
    if (m_highSurrogate != 0) {
        m_highSurrogate = 0;
        out = putUtf8(out, 0xFFFD);
    }
    return QByteArrayView(m_out.constData(), out - m_out.constData());
}

namespace {

// Decodes whole bytes through the piecewise decoder, a slice at a time with a break between slices.
QByteArray decodeWhole(SourceEncoding encoding, const char* data, qsizetype size, const SliceBreak& pause)
{
    SourceDecoder decoder(encoding);
    QByteArray result;
    // The text's size is not known before it is decoded: room for the larger of the likely sizes.
    result.reserve(encoding == SourceEncoding::Windows1252 ? size + size / 8 : size);
    const bool decoded = inSlices(size, pause, [&](qsizetype begin, qsizetype end) {
        const QByteArrayView text = decoder.add(data + begin, end - begin);
        result.append(text.data(), text.size());
    });
    if (!decoded)
        return QByteArray();
    const QByteArrayView rest = decoder.finish();
    result.append(rest.data(), rest.size());
    return result;
}

} // namespace

QByteArray utf16LeToUtf8(const char* data, qsizetype size, const SliceBreak& pause)
{
    return decodeWhole(SourceEncoding::Utf16LittleEndian, data, size, pause);
}

QByteArray utf16BeToUtf8(const char* data, qsizetype size, const SliceBreak& pause)
{
    return decodeWhole(SourceEncoding::Utf16BigEndian, data, size, pause);
}

QByteArray windows1252ToUtf8(const char* data, qsizetype size, const SliceBreak& pause)
{
    return decodeWhole(SourceEncoding::Windows1252, data, size, pause);
}

QByteArray decodeSourceBytes(QByteArray bytes, const SliceBreak& pause)
{
    if (bytes.isEmpty())
        return bytes;
    const SourceEncoding marked = byteOrderMarkEncoding(bytes.constData(), bytes.size());
    if (marked != SourceEncoding::Utf8) {
        QByteArray text = decodeWhole(marked, bytes.constData(), bytes.size(), pause);
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

QString notFoundReason(const QString& path)
{
    const QString undecodable = UndecodableNameReason(path);
    return undecodable.isEmpty() ? QStringLiteral("File not found") : undecodable;
}

QString changedReason()
{
    return QStringLiteral("The file changed while it was read");
}

#ifdef Q_OS_UNIX

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

#endif

} // namespace

#ifdef Q_OS_UNIX

SourceFile::~SourceFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

Status SourceFile::open(const QString& path, const SliceBreak& pause)
{
    m_path = path;
    if (path.isEmpty())
        return Failure{readFailure(path, notFoundReason(path))};
    int fd = -1;
    do {
        fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR && offerBreak(pause));
    if (fd < 0) {
        const int error = errno;
        if (error == EINTR)
            return Failure{QString()}; // stopped
        return Failure{readFailure(path, error == ENOENT ? notFoundReason(path) : systemText(error))};
    }
    m_fd = fd;
    struct stat info;
    if (::fstat(fd, &info) != 0)
        return Failure{readFailure(path, systemText(errno))};
    if (S_ISDIR(info.st_mode))
        return Failure{readFailure(path, QStringLiteral("It is a folder, not a file"))};
    // FIFOs, sockets and devices could block a read or never end.
    if (!S_ISREG(info.st_mode))
        return Failure{readFailure(path, QStringLiteral("It is not a regular file"))};
    // The file stays open without waiting: that changes nothing for a regular file, and a file system that
    // makes a read wait anyway is read in the usual way from then on (read()).
    m_size = qMax<qint64>(info.st_size, 0);
    m_mtimeSeconds = info.st_mtim.tv_sec;
    m_mtimeNanoseconds = info.st_mtim.tv_nsec;
#ifdef POSIX_FADV_SEQUENTIAL
    if (m_size > streamSliceBytes())
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    return Status::success();
}

namespace {

// One pread, going on after an interrupt (one asking to stop is seen at the next break).
ssize_t readAt(int fd, char* into, qsizetype size, qint64 offset)
{
    for (;;) {
        const ssize_t got = ::pread(fd, into, size_t(size), off_t(offset));
        if (got >= 0)
            return got;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return -1;
        // A file system that would make the read wait is asked to wait.
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0 || (flags & O_NONBLOCK) == 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
            return -1;
    }
}

} // namespace

Status SourceFile::read(qint64 offset, char* into, qsizetype size)
{
    while (size > 0) {
        const ssize_t got = readAt(m_fd, into, size, offset);
        if (got < 0)
            return Failure{readFailure(m_path, systemText(errno))};
        if (got == 0)
            return Failure{readFailure(m_path, changedReason())}; // it shrank
        into += got;
        offset += got;
        size -= got;
    }
    return Status::success();
}

Status SourceFile::readToEnd(qint64 offset, char* into, qsizetype size)
{
    // Each read asks for one byte more than is left, so the read that gives the last bytes also tells that
    // nothing follows them.
    for (qsizetype left = size;;) {
        const ssize_t got = readAt(m_fd, into, left + 1, offset);
        if (got < 0)
            return Failure{readFailure(m_path, systemText(errno))};
        if (got > left)
            return Failure{readFailure(m_path, changedReason())}; // it grew
        if (got == 0 && left > 0)
            return Failure{readFailure(m_path, changedReason())}; // it shrank
        into += got;
        offset += got;
        left -= got;
        if (left == 0)
            break;
    }
    m_endSeen = true;
    return Status::success();
}

Status SourceFile::checkUnchanged()
{
    char more = 0;
    const ssize_t extra = std::exchange(m_endSeen, false) ? 0 : readAt(m_fd, &more, 1, m_size);
    struct stat now;
    if (extra != 0 || ::fstat(m_fd, &now) != 0 || now.st_size != m_size || now.st_mtim.tv_sec != m_mtimeSeconds ||
        now.st_mtim.tv_nsec != m_mtimeNanoseconds)
        return Failure{readFailure(m_path, changedReason())};
    return Status::success();
}

#else

SourceFile::~SourceFile()
{
    delete m_file;
}

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
    m_file = new QFile(path);
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

#endif

namespace {

// Reads the whole file into one buffer of its length, a slice at a time with a break between slices.
Result<QByteArray> readSourceBytes(const QString& path, const SliceBreak& pause)
{
    SourceFile file;
    if (const Status opened = file.open(path, pause); !opened) {
        if (opened.error().isEmpty())
            return QByteArray(); // stopped
        return Failure{opened.error()};
    }
    if (file.size() <= 0)
        return emptyFileText();
    QByteArray bytes;
    resizeForWriting(bytes, qsizetype(file.size()));
    for (qsizetype filled = 0; filled < bytes.size(); filled += kWorkSliceBytes) {
        if (filled > 0 && !offerBreak(pause))
            return QByteArray();
        if (const Status read = file.read(filled, bytes.data() + filled, qMin(bytes.size() - filled, kWorkSliceBytes));
            !read)
            return Failure{read.error()};
    }
    if (const Status same = file.checkUnchanged(); !same)
        return Failure{same.error()};
    return bytes;
}

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
