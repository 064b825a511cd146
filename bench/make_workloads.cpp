// SPDX-License-Identifier: MIT
// Writes the benchmark's workloads into a work folder, deterministically (fixed seeds), and skips every
// workload that is already there with the size it should have.
//
//   make_workloads [--scale S] [--out DIR] [--only NAME,NAME...]
//
// Workloads (sizes at scale 1):
//   csv100     100 MB of CSV: 10 comma-separated fields a line, about 8 ASCII characters each, CR LF ends
//   utf16      the same text as UTF-16 little-endian with a byte order mark (about 200 MB)
//   small      5,000 files of 2 KB each in one folder
//   files3k    3,000 files of 2 KB each in one folder, for the window's run
//   files20k   20,000 files of 2 KB each in one folder, for the window's run
//   longlines  50 MB made of 1 MB lines
//   nonascii   100 MB of mostly non-ASCII UTF-8 (Greek, Cyrillic and CJK fields)
//   tree       2,000 folders holding 100,000 small files, for the folder scan
//
// For each workload it prints one line on stdout: name, path, total bytes, file count, "made" or "kept".

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

namespace {

// Bumped whenever a workload's contents change, so old workloads are made again.
constexpr int kFormatVersion = 1;

constexpr qint64 kMB = 1000 * 1000;

// splitmix64: small, fast and the same on every platform.
class Random
{
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // A value in [0, n).
    unsigned below(unsigned n) { return static_cast<unsigned>(next() % n); }

private:
    std::uint64_t m_state;
};

constexpr char kAsciiChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._";
static_assert(sizeof(kAsciiChars) == 65);

// One field of 6 to 10 ASCII characters (8 on average).
void appendAsciiField(std::string& out, Random& random)
{
    std::uint64_t bits = random.next();
    const unsigned length = 6 + static_cast<unsigned>(bits % 5);
    bits >>= 4;
    for (unsigned i = 0; i < length; ++i) {
        out.push_back(kAsciiChars[bits & 63]);
        bits >>= 6;
    }
}

// One line of 10 ASCII fields ended by CR LF.
void appendAsciiLine(std::string& out, Random& random)
{
    for (int field = 0; field < 10; ++field) {
        if (field > 0)
            out.push_back(',');
        appendAsciiField(out, random);
    }
    out.append("\r\n");
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// One line of 10 fields of 6 to 10 characters: Greek, Cyrillic or CJK, and one field in ten ASCII.
void appendNonAsciiLine(std::string& out, Random& random)
{
    for (int field = 0; field < 10; ++field) {
        if (field > 0)
            out.push_back(',');
        const unsigned script = random.below(10);
        if (script == 0) {
            appendAsciiField(out, random);
            continue;
        }
        const unsigned length = 6 + random.below(5);
        for (unsigned i = 0; i < length; ++i) {
            const unsigned r = random.below(1u << 20);
            char32_t c;
            if (script <= 3)
                c = U'\u03B1' + r % 25; // Greek small letters
            else if (script <= 6)
                c = U'\u0430' + r % 32; // Cyrillic small letters
            else
                c = U'\u4E00' + r % 4000; // common CJK ideographs
            appendUtf8(out, c);
        }
    }
    out.append("\r\n");
}

// One line of at least lineBytes bytes of ASCII fields, ended by CR LF.
void appendLongLine(std::string& out, Random& random, qint64 lineBytes)
{
    const size_t start = out.size();
    appendAsciiField(out, random);
    while (static_cast<qint64>(out.size() - start) + 2 < lineBytes) {
        out.push_back(',');
        appendAsciiField(out, random);
    }
    out.append("\r\n");
}

// Collects text and writes it to a file in 4 MB pieces, as UTF-8 or widened to UTF-16 little-endian.
class Sink
{
public:
    Sink(QFile& file, bool wide) : m_file(file), m_wide(wide) { m_text.reserve(static_cast<size_t>(5 * kMB)); }

    std::string& text() { return m_text; }
    qint64 written() const { return m_written; }
    bool failed() const { return m_failed; }

    // Writes the collected text once it holds 4 MB.
    void flushIfFull()
    {
        if (static_cast<qint64>(m_text.size()) >= 4 * kMB)
            flush();
    }

    void flush()
    {
        if (m_text.empty() || m_failed)
            return;
        m_written += static_cast<qint64>(m_text.size());
        if (!m_wide) {
            m_failed =
                m_file.write(m_text.data(), static_cast<qint64>(m_text.size())) != static_cast<qint64>(m_text.size());
        } else {
            // The text is ASCII here: each byte becomes one little-endian code unit.
            m_wideText.assign(m_text.size() * 2, '\0');
            for (size_t i = 0; i < m_text.size(); ++i)
                m_wideText[2 * i] = m_text[i];
            m_failed = m_file.write(m_wideText.data(), static_cast<qint64>(m_wideText.size())) !=
                       static_cast<qint64>(m_wideText.size());
        }
        m_text.clear();
    }

private:
    QFile& m_file;
    bool m_wide;
    bool m_failed = false;
    qint64 m_written = 0;
    std::string m_text;
    std::string m_wideText;
};

// Appends lines until target bytes of text are collected.
void fillUntil(Sink& sink, Random& random, qint64 target, void (*line)(std::string&, Random&))
{
    while (sink.written() + static_cast<qint64>(sink.text().size()) < target) {
        line(sink.text(), random);
        sink.flushIfFull();
    }
}

// What a workload is, and what its stamp records once it is complete.
struct Workload
{
    QString name;
    qint64 bytes = 0; // total bytes on disk once made
    qint64 files = 0;
    bool isFolder = false;
};

class Maker
{
public:
    Maker(QString outDir, double scale) : m_outDir(std::move(outDir)), m_scale(scale) {}

    QString pathOf(const QString& name) const
    {
        static const QMap<QString, QString> kFileNames{{QStringLiteral("csv100"), QStringLiteral("csv100.csv")},
                                                       {QStringLiteral("utf16"), QStringLiteral("utf16.csv")},
                                                       {QStringLiteral("longlines"), QStringLiteral("longlines.csv")},
                                                       {QStringLiteral("nonascii"), QStringLiteral("nonascii.csv")}};
        return m_outDir + QLatin1Char('/') + kFileNames.value(name, name);
    }

    qint64 scaled(qint64 value, qint64 minimum) const
    {
        return std::max(minimum, static_cast<qint64>(std::llround(static_cast<double>(value) * m_scale)));
    }

    // Makes the named workload unless its stamp and its files say it is already there; prints its line.
    bool run(const QString& name)
    {
        const QString path = pathOf(name);
        const QString stampPath = m_outDir + QLatin1Char('/') + name + QStringLiteral(".stamp");
        const QString wanted = wantedStamp(name);
        Workload present;
        if (readStamp(stampPath) == wanted && measure(path, present) && stampMatches(stampPath, present)) {
            print(name, path, present, "kept");
            return true;
        }
        QFile::remove(stampPath);
        const QString tmp = path + QStringLiteral(".partial");
        removeAny(tmp);
        QElapsedTimer timer;
        timer.start();
        bool ok = false;
        if (name == QLatin1String("csv100"))
            ok = writeFile(
                tmp, false, [](Sink& sink, Random& r, qint64 target) { fillUntil(sink, r, target, appendAsciiLine); },
                scaled(100 * kMB, 1000), 1);
        else if (name == QLatin1String("utf16"))
            ok = writeFile(
                tmp, true, [](Sink& sink, Random& r, qint64 target) { fillUntil(sink, r, target, appendAsciiLine); },
                scaled(100 * kMB, 1000), 1);
        else if (name == QLatin1String("nonascii"))
            ok = writeFile(
                tmp, false,
                [](Sink& sink, Random& r, qint64 target) { fillUntil(sink, r, target, appendNonAsciiLine); },
                scaled(100 * kMB, 1000), 2);
        else if (name == QLatin1String("longlines"))
            ok = writeFile(
                tmp, false,
                [](Sink& sink, Random& r, qint64 target) {
                    // Every line is 1 MB whatever the scale, so a quick run still has long lines.
                    const qint64 lines = std::max<qint64>(1, (target + kMB / 2) / kMB);
                    for (qint64 i = 0; i < lines; ++i) {
                        appendLongLine(sink.text(), r, kMB);
                        sink.flushIfFull();
                    }
                },
                scaled(50 * kMB, kMB), 3);
        else if (name == QLatin1String("small"))
            ok = writeSmall(tmp, 5000, 4);
        else if (name == QLatin1String("files3k"))
            ok = writeSmall(tmp, 3000, 5);
        else if (name == QLatin1String("files20k"))
            ok = writeSmall(tmp, 20000, 6);
        else if (name == QLatin1String("tree"))
            ok = writeTree(tmp);
        if (!ok) {
            removeAny(tmp);
            return false;
        }
        removeAny(path);
        if (!QFile::rename(tmp, path) && !QDir().rename(tmp, path)) {
            fail(QStringLiteral("cannot rename %1 to %2").arg(tmp, path));
            return false;
        }
        if (!measure(path, present))
            return false;
        writeStamp(stampPath, wanted, present);
        print(name, path, present, "made");
        std::fprintf(stderr, "%s: made in %.1f s\n", qPrintable(name), static_cast<double>(timer.elapsed()) / 1000.0);
        return true;
    }

private:
    using Filler = std::function<void(Sink&, Random&, qint64)>;

    QString wantedStamp(const QString& name) const
    {
        return QStringLiteral("%1 version=%2 scale=%3").arg(name).arg(kFormatVersion).arg(m_scale, 0, 'g', 10);
    }

    static QString readStamp(const QString& stampPath)
    {
        QFile f(stampPath);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readLine()).trimmed();
    }

    static bool stampMatches(const QString& stampPath, const Workload& present)
    {
        QFile f(stampPath);
        if (!f.open(QIODevice::ReadOnly))
            return false;
        f.readLine();
        const QString second = QString::fromUtf8(f.readLine()).trimmed();
        return second == QStringLiteral("bytes=%1 files=%2").arg(present.bytes).arg(present.files);
    }

    static void writeStamp(const QString& stampPath, const QString& wanted, const Workload& present)
    {
        QFile f(stampPath);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            f.write(wanted.toUtf8() + '\n');
            f.write(QStringLiteral("bytes=%1 files=%2\n").arg(present.bytes).arg(present.files).toUtf8());
        }
    }

    // Total size and count of the regular files at path (a file, or a folder and all below it).
    static bool measure(const QString& path, Workload& w)
    {
        w = {};
        const QFileInfo info(path);
        if (info.isFile()) {
            w.bytes = info.size();
            w.files = 1;
            return true;
        }
        if (!info.isDir())
            return false;
        w.isFolder = true;
        QDirIterator it(path, QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            w.bytes += it.fileInfo().size();
            ++w.files;
        }
        return true;
    }

    static void print(const QString& name, const QString& path, const Workload& w, const char* what)
    {
        std::printf("%s %s %lld %lld %s\n", qPrintable(name), qPrintable(path), static_cast<long long>(w.bytes),
                    static_cast<long long>(w.files), what);
        std::fflush(stdout);
    }

    static void fail(const QString& text) { std::fprintf(stderr, "make_workloads: %s\n", qPrintable(text)); }

    static void removeAny(const QString& path)
    {
        const QFileInfo info(path);
        if (info.isDir() && !info.isSymLink())
            QDir(path).removeRecursively();
        else if (info.exists() || info.isSymLink())
            QFile::remove(path);
    }

    bool writeFile(const QString& path, bool wide, const Filler& fill, qint64 target, std::uint64_t seed)
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
            return false;
        }
        Sink sink(file, wide);
        if (wide)
            file.write("\xFF\xFE", 2);
        Random random(seed);
        fill(sink, random, target);
        sink.flush();
        if (sink.failed() || !file.flush()) {
            fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
            return false;
        }
        return true;
    }

    static bool writeSmallFile(const QString& path, const std::string& bytes)
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            f.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size())) {
            fail(QStringLiteral("cannot write %1: %2").arg(path, f.errorString()));
            return false;
        }
        return true;
    }

    // Files of exactly 2,048 bytes of CSV lines, the last one cut short and ended by CR LF.
    bool writeSmall(const QString& dir, qint64 files, std::uint64_t seed)
    {
        if (!QDir().mkpath(dir))
            return false;
        const qint64 count = scaled(files, 20);
        Random random(seed);
        std::string text;
        for (qint64 i = 1; i <= count; ++i) {
            text.clear();
            while (text.size() < 2048)
                appendAsciiLine(text, random);
            text.resize(2048);
            text[2046] = '\r';
            text[2047] = '\n';
            if (!writeSmallFile(dir + QStringLiteral("/s%1.csv").arg(i, 5, 10, QLatin1Char('0')), text))
                return false;
        }
        return true;
    }

    // 2,000 folders (40 at the top, the rest spread below them) holding 100,000 files of one short line each.
    bool writeTree(const QString& root)
    {
        const qint64 folders = scaled(2000, 2);
        const qint64 files = scaled(100000, 2 * folders);
        const qint64 top = std::max<qint64>(1, (folders + 49) / 50);
        QStringList paths;
        for (qint64 t = 0; t < top; ++t)
            paths << root + QStringLiteral("/t%1").arg(t, 3, 10, QLatin1Char('0'));
        for (qint64 i = top; i < folders; ++i) {
            const qint64 parent = (i - top) % top;
            paths << paths[static_cast<int>(parent)] + QStringLiteral("/d%1").arg(i, 4, 10, QLatin1Char('0'));
        }
        Random random(5);
        std::string text;
        for (qint64 i = 0; i < folders; ++i) {
            const QString& folder = paths[static_cast<int>(i)];
            if (!QDir().mkpath(folder)) {
                fail(QStringLiteral("cannot make %1").arg(folder));
                return false;
            }
            const qint64 first = files * i / folders;
            const qint64 last = files * (i + 1) / folders;
            for (qint64 f = first; f < last; ++f) {
                text.clear();
                appendAsciiLine(text, random);
                if (!writeSmallFile(folder + QStringLiteral("/f%1.csv").arg(f, 6, 10, QLatin1Char('0')), text))
                    return false;
            }
        }
        return true;
    }

    QString m_outDir;
    double m_scale;
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("make_workloads"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes the benchmark workloads."));
    parser.addHelpOption();
    const QCommandLineOption scaleOption(QStringLiteral("scale"), QStringLiteral("Size factor (default 1)."),
                                         QStringLiteral("S"), QStringLiteral("1"));
    const QCommandLineOption outOption(QStringLiteral("out"), QStringLiteral("Work folder (default bench/work)."),
                                       QStringLiteral("DIR"), QStringLiteral("bench/work"));
    const QCommandLineOption onlyOption(QStringLiteral("only"), QStringLiteral("Comma-separated workload names."),
                                        QStringLiteral("NAMES"));
    parser.addOptions({scaleOption, outOption, onlyOption});
    parser.process(app);

    bool scaleOk = false;
    const double scale = parser.value(scaleOption).toDouble(&scaleOk);
    if (!scaleOk || !(scale > 0.0) || scale > 10.0) {
        std::fprintf(stderr, "make_workloads: --scale wants a number above 0 and at most 10\n");
        return 2;
    }
    const QString outDir = QDir(parser.value(outOption)).absolutePath();
    if (!QDir().mkpath(outDir)) {
        std::fprintf(stderr, "make_workloads: cannot make %s\n", qPrintable(outDir));
        return 1;
    }
    const QStringList all{QStringLiteral("csv100"),   QStringLiteral("utf16"),    QStringLiteral("small"),
                          QStringLiteral("files3k"),  QStringLiteral("files20k"), QStringLiteral("longlines"),
                          QStringLiteral("nonascii"), QStringLiteral("tree")};
    QStringList names = all;
    if (parser.isSet(onlyOption)) {
        names = parser.value(onlyOption).split(QLatin1Char(','), Qt::SkipEmptyParts);
        for (const QString& n : names) {
            if (!all.contains(n)) {
                std::fprintf(stderr, "make_workloads: unknown workload %s\n", qPrintable(n));
                return 2;
            }
        }
    }
    Maker maker(outDir, scale);
    for (const QString& name : names) {
        if (!maker.run(name))
            return 1;
    }
    return 0;
}
