#include "config/app_locale.h"

#include <optional>

namespace {
std::optional<QLocale>& current()
{
    static std::optional<QLocale> l;
    return l;
}
} // namespace

QLocale AppLocale::locale() { return current() ? *current() : QLocale::system(); }
void AppLocale::set(const QLocale& l) { current() = l; }
QChar AppLocale::decimalSeparator() { return locale().decimalPoint().at(0); }
QChar AppLocale::thousandsSeparator()
{
    const QString g = locale().groupSeparator();
    return g.isEmpty() ? QChar(' ') : g.at(0);
}
QString AppLocale::shortDateFormat() { return locale().dateFormat(QLocale::ShortFormat); }
QString AppLocale::longTimeFormat() { return locale().timeFormat(QLocale::LongFormat); }
