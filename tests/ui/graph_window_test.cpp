// The graph window with a CSV log of the program's own format: a drive
// recorded earlier, opened from the live window's button and drawn; what it
// shows saved as a picture and as readings; many units on one axis.
#include "support/ui/graph_pixels.h"
#include "support/ui/scripted_prompts.h"
#include "support/ui/window_fixture.h"
#include "ui/graph_window.h"

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QValueAxis>
#include <QtTest/QTest>
#include <cmath>
#include <gtest/gtest.h>

namespace {

// Beside this file in the source tree.
const QString Fixture = qEnvironmentVariable("VANDRIX_DATA") + "/../tests/ui/graph_fixture.csv";

} // namespace

// The application exists before any window of the fixture.
struct WithApplication {
    WithApplication() { UiTestApp(); }
};

class GraphWindowTest : public ::testing::Test, WithApplication {
protected:
    ScriptedPrompts prompts;
    GraphWindow live{prompts, 0, GraphWindow::Source::Live};
};

TEST_F(GraphWindowTest, ALogFilePlotsItsRecordings) {
    live.show();
    prompts.expectOpenFile(Fixture);
    live.openButton()->click();
    GraphWindow* file = live.lastLogWindow();
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(file->isVisible());
    EXPECT_EQ(file->source(), GraphWindow::Source::File);
    EXPECT_TRUE(file->windowTitle().endsWith("[graph_fixture.csv]"));

    // The last recording (the Group page's) is shown whole.
    ASSERT_EQ(file->recordings().size(), 2);
    EXPECT_TRUE(file->recordingBox()->isVisibleTo(file));
    EXPECT_EQ(file->recordingBox()->currentIndex(), 1);
    ASSERT_EQ(file->model().series().size(), 7);
    EXPECT_EQ(file->model().units(), QStringList({"upm", "°C", "%", "V"}));
    EXPECT_EQ(file->model().legendName(3), "Motordrehzahl (Gruppe 4)");
    // "1.750" in the German log is seventeen hundred and fifty.
    EXPECT_EQ(file->model().series()[3].points.first(), QPointF(0.185, 1750));
    EXPECT_TRUE(file->textValues()->text().contains("Grundeinstellungsbedingungen"));
    EXPECT_DOUBLE_EQ(file->viewStart(), 0.005);
    EXPECT_DOUBLE_EQ(file->viewEnd(), 19.685);
    file->resize(900, 520);
    file->redraw();
    for (int i = 0; i < 7; ++i)
        EXPECT_GT(LinePixels(*file, file->line(i)->color()), 60) << "line " << i;

    // A span of it, and back to the whole.
    file->zoomTo(5, 10);
    EXPECT_EQ(file->line(0)->count(), 12); // the points within, and one beyond each edge
    EXPECT_GT(LinePixels(*file, file->line(0)->color()), 60);
    file->followButton()->click();
    EXPECT_DOUBLE_EQ(file->viewEnd(), 19.685);

    // The raw data recording before it: ten bytes, none with a unit.
    file->showRecording(0);
    ASSERT_EQ(file->model().series().size(), 10);
    EXPECT_EQ(file->model().units(), QStringList({""}));
    EXPECT_EQ(file->axisOfUnit("")->titleText(), "ohne Einheit");
    EXPECT_FALSE(file->textValues()->isVisible());
    file->close(); // deletes itself
}

TEST_F(GraphWindowTest, AFileWithoutMeasuredValuesIsRefused) {
    QTemporaryDir dir;
    QFile other(dir.filePath("other.csv"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("Name;Wert;\r\nA;1;\r\n");
    other.close();
    prompts.expectOpenFile(other.fileName());
    prompts.expectMessage("Die Datei enthält keine Meßwerte dieses Programms:\n" + other.fileName(),
                          "Fehler", PromptIcon::Error);
    live.openButton()->click();
    EXPECT_EQ(live.lastLogWindow(), nullptr);

    // Cancelled; the choice starts in the folder of the user's logs.
    live.setLogFolder(dir.path());
    prompts.expectOpenFile(QString());
    live.openButton()->click();
    EXPECT_EQ(live.lastLogWindow(), nullptr);
    EXPECT_EQ(prompts.shown().back().text, dir.path());
}

namespace {

const QFile::Permissions AnyoneMayRead = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;

bool IsPng(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(8) == QByteArray("\x89PNG\r\n\x1a\n", 8);
}

int ColourPixels(const QImage& image, const QRect& area, const QColor& colour) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                    std::abs(c.blue() - colour.blue()) <
                40)
                ++n;
        }
    return n;
}

// A Group page log of one group per unit, units in the order given.
QByteArray LogWithUnits(const QStringList& units, int rows) {
    QStringList groups{"Gruppe 1", "Gruppe 1"};
    QStringList columns{"Zeit [ms]", "HH:MM:SS,ms"};
    for (int u = 0; u < units.size(); ++u) {
        groups << QStringLiteral("Gruppe %1").arg(u + 1);
        columns << QStringLiteral("Wert %1 [%2]").arg(u + 1).arg(units[u]);
    }
    QString text = "Vandrix Version 1.41;https://example.invalid\r\n12.03.2025;14:05:42\r\n"
                   "Steuergerät:;001 [01] - Motor (ECU)\r\nVAG Geräte-Typnummer:;036 906 034 AM\r\n"
                   "\r\nMeßwerte\r\n" +
                   groups.join(';') + ";\r\n" + columns.join(';') + ";\r\n";
    for (int r = 0; r < rows; ++r) {
        QStringList cells{QString::number(r * 250), "0:0:0,000"};
        for (int u = 0; u < units.size(); ++u)
            // Each its own shape, so no line covers another once stretched.
            cells << QString::number((u + 1) * 100 + ((r + 3 * u) % (12 + u)) * (u + 1));
        text += cells.join(';') + ";\r\n";
    }
    return text.toUtf8();
}

} // namespace

TEST_F(GraphWindowTest, SavesWhatItShowsAsAPictureAndAsReadingsThatReadBack) {
    QTemporaryDir dir;
    GraphWindow file(prompts, 0, GraphWindow::Source::File);
    ASSERT_TRUE(file.openLog(Fixture));
    file.resize(900, 520);
    file.show();
    file.zoomTo(5, 10);
    file.lineList()->item(2)->setCheckState(Qt::Unchecked);
    const QColor shown = file.line(0)->color();
    const QColor hidden = file.line(2)->color();

    // The picture: the chart as drawn, a legend of the shown lines below it.
    const QString png = dir.filePath("graph.png");
    prompts.expectSaveFile(png);
    file.savePictureButton()->click();
    EXPECT_EQ(prompts.shown().back().caption, "Als Bild speichern");
    EXPECT_EQ(prompts.shown().back().filter, "PNG-Bild (*.png)");
    ASSERT_TRUE(IsPng(png));
    EXPECT_EQ(QFileInfo(png).permissions() & AnyoneMayRead, QFile::ReadOwner);
    const QImage picture(png);
    const qreal ratio = file.chartView()->devicePixelRatioF();
    const int chartHeight = int(file.chartView()->height() * ratio);
    EXPECT_EQ(picture.width(), int(file.chartView()->width() * ratio));
    ASSERT_GT(picture.height(), chartHeight);
    const QRect plot = file.chartView()->chart()->plotArea().toRect();
    EXPECT_GT(ColourPixels(
                  picture,
                  QRect(plot.topLeft() * ratio, plot.size() * ratio).adjusted(1, 1, -1, -1), shown),
              60);
    const QRect legend(0, chartHeight, picture.width(), picture.height() - chartHeight);
    EXPECT_GT(ColourPixels(picture, legend, shown), 20);
    EXPECT_EQ(ColourPixels(picture, legend, hidden), 0);

    // The readings: the shown lines within the span shown, in the program's
    // own log format, read back by its own reader.
    const QString csv = dir.filePath("readings.csv");
    prompts.expectSaveFile(csv);
    file.saveReadingsButton()->click();
    EXPECT_EQ(prompts.shown().back().filter, "CSV-Datei (*.csv)");
    EXPECT_EQ(QFileInfo(csv).permissions() & AnyoneMayRead, QFile::ReadOwner);
    const NumericLog log = ReadLogNumbers(csv);
    ASSERT_FALSE(log.refusal) << log.refusal.text(0).toStdString();
    ASSERT_EQ(log.recordings.size(), 1);
    const NumericRecording& back = log.recordings[0];
    EXPECT_EQ(back.unitEntry, "001 [01] - Motor (ECU)");
    EXPECT_EQ(back.partNumber, "036 906 034 AM");
    EXPECT_EQ(back.title, "Meßwerte");
    QList<const GraphModel::Series*> visible;
    for (const GraphModel::Series& s : file.model().series())
        if (s.visible)
            visible << &s;
    ASSERT_EQ(visible.size(), 6);
    ASSERT_EQ(back.columns.size(), 6);
    for (int c = 0; c < 6; ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(back.columns[c].name, visible[c]->name);
        EXPECT_EQ(back.columns[c].unit, visible[c]->unit);
        EXPECT_EQ(back.columns[c].group, visible[c]->group);
        QList<QPointF> within;
        for (const QPointF& p : visible[c]->points)
            if (p.x() >= 5 && p.x() <= 10 && !std::isnan(p.y()))
                within << p;
        ASSERT_FALSE(within.isEmpty());
        ASSERT_EQ(back.points[c].size(), within.size());
        for (int i = 0; i < within.size(); ++i) {
            EXPECT_NEAR(back.points[c][i].x(), within[i].x(), 1e-9);
            EXPECT_NEAR(back.points[c][i].y(), within[i].y(), 1e-9);
        }
    }

    // And the window opens it on the same span.
    GraphWindow again(prompts, 0, GraphWindow::Source::File);
    ASSERT_TRUE(again.openLog(csv));
    EXPECT_EQ(again.model().series().size(), 6);
    EXPECT_GE(again.viewStart(), 5);
    EXPECT_LE(again.viewEnd(), 10);
}

TEST_F(GraphWindowTest, ASaveThatFailsSaysWhyAndLeavesNoFile) {
    QTemporaryDir dir;
    GraphWindow file(prompts, 10000, GraphWindow::Source::File);
    ASSERT_TRUE(file.openLog(Fixture));
    const QString missing = dir.filePath("gone/readings.csv");
    prompts.expectSaveFile(missing);
    prompts.expectMessageContaining(missing + " cannot be written: ");
    file.saveReadingsButton()->click();
    EXPECT_EQ(prompts.shown().front().filter, "Comma Separated Values (*.csv)");
    EXPECT_FALSE(QFile::exists(missing));

    // Cancelled: nothing written, nothing said.
    prompts.expectSaveFile(QString());
    file.savePictureButton()->click();
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(GraphWindowTest, MoreUnitsThanAxesFitShareOneAxisWithALegendOfScales) {
    QTemporaryDir dir;
    const QStringList units{"upm", "°C", "%", "V", "ms", "g/s", "km/h", "bar"};
    QFile log(dir.filePath("eight.csv"));
    ASSERT_TRUE(log.open(QIODevice::WriteOnly));
    log.write(LogWithUnits(units, 80));
    log.close();

    GraphWindow file(prompts, 0, GraphWindow::Source::File);
    ASSERT_TRUE(file.openLog(log.fileName()));
    file.resize(900, 520);
    file.show();
    file.redraw();
    QChart* chart = file.chartView()->chart();
    ASSERT_TRUE(file.sharesOneAxis());
    ASSERT_EQ(chart->axes(Qt::Vertical).size(), 1);
    EXPECT_EQ(chart->axes(Qt::Vertical)[0], file.scaleAxis());
    EXPECT_EQ(file.scaleAxis()->titleText(), "% der Skala");
    EXPECT_EQ(file.axisOfUnit("upm"), nullptr);
    // The lines keep most of the width, and each is drawn across its scale.
    EXPECT_GT(chart->plotArea().width(), chart->size().width() * 0.6);
    for (int i = 0; i < units.size(); ++i)
        EXPECT_GT(LinePixels(file, file.line(i)->color()), 60) << units[i].toStdString();
    // Values 100 to 111 on "upm": the span 100 to 115, the line from its
    // bottom to 11/15 of its height.
    ASSERT_TRUE(file.scalesLegend()->isVisible());
    const QStringList legend = file.scalesLegend()->text().split('\n');
    ASSERT_EQ(legend.size(), 1 + units.size());
    EXPECT_EQ(legend[0], "Skalen (jede Einheit auf ihre Spanne gestreckt):");
    EXPECT_EQ(legend[1], "upm: 100 … 115");
    for (int u = 0; u < units.size(); ++u)
        EXPECT_TRUE(legend[u + 1].startsWith(units[u] + ": ")) << legend[u + 1].toStdString();
    double low = 1e9, high = -1e9;
    for (int k = 0; k < file.line(0)->count(); ++k) {
        low = std::min(low, file.line(0)->at(k).y());
        high = std::max(high, file.line(0)->at(k).y());
    }
    EXPECT_DOUBLE_EQ(low, 0);
    EXPECT_NEAR(high, 1100.0 / 15, 1e-9);

    // With room for eight axes, each unit has its own again.
    file.resize(2000, 520);
    QCoreApplication::processEvents();
    file.redraw();
    EXPECT_FALSE(file.sharesOneAxis());
    EXPECT_EQ(chart->axes(Qt::Vertical).size(), units.size());
    EXPECT_EQ(file.axisOfUnit("bar")->titleText(), "bar");
    EXPECT_FALSE(file.scalesLegend()->isVisible());
    for (int i = 0; i < units.size(); ++i)
        EXPECT_GT(LinePixels(file, file.line(i)->color()), 60) << units[i].toStdString();
}

// Without a session the window's context menu opens the graph, which says
// to open a log and opens one.
class GraphWithoutConnectionTest : public WindowTest {};

TEST_F(GraphWithoutConnectionTest, TheWindowsMenuOpensTheGraphToViewALog) {
    writeIni("[Config]\nSplash=nein\n");
    TForm1& f = makeWindow();
    showWindow(f);
    ASSERT_FALSE(f.state.SessionRunning);
    ASSERT_FALSE(f.GraphButton->isVisible()); // its page is hidden without a session

    // A right click in the log box, below its controls (disabled without a
    // session), as the window system delivers it.
    const QPoint at = f.GroupBox14->mapTo(&f, QPoint(150, 52));
    ASSERT_EQ(f.childAt(at), f.GroupBox14);
    QTest::mouseClick(f.windowHandle(), Qt::RightButton, {}, at);
    QCoreApplication::processEvents();
    ASSERT_TRUE(f.WindowMenu->isVisible());
    EXPECT_EQ(f.WindowMenu->actions().value(0), f.GraphAction);
    EXPECT_EQ(f.GraphAction->text(), "Verl&auf...");
    f.WindowMenu->hide();
    f.GraphAction->trigger();

    GraphWindow* graph = f.LiveGraph;
    ASSERT_NE(graph, nullptr);
    EXPECT_TRUE(graph->isVisible());
    EXPECT_EQ(graph->sourceLabel()->text(), "Ohne Verbindung: Log-Datei öffnen, um sie anzusehen.");
    prompts.expectOpenFile(Fixture);
    graph->openButton()->click();
    EXPECT_EQ(prompts.shown().back().filter, "CSV-Datei (*.csv)");
    GraphWindow* file = graph->lastLogWindow();
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->isVisible());
    EXPECT_EQ(file->model().series().size(), 7);
    file->close();
    graph->close();
}

namespace {

// A log of one engine speed alternating between two values, a reading every 10 ms.
QString WriteAlternatingLog(const QString& path, int readings) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    QByteArray text =
        "Vandrix Version 1.41;https://example.invalid\n12.03.2025;14:05:42\n"
        "Steuergerät:;001 [01] - Motor (ECU)\n\nMeßwerte\nGruppe 1;Gruppe 1;Gruppe 1;\n"
        "Zeit [ms];HH:MM:SS,ms;Motordrehzahl [upm];\n";
    for (int i = 0; i < readings; ++i) {
        const int ms = 10 * i;
        text += QStringLiteral("%1;0:%2:%3,%4;%5;\n")
                    .arg(ms)
                    .arg(ms / 60000)
                    .arg(ms / 1000 % 60)
                    .arg(ms % 1000, 3, 10, QLatin1Char('0'))
                    .arg(i % 2 ? 900 : 800)
                    .toUtf8();
    }
    file.write(text);
    return path;
}

std::pair<double, double> LowAndHigh(const QLineSeries& line) {
    std::pair<double, double> range{1e9, -1e9};
    for (const QPointF& p : line.points())
        range = {std::min(range.first, p.y()), std::max(range.second, p.y())};
    return range;
}

} // namespace

TEST_F(GraphWindowTest, TheFirstViewOfALongLogDrawsEachPixelsLowAndHigh) {
    QTemporaryDir dir;
    const QString log = WriteAlternatingLog(dir.filePath("alternating.csv"), 4000);
    // Opened as the button opens it: read first, shown after.
    prompts.expectOpenFile(log);
    live.openButton()->click();
    GraphWindow* file = live.lastLogWindow();
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(file));
    QTest::qWait(50); // the chart lays itself out after the window shows
    ASSERT_EQ(file->model().series().size(), 1);
    const QLineSeries& line = *file->line(0);
    const int width = int(file->chartView()->chart()->plotArea().width());
    EXPECT_EQ(LowAndHigh(line), std::make_pair(800.0, 900.0));
    // Fewer points than readings, and enough for both ends of every pixel.
    EXPECT_LT(line.count(), 4000);
    EXPECT_GE(line.count(), width);
    const QList<QPointF> first = line.points();

    // Zoomed in and back: the same line as the first time.
    file->zoomTo(10, 12);
    file->followButton()->click();
    EXPECT_EQ(file->line(0)->points(), first);
    file->close();
}

TEST_F(GraphWindowTest, AShortSpanHasItsWholeSecondsOrFinerLabels) {
    GraphWindow file(prompts, 0, GraphWindow::Source::File);
    ASSERT_TRUE(file.openLog(Fixture));
    file.resize(900, 520);
    file.show();
    auto* time = qobject_cast<QValueAxis*>(file.chartView()->chart()->axes(Qt::Horizontal).first());
    ASSERT_NE(time, nullptr);
    struct Case {
        double t0, t1;
        int atLeast;
        double largestStep;
    };
    for (const Case& c : {Case{5, 7, 3, 1}, Case{5.2, 7.1, 2, 1}, Case{5.1, 5.9, 2, 0.5},
                          Case{3, 13, 5, 2}, Case{0, 19, 4, 5}}) {
        // As the rubber band sets it, and as the program itself does.
        for (bool band : {true, false}) {
            file.followButton()->click();
            if (band)
                time->setRange(c.t0, c.t1);
            else
                file.zoomTo(c.t0, c.t1);
            ASSERT_DOUBLE_EQ(file.viewStart(), c.t0);
            const double step = time->tickInterval();
            ASSERT_GT(step, 0);
            EXPECT_DOUBLE_EQ(std::remainder(time->tickAnchor(), step), 0.0);
            EXPECT_LE(step, c.largestStep) << c.t0 << " to " << c.t1;
            // Whole seconds, or steps that add up to one.
            EXPECT_NEAR(step >= 1 ? step : 1 / step, std::round(step >= 1 ? step : 1 / step), 1e-9);
            QStringList labels;
            for (double t = std::ceil(c.t0 / step - 1e-9) * step; t <= c.t1 + 1e-9; t += step)
                labels << QString::asprintf(time->labelFormat().toLatin1().constData(), t);
            EXPECT_GE(labels.size(), c.atLeast) << c.t0 << " to " << c.t1;
            EXPECT_EQ(labels.removeDuplicates(), 0) << labels.join(' ').toStdString();
        }
    }
}
