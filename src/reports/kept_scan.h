#pragma once
// Every control unit search keeps its report, as shown, in the user's data
// folder (vandrix/scans/), named by date, time and the car when one was
// chosen. The window and the command line save through this one function.
#include "reports/scan_diff.h"
#include "services/fault_codes.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

struct KeptScan {
    QString path;    // the file, also when it could not be written
    QString failure; // empty when saved; else the file and the system's reason
    bool saved() const { return failure.isEmpty(); }
};

// Writes report (its lines, without a final line end) to a new file. carName
// is the chosen car's list name, empty when none was chosen.
KeptScan SaveScanReport(const QString& report, const QString& carName,
                        const QDateTime& started = QDateTime::currentDateTime());

// The kept file is the report as shown plus mark lines the search page does
// not show ("## faults: refused", "## search: cut short"), so a comparison
// knows a refused read from an empty memory.
ScanFaultRead ScanFaultReadOf(FaultReadOutcome outcome);
// A found unit's lines as shown (header to its two blank lines), with the mark
// of its fault read before the blank lines.
QStringList KeptUnitLines(QStringList shown, ScanFaultRead read);
