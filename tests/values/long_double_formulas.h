#pragma once
// The measured value formulas as they were computed in long double and
// rounded through the C library's 18-digit conversion: the reference that
// formula_table.bin was made from on x86-64, and the other side of the
// formula benchmark. Not part of the program; on a processor whose long
// double is not x86's 80-bit format it gives other texts.
#include <QString>

namespace LongDouble {
QString FormatMeasuredValue(int type, int a, int b);
QString FormatFixedNumber(long double value, int decimals);
} // namespace LongDouble
