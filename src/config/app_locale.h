#pragma once
// Regional settings for everything shown to the user or written to the log:
// decimal and thousands separators, short date and long time. The program uses
// the system's; tests set a German or English locale.
#include <QLocale>
#include <QString>

namespace AppLocale {
QLocale locale();
void set(const QLocale& locale);
QChar decimalSeparator();
QChar thousandsSeparator();
// The short date with a four-digit year.
QString shortDateFormat();
// The time with seconds, without a time zone.
QString longTimeFormat();
} // namespace AppLocale
