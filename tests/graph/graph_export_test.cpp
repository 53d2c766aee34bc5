// The shown readings saved as a log: what the program's own reader makes of
// them, with numbers, names and moments a plain join would get wrong.
#include "graph/graph_export.h"
#include "graph/graph_model.h"
#include "log/log_reader.h"

#include <QBuffer>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

NumericLog ReadBack(const QStringList& lines) {
    QByteArray bytes = (lines.join("\r\n") + "\r\n").toUtf8();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return ReadLogNumbers(buffer, bytes.size());
}

ReadingsExport German() {
    ReadingsExport what;
    what.header.versionText = "Version 1.41";
    what.header.unitText = "001 [01] - Motor (ECU)";
    what.header.partNumber = "036 906 034 AM";
    what.title = "Meßwerte";
    what.timeWord = "Zeit";
    return what;
}

} // namespace

TEST(ReadingCell, NumbersAReaderTakesAsTheyWere) {
    const struct {
        double value;
        const char* cell;
    } cases[] = {
        {850, "850"},      {-12.5, "-12,5"},     {0.1 + 0.2, "0,3"},
        {1e6, "1000000"},  {-0.0, "0"},          {13.123456789, "13,123457"},
        {-0.0000001, "0"}, {2.5e-5, "0,000025"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadingCell(c.value, QLatin1Char(',')), c.cell) << c.value;
    EXPECT_EQ(ReadingCell(-12.5, QLatin1Char('.')), "-12.5");
}

TEST(ReadingsLogLines, TheShownLinesWithinTheSpanReadBackAsTheyWere) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    GraphModel model;
    // Two lines polled at their own moments, one with a break, one hidden;
    // a name that holds the log's separator and a bracket of its own.
    model.addLine("0", "Drehzahl; Soll [alt]", "Gruppe 1", "upm",
                  {{1.0, 800}, {1.5, 810}, {1.5, nan}, {9.0, 900}, {9.5, 1e6}});
    model.addLine("1", "Spannung", "Gruppe 2", "V", {{1.25, 13.5}, {1.2504, 13.6}, {9.25, -0.5}});
    model.addLine("2", "Versteckt", "Gruppe 3", "%", {{1.0, 1}, {2.0, 2}});
    model.setVisible(2, false);

    const NumericLog log = ReadBack(ReadingsLogLines(model, 1.2, 9.5, German()));
    ASSERT_EQ(log.recordings.size(), 1);
    const NumericRecording& r = log.recordings[0];
    EXPECT_EQ(r.unitEntry, "001 [01] - Motor (ECU)");
    EXPECT_EQ(r.partNumber, "036 906 034 AM");
    EXPECT_EQ(r.title, "Meßwerte");
    ASSERT_EQ(r.columns.size(), 2);
    EXPECT_EQ(r.columns[0].name, "Drehzahl, Soll [alt]");
    EXPECT_EQ(r.columns[0].unit, "upm");
    EXPECT_EQ(r.columns[0].group, "Gruppe 1");
    EXPECT_EQ(r.columns[1].name, "Spannung");
    EXPECT_EQ(r.columns[1].unit, "V");
    // The break comes back from the gap; points before the span stay out.
    const QList<QPointF> rpm = r.points[0];
    ASSERT_EQ(rpm.size(), 4);
    EXPECT_EQ(rpm[0], QPointF(1.5, 810));
    EXPECT_TRUE(std::isnan(rpm[1].y()));
    EXPECT_EQ(rpm[2], QPointF(9.0, 900));
    EXPECT_EQ(rpm[3], QPointF(9.5, 1e6));
    // Moments a millisecond apart and less stay apart; the last reading of
    // a line within one millisecond is its own row, not lost.
    const QList<QPointF> volts = r.points[1];
    ASSERT_EQ(volts.size(), 4);
    EXPECT_EQ(volts[0], QPointF(1.25, 13.5));
    EXPECT_EQ(volts[1], QPointF(1.25, 13.6));
    EXPECT_TRUE(std::isnan(volts[2].y()));
    EXPECT_EQ(volts[3], QPointF(9.25, -0.5));
}

TEST(ReadingsLogLines, ASpanWithoutReadingsGivesAHeaderAndNoRows) {
    GraphModel model;
    model.addLine("0", "Drehzahl", QString(), "upm", {{1.0, 800}});
    const QStringList lines = ReadingsLogLines(model, 5, 6, German());
    EXPECT_TRUE(lines.first().startsWith("Vandrix Version 1.41;"));
    EXPECT_TRUE(lines.last().startsWith("Zeit [ms];HH:MM:SS,ms;Drehzahl [upm];"));
    // No group line without groups: the title stays the title.
    EXPECT_EQ(lines[lines.size() - 2], "Meßwerte");
    EXPECT_TRUE(ReadBack(lines).recordings.isEmpty());
}
