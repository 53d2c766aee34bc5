#pragma once
// The readiness byte's test bits and the interface's analogue readings, as
// the Readiness and Spannung tabs show them.
#include <QString>

// Bit 7 - n of the byte, for n from 0 (bit 7) to 7 (bit 0); false for any
// other n. A set bit is a test the unit has not completed.
bool ReadinessBit(int byte, int n);

// The converter's 1024 steps of reference voltage u2, scaled by the input's
// divider factor: raw × (u2 / 1024 × factor), with two decimals and digit
// grouping in AppLocale's separators, followed by " V".
QString FormatInterfaceVoltage(int raw, double u2, double factor);
