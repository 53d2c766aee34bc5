#pragma once
// Reading the fault memory of the connected unit into FaultCodeList.
#include "link/command_channel.h"

#include <QList>
#include <QString>

struct FaultCode {
    int code;   // 1 .. 65534
    int status; // 0 .. 255, never 0x88
    bool operator==(const FaultCode&) const = default;
};

using FaultCodeList = QList<FaultCode>;

enum class FaultReadOutcome {
    Found,       // at least one entry
    Empty,       // the unit said it holds no fault
    Unsupported, // the unit answered "0A": it has no fault read
    Refused,     // the unit refused "02" ("NA", "ERROR", "?", an empty line, a bare prompt):
                 // nothing is known of its fault memory
};

// The string table id shown in place of fault rows: 40 "no errors stored",
// 68 for a unit without a fault read, the refusal's own text.
int FaultOutcomeMessageId(FaultReadOutcome outcome);
// The outcome as a word for scripts and kept scans: "found", "empty",
// "unsupported", "refused".
QString FaultOutcomeWord(FaultReadOutcome outcome);

// "02", then every fault line up to the prompt into list, in reply order.
// Lines for "no fault" (code 0 or 0xFFFF, status 0x88) are skipped. A line
// whose code or status is not hexadecimal throws EConvertError.
FaultReadOutcome ReadFaultCodes(CommandChannel& channel, FaultCodeList& list);

// The code as the fault page and the search report show it: five decimal
// digits with leading zeros (18007, 00257).
QString FaultCodeDigits(int code);
// Column 1 of the fault table: the code's digits, CR LF, the status in decimal.
QString FaultCodeCell(const FaultCode& fault);
