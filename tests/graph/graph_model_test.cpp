// The graph's data model as pure code: shown texts in, series out.
#include "graph/graph_model.h"
#include "log/log_reader.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace {

ShownValue German(const QString& text) {
    return ParseShownValue(text, QLatin1Char(','), QLatin1Char('.'));
}

QList<QPointF> Points(std::initializer_list<std::pair<double, double>> xy) {
    QList<QPointF> out;
    for (const auto& [x, y] : xy)
        out << QPointF(x, y);
    return out;
}

} // namespace

TEST(ParseShownValue, NumbersUnitsTextsAndGaps) {
    struct Case {
        const char* text;
        QChar decimal;
        QChar thousands;
        ShownValue::Kind kind;
        double number;
        const char* unit;
    };
    const QChar comma(','), dot('.'), blank(' ');
    const Case cases[] = {
        {"850 upm", comma, dot, ShownValue::Number, 850, "upm"},
        {"13,50 V", comma, dot, ShownValue::Number, 13.5, "V"},
        {"-7,5 °C", comma, dot, ShownValue::Number, -7.5, "°C"},
        {"1.234,56 km", comma, dot, ShownValue::Number, 1234.56, "km"},
        {"1,234.56 km", dot, comma, ShownValue::Number, 1234.56, "km"},
        {"1 234,5 l", comma, blank, ShownValue::Number, 1234.5, "l"},
        {"42 ", comma, dot, ShownValue::Number, 42, ""},
        {"1,23ms", comma, dot, ShownValue::Number, 1.23, "ms"}, // type 22: no blank
        {"12,5 \tDeg k/w", comma, dot, ShownValue::Number, 12.5, "Deg k/w"},
        {"007", comma, dot, ShownValue::Number, 7, ""}, // a raw byte
        // In English settings "13,50" is a thousands group, never 13.5.
        {"1,350 V", dot, comma, ShownValue::Number, 1350, "V"},
        {"A:012 B:034 ", comma, dot, ShownValue::Text, 0, ""},
        {"12:34 ", comma, dot, ShownValue::Text, 0, ""},
        {"x y ", comma, dot, ShownValue::Text, 0, ""},
        {"0-1", comma, dot, ShownValue::Text, 0, ""},
        {"NA", comma, dot, ShownValue::Missing, 0, ""},
        {"NA ", comma, dot, ShownValue::Missing, 0, ""},
        {"NA V", comma, dot, ShownValue::Missing, 0, ""},
        {"", comma, dot, ShownValue::Missing, 0, ""},
    };
    for (const Case& c : cases) {
        const ShownValue v = ParseShownValue(QString::fromUtf8(c.text), c.decimal, c.thousands);
        EXPECT_EQ(v.kind, c.kind) << c.text;
        if (c.kind == ShownValue::Number) {
            EXPECT_DOUBLE_EQ(v.number, c.number) << c.text;
            EXPECT_EQ(v.unit, QString::fromUtf8(c.unit)) << c.text;
        }
    }
}

TEST(GraphModel, OneSeriesPerFieldTextsListedUnitsGrouped) {
    GraphModel model;
    for (int pass = 0; pass < 3; ++pass) {
        const double t = pass * 0.5;
        model.add("0/1/0", "Drehzahl", "Gruppe 1", t, German(QString::number(800 + pass) + " upm"));
        model.add("0/1/1", "Kühlmittel", "Gruppe 1", t, German("90,0 °C"));
        model.add("0/1/2", "Ansaugluft", "Gruppe 1", t, German(pass == 1 ? "NA" : "20,5 °C"));
        model.add("0/1/3", "Bitmuster", "Gruppe 1", t, German("A:000 B:027 "));
    }
    ASSERT_EQ(model.series().size(), 3);
    EXPECT_EQ(model.series()[0].name, "Drehzahl");
    EXPECT_EQ(model.series()[0].points, Points({{0, 800}, {0.5, 801}, {1, 802}}));
    // A reading that was not available leaves a gap, not a zero.
    EXPECT_EQ(model.series()[2].points, Points({{0, 20.5}, {1, 20.5}}));
    EXPECT_EQ(model.units(), QStringList({"upm", "°C"}));
    EXPECT_EQ(model.textFields(), QStringList({"Bitmuster"}));
    EXPECT_EQ(model.lastTime(), 1.0);

    // A field that shows a number once is plotted, not listed as text.
    model.add("0/1/3", "Bitmuster", "Gruppe 1", 1.5, German("3 "));
    EXPECT_TRUE(model.textFields().isEmpty());
    EXPECT_EQ(model.units(), QStringList({"upm", "°C", ""}));
}

TEST(GraphModel, EqualLabelsOfTwoGroupsAreToldApart) {
    GraphModel model;
    model.add("0/1/0", "Drehzahl", "Gruppe 1", 0, German("800 upm"));
    model.add("1/3/0", "Drehzahl", "Gruppe 3", 0, German("805 upm"));
    model.add("1/3/1", "Last", "Gruppe 3", 0, German("20 %"));
    EXPECT_EQ(model.legendName(0), "Drehzahl (Gruppe 1)");
    EXPECT_EQ(model.legendName(1), "Drehzahl (Gruppe 3)");
    EXPECT_EQ(model.legendName(2), "Last");
}

TEST(GraphModel, KeepsOnlyTheLastSecondsAndRangesTheVisibleLines) {
    GraphModel model(10);
    for (int t = 0; t <= 30; ++t) {
        model.add("a", "A", "", t, German(QString::number(t) + " V"));
        model.add("b", "B", "", t, German(QString::number(100 - t) + " V"));
        if (t < 5)
            model.add("c", "C", "", t, German("1 bar")); // stops after 5 s
    }
    // Readings older than 10 s before the newest are gone, and so is a
    // line that has nothing left.
    ASSERT_EQ(model.series().size(), 2);
    EXPECT_EQ(model.series()[0].points.first(), QPointF(20, 20));
    EXPECT_EQ(model.series()[0].points.size(), 11);
    EXPECT_EQ(model.units(), QStringList({"V"}));
    EXPECT_EQ(model.firstTime(), 20);

    const auto both = model.valueRange("V", 22, 25);
    ASSERT_TRUE(both);
    EXPECT_EQ(*both, std::make_pair(22.0, 78.0));
    model.setVisible(1, false);
    EXPECT_EQ(*model.valueRange("V", 22, 25), std::make_pair(22.0, 25.0));
    EXPECT_FALSE(model.valueRange("V", 40, 50));
    EXPECT_FALSE(model.valueRange("bar", 20, 30));
}

TEST(GraphModel, ARecordingOfTheLogBecomesLines) {
    LogRecording rec;
    rec.decimalSeparator = QLatin1Char(',');
    rec.columns = {{"Gruppe 1", "Drehzahl", "upm", 0},
                   {"Gruppe 1", "Bitmuster", "", 0},
                   {"Gruppe 2", "Spannung", "V", 1}};
    rec.rows = {{{100, 150}, {"800", "A:000 B:027", "13,50"}},
                {{1100, 1150}, {"1.200", "A:000 B:027", ""}}};
    GraphModel model;
    AddRecording(model, rec);
    ASSERT_EQ(model.series().size(), 2);
    EXPECT_EQ(model.series()[0].points, Points({{0.1, 800}, {1.1, 1200}}));
    EXPECT_EQ(model.series()[0].unit, "upm");
    // Each slot's cells carry their own time.
    EXPECT_EQ(model.series()[1].points, Points({{0.15, 13.5}}));
    EXPECT_EQ(model.series()[1].unit, "V");
    EXPECT_EQ(model.textFields(), QStringList({"Bitmuster"}));
}

// A pause in polling breaks a live line; drawing keeps at most a min/max
// pair per pixel column and keeps the breaks.
TEST(GraphModel, APauseBreaksTheLineAndDrawingIsBoundedByPixels) {
    GraphModel model;
    const auto reading = [](double v) { return ShownValue{ShownValue::Number, v, "V"}; };
    model.add("k", "U", "", 0.0, reading(1));
    model.add("k", "U", "", 0.1, reading(2));
    model.add("k", "U", "", 0.2, reading(3));
    model.add("k", "U", "", 9.0, reading(4)); // a dialog was open
    const QList<QPointF>& points = model.series()[0].points;
    ASSERT_EQ(points.size(), 5);
    EXPECT_TRUE(std::isnan(points[3].y()));
    EXPECT_EQ(SplitAtBreaks(points).size(), 2);
    EXPECT_EQ(model.valueRange("V", 0, 10), std::make_pair(1.0, 4.0));

    QList<QPointF> dense;
    for (int i = 0; i < 100000; ++i)
        dense << QPointF(i * 0.001, (i % 7) - 3.0);
    const QList<QPointF> drawn = PointsToDraw(dense, 10, 90, 200);
    EXPECT_LE(drawn.size(), 2 * 202);
    const auto [low, high] =
        std::minmax_element(drawn.begin(), drawn.end(),
                            [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); });
    EXPECT_EQ(low->y(), -3.0);
    EXPECT_EQ(high->y(), 3.0);
    EXPECT_TRUE(std::is_sorted(drawn.begin(), drawn.end(),
                               [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); }));
}
