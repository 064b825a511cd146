// SPDX-License-Identifier: MIT
// Times the core's folder scan as "Add All CSV File(s) In Folder" runs it on one folder tree.
//
//   bench_scan FOLDER EXTENSION
//
// Prints "files=N scan_s=S" on stdout: the number of files the scan collected and the seconds it took.
// The scan yields to the event loop at the window's interval, so it costs what the window's command costs.

#include <cstdio>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include "core/filelist/FolderExpansion.h"
#include "core/filelist/ScanHost.h"

namespace {

// Lets events run as the window would and prints every error report on stderr.
class BenchScanHost : public ostrand::ScanHost
{
public:
    void ReportError(const QString& description, const QString& tag, int line) override
    {
        std::fprintf(stderr, "%s\n", qPrintable(ostrand::ErrorReportText(description, tag, line)));
    }
    void yieldToEvents() override { QCoreApplication::processEvents(); }
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: bench_scan FOLDER EXTENSION\n");
        return 2;
    }
    BenchScanHost host;
    QElapsedTimer timer;
    timer.start();
    const QStringList files = ostrand::CollectFilesInTree(args[1], ostrand::PatternForExtension(args[2]), host);
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    std::printf("files=%lld scan_s=%.4f\n", static_cast<long long>(files.size()), seconds);
    return 0;
}
