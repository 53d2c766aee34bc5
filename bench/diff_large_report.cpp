// What diff costs on a report far beyond any car: two reports of one unit
// with many faults (about 9 MB at 215,000), compared by vandrix-cli as a
// process. Prints the time of the whole run. Goal: linear in the faults,
// about a second for 9 MB.
//
//   build/bench/bench_diff_large_report [faults, default 215000]
#include "tests/support/big_scan_report.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int faults = argc > 1 ? std::atoi(argv[1]) : 215000;
    QTemporaryDir dir;
    const BigScanReports big = MakeBigScanReports(faults);
    const QString older = dir.filePath("older.txt");
    const QString newer = dir.filePath("newer.txt");
    for (const auto& [path, bytes] : {std::pair{older, big.older}, std::pair{newer, big.newer}}) {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return 1;
    }
    QProcess cli;
    QElapsedTimer timer;
    timer.start();
    cli.start(QStringLiteral(VANDRIX_CLI_PATH), {"diff", older, newer, "--lang", "en"});
    if (!cli.waitForFinished(-1) || cli.exitCode() != 0) {
        std::fprintf(stderr, "diff failed: %s\n", cli.readAllStandardError().constData());
        return 1;
    }
    std::printf("diff of two reports of %d faults (%.1f MB each): %.2f s (target: linear in "
                "the faults, a few seconds for 9 MB)\n",
                faults, double(big.older.size()) / (1024 * 1024),
                double(timer.nsecsElapsed()) / 1e9);
    return 0;
}
