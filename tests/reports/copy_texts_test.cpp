// The clipboard texts of the copy buttons, from page texts to the exact bytes.
#include "qt_printers.h"
#include "reports/copy_texts.h"

#include <gtest/gtest.h>

namespace {
const QString Dash = QStringLiteral("-");

GroupSlotTexts slot(const QString& number, std::array<QString, 4> names,
                    std::array<QString, 4> values) {
    return GroupSlotTexts{number, names, values};
}
} // namespace

TEST(CopyTexts, InfoPageGivesSixCaptionValueLines) {
    const QString text = InfoPageCopy({{{"Steuergerät:", "01 Motor"},
                                        {"Teilenummer:", "06A906032HN"},
                                        {"Bauteil:", "1,8l R4/5V MOTR\r"},
                                        {"Zusatz:", ""},
                                        {"Codierung:", "00031"},
                                        {"WSC:", "12345"}}});
    EXPECT_EQ(text, "Steuergerät:\t01 Motor\r\n"
                    "Teilenummer:\t06A906032HN\r\n"
                    "Bauteil:\t1,8l R4/5V MOTR\r\n"
                    "Zusatz:\t\r\n"
                    "Codierung:\t00031\r\n"
                    "WSC:\t12345\r\n");
}

TEST(CopyTexts, GroupPageGivesNamesAndValuesLinesPerSlot) {
    const QString text =
        GroupPageCopy({slot("1", {"a", "b", "c", "d"}, {"p", "q", "r", "s"}),
                       slot("2", {Dash, Dash, Dash, Dash}, {}), slot("", {}, {}),
                       slot("255", {"x y", "", "", "z"}, {"1,5 V", "", "", "NA"})});
    EXPECT_EQ(text, "1\ta\tb\tc\td\r\n"
                    "\tp\tq\tr\ts\r\n"
                    "2\t-\t-\t-\t-\r\n"
                    "\t\t\t\t\r\n"
                    "\t\t\t\t\r\n"
                    "\t\t\t\t\r\n"
                    "255\tx y\t\t\tz\r\n"
                    "\t1,5 V\t\t\tNA\r\n");
}

TEST(CopyTexts, RawPageKeepsCaptionsWhenValuesAreEmpty) {
    std::array<CaptionValue, 10> rows;
    for (size_t i = 0; i < 10; ++i)
        rows[i] = {QStringLiteral("Raw %1").arg(i + 1), QString()};
    rows[9].second = QStringLiteral("17");
    const QStringList lines = RawPageCopy(rows).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 11); // the text ends with CR LF
    EXPECT_EQ(lines[0], "Raw 1\t");
    EXPECT_EQ(lines[9], "Raw 10\t17");
    EXPECT_EQ(lines[10], "");
}

TEST(CopyTexts, FaultCodePageEndsEveryFieldWithTabAndJoinsCellLines) {
    struct Case {
        const char* name;
        FaultGridRows rows;
        QString expected;
    };
    const std::array<QString, 4> header{"Nr.", "DTC", "Fehlerbeschreibung", "Status/Ursache"};
    const QString head = "Nr.\tDTC\tFehlerbeschreibung\tStatus/Ursache\t\r\n";
    const Case cases[] = {
        {"before any read", {header, {}}, head + "\t\t\t\t\r\n"},
        {"none stored",
         {header, {"", "", "Keine Fehler gespeichert", ""}},
         head + "\t\tKeine Fehler gespeichert\t\t\r\n"},
        {"two codes, one without status text",
         {header,
          {"1", "00532\r\n35", "Versorgungsspannung\r\nB+", "Signal zu klein"},
          {"2", "01314\r\n27", "Motorsteuergerät", ""}},
         head + "1\t00532 35\tVersorgungsspannung B+\tSignal zu klein\t\r\n" +
             "2\t01314 27\tMotorsteuergerät\t\t\r\n"},
        // A bare line feed is not a cell line break of the grid.
        {"bare line feed kept", {header, {"1", "a\nb", "", ""}}, head + "1\ta\nb\t\t\t\r\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FaultCodePageCopy(c.rows), c.expected) << c.name;
}

TEST(CopyTexts, BasicSettingsViews) {
    EXPECT_EQ(BasicSettingsGroupCopy(slot("4", {"n1", Dash, "n3", "n4"}, {"", "", "", ""})),
              "4\tn1\t-\tn3\tn4\r\n\t\t\t\t\r\n");
    std::array<QString, 10> values;
    for (size_t i = 0; i < 10; ++i)
        values[i] = QString::number(100 + i);
    values[4] = QString();
    EXPECT_EQ(BasicSettingsRawCopy(values),
              "100\r\n101\r\n102\r\n103\r\n\r\n105\r\n106\r\n107\r\n108\r\n109\r\n");
}
