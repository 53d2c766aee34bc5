// The graph window with a CSV log of the program's own format: a drive
// recorded earlier, opened from the live window's button and drawn.
#include "support/ui/graph_pixels.h"
#include "support/ui/scripted_prompts.h"
#include "ui/graph_window.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QTemporaryDir>
#include <QValueAxis>
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
