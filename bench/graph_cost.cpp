// What the live graph costs: the window polls four measuring groups of the
// demo engine at the full rate the paced simulator allows, first with the
// graph closed, then with it open. Prints the polls per second and the CPU
// of both phases; the last line is the graph's cost beyond the session.
//
//   build/bench/bench_graph_cost [seconds per phase]
#include "bench_prompts.h"
#include "cpu_time.h"
#include "ui/form_widgets.h"
#include "ui/graph_window.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <functional>

namespace {

double wallSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Group requests the simulator has answered so far, from its transcript.
int groupPolls(const QString& transcript) {
    QFile f(transcript);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    int n = 0;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        n += fields.size() >= 3 && fields[2].startsWith("08") ? 1 : 0;
    }
    return n;
}

struct Phase {
    double cpu = 0; // share of a core
    double pollsPerSecond = 0;
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? QString(argv[1]).toDouble() : 10.0;
    const QString bin = QCoreApplication::applicationDirPath() + "/../bin";

    QTemporaryDir dir;
    const QString transcript = dir.filePath("transcript.txt");
    QProcess sim;
    sim.start(bin + "/vandrix-sim", {"--scenario", bin + "/scenarios/demo_car.ini", "--pace",
                                     "--transcript", transcript});
    if (!sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "vandrix-sim did not start\n");
        return 1;
    }
    const QString tty = QString::fromLocal8Bit(sim.readLine()).trimmed();

    QFile ini(dir.filePath("vandrix.ini"));
    ini.open(QIODevice::WriteOnly);
    ini.write("[Config]\nSplash=nein\nCOM-Port=" + tty.toUtf8() + "\n");
    ini.close();
    QFile::link(bin + "/labelfiles_de", dir.filePath("labelfiles_de"));
    qputenv("XDG_DATA_HOME", dir.filePath("data-home").toUtf8());

    ReportingPrompts prompts;
    TForm1Options options;
    options.programDir = dir.path();
    TForm1 window(prompts, options);
    window.ComboBox2->setCurrentIndex(2); // the engine
    window.show();

    Phase closed, open;
    // Each phase: settle for a second, then measure.
    auto measure = [&](Phase& into, const std::function<void()>& then) {
        QTimer::singleShot(1000, [&, then] {
            const double cpu0 = cpuSeconds();
            const double t0 = wallSeconds();
            const int polls0 = groupPolls(transcript);
            QTimer::singleShot(int(seconds * 1000), [&, cpu0, t0, polls0, then] {
                const double wall = wallSeconds() - t0;
                into.cpu = (cpuSeconds() - cpu0) / wall;
                into.pollsPerSecond = (groupPolls(transcript) - polls0) / wall;
                then();
            });
        });
    };
    bool started = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (started || window.state.ConnectionState != 2 || !window.BitBtn2->isEnabled())
            return;
        started = true;
        window.PageControl1->setActivePage(window.TabSheet2);
        const char* groups[] = {"1", "2", "3", "4"};
        for (size_t k = 0; k < 4; ++k) {
            window.GroupEdits[k]->setText(groups[k]);
            window.GroupEnableBoxes[k]->setChecked(true);
        }
        measure(closed, [&] {
            window.GraphButton->click();
            measure(open, [&] { window.BitBtn2Click(); });
        });
    });
    probe.start(50);
    QTimer::singleShot(0, [&] {
        window.BitBtn3Click();
        app.quit();
    });
    app.exec();
    sim.terminate();
    sim.waitForFinished(2000);

    if (!started || open.pollsPerSecond == 0) {
        std::fprintf(stderr, "the session never polled\n");
        return 1;
    }
    const int lines = window.LiveGraph ? int(window.LiveGraph->model().series().size()) : 0;
    std::printf("graph closed: %.1f group polls/s, CPU %.1f %% of a core\n", closed.pollsPerSecond,
                100.0 * closed.cpu);
    std::printf("graph open (%d lines): %.1f group polls/s, CPU %.1f %% of a core\n", lines,
                open.pollsPerSecond, 100.0 * open.cpu);
    std::printf("poll rate with the graph open: %.1f %% of the rate without\n",
                100.0 * open.pollsPerSecond / closed.pollsPerSecond);
    std::printf("graph cost beyond the session: %.1f %% of a core (target < 5 %%)\n",
                100.0 * (open.cpu - closed.cpu));
    return 0;
}
