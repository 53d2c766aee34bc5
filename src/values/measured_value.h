#pragma once
// Decoding of one measuring field (formula type, a, b) into the text shown on
// the measuring pages, copied to the clipboard and split into the CSV log.
#include <QString>

// Value part followed by the unit suffix of the formula type. Every suffix
// except that of type 22 starts with a blank, so the value is everything
// before the last blank. Never fails: unknown types give the raw display,
// type -1 (no data) gives "NA ".
QString FormatMeasuredValue(int type, int a, int b);

// `value` rounded to `decimals` places (halves away from zero, judged on its
// 18 significant digits), the integer part grouped by thousands, in the
// separators of AppLocale. A value that rounds to zero has no minus sign.
QString FormatFixedNumber(long double value, int decimals);
