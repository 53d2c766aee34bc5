// Measured value formulas on any triplet the unit may send, in German and
// English settings. Input: the settings, a type, a and b (bytes mostly, any
// number sometimes: the readers pass on what the hexadecimal text says),
// then a number and a count of decimals for the fixed-point formatter.
#include "values/measured_value.h"
#include "config/app_locale.h"
#include "fuzz_support.h"
#include "log/log_format.h"

#include <QRegularExpression>
#include <cmath>
#include <cstring>

namespace {
int operand(FuzzInput& in) {
    return in.byte() < 16 ? int(uint32_t(in.inRange(0, 0x7FFFFFFF)) - 0x40000000)
                          : in.inRange(-1, 255);
}

long double number(FuzzInput& in) {
    double v = 0;
    uint8_t raw[sizeof v];
    for (uint8_t& b : raw)
        b = in.byte();
    std::memcpy(&v, raw, sizeof v);
    return v;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const bool german = in.byte() & 1;
    AppLocale::set(german ? QLocale(QLocale::German, QLocale::Germany)
                          : QLocale(QLocale::English, QLocale::UnitedStates));
    const QChar decimal = AppLocale::decimalSeparator();
    const QChar thousands = AppLocale::thousandsSeparator();

    const int type = in.byte() < 8 ? operand(in) : in.inRange(-1, 255);
    const int a = operand(in);
    const int b = operand(in);
    const QString text = FormatMeasuredValue(type, a, b);
    FUZZ_CHECK(!text.isEmpty());
    if (type == -1)
        FUZZ_CHECK(text == QStringLiteral("NA "));
    // Every unit suffix but that of type 22 starts with a blank, which is
    // where the log splits number and unit.
    if (type != 22)
        FUZZ_CHECK(text.contains(QLatin1Char(' ')));
    if (text.contains(QLatin1Char(' ')))
        FUZZ_CHECK(LogFormat::ValuePart(text) + QLatin1Char(' ') + LogFormat::UnitPart(text) ==
                   text);

    const long double value = number(in);
    const int decimals = in.inRange(-2, 6);
    const QString fixed = FormatFixedNumber(value, decimals);
    if (!std::isfinite(value)) {
        FUZZ_CHECK(fixed == QStringLiteral("NA"));
        return 0;
    }
    const int shown = std::max(decimals, 0);
    const QString sep = QRegularExpression::escape(QString(thousands));
    const QString dec = QRegularExpression::escape(QString(decimal));
    const QRegularExpression shape(
        QStringLiteral("^-?\\d{1,3}(%1\\d{3})*(%2\\d{%3})?$").arg(sep, dec).arg(shown));
    FUZZ_CHECK(shape.match(fixed).hasMatch());
    FUZZ_CHECK(fixed.contains(decimal) == (shown > 0));
    QString plain = fixed;
    plain.remove(thousands).replace(decimal, QLatin1Char('.'));
    const long double back = std::strtold(plain.toLatin1().constData(), nullptr);
    // Rounded to the shown places, judged on 18 significant digits.
    const long double tolerance =
        0.5L * std::pow(10.0L, -shown) * (1 + 1e-12L) + std::fabs(value) * 1e-17L;
    FUZZ_CHECK(std::fabs(back - value) <= tolerance);
    if (fixed.startsWith(QLatin1Char('-')))
        FUZZ_CHECK(back != 0);
    return 0;
}
