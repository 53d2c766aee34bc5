#include "long_double_formulas.h"

#include "config/app_locale.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
// Formulas run in x87 extended precision (64-bit mantissa), so results agree
// to the last shown digit; the constants below are long double literals.
using X = long double;
using Int = long long; // brackets: exact integers before conversion

constexpr int SignificantDigits = 18;

// |value| as 18 significant decimal digits and the power of ten of the first.
void decimalDigits(X value, std::string& digits, int& exponent) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*Le", SignificantDigits - 1, std::fabs(value));
    digits.assign(1, buf[0]);
    digits.append(buf + 2, SignificantDigits - 1);
    exponent = std::atoi(buf + 2 + SignificantDigits - 1 + 1);
}

QString groupThousands(const std::string& intPart, QChar separator) {
    QString out;
    const int n = int(intPart.size());
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += separator;
        out += QChar(intPart[size_t(i)]);
    }
    return out;
}

QString integer(Int v) {
    return QString::number(v);
}

QString lastChars(const QString& padding, Int v, int count) {
    return (padding + QString::number(v)).right(count);
}

QString rawDisplay(int a, int b) {
    return QStringLiteral("A:") + lastChars(QStringLiteral("000"), a, 3) + QStringLiteral(" B:") +
           lastChars(QStringLiteral("00000"), b, 3);
}

// Bytes read as Latin-1; anything that is no character code (an invalid
// byte arrives as -1) shows the replacement character.
QChar character(int code) {
    return (code >= 0 && code <= 255) ? QChar(char16_t(code)) : QChar(QChar::ReplacementCharacter);
}

QString characters(int a, int b) {
    return QString(character(a)) + QLatin1Char(' ') + character(b) + QLatin1Char(' ');
}

QString fixed(X v, int decimals) {
    return LongDouble::FormatFixedNumber(v, decimals);
}

QString s(const char16_t* text) {
    return QString::fromUtf16(text);
}
} // namespace

namespace LongDouble {
QString FormatFixedNumber(long double value, int decimals) {
    if (!std::isfinite(value))
        return QStringLiteral("NA");
    decimals = std::max(decimals, 0);

    std::string digits;
    int exponent = 0;
    decimalDigits(value, digits, exponent);

    // Rounding looks at the 18 significant digits, not the binary value: 0.05
    // stored as 0.04999... still shows 0.1. Exact halves go away from zero,
    // as a person rounds a reading; kept so on purpose.
    const int keep = exponent + 1 + decimals;
    std::string scaled;
    char next = '0';
    if (keep >= SignificantDigits) {
        scaled = digits + std::string(size_t(keep - SignificantDigits), '0');
    } else if (keep >= 0) {
        scaled = digits.substr(0, size_t(keep));
        next = digits[size_t(keep)];
    }
    if (next >= '5') {
        int i = int(scaled.size()) - 1;
        while (i >= 0 && scaled[size_t(i)] == '9')
            scaled[size_t(i--)] = '0';
        if (i >= 0)
            ++scaled[size_t(i)];
        else
            scaled.insert(scaled.begin(), '1');
    }
    if (scaled.size() < size_t(decimals + 1))
        scaled.insert(0, size_t(decimals + 1) - scaled.size(), '0');
    const size_t intLength = scaled.size() - size_t(decimals);
    size_t firstDigit = 0;
    while (firstDigit + 1 < intLength && scaled[firstDigit] == '0')
        ++firstDigit;

    const bool zero = scaled.find_first_not_of('0') == std::string::npos;
    QString out;
    if (value < 0 && !zero)
        out += QLatin1Char('-');
    out += groupThousands(scaled.substr(firstDigit, intLength - firstDigit),
                          AppLocale::thousandsSeparator());
    if (decimals > 0) {
        out += AppLocale::decimalSeparator();
        out += QLatin1StringView(scaled.data() + intLength, qsizetype(decimals));
    }
    return out;
}

QString FormatMeasuredValue(int t, int a, int b) {
    const X A = a;
    const X B = b;
    const Int ia = a;
    const Int ib = b;

    switch (t) {
    case -1:
        return QStringLiteral("NA ");
    case 1:
        return fixed(A * 0.2L * B, 0) + s(u" upm");
    case 2:
        return fixed(A * 0.002L * B, 2) + s(u" %");
    case 3:
        return fixed(A * 0.002L * B, 2) + s(u" Deg");
    case 4:
        return fixed(std::fabs(B - 127) * 0.01L * A, 2) + s(u" ");
    case 5:
        return fixed(X((ib - 100) * ia) * 0.1L, 1) + s(u" °C");
    case 6:
        return fixed(A * 0.001L * B, 2) + s(u" V");
    case 7:
        return fixed(A * 0.01L * B, 1) + s(u" km/h");
    case 8:
        return fixed(A * 0.1L * B, 2) + s(u" ");
    case 9:
        return fixed((B - 127) * 0.02L * A, 2) + s(u" Deg");
    case 11:
        return fixed(A * 0.0001L * (B - 128) + 1, 2) + s(u" ");
    case 12:
        return fixed(A * 0.001L * B, 2) + s(u" Ohm");
    case 13:
        return fixed((B - 127) * 0.001L * A, 2) + s(u" mm");
    case 14:
        return fixed(A * 0.005L * B, 2) + s(u" bar");
    case 15:
        return fixed(A * 0.01L * B, 2) + s(u" ms");
    case 17:
    case 63:
        return characters(a, b) + s(u" ");
    case 18:
        return fixed(A * 0.04L * B, 0) + s(u" mbar");
    case 19:
        return fixed(X(ia * ib) * 0.01L, 2) + s(u" l");
    case 20:
        return fixed(X((ib - 128) * ia) / 128, 1) + s(u" %");
    case 21:
        return fixed(A * 0.001L * B, 2) + s(u" V");
    case 22:
        return fixed(A * 0.001L * B, 2) + s(u"ms");
    case 23:
        return fixed(B / 256 * A, 2) + s(u" %");
    case 24:
        return fixed(A * 0.001L * B, 2) + s(u" A");
    case 25:
        return fixed(B * 1.421L + A / 182, 2) + s(u" g/s");
    case 26:
        return integer(ib - ia) + s(u" C");
    case 27:
        return fixed(std::fabs(B - 128) * 0.01L * A, 2) + s(u" °");
    case 28:
        return integer(ib - ia) + s(u" ");
    case 30:
        return fixed(B / 12 * A, 2) + s(u" Deg k/w");
    case 31:
        return fixed(B / 2560 * A, 2) + s(u" °C");
    case 32:
        return integer(ib <= 128 ? ib : ib - 256) + s(u" ");
    case 33:
        return (a != 0 ? fixed(X(ib * 100) / A, 1) : integer(ib * 100)) + s(u" %");
    case 34:
        return fixed((B - 128) * 0.01L * A, 2) + s(u" kW");
    case 35:
        return fixed(A * 0.01L * B, 2) + s(u" l/h");
    case 36:
        return fixed(X(ia * 2560 + ib * 10), 0) + s(u" km");
    case 38:
        return fixed((B - 128) * 0.001L * A, 2) + s(u" Deg k/w");
    case 39:
        return fixed(B / 256 * A, 1) + s(u" mg/h");
    case 40:
        return fixed(A * 25.5L + B * 0.1L - 400, 2) + s(u" A");
    case 41:
        return fixed(X(ib + ia * 255), 0) + s(u" Ah");
    case 42:
        return fixed(A * 25.5L + B * 0.1L - 400, 2) + s(u" Kw");
    case 43:
        return fixed(A * 25.5L + B * 0.1L, 2) + s(u" V");
    case 44:
        return lastChars(QStringLiteral("00"), a, 2) + QLatin1Char(':') +
               lastChars(QStringLiteral("00"), b, 2) + s(u" ");
    case 45:
        return fixed(A * 0.1L * B / 100, 2) + s(u" ");
    case 46:
        return fixed(X(ia * ib - 3200) * 0.0027L, 2) + s(u"  \tDeg k/w");
    case 47:
        return integer((ib - 128) * ia) + s(u" ms");
    case 48:
        return integer(ia * 255 + ib) + s(u" ");
    case 49:
        return fixed(B / 4 * 0.1L * A, 0) + s(u" mg/h");
    case 50:
        return fixed(a != 0 ? (B - 128) / (A * 0.01L) : (B - 128) / 0.01L, 2) + s(u" mbar");
    case 51:
        return fixed((B - 128) / 255 * A, 2) + s(u" mg/h");
    case 52:
        return fixed(B * 0.02L * A - A, 2) + s(u" Nm");
    case 53:
        return fixed(A * 0.006L + (B - 128) * 1.4222L, 2) + s(u" g/s");
    case 54:
        return integer(ia * 256 + ib) + s(u" ");
    case 55:
        return fixed(X(ia * ib) / 200, 2) + s(u" s");
    case 56:
        return integer(ia * 256 + ib) + s(u" WSC");
    case 57:
        return integer(ia * 256 + ib + 65536) + s(u" WSC");
    case 58:
        return fixed(b <= 128 ? B * 1.0225L : (256 - B) * 1.0225L, 2) + s(u" \\s");
    case 59:
        return fixed(X(ia * 256 + ib) / 32768, 2) + s(u" ");
    case 60:
        return fixed(X(ia * 256 + ib) * 0.01L, 2) + s(u" s");
    case 61:
        return (a != 0 ? fixed((B - 128) / A, 2) : integer(ib - 128)) + s(u" ");
    case 62:
        return fixed(A * 0.256L * B, 2) + s(u" S");
    case 64:
        return integer(ia + ib) + s(u" Ohm");
    case 65:
        return fixed(A * 0.01L * (B - 127), 2) + s(u" mm");
    case 66:
        return fixed(X(ia * ib) / 511.12L, 2) + s(u" V");
    case 67:
        return fixed(X(ia * 640) + B * 2.5L, 2) + s(u" Deg");
    case 68:
        return fixed(X(ia * 256 + ib) / 7.365L, 2) + s(u" deg/s");
    case 69:
        return fixed(X(ia * 256 + ib) * 0.3254L, 2) + s(u" Bar");
    case 70:
        return fixed(X(ia * 256 + ib) * 0.192L, 2) + s(u" m/s²");
    default: // 0, 10, 16, 29, 37 and every type outside the table
        return rawDisplay(a, b) + s(u" ");
    }
}
} // namespace LongDouble
