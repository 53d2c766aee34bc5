#include "config/app_locale.h"
#include "support/qt_printers.h"
#include "values/measured_value.h"
#include "values/readiness_voltage.h"

#include <cfloat>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

TEST(ReadinessBitTest, CountsFromTheHighestBitAndIgnoresOtherPlaces) {
    struct Case {
        int byte;
        const char* bits; // n = 0 .. 7
    } cases[] = {
        {0x00, "00000000"}, {0x81, "10000001"},  {0x65, "01100101"},
        {0xFF, "11111111"}, {0x100, "00000000"}, // bit 8 is not one of the eight
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.byte);
        for (int n = 0; n < 8; ++n)
            EXPECT_EQ(ReadinessBit(c.byte, n), c.bits[n] == '1') << "n " << n;
    }
    for (int n : {-1, 8, 9, 31, 40})
        EXPECT_FALSE(ReadinessBit(0xFFFF, n)) << "n " << n;
}

TEST(FormatInterfaceVoltageTest, ScaledReadingInTheUsersNumberFormat) {
    struct Case {
        int raw;
        double u2, factor;
        const char16_t* german;
        const char16_t* english;
    } cases[] = {
        {200, 3.3, 5, u"3,22 V", u"3.22 V"},
        {0, 3.3, 5, u"0,00 V", u"0.00 V"},
        {512, 5.0, 1, u"2,50 V", u"2.50 V"},
        {1023, 5.0, 3, u"14,99 V", u"14.99 V"},
        {1023, 5.0, 300, u"1.498,54 V", u"1,498.54 V"}, // grouped
        {-1, 5.0, 1, u"0,00 V", u"0.00 V"},             // rounds to zero: no sign
        // An exact half goes away from zero.
        {128, 1.0, 1, u"0,13 V", u"0.13 V"},
        {-128, 1.0, 1, u"-0,13 V", u"-0.13 V"},
        // 5.12 is a hair above its decimal, 1.005 a hair below: the double's
        // own value decides, on every processor.
        {1, 5.12, 1, u"0,01 V", u"0.01 V"},
        {1024, 1.005, 1, u"1,00 V", u"1.00 V"},
        {1024, 1.0, 1.005, u"1,00 V", u"1.00 V"},
        // Far outside what a configuration holds: still a text, never a trap.
        {1023, 5e-324, 1, u"0,00 V", u"0.00 V"},
        {1024, 1e20, 1e3, u"100.000.000.000.000.000.000.000,00 V",
         u"100,000,000,000,000,000,000,000.00 V"},
        {100, std::numeric_limits<double>::infinity(), 1, u"NA V", u"NA V"},
        {0, 5.0, std::numeric_limits<double>::quiet_NaN(), u"NA V", u"NA V"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.raw);
        AppLocale::set(QLocale(QLocale::German, QLocale::Germany));
        EXPECT_EQ(FormatInterfaceVoltage(c.raw, c.u2, c.factor), QString::fromUtf16(c.german));
        AppLocale::set(QLocale(QLocale::English, QLocale::UnitedStates));
        EXPECT_EQ(FormatInterfaceVoltage(c.raw, c.u2, c.factor), QString::fromUtf16(c.english));
    }
}

// On x86-64 the texts are those of the former long double arithmetic, for
// every reading of the converter and the references and dividers in use.
TEST(FormatInterfaceVoltageTest, TheSameTextsAsX86LongDouble) {
    if (LDBL_MANT_DIG != 64)
        GTEST_SKIP() << "the reference texts need x86's 80-bit long double";
    AppLocale::set(QLocale(QLocale::English, QLocale::UnitedStates));
    int differences = 0;
    for (double u2 : {3.3, 5.0, 4.95, 5.12, 1.1, 2.56, 4.096, 0.7})
        for (double factor : {1.0, 2.0, 3.0, 5.7, 0.1, 11.0, 6.1, 300.0, 1.005, 0.33})
            for (int raw = -1; raw <= 1023; ++raw) {
                const long double volts = raw * (static_cast<long double>(u2) / 1024 * factor);
                const QString former = FormatFixedNumber(volts, 2) + QStringLiteral(" V");
                const QString now = FormatInterfaceVoltage(raw, u2, factor);
                if (now != former && ++differences <= 10)
                    ADD_FAILURE() << raw << " " << u2 << " " << factor << ": " << now.toStdString()
                                  << " was " << former.toStdString();
            }
    EXPECT_EQ(differences, 0);
}
