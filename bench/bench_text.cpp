// SPDX-License-Identifier: MIT
// Times the two passes of a conversion that depend on what the text holds, on one UTF-8 source held in memory:
// the UTF-8 check (in the slices the conversion uses), and the whole conversion of the bytes into the document
// as standard input is converted (the check, then the cutting); the cutting is the difference.
//
//   bench_text FILE [ROUNDS]
//
// Prints "check_mbs=X cut_mbs=Y both_mbs=Z" on stdout: the median throughput of the check, of the cutting and of
// the two together, in MB of source a second. Nothing is read from or written to the disk while it times.

#include <algorithm>
#include <cstdio>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>

#include "core/convert/ConvertStream.h"
#include "core/convert/decode/Utf8Check.h"
#include "core/convert/source/WorkSlices.h"

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

bool checkText(const QByteArray& text)
{
    ostrand::Utf8Check check;
    bool valid = true;
    ostrand::inSlices(text.size(), {}, [&](qsizetype begin, qsizetype end) {
        valid = valid && check.add(text.constData() + begin, end - begin);
    });
    return valid && check.complete();
}

// The plain document with the default options; never yields, never stops.
class MemoryHost : public ostrand::ConversionHost
{
public:
    void ReportError(const QString& description, const QString&, int) override
    {
        std::fprintf(stderr, "bench_text: %s\n", qPrintable(description));
    }
    QString borderWidth() override { return QStringLiteral("1"); }
    qint64 textColor() override { return 0; }
    qint64 backgroundColor() override { return 0xFFFFFF; }
    ostrand::OutputMode outputMode() override { return ostrand::OutputMode::SourceFolder; }
    QString outputFolder() override { return {}; }
    void setProgressValue(int) override {}
    void yieldToEvents() override {}
};

// Converts the file (in the page cache after the first round) through the conversion's passes, the document's
// bytes counted and let go.
qsizetype convertText(const QString& path)
{
    MemoryHost host;
    ostrand::SourcePasses passes;
    if (const ostrand::Status opened = passes.open(path, {}); !opened) {
        std::fprintf(stderr, "bench_text: %s\n", qPrintable(opened.error()));
        return -1;
    }
    qsizetype size = 0;
    const ostrand::Status converted =
        ostrand::ConvertStream(host, passes, QStringLiteral(","), [&](QByteArrayView bytes) {
            size += bytes.size();
            return true;
        });
    if (!converted) {
        std::fprintf(stderr, "bench_text: %s\n", qPrintable(converted.error()));
        return -1;
    }
    return size;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2 || args.size() > 3) {
        std::fprintf(stderr, "usage: bench_text FILE [ROUNDS]\n");
        return 2;
    }
    QFile file(args[1]);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "bench_text: %s\n", qPrintable(file.errorString()));
        return 1;
    }
    const QByteArray text = file.readAll();
    const int rounds = args.size() == 3 ? args[2].toInt() : 5;
    const double megabytes = static_cast<double>(text.size()) / 1e6;
    std::vector<double> check, cut, both;
    qsizetype documentSize = 0;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        if (!checkText(text)) {
            std::fprintf(stderr, "bench_text: the source is not UTF-8\n");
            return 1;
        }
        const qint64 checkNs = timer.nsecsElapsed();
        timer.restart();
        documentSize = convertText(args[1]);
        const qint64 bothNs = timer.nsecsElapsed();
        if (documentSize < 0)
            return 1;
        check.push_back(megabytes / (static_cast<double>(checkNs) / 1e9));
        cut.push_back(megabytes / (static_cast<double>(qMax<qint64>(bothNs - checkNs, 1)) / 1e9));
        both.push_back(megabytes / (static_cast<double>(bothNs) / 1e9));
    }
    std::printf("check_mbs=%.0f cut_mbs=%.0f both_mbs=%.0f document_bytes=%lld\n", median(check), median(cut),
                median(both), static_cast<long long>(documentSize));
    return 0;
}
