// The live graph: the window the Group page's graph button opens, and the
// readings the page hands it on every pass.
// Owns: LiveGraph and its time base.
#include "config/clock.h"
#include "ui/form_widgets.h"
#include "ui/graph_window.h"
#include "ui/main_window.h"

#include <QFileInfo>

void TForm1::GraphButtonClick() {
    if (!LiveGraph) {
        LiveGraph = new GraphWindow(prompts, state.LanguageOffset, GraphWindow::Source::Live, this);
        LiveGraphStartMs = Clock::nowMs();
    }
    // The log chosen on the measuring page is the likeliest to look at.
    LiveGraph->setLogFolder(SaveDialog1.fileName.isEmpty()
                                ? SaveDialog1.directory
                                : QFileInfo(SaveDialog1.fileName).absolutePath());
    // The unit, for the header of readings saved from the graph.
    LiveGraph->setUnitInfo(Label97->text(), Label6->text());
    LiveGraph->setNotConnected(!state.SessionRunning);
    LiveGraph->show();
    LiveGraph->raise();
    LiveGraph->activateWindow();
}

void TForm1::RestartLiveGraph() {
    if (!LiveGraph)
        return;
    LiveGraph->clearReadings();
    LiveGraph->setUnitInfo(Label97->text(), Label6->text());
    LiveGraph->setNotConnected(false);
    LiveGraphStartMs = Clock::nowMs();
}

void TForm1::FeedLiveGraph(size_t slot) {
    // A closed graph costs the loop nothing.
    if (!LiveGraph || !LiveGraph->isVisible())
        return;
    const double t = double(Clock::nowMs() - LiveGraphStartMs) / 1000.0;
    const int group = state.GroupNumber[slot];
    const QString groupText = Str(76) + QLatin1Char(' ') + QString::number(group);
    for (size_t f = 0; f < 4; ++f)
        LiveGraph->addReading(QStringLiteral("%1/%2/%3").arg(slot).arg(group).arg(f),
                              GroupNameLabels[slot][f]->text(), groupText, t,
                              GroupValueBoxes[slot][f]->text());
}
