#pragma once
// The control unit search's report, line by line as the search page shows it.
#include "services/fault_codes.h"
#include "services/fault_texts.h"
#include "services/identification.h"

#include <QString>
#include <QStringList>

struct ScannedUnit {
    QString entry; // the unit list's entry
    bool found = false;
    TecuID identification;
    FaultReadOutcome outcome = FaultReadOutcome::Empty;
    FaultCodeList faults;
};

// The lines of one unit, the two blank lines after it included.
QStringList SearchReportUnitLines(const ScannedUnit& unit, const FaultTexts& texts,
                                  int languageOffset);
// The line that ends a finished search.
QString SearchReportEndLine();
