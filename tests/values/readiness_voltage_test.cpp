#include "config/app_locale.h"
#include "support/qt_printers.h"
#include "values/readiness_voltage.h"

#include <gtest/gtest.h>

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
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.raw);
        AppLocale::set(QLocale(QLocale::German, QLocale::Germany));
        EXPECT_EQ(FormatInterfaceVoltage(c.raw, c.u2, c.factor), QString::fromUtf16(c.german));
        AppLocale::set(QLocale(QLocale::English, QLocale::UnitedStates));
        EXPECT_EQ(FormatInterfaceVoltage(c.raw, c.u2, c.factor), QString::fromUtf16(c.english));
    }
}
