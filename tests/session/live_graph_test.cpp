// The live graph in a whole session: the real window polls the demo car's
// engine in the simulator process, the graph button opens the graph, the
// picture it draws is checked for its lines, and the readings it shows are
// saved and read back.
#include "log/log_reader.h"
#include "support/sim_process.h"
#include "support/ui/graph_pixels.h"
#include "support/ui/session_fixture.h"
#include "ui/graph_window.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QValueAxis>

namespace {

int PointsOfLine(const GraphWindow& graph, int index) {
    return int(graph.model().series().value(index).points.size());
}

} // namespace

class LiveGraphTest : public SessionTest {
protected:
    LiveGraphTest() {
        sim = std::make_unique<SimProcess>();
        EXPECT_TRUE(sim->started());
    }
    std::unique_ptr<SimProcess> sim;
};

TEST_F(LiveGraphTest, PlotsTheTickedGroupsWhilePolled) {
    TForm1& w = makeWindow(sim->terminalPath());
    QTemporaryDir saved;
    chooseUnit(1);
    w.show();
    GraphWindow* graph = nullptr;
    double pausedAt = 0;
    int pausedPoints = 0;
    drive({
        {"connected", [] { return true; },
         [&] {
             w.PageControl1->setActivePage(w.TabSheet2);
             w.CheckBox1->setChecked(true);
             w.Edit3->setText("4");
             w.CheckBox2->setChecked(true);
             EXPECT_TRUE(w.GraphButton->isVisible());
             EXPECT_EQ(w.GraphButton->text(), "Verl&auf");
             w.GraphButton->click();
             graph = w.LiveGraph;
         }},
        {"a few seconds of lines",
         [&] {
             return graph && graph->model().series().size() == 7 && PointsOfLine(*graph, 0) >= 15 &&
                    graph->model().lastTime() >= 3;
         },
         [&] {
             ASSERT_TRUE(graph->isVisible());
             // Until a whole span has passed the lines grow from the left edge.
             EXPECT_NEAR(graph->viewEnd() - graph->viewStart(), 60, 1e-9);
             EXPECT_LT(graph->viewEnd(), 60.1 + graph->model().firstTime());
             // A short span, so the lines cross the whole picture.
             graph->spanBox()->setValue(2);
             graph->resize(900, 520);
             graph->redraw();
             // One line per numeric field, named like its label; the bit
             // pattern is text and listed instead.
             QStringList legend;
             for (int i = 0; i < graph->lineList()->count(); ++i)
                 legend << graph->lineList()->item(i)->text();
             EXPECT_EQ(legend,
                       QStringList({"Motordrehzahl (Gruppe 1) [upm]",
                                    "Kühlmitteltemperatur (Gruppe 1) [°C]", "Lambdaregelung [%]",
                                    "Motordrehzahl (Gruppe 4) [upm]", "Batteriespannung [V]",
                                    "Kühlmitteltemperatur (Gruppe 4) [°C]",
                                    "Ansauglufttemperatur [°C]"}));
             EXPECT_EQ(w.Label11->text(), "Motordrehzahl");
             EXPECT_TRUE(graph->textValues()->isVisible());
             EXPECT_TRUE(graph->textValues()->text().contains("Grundeinstellungsbedingungen"));
             // One axis per unit.
             EXPECT_EQ(graph->model().units(), QStringList({"upm", "°C", "%", "V"}));
             EXPECT_EQ(graph->axisOfUnit("°C")->titleText(), "°C");
             // The numbers the boxes show.
             const double rpm = graph->model().series()[0].points.last().y();
             EXPECT_GE(rpm, 800);
             EXPECT_LE(rpm, 900);
             EXPECT_EQ(graph->viewEnd(), graph->model().lastTime());
             EXPECT_NEAR(graph->viewEnd() - graph->viewStart(), 2, 1e-9);

             // Both coolant temperatures come from the same sensor: the
             // later line covers the earlier until it is hidden.
             for (int i : {0, 2, 3, 4, 5, 6})
                 EXPECT_GT(LinePixels(*graph, graph->line(i)->color()), 60) << "line " << i;
             graph->lineList()->item(5)->setCheckState(Qt::Unchecked);
             EXPECT_FALSE(graph->line(5)->isVisible());
             EXPECT_LT(LinePixels(*graph, graph->line(5)->color()), 5);
             EXPECT_GT(LinePixels(*graph, graph->line(1)->color()), 60);

             // Saved as readings: the six lines still shown, within the
             // span shown, under the unit's name.
             const QString csv = saved.filePath("readings.csv");
             const double from = graph->viewStart(), to = graph->viewEnd();
             prompts.expectSaveFile(csv);
             graph->saveReadingsButton()->click();
             const NumericLog log = ReadLogNumbers(csv);
             ASSERT_EQ(log.recordings.size(), 1);
             EXPECT_EQ(log.recordings[0].unitEntry, w.Label97->text());
             EXPECT_FALSE(log.recordings[0].unitEntry.isEmpty());
             ASSERT_EQ(log.recordings[0].columns.size(), 6);
             EXPECT_EQ(log.recordings[0].columns[1].name, "Kühlmitteltemperatur");
             EXPECT_EQ(log.recordings[0].columns[1].group, "Gruppe 1");
             EXPECT_EQ(log.recordings[0].columns[5].name, "Ansauglufttemperatur");
             for (const QList<QPointF>& line : log.recordings[0].points) {
                 EXPECT_FALSE(line.isEmpty());
                 for (const QPointF& p : line) {
                     EXPECT_GE(p.x(), from - 0.001);
                     EXPECT_LE(p.x(), to + 0.001);
                 }
             }

             graph->pauseButton()->click();
             EXPECT_TRUE(graph->isPaused());
             pausedAt = graph->viewEnd();
             pausedPoints = PointsOfLine(*graph, 0);
         }},
        {"polled on while paused", [&] { return PointsOfLine(*graph, 0) >= pausedPoints + 10; },
         [&] {
             QCoreApplication::processEvents();
             EXPECT_EQ(graph->viewEnd(), pausedAt);
             graph->followButton()->click();
             EXPECT_FALSE(graph->isPaused());
             // What a drag across the middle half of the picture does: the
             // span shown halves and the scrolling stops.
             QChart* chart = graph->chartView()->chart();
             const QRectF plot = chart->plotArea();
             chart->zoomIn(QRectF(plot.left() + plot.width() / 4, plot.top(), plot.width() / 2,
                                  plot.height()));
             EXPECT_TRUE(graph->isPaused());
             EXPECT_NEAR(graph->viewEnd() - graph->viewStart(), 1.0, 0.01);
             graph->zoomTo(0.5, 1.5);
             EXPECT_EQ(graph->viewStart(), 0.5);
             EXPECT_EQ(graph->viewEnd(), 1.5);
             graph->followButton()->click();
             EXPECT_FALSE(graph->isPaused());
             EXPECT_GT(graph->viewEnd(), pausedAt);
             // A graph that is closed is fed nothing.
             graph->close();
             pausedPoints = int(sim->commands().count("0801"));
             pausedAt = graph->model().lastTime();
         }},
        {"polled with the graph closed",
         [&] { return sim->commands().count("0801") >= pausedPoints + 5; },
         [&] { EXPECT_EQ(graph->model().lastTime(), pausedAt); }},
    });
    expectIdleWindow();

    // The next session, perhaps with another unit, starts the graph afresh.
    graph->show();
    runSession([&] {
        EXPECT_TRUE(graph->model().series().isEmpty());
        EXPECT_TRUE(graph->model().textFields().isEmpty());
        EXPECT_EQ(graph->lineList()->count(), 0);
    });
}
