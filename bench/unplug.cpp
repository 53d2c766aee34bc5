// The time from the interface's hang-up to the end of the session, measured
// in the program: the simulator process is killed (the kernel closes its side
// of the terminal at once, as when the adapter is pulled out) at a random
// moment of a session, and the clock stops when the window has ended the
// session and reports it. Half of the runs poll four groups, half wait on
// the Info tab.
//
//   build/bench/bench_unplug [runs, default 10]
#include "bench_session.h"

#include <QRandomGenerator>
#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace {
constexpr int TargetMs = 200;
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(2, QString(argv[1]).toInt()) : 10;
    QTemporaryDir work;
    SimProcess sim(SimProcess::AtLink{}, work.filePath("tty"));
    if (!sim.start())
        return 1;
    Bench::Window window(sim.link());
    TForm1& w = *window.form;
    w.show();

    std::vector<double> polling, waiting;
    for (int run = 0; run < runs; ++run) {
        const bool poll = run % 2 == 0;
        if (run > 0 && !sim.start())
            return 1;
        std::atomic<int64_t> unpluggedAt{0};
        std::thread unplugger;
        const int delayMs = 300 + int(QRandomGenerator::global()->bounded(700));
        // Once connected, the timer stops and another thread pulls the plug
        // after a while: nothing of the benchmark's then wakes the window.
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (!window.connected())
                return;
            watch.stop();
            if (poll)
                window.pollFourGroups();
            unplugger = std::thread([&, delayMs] {
                std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
                unpluggedAt = Bench::nowUs();
                sim.kill();
            });
        });
        watch.start(5);
        w.BitBtn3Click();
        watch.stop();
        if (unplugger.joinable())
            unplugger.join();
        // The session ended: its message was shown, or it was over before.
        const int64_t endedAt = window.prompts.lastMessageUs > unpluggedAt
                                    ? window.prompts.lastMessageUs
                                    : Bench::nowUs();
        if (!unpluggedAt) {
            std::fprintf(stderr, "run %d: the session ended before the unplug\n", run);
            continue;
        }
        (poll ? polling : waiting).push_back((endedAt - unpluggedAt) / 1000.0);
    }

    auto report = [](const char* what, std::vector<double> ms) {
        if (ms.empty())
            return 0.0;
        std::sort(ms.begin(), ms.end());
        std::printf("%-28s %zu runs, median %6.1f ms, longest %6.1f ms\n", what, ms.size(),
                    ms[ms.size() / 2], ms.back());
        return ms.back();
    };
    const double worst = std::max(report("unplugged while polling:", polling),
                                  report("unplugged on the Info tab:", waiting));
    std::printf("unplug: longest %.1f ms from hang-up to session end (target < %d ms)\n", worst,
                TargetMs);
    return 0;
}
