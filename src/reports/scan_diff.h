#pragma once
// Saved control unit search reports, read back and compared: which units
// appeared or disappeared between two scans of a car, and which faults are
// new, gone or changed their status. Works on the report text as the search
// page shows it, in either language.
#include <QList>
#include <QString>
#include <QStringList>

struct ScanFault {
    int code = 0;
    QString codeText; // the fault's text, empty without fault texts
    int status = 0;
    QString statusText;
};

// What the fault read of a found unit came to. A kept report marks it
// ("## faults: refused"); a report without marks (an older file, the search
// page's text) is Unknown unless it lists faults.
enum class ScanFaultRead { Unknown, Found, Empty, Unsupported, Refused, Unreadable };

// The mark lines of a kept report: never shown on the search page.
namespace ScanMark {
// "## faults: <word>" after a found unit's lines, before its two blank lines.
QString FaultRead(ScanFaultRead read);
// "## search: cut short": the search did not reach every ticked unit.
QString CutShort();
} // namespace ScanMark

struct ScanUnit {
    int address = 0;
    QString entry; // the search list entry, "017 [11] - Motor 2"
    bool found = false;
    QString partNumber;
    QString component;
    QString workshopCode;
    QString coding;
    QList<ScanFault> faults;
    ScanFaultRead faultRead = ScanFaultRead::Unknown;
};

struct ScanReport {
    QList<ScanUnit> units; // in report order
    bool complete = false; // the closing line is there (the search ran to its end)
    bool cutShort = false; // marked as cut short (Disconnect, Ctrl-C, a failure)
};

// The units and faults of a saved report. Lines of no known form are skipped.
ScanReport ParseScanReport(const QString& text);

struct ScanFaultChange {
    int address = 0;
    QString entry;
    ScanFault before; // gone and changed: the old fault
    ScanFault after;  // new and changed: the new fault
};

// A unit found in both scans whose identification differs.
struct ScanUnitChange {
    ScanUnit before;
    ScanUnit after;
};

struct ScanDifference {
    QList<ScanUnit> appeared;          // searched in both; found only in the newer scan
    QList<ScanUnit> disappeared;       // searched in both; found only in the older scan
    QList<ScanUnitChange> replaced;    // part number or component differ
    QList<ScanUnitChange> recoded;     // same part, coding or workshop code differ
    QList<ScanUnitChange> notCompared; // faults not compared: a read not known to have worked
    QList<ScanFaultChange> newFaults;
    QList<ScanFaultChange> goneFaults;
    QList<ScanFaultChange> changedStatus;
    QList<ScanUnit> onlyInOlder; // searched in one scan only: nothing to compare
    QList<ScanUnit> onlyInNewer;

    bool isEmpty() const {
        return appeared.isEmpty() && disappeared.isEmpty() && replaced.isEmpty() &&
               recoded.isEmpty() && notCompared.isEmpty() && newFaults.isEmpty() &&
               goneFaults.isEmpty() && changedStatus.isEmpty() && onlyInOlder.isEmpty() &&
               onlyInNewer.isEmpty();
    }
};

// The word of a read in the language of languageOffset ("abgelehnt", "refused").
QString ScanFaultReadText(ScanFaultRead read, int languageOffset);

// Units match by address; faults of a unit found in both scans match by code,
// and only where both reads are known to have worked (found or empty): a
// refused, unreadable or unrecorded read never makes a fault "gone" or "new".
ScanDifference DiffScanReports(const ScanReport& older, const ScanReport& newer);
// The same from two report texts.
ScanDifference DiffScanReports(const QString& olderText, const QString& newerText);

// The difference as text lines, one finding each, in the language of
// languageOffset (0 German, 10000 English); in English:
//   "unit appeared: 017 [11] - Motor 2 (1J0920826C)"
//   "fault gone: 017 [11] - Motor 2: 18010 Batteriespannung, status 35 Unterbrechung"
//   "status changed: ...: 00257 Ansaugluft, status 35 Unterbrechung -> 161 Sporadisch"
// An empty difference gives the one line "no difference".
QStringList ScanDifferenceLines(const ScanDifference& difference, int languageOffset);
