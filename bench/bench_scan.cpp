// SPDX-License-Identifier: MIT
// Times the core's folder scan ("Add All CSV File(s) In Folder") on one folder tree.
//
//   bench_scan FOLDER EXTENSION
//
// Prints "files=N scan_s=S" on stdout: the number of files the scan collected and the seconds it took.
// While the core has no folder scan yet it prints "scan: not available" and exits with status 3, and the
// benchmark skips the figure.

#include <cstdio>

#include <QCoreApplication>
#include <QStringList>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: bench_scan FOLDER EXTENSION\n");
        return 2;
    }
    std::printf("scan: not available\n");
    return 3;
}
