#pragma once
// The report of the control unit search, as Memo2 shows it: per unit a
// header, what was found (identification and faults) or that nothing was,
// and a closing line. Built from data alone, so the window and a command-line
// front end print the same report. No line holds a CR or LF.
#include "services/fault_codes.h"
#include "services/identification.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

// text without its CR and LF: a value a unit sent must not split the line
// it is shown on (a report line, a table cell, a JSON value).
QString OneLine(QString text);

struct SearchReportTexts {
    // The string table's words in the language of languageOffset, no fault texts.
    static SearchReportTexts load(int languageOffset);

    QString found;      // "Steuergerät gefunden"
    QString notFound;   // "Steuergerät nicht gefunden"
    QString faultCodes; // "Fehlercode(s)"
    QString typeNumber; // captions of the identification lines
    QString description;
    QString extraInfo;
    QString workshopCode;
    QString coding;
    QString versionText; // of the closing line
    // Fault texts by code and by status byte; empty without an entry.
    std::function<QString(int code)> codeText;
    std::function<QString(int status)> statusText;
};

// What the search learnt of one ticked unit.
struct SearchReportUnit {
    QString entry;      // the search list's entry, "017 Kombiinstrument"
    bool found = false; // the interface connected to it
    TecuID identification;
    FaultCodeList faults; // what a fault read found; empty for none
};

namespace SearchReport {
// "======== <entry> ====...", filled to 65 characters after the entry.
QStringList UnitHeader(const QString& entry);
// "-> found <-", a blank line and the five identification lines.
QStringList Identification(const TecuID& id, const SearchReportTexts& texts);
// "-> n Fehlercode(s) <-" and three lines per fault; nothing for no faults.
QStringList Faults(const FaultCodeList& faults, const SearchReportTexts& texts);
QStringList NotFound(const SearchReportTexts& texts);
// The two blank lines after each unit.
QStringList UnitEnd();
QStringList Closing(const SearchReportTexts& texts);

// One unit from header to end, in the order the window adds them.
QStringList Unit(const SearchReportUnit& unit, const SearchReportTexts& texts);
// The whole report of a finished search, closing line included.
QStringList Lines(const std::vector<SearchReportUnit>& units, const SearchReportTexts& texts);
} // namespace SearchReport
