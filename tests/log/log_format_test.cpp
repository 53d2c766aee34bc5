// Cells and lines of the measurement log, as a spreadsheet will read them.
#include "log/log_format.h"
#include "values/measured_value.h"

#include <gtest/gtest.h>

using namespace LogFormat;

TEST(LogFormat, ValueTextSplitsAtItsLastBlank) {
    struct Case {
        QString text, value, unit;
    } cases[] = {
        {"13,50 V", "13,50", "V"},
        {"850 /min", "850", "/min"},
        {"1.234,5 km", "1.234,5", "km"}, // thousands separator stays
        {"42 ", "42", ""},               // no unit: the cell is all number
        {"1,23ms", "", "1,23ms"},        // no blank: all unit, empty value
        {"NA", "", "NA"},
        {"", "", ""},
        {"12  \tDeg k/w", "12  \tDeg", "k/w"}, // only the last blank counts
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(ValuePart(c.text), c.value);
        EXPECT_EQ(UnitPart(c.text), c.unit);
    }
}

TEST(LogFormat, ElapsedTimeHasNoLeadingZerosButInTheMilliseconds) {
    constexpr int64_t h = 3600000, m = 60000, s = 1000;
    struct Case {
        int64_t ms;
        QChar decimal;
        QString text;
    } cases[] = {
        {0, ',', "0:0:0,000"},
        {62004, ',', "0:1:2,004"},
        {62004, '.', "0:1:2.004"},
        {10 * h + 59 * m + 59 * s + 999, ',', "10:59:59,999"},
        {25 * h + 3 * m + 4 * s + 5, ',', "1:3:4,005"}, // hours wrap at a day
        {24 * h, ',', "0:0:0,000"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ElapsedTime(c.ms, c.decimal), c.text) << c.ms;
}

TEST(LogFormat, EveryCellIsFollowedByItsSeparator) {
    EXPECT_EQ(Cells({"a", "", "c"}), "a;;c;");
    EXPECT_EQ(Cells({}), "");
    EXPECT_EQ(PairLine("Steuergerät:", "001 [01] - Motor (ECU)"),
              "Steuergerät:;001 [01] - Motor (ECU)");
    EXPECT_EQ(WithoutAccelerator("Roh&daten"), "Rohdaten");
    EXPECT_EQ(WithoutAccelerator("&Meßwerte"), "Meßwerte");
    EXPECT_EQ(SeparatorLine(), QString(60, '*'));
}

TEST(LogFormat, GroupHeaderNamesEachTickedSlotInSixColumns) {
    const QList<GroupSlot> ticked{
        {"1", {"Drehzahl", "Temp", "Zeit", "Faktor"}, {"850 /min", "90 °C", "1,23ms", "42 "}},
        {"3", {"A", "B", "-", "-"}, {"NA", "13,50 V", "NA", "NA"}},
    };
    const QStringList titles = GroupTitleCells("Gruppe", ticked);
    EXPECT_EQ(titles, QStringList(6, "Gruppe 1") + QStringList(6, "Gruppe 3"));

    EXPECT_EQ(GroupColumnCells("Zeit", ticked),
              QStringList({"Zeit [ms]", "HH:MM:SS,ms", "Drehzahl [/min]", "Temp [°C]",
                           "Zeit [1,23ms]", "Faktor []", //
                           "Zeit [ms]", "HH:MM:SS,ms", "A [NA]", "B [V]", "- [NA]", "- [NA]"}));
    EXPECT_TRUE(GroupTitleCells("Group", {}).isEmpty());
}

TEST(LogFormat, RowsCarryTheTimeCellsThenTheValues) {
    EXPECT_EQ(GroupSlotCells(62004, 62004, {"850 /min", "NA", "1,23ms", "42 "}, ','),
              QStringList({"62004", "0:1:2,004", "850", "", "", "42"}));
    // The last slot times its milliseconds after its request, its clock cell before.
    EXPECT_EQ(GroupSlotCells(1120, 1000, {"1 V", "2 V", "3 V", "4 V"}, '.'),
              QStringList({"1120", "0:0:1.000", "1", "2", "3", "4"}));

    const QStringList bytes{"007", "255", "0-1", "NA", "000", "001", "002", "003", "004", "200"};
    EXPECT_EQ(RawRowCells(5, bytes, ','), QStringList({"5", "0:0:0,005"}) + bytes);
    EXPECT_EQ(RawColumnCells("Time", {"raw1", "2"}),
              QStringList({"Time [ms]", "HH:MM:SS,ms", "raw1", "2"}));
}

TEST(LogFormat, EveryCellIsMadeSafe) {
    const QString sub = QString(QChar::ReplacementCharacter);
    struct Case {
        QString text, cell;
    } cases[] = {
        {"13,50", "13,50"},
        {"a;b", "a,b"},
        {"\"A\" B", "'A' B"}, // a leading quote would open a quoted cell
        {"x\ry\nz\t", "x" + sub + "y" + sub + "z" + sub},
        {QString(QChar(0)) + QChar(0x7F) + QChar(0x85), sub + sub + sub},
        {QString(QChar(0x2028)) + QChar(0x2029), sub + sub},
        {"Meßwert äöü °C µs", "Meßwert äöü °C µs"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(SafeCell(c.text), c.cell);
        EXPECT_EQ(Cells({c.text}), c.cell + ";");
    }
    EXPECT_EQ(PairLine("Steuergerät:", "036;906\r"), "Steuergerät:;036,906" + sub);
}

// Units that show their bytes as characters (types 17 and 63) and label names
// can carry ";", quotes and line ends into the log; the row keeps its shape.
TEST(LogFormat, RowsKeepTheirHeadersShapeWhateverTheUnitSends) {
    const QString semicolonCr = FormatMeasuredValue(17, ';', '\r');
    const QString quoteLf = FormatMeasuredValue(63, '"', '\n');
    const QList<GroupSlot> ticked{
        {"1", {"Text;1", "Zeile\r\n2", "\"x", "-"}, {semicolonCr, quoteLf, "24,0 V", "NA"}},
    };
    const QString header = Cells(GroupColumnCells("Zeit", ticked)) + "\r\n";
    const QString row = Cells(GroupSlotCells(1, 1, ticked[0].valueTexts, ',')) + "\r\n";
    for (const QString& line : {header, row}) {
        SCOPED_TRACE(line.toStdString());
        EXPECT_EQ(line.count('\r'), 1);
        EXPECT_EQ(line.count('\n'), 1);
        EXPECT_FALSE(line.contains('"'));
        EXPECT_TRUE(line.endsWith(";\r\n"));
        EXPECT_EQ(line.count(';'), 6);
    }
}
