#pragma once
// The interface check's result as the user reads it: one row per step with
// its name, its outcome and what was seen, in the user's language.
#include "services/interface_check.h"

#include <QString>
#include <array>

struct CheckRow {
    CheckOutcome outcome;
    QString step;    // "Reset"
    QString verdict; // "passed", "failed", "not run"
    QString seen;    // what arrived, escaped; or why the step did not run
};

// The reference voltage and divider factors of the configuration turn raw
// input readings into volts where both are known.
struct VoltageScale {
    bool u2Defined = false;
    double u2 = 0;
    std::array<double, InterfaceCheckResult::Inputs> factors{};
};

// breakReason: why the link broke the check off, shown on the step it broke.
std::array<CheckRow, 4> InterfaceCheckRows(const InterfaceCheckResult& result,
                                           const VoltageScale& scale, int languageOffset,
                                           const QString& breakReason = QString());

// "ADC 0" to "ADC 5", as the voltage page names its inputs.
QString InputName(int input);
