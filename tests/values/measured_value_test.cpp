#include "config/app_locale.h"
#include "support/qt_printers.h"
#include "values/measured_value.h"

#include <gtest/gtest.h>

namespace {
struct Case {
    int type, a, b;
    const char16_t* german;
    const char16_t* english;
};

// Worked values, edge cases, every unit text and the rounding of halves.
const Case kCases[] = {
    // worked values
    {1, 200, 40, u"1.600 upm", u"1,600 upm"},
    {5, 10, 120, u"20,0 °C", u"20.0 °C"},
    {6, 100, 135, u"13,50 V", u"13.50 V"},
    {7, 50, 100, u"50,0 km/h", u"50.0 km/h"},
    {32, 0, 200, u"-56 ", u"-56 "},
    {33, 0, 3, u"300 %", u"300 %"},
    {36, 255, 255, u"655.350 km", u"655,350 km"},
    {50, 0, 138, u"1.000,00 mbar", u"1,000.00 mbar"},
    {58, 0, 200, u"57,26 \\s", u"57.26 \\s"},
    // no data, text forms, raw display
    {-1, 5, 5, u"NA ", u"NA "},
    {17, 65, 66, u"A B  ", u"A B  "},
    {63, 0xC4, 0x7A, u"Ä z  ", u"Ä z  "},
    {17, -1, 66, u"\uFFFD B  ", u"\uFFFD B  "},
    {44, 9, 5, u"09:05 ", u"09:05 "},
    {44, 123, 59, u"23:59 ", u"23:59 "},
    {0, 1, 2, u"A:001 B:002 ", u"A:001 B:002 "},
    {10, 7, 255, u"A:007 B:255 ", u"A:007 B:255 "},
    {16, 0, 0, u"A:000 B:000 ", u"A:000 B:000 "},
    {29, 12, 34, u"A:012 B:034 ", u"A:012 B:034 "},
    {37, 100, 5, u"A:100 B:005 ", u"A:100 B:005 "},
    {200, 255, 255, u"A:255 B:255 ", u"A:255 B:255 "},
    {-2, 1, 1, u"A:001 B:001 ", u"A:001 B:001 "},
    {71, 1, 1, u"A:001 B:001 ", u"A:001 B:001 "},
    {0, -1, -1, u"A:0-1 B:0-1 ", u"A:0-1 B:0-1 "},
    // unit texts that are easy to get wrong
    {22, 10, 123, u"1,23ms", u"1.23ms"},
    {46, 100, 40, u"2,16  \tDeg k/w", u"2.16  \tDeg k/w"},
    {46, 0, 0, u"-8,64  \tDeg k/w", u"-8.64  \tDeg k/w"},
    {70, 0, 100, u"19,20 m/s²", u"19.20 m/s²"},
    {27, 10, 138, u"1,00 °", u"1.00 °"},
    {31, 10, 256, u"1,00 °C", u"1.00 °C"},
    {26, 10, 3, u"-7 C", u"-7 C"},
    {42, 20, 0, u"110,00 Kw", u"110.00 Kw"},
    {69, 255, 255, u"21.325,09 Bar", u"21,325.09 Bar"},
    // symmetric and piecewise formulas
    {4, 10, 117, u"1,00 ", u"1.00 "},
    {4, 10, 137, u"1,00 ", u"1.00 "},
    {27, 10, 118, u"1,00 °", u"1.00 °"},
    {32, 0, 128, u"128 ", u"128 "},
    {32, 0, 129, u"-127 ", u"-127 "},
    {58, 0, 128, u"130,88 \\s", u"130.88 \\s"},
    {58, 0, 131, u"127,81 \\s", u"127.81 \\s"},
    {40, 0, 0, u"-400,00 A", u"-400.00 A"},
    {42, 0, 0, u"-400,00 Kw", u"-400.00 Kw"},
    {57, 0, 0, u"65536 WSC", u"65536 WSC"},
    {56, 255, 255, u"65535 WSC", u"65535 WSC"},
    {48, 255, 255, u"65280 ", u"65280 "},
    // guarded divisions; integer forms are never grouped
    {33, 0, 255, u"25500 %", u"25500 %"},
    {33, 3, 1, u"33,3 %", u"33.3 %"},
    {50, 1, 0, u"-12.800,00 mbar", u"-12,800.00 mbar"},
    {61, 0, 100, u"-28 ", u"-28 "},
    {61, 3, 129, u"0,33 ", u"0.33 "},
    // grouping of floating forms with no decimals
    {41, 255, 255, u"65.280 Ah", u"65,280 Ah"},
    {18, 255, 255, u"2.601 mbar", u"2,601 mbar"},
    {1, 0, 0, u"0 upm", u"0 upm"},
    // more formulas: precedence, left to right
    {11, 100, 228, u"2,00 ", u"2.00 "},
    {25, 182, 10, u"15,21 g/s", u"15.21 g/s"},
    {45, 200, 50, u"10,00 ", u"10.00 "},
    {49, 100, 40, u"100 mg/h", u"100 mg/h"},
    {52, 10, 100, u"10,00 Nm", u"10.00 Nm"},
    {53, 0, 0, u"-182,04 g/s", u"-182.04 g/s"},
    {66, 255, 255, u"127,22 V", u"127.22 V"},
    {67, 1, 10, u"665,00 Deg", u"665.00 Deg"},
    {68, 0, 100, u"13,58 deg/s", u"13.58 deg/s"},
    // halves go away from zero, judged on the decimal value
    {20, 10, 144, u"1,3 %", u"1.3 %"},
    {20, 10, 112, u"-1,3 %", u"-1.3 %"},
    {23, 1, 32, u"0,13 %", u"0.13 %"},
    {7, 5, 1, u"0,1 km/h", u"0.1 km/h"},
    {6, -1, 125, u"-0,13 V", u"-0.13 V"},
    {59, 0, 64, u"0,00 ", u"0.00 "},
    {35, 99, 101, u"99,99 l/h", u"99.99 l/h"},
    {2, 255, 255, u"130,05 %", u"130.05 %"},
    // values that round to zero carry no minus sign
    {13, 4, 126, u"0,00 mm", u"0.00 mm"},
    {9, 0, 126, u"0,00 Deg", u"0.00 Deg"},
    {52, 50, 50, u"0,00 Nm", u"0.00 Nm"},
    {5, 0, 0, u"0,0 °C", u"0.0 °C"},
};

class FormatMeasuredValueTest : public ::testing::Test {
protected:
    void TearDown() override { AppLocale::set(QLocale(QLocale::German, QLocale::Germany)); }
};

TEST_F(FormatMeasuredValueTest, TableInGermanAndEnglishSettings) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " a " << c.a << " b " << c.b);
        AppLocale::set(QLocale(QLocale::German, QLocale::Germany));
        EXPECT_EQ(FormatMeasuredValue(c.type, c.a, c.b), QString::fromUtf16(c.german));
        AppLocale::set(QLocale(QLocale::English, QLocale::UnitedStates));
        EXPECT_EQ(FormatMeasuredValue(c.type, c.a, c.b), QString::fromUtf16(c.english));
    }
}

TEST_F(FormatMeasuredValueTest, ValueIsEverythingBeforeTheLastBlank) {
    AppLocale::set(QLocale(QLocale::German, QLocale::Germany));
    for (int t = -1; t <= 70; ++t) {
        const QString text = FormatMeasuredValue(t, 12, 200);
        SCOPED_TRACE(text.toStdString());
        if (t == 22)
            EXPECT_FALSE(text.contains(' '));
        else
            EXPECT_TRUE(text.contains(' '));
    }
}

TEST(FormatFixedNumber, RoundingAndGrouping) {
    AppLocale::set(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(FormatFixedNumber(999.995L, 2), "1,000.00");
    EXPECT_EQ(FormatFixedNumber(-999999.5L, 0), "-1,000,000");
    EXPECT_EQ(FormatFixedNumber(0.5L, 0), "1");
    EXPECT_EQ(FormatFixedNumber(0.49L, 0), "0");
    EXPECT_EQ(FormatFixedNumber(-0.004L, 2), "0.00");
    EXPECT_EQ(FormatFixedNumber(1e-30L, 3), "0.000");
    EXPECT_EQ(FormatFixedNumber(123456789012.25L, 1), "123,456,789,012.3");
    EXPECT_EQ(FormatFixedNumber(3.215L, 2), "3.22");
}
} // namespace
