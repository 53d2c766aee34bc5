// What the live graph costs: the window polls four measuring groups of the
// demo engine at the full rate the paced simulator allows, first with the
// graph closed, then with it open. Prints the polls per second and the CPU
// of both phases; the last line is the graph's cost beyond the session.
//
//   build/bench/bench_graph_cost [seconds per phase]
#include "bench/bench_session.h"
#include "bench/cpu_time.h"
#include "ui/graph_window.h"

#include <functional>

namespace {

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

    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", dir.filePath("data-home").toUtf8());
    const QString transcript = dir.filePath("transcript.txt");
    SimProcess sim(SimProcess::AtLink{}, dir.filePath("link"));
    if (!sim.start({"--pace", "--transcript", transcript}))
        return 1;
    Bench::Window window(sim.link());
    TForm1& form = *window.form;
    form.show();

    Phase closed, open;
    // Each phase: settle for a second, then measure.
    auto measure = [&](Phase& into, const std::function<void()>& then) {
        QTimer::singleShot(1000, [&, then] {
            const double cpu0 = cpuSeconds();
            const int64_t t0 = Bench::nowUs();
            const int polls0 = groupPolls(transcript);
            QTimer::singleShot(int(seconds * 1000), [&, cpu0, t0, polls0, then] {
                const double wall = double(Bench::nowUs() - t0) / 1e6;
                into.cpu = (cpuSeconds() - cpu0) / wall;
                into.pollsPerSecond = (groupPolls(transcript) - polls0) / wall;
                then();
            });
        });
    };
    bool started = false;
    Bench::runClick(form, 50, [&] {
        // Connected is not enough: the pages open once the identification is read.
        if (started || !window.connected() || !form.TabSheet2->isEnabled())
            return;
        started = true;
        window.pollFourGroups();
        measure(closed, [&] {
            form.GraphButton->click();
            measure(open, [&] { form.BitBtn2Click(); });
        });
    });
    sim.stop();

    if (!started || open.pollsPerSecond == 0) {
        std::fprintf(stderr, "the session never polled\n");
        return 1;
    }
    const int lines = form.LiveGraph ? int(form.LiveGraph->model().series().size()) : 0;
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
