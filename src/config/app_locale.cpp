#include "config/app_locale.h"

#include <optional>

namespace {
std::optional<QLocale>& current() {
    static std::optional<QLocale> l;
    return l;
}
} // namespace

QLocale AppLocale::locale() {
    return current() ? *current() : QLocale::system();
}
void AppLocale::set(const QLocale& l) {
    current() = l;
}
QChar AppLocale::decimalSeparator() {
    return locale().decimalPoint().at(0);
}
QChar AppLocale::thousandsSeparator() {
    const QString g = locale().groupSeparator();
    return g.isEmpty() ? QChar(' ') : g.at(0);
}
QString AppLocale::shortDateFormat() {
    // "10.12.26" leaves the century to guessing in a file kept for years.
    QString format = locale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return format;
}

QString AppLocale::longTimeFormat() {
    // The long form for its seconds, without the time zone's name: "UTC" or
    // "CET" after a local time tells the reader nothing.
    const QString format = locale().timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (quoted || c != u't')
            out += c;
    }
    return out.simplified();
}
