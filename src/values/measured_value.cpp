#include "values/measured_value.h"

#include "config/app_locale.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace {
__extension__ typedef unsigned __int128 U128;
using Int = long long; // brackets: exact integers before conversion

constexpr int bitLength(U128 v) {
    const auto high = uint64_t(v >> 64);
    return high ? 128 - std::countl_zero(high) : 64 - std::countl_zero(uint64_t(v));
}

// A number of x87 extended precision held in integers: ±m·2^e with a 64-bit
// significand m (top bit set; 0 for zero). The readings have always been
// computed in this format, every operation rounded to nearest, ties to even,
// and some of them differ from the exact value in the last shown digit through
// it: an exact half such as 1.005 can come out a hair below the half, far
// enough that even the 18-digit rounding keeps it below, and has always shown
// the lower digit. Modelling the format keeps those texts on every processor.
// The formulas stay far from overflow and subnormal numbers, so neither is.
struct Extended {
    bool negative = false;
    uint64_t m = 0;
    int e = 0;

    constexpr Extended() = default;
    // Exact: every formula's integer fits in 63 bits.
    constexpr Extended(Int v) { *this = rounded(v < 0, v < 0 ? 0 - uint64_t(v) : uint64_t(v), 0); }

    // Exact: a double's 53-bit significand fits, subnormal ones too.
    static Extended fromDouble(double v) {
        int e = 0;
        const double fraction = std::frexp(std::fabs(v), &e);
        return rounded(v < 0, uint64_t(std::ldexp(fraction, 64)), e - 64);
    }

    // The extended number nearest to digits / 10^places, as the compiler reads
    // a long double literal.
    static constexpr Extended decimal(uint64_t digits, int places) {
        U128 ten = 1;
        for (int i = 0; i < places; ++i)
            ten *= 10;
        int shift = 0;
        while ((U128(digits) << shift) / ten < (U128(1) << 63))
            ++shift;
        const U128 scaled = U128(digits) << shift;
        U128 q = scaled / ten;
        const U128 twice = 2 * (scaled % ten);
        if (twice > ten || (twice == ten && (q & 1)))
            ++q;
        return rounded(false, q, -shift);
    }

    // v·2^e rounded to a 64-bit significand, ties to even. Callers that drop
    // bits below v keep the lowest bit of v set for them (a sticky bit), far
    // enough below the rounding place to decide only between up and down.
    static constexpr Extended rounded(bool negative, U128 v, int e) {
        Extended x;
        if (v == 0)
            return x;
        x.negative = negative;
        const int length = bitLength(v);
        if (length <= 64) {
            x.m = uint64_t(v) << (64 - length);
            x.e = e - (64 - length);
            return x;
        }
        int drop = length - 64;
        x.m = uint64_t(v >> drop);
        const U128 rest = v & ((U128(1) << drop) - 1);
        const U128 half = U128(1) << (drop - 1);
        if ((rest > half || (rest == half && (x.m & 1))) && ++x.m == 0) {
            x.m = uint64_t(1) << 63;
            ++drop;
        }
        x.e = e + drop;
        return x;
    }

    friend constexpr Extended operator*(Extended x, Extended y) {
        return rounded(x.negative != y.negative, U128(x.m) * y.m, x.e + y.e);
    }

    // Every divisor of the formulas is a nonzero constant or a guarded a.
    friend constexpr Extended operator/(Extended x, Extended y) {
        const U128 numerator = U128(x.m) << 64;
        const U128 q = numerator / y.m; // 64 or 65 bits
        const U128 r = (numerator % y.m) << 3;
        const U128 v = (((q << 3) | (r / y.m)) << 1) | (r % y.m != 0 ? 1 : 0);
        return rounded(x.negative != y.negative, v, x.e - y.e - 64 - 4);
    }

    friend constexpr Extended operator+(Extended x, Extended y) {
        if (y.m == 0)
            return x;
        if (x.m == 0)
            return y;
        if (x.e < y.e || (x.e == y.e && x.m < y.m))
            std::swap(x, y);
        // 62 bits below the significands: a shift that far loses nothing, and
        // past it y is only a sticky bit.
        const int shift = x.e - y.e;
        const U128 big = U128(x.m) << 62;
        U128 small = U128(y.m) << 62;
        if (shift >= 126) {
            small = 1;
        } else if (shift > 0) {
            const bool lost = (small & ((U128(1) << shift) - 1)) != 0;
            small = (small >> shift) | (lost ? 1 : 0);
        }
        return rounded(x.negative, x.negative == y.negative ? big + small : big - small, x.e - 62);
    }

    friend constexpr Extended operator-(Extended x) {
        x.negative = !x.negative;
        return x;
    }
    friend constexpr Extended operator-(Extended x, Extended y) { return x + -y; }
    friend constexpr Extended abs(Extended x) {
        x.negative = false;
        return x;
    }
};

// The formulas' constants, each the extended number nearest to its decimal.
constexpr Extended K0_0001 = Extended::decimal(1, 4);
constexpr Extended K0_001 = Extended::decimal(1, 3);
constexpr Extended K0_002 = Extended::decimal(2, 3);
constexpr Extended K0_0027 = Extended::decimal(27, 4);
constexpr Extended K0_005 = Extended::decimal(5, 3);
constexpr Extended K0_006 = Extended::decimal(6, 3);
constexpr Extended K0_01 = Extended::decimal(1, 2);
constexpr Extended K0_02 = Extended::decimal(2, 2);
constexpr Extended K0_04 = Extended::decimal(4, 2);
constexpr Extended K0_1 = Extended::decimal(1, 1);
constexpr Extended K0_192 = Extended::decimal(192, 3);
constexpr Extended K0_2 = Extended::decimal(2, 1);
constexpr Extended K0_256 = Extended::decimal(256, 3);
constexpr Extended K0_3254 = Extended::decimal(3254, 4);
constexpr Extended K1_0225 = Extended::decimal(10225, 4);
constexpr Extended K1_421 = Extended::decimal(1421, 3);
constexpr Extended K1_4222 = Extended::decimal(14222, 4);
constexpr Extended K2_5 = Extended::decimal(25, 1);
constexpr Extended K7_365 = Extended::decimal(7365, 3);
constexpr Extended K25_5 = Extended::decimal(255, 1);
constexpr Extended K511_12 = Extended::decimal(51112, 2);

constexpr int SignificantDigits = 18;

// The first 19 significant decimal digits of an exact number, the power of
// ten of the first digit, and whether a nonzero digit follows them.
struct Digits {
    std::string digits;
    int exponent = 0;
    bool more = false;
};

// m·2^shift with shift > 0, an integer of up to 16447 bits: all its digits.
std::string integerDigits(uint64_t m, int shift) {
    std::vector<uint32_t> limbs(size_t(shift / 32 + 3), 0); // least significant first
    const int bits = shift % 32;
    const U128 placed = U128(m) << bits;
    for (int i = 0; i < 3; ++i)
        limbs[size_t(shift / 32 + i)] = uint32_t(placed >> (32 * i));
    std::string out;
    while (!limbs.empty()) {
        uint64_t remainder = 0;
        for (size_t i = limbs.size(); i-- > 0;) {
            const uint64_t part = (remainder << 32) | limbs[i];
            limbs[i] = uint32_t(part / 1000000000);
            remainder = part % 1000000000;
        }
        while (!limbs.empty() && limbs.back() == 0)
            limbs.pop_back();
        for (int i = 0; i < 9; ++i, remainder /= 10)
            out += char('0' + remainder % 10);
    }
    while (out.size() > 1 && out.back() == '0')
        out.pop_back();
    std::reverse(out.begin(), out.end());
    return out;
}

// Exact digits of m·2^e, m nonzero; nothing beyond the 19th is written. A
// number below 2^-61 is left with no digits: no shown place reaches it.
Digits exactDigits(uint64_t m, int e) {
    Digits d;
    if (e > 0) {
        d.digits = integerDigits(m, e);
        d.exponent = int(d.digits.size()) - 1;
        d.more = d.digits.find_first_not_of('0', SignificantDigits + 1) != std::string::npos;
        if (d.digits.size() > SignificantDigits + 1)
            d.digits.resize(SignificantDigits + 1);
        return d;
    }
    const int fractionBits = -e;
    if (fractionBits > 124) {
        d.exponent = -19;
        return d;
    }
    const uint64_t whole = fractionBits >= 64 ? 0 : m >> fractionBits;
    const U128 mask = (U128(1) << fractionBits) - 1;
    U128 fraction = m & mask;
    if (whole > 0) {
        d.digits = std::to_string(whole);
        d.exponent = int(d.digits.size()) - 1;
        if (d.digits.size() > SignificantDigits + 1) {
            d.more = d.digits.find_first_not_of('0', SignificantDigits + 1) != std::string::npos ||
                     fraction != 0;
            d.digits.resize(SignificantDigits + 1);
            return d;
        }
    } else {
        d.exponent = 0;
    }
    while (d.digits.size() < SignificantDigits + 1 && fraction != 0) {
        fraction *= 10;
        const int digit = int(fraction >> fractionBits);
        fraction &= mask;
        if (d.digits.empty() && digit == 0)
            --d.exponent;
        else
            d.digits += char('0' + digit);
    }
    if (whole == 0)
        --d.exponent;
    d.more = fraction != 0;
    return d;
}

// A number rounded to its shown places: the digits of the integer part (no
// leading zeros but one "0") and exactly `decimals` digits after it.
struct Rounded {
    bool negative = false;
    std::string whole;
    std::string fraction;
};

// The rounding of every shown number, "18 digits, then halves away from zero":
// the exact value is first written with 18 significant digits, an exact half
// of the last going to the even digit, and these 18 digits are then rounded
// to the shown places, halves away from zero. The first step is the one the
// readings always went through (the C library's 18-digit conversion of a long
// double); it lets a value a hair below a decimal half, as binary arithmetic
// leaves 0.005 or 1.005, count as the half. A value that rounds to zero has
// no minus sign.
Rounded roundHalfAwayAfter18Digits(bool negative, uint64_t m, int e, int decimals) {
    std::string digits(SignificantDigits, '0');
    int exponent = 0;
    if (m != 0) {
        const Digits exact = exactDigits(m, e);
        exponent = exact.exponent;
        std::copy_n(exact.digits.begin(), std::min<size_t>(exact.digits.size(), SignificantDigits),
                    digits.begin());
        const char next =
            exact.digits.size() > SignificantDigits ? exact.digits[SignificantDigits] : '0';
        const bool odd = (digits.back() - '0') % 2 == 1;
        if (next > '5' || (next == '5' && (exact.more || odd))) {
            int i = SignificantDigits - 1;
            while (i >= 0 && digits[size_t(i)] == '9')
                digits[size_t(i--)] = '0';
            if (i >= 0) {
                ++digits[size_t(i)];
            } else {
                digits.insert(digits.begin(), '1');
                digits.pop_back();
                ++exponent;
            }
        }
    }

    // The 18 digits, cut or padded to the shown places; the first digit cut
    // off decides.
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
    const size_t wholeLength = scaled.size() - size_t(decimals);
    size_t first = 0;
    while (first + 1 < wholeLength && scaled[first] == '0')
        ++first;

    Rounded r;
    r.negative = negative && scaled.find_first_not_of('0') != std::string::npos;
    r.whole = scaled.substr(first, wholeLength - first);
    r.fraction = scaled.substr(wholeLength);
    return r;
}

// The floating-point form: grouping by thousands, AppLocale's separators.
QString shown(const Rounded& r) {
    const QChar separator = AppLocale::thousandsSeparator();
    QString out;
    out.reserve(int(r.whole.size() + r.whole.size() / 3 + r.fraction.size() + 2));
    if (r.negative)
        out += QLatin1Char('-');
    const int n = int(r.whole.size());
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += separator;
        out += QLatin1Char(r.whole[size_t(i)]);
    }
    if (!r.fraction.empty()) {
        out += AppLocale::decimalSeparator();
        out += QLatin1StringView(r.fraction.data(), qsizetype(r.fraction.size()));
    }
    return out;
}

QString fixed(Extended v, int decimals) {
    return shown(roundHalfAwayAfter18Digits(v.negative, v.m, v.e, decimals));
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

QString s(const char16_t* text) {
    return QString::fromUtf16(text);
}
} // namespace

QString FormatFixedNumber(long double value, int decimals) {
    if (!std::isfinite(value))
        return QStringLiteral("NA");
    decimals = std::clamp(decimals, 0, 18);
    // Split into a 64-bit significand and a power of two: exact for x86's
    // long double, rounded to nearest for a wider one.
    int e = 0;
    const long double significand = std::ldexp(std::frexp(std::fabs(value), &e), 64);
    long double whole = std::nearbyint(significand);
    if (whole >= std::ldexp(1.0L, 64)) {
        whole /= 2;
        ++e;
    }
    const auto m = uint64_t(whole);
    return shown(roundHalfAwayAfter18Digits(value < 0, m, e - 64, decimals));
}

QString FormatConverterReading(int raw, double reference, double factor, int decimals) {
    if (!std::isfinite(reference) || !std::isfinite(factor))
        return QStringLiteral("NA");
    Extended step = Extended::fromDouble(reference);
    step.e -= 10; // / 1024, exact
    return fixed(Extended(Int(raw)) * (step * Extended::fromDouble(factor)),
                 std::clamp(decimals, 0, 18));
}

QString FormatMeasuredValue(int t, int a, int b) {
    // Each formula as the readings were computed: products and quotients
    // before sums, left to right, every step rounded to the extended format.
    const Extended A = a;
    const Extended B = b;
    const Int ia = a;
    const Int ib = b;

    switch (t) {
    case -1:
        return QStringLiteral("NA ");
    case 1:
        return fixed(A * K0_2 * B, 0) + s(u" upm");
    case 2:
        return fixed(A * K0_002 * B, 2) + s(u" %");
    case 3:
        return fixed(A * K0_002 * B, 2) + s(u" Deg");
    case 4:
        return fixed(abs(B - 127) * K0_01 * A, 2) + s(u" ");
    case 5:
        return fixed(Extended((ib - 100) * ia) * K0_1, 1) + s(u" °C");
    case 6:
        return fixed(A * K0_001 * B, 2) + s(u" V");
    case 7:
        return fixed(A * K0_01 * B, 1) + s(u" km/h");
    case 8:
        return fixed(A * K0_1 * B, 2) + s(u" ");
    case 9:
        return fixed((B - 127) * K0_02 * A, 2) + s(u" Deg");
    case 11:
        return fixed(A * K0_0001 * (B - 128) + 1, 2) + s(u" ");
    case 12:
        return fixed(A * K0_001 * B, 2) + s(u" Ohm");
    case 13:
        return fixed((B - 127) * K0_001 * A, 2) + s(u" mm");
    case 14:
        return fixed(A * K0_005 * B, 2) + s(u" bar");
    case 15:
        return fixed(A * K0_01 * B, 2) + s(u" ms");
    case 17:
    case 63:
        return characters(a, b) + s(u" ");
    case 18:
        return fixed(A * K0_04 * B, 0) + s(u" mbar");
    case 19:
        return fixed(Extended(ia * ib) * K0_01, 2) + s(u" l");
    case 20:
        return fixed(Extended((ib - 128) * ia) / 128, 1) + s(u" %");
    case 21:
        return fixed(A * K0_001 * B, 2) + s(u" V");
    case 22:
        return fixed(A * K0_001 * B, 2) + s(u"ms");
    case 23:
        return fixed(B / 256 * A, 2) + s(u" %");
    case 24:
        return fixed(A * K0_001 * B, 2) + s(u" A");
    case 25:
        return fixed(B * K1_421 + A / 182, 2) + s(u" g/s");
    case 26:
        return integer(ib - ia) + s(u" C");
    case 27:
        return fixed(abs(B - 128) * K0_01 * A, 2) + s(u" °");
    case 28:
        return integer(ib - ia) + s(u" ");
    case 30:
        return fixed(B / 12 * A, 2) + s(u" Deg k/w");
    case 31:
        return fixed(B / 2560 * A, 2) + s(u" °C");
    case 32:
        return integer(ib <= 128 ? ib : ib - 256) + s(u" ");
    case 33:
        return (a != 0 ? fixed(Extended(ib * 100) / A, 1) : integer(ib * 100)) + s(u" %");
    case 34:
        return fixed((B - 128) * K0_01 * A, 2) + s(u" kW");
    case 35:
        return fixed(A * K0_01 * B, 2) + s(u" l/h");
    case 36:
        return fixed(Extended(ia * 2560 + ib * 10), 0) + s(u" km");
    case 38:
        return fixed((B - 128) * K0_001 * A, 2) + s(u" Deg k/w");
    case 39:
        return fixed(B / 256 * A, 1) + s(u" mg/h");
    case 40:
        return fixed(A * K25_5 + B * K0_1 - 400, 2) + s(u" A");
    case 41:
        return fixed(Extended(ib + ia * 255), 0) + s(u" Ah");
    case 42:
        return fixed(A * K25_5 + B * K0_1 - 400, 2) + s(u" Kw");
    case 43:
        return fixed(A * K25_5 + B * K0_1, 2) + s(u" V");
    case 44:
        return lastChars(QStringLiteral("00"), a, 2) + QLatin1Char(':') +
               lastChars(QStringLiteral("00"), b, 2) + s(u" ");
    case 45:
        return fixed(A * K0_1 * B / 100, 2) + s(u" ");
    case 46:
        return fixed(Extended(ia * ib - 3200) * K0_0027, 2) + s(u"  \tDeg k/w");
    case 47:
        return integer((ib - 128) * ia) + s(u" ms");
    case 48:
        return integer(ia * 255 + ib) + s(u" ");
    case 49:
        return fixed(B / 4 * K0_1 * A, 0) + s(u" mg/h");
    case 50:
        return fixed(a != 0 ? (B - 128) / (A * K0_01) : (B - 128) / K0_01, 2) + s(u" mbar");
    case 51:
        return fixed((B - 128) / 255 * A, 2) + s(u" mg/h");
    case 52:
        return fixed(B * K0_02 * A - A, 2) + s(u" Nm");
    case 53:
        return fixed(A * K0_006 + (B - 128) * K1_4222, 2) + s(u" g/s");
    case 54:
        return integer(ia * 256 + ib) + s(u" ");
    case 55:
        return fixed(Extended(ia * ib) / 200, 2) + s(u" s");
    case 56:
        return integer(ia * 256 + ib) + s(u" WSC");
    case 57:
        return integer(ia * 256 + ib + 65536) + s(u" WSC");
    case 58:
        return fixed(b <= 128 ? B * K1_0225 : (256 - B) * K1_0225, 2) + s(u" \\s");
    case 59:
        return fixed(Extended(ia * 256 + ib) / 32768, 2) + s(u" ");
    case 60:
        return fixed(Extended(ia * 256 + ib) * K0_01, 2) + s(u" s");
    case 61:
        return (a != 0 ? fixed((B - 128) / A, 2) : integer(ib - 128)) + s(u" ");
    case 62:
        return fixed(A * K0_256 * B, 2) + s(u" S");
    case 64:
        return integer(ia + ib) + s(u" Ohm");
    case 65:
        return fixed(A * K0_01 * (B - 127), 2) + s(u" mm");
    case 66:
        return fixed(Extended(ia * ib) / K511_12, 2) + s(u" V");
    case 67:
        return fixed(Extended(ia * 640) + B * K2_5, 2) + s(u" Deg");
    case 68:
        return fixed(Extended(ia * 256 + ib) / K7_365, 2) + s(u" deg/s");
    case 69:
        return fixed(Extended(ia * 256 + ib) * K0_3254, 2) + s(u" Bar");
    case 70:
        return fixed(Extended(ia * 256 + ib) * K0_192, 2) + s(u" m/s²");
    default: // 0, 10, 16, 29, 37 and every type outside the table
        return rawDisplay(a, b) + s(u" ");
    }
}
