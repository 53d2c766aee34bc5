// The search report reader of diff on any text: a report compared with
// itself differs in nothing, every fault code and status read is a number
// of its line, and the difference of any two reports has its lines.
#include "fuzz_support.h"
#include "reports/scan_diff.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const int split = in.inRange(0, 0xFFFF);
    const QString text = QString::fromUtf8(in.rest());
    const ScanReport report = ParseScanReport(text);
    for (const ScanUnit& unit : report.units) {
        FUZZ_CHECK(unit.found || unit.faults.isEmpty());
        for (const ScanFault& fault : unit.faults)
            FUZZ_CHECK(text.contains(QString::number(fault.status)) &&
                       text.contains(QStringLiteral("%1").arg(fault.code, 5, 10, QChar('0'))));
    }
    const ScanDifference same = DiffScanReports(report, report);
    FUZZ_CHECK(same.appeared.isEmpty() && same.disappeared.isEmpty() && same.replaced.isEmpty() &&
               same.recoded.isEmpty() && same.newFaults.isEmpty() && same.goneFaults.isEmpty() &&
               same.changedStatus.isEmpty() && same.onlyInOlder.isEmpty() &&
               same.onlyInNewer.isEmpty());

    const qsizetype at = text.isEmpty() ? 0 : split % text.size();
    const ScanDifference d = DiffScanReports(text.left(at), text.mid(at));
    FUZZ_CHECK(!ScanDifferenceLines(d, 0).isEmpty() && !ScanDifferenceLines(d, 10000).isEmpty());
    return 0;
}
