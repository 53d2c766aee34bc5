#pragma once
// Decoding of one measuring field (formula type, a, b) into the text shown on
// the measuring pages, copied to the clipboard and split into the CSV log.
#include <QString>

// Value part followed by the unit suffix of the formula type. Every suffix
// except that of type 22 starts with a blank, so the value is everything
// before the last blank. Never fails: unknown types give the raw display,
// type -1 (no data) gives "NA ". Computed in integers that model x86's
// extended precision step by step, so the text depends on nothing but the
// three numbers, on every processor.
QString FormatMeasuredValue(int type, int a, int b);

// `value` rounded to `decimals` places (0 to 18; others are taken as the
// nearer of the two) by the program's one rounding rule: first to 18
// significant digits, an exact half to even, then halves away from zero. The
// integer part grouped by thousands, in the separators of AppLocale; a value
// that rounds to zero has no minus sign; infinities and NaN give "NA". A long
// double wider than x86's is first rounded to its 64-bit significand.
QString FormatFixedNumber(long double value, int decimals);

// A converter reading of 1024 steps: raw × (reference / 1024 × factor) with
// `decimals` places, computed as the formulas are and rounded by the same
// rule, so the text is the same on every processor. A reference or factor
// that is infinite or NaN gives "NA".
QString FormatConverterReading(int raw, double reference, double factor, int decimals);
