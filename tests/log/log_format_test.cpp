// Cells and lines of the measurement log, as a spreadsheet will read them.
#include "log/log_format.h"

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
