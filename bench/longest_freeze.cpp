// The longest freeze of the window: the largest gap between two turns of the
// event loop, seen by a timer that records its own lateness, while a session
// polls, while the interface is silent, during connection attempts and during
// a search. The dialogue runs on the window's thread; every wait in it must
// let the event loop turn.
//
//   build/bench/bench_longest_freeze [seconds of polling, default 5]
#include "bench_session.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <algorithm>

namespace {

constexpr int TargetMs = 20;
constexpr int TickMs = 5;

// A precise timer that keeps the longest time between two of its turns.
class LatenessProbe {
public:
    LatenessProbe() {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const int64_t now = Bench::nowUs();
            if (m_last)
                m_longestUs = std::max(m_longestUs, now - m_last);
            m_last = now;
        });
    }
    void start() {
        m_started = Bench::nowUs();
        m_last = 0;
        m_longestUs = 0;
        m_timer.start(TickMs);
    }
    double stopMs() {
        m_timer.stop();
        m_spanS = (Bench::nowUs() - m_started) / 1e6;
        return m_longestUs / 1000.0;
    }
    // How long the last measurement ran.
    double spanS() const { return m_spanS; }

private:
    QTimer m_timer;
    int64_t m_started = 0;
    int64_t m_last = 0;
    int64_t m_longestUs = 0;
    double m_spanS = 0;
};

struct Phase {
    const char* what;
    double longestMs;
    double seconds;
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? QString(argv[1]).toDouble() : 5.0;
    QTemporaryDir work;
    SimProcess sim(SimProcess::AtLink{}, work.filePath("tty"));
    if (!sim.start())
        return 1;
    Bench::Window window(sim.link());
    TForm1& w = *window.form;
    w.show();
    LatenessProbe probe;
    std::vector<Phase> phases;

    // A session polling four groups, then Disconnect.
    {
        QElapsedTimer polling;
        bool measuring = false;
        double longest = -1;
        Bench::runClick(w, 10, [&] {
            if (!measuring && window.connected()) {
                window.pollFourGroups();
                measuring = true;
                polling.start();
                probe.start();
            } else if (measuring && polling.elapsed() > seconds * 1000 && longest < 0) {
                longest = probe.stopMs();
                w.BitBtn2Click();
            }
        });
        phases.push_back({"a session polling four groups", longest, probe.spanS()});
    }

    // The interface falls silent in the middle of a poll: the session waits
    // out the silence limit and ends with its communication error.
    {
        sim.start({"--fault", "silence@0801#20"});
        bool measuring = false;
        Bench::runClick(w, 10, [&] {
            if (!measuring && window.connected()) {
                window.pollFourGroups();
                measuring = true;
                probe.start();
            }
        });
        const double longest = measuring ? probe.stopMs() : -1;
        phases.push_back(
            {"a silent interface while polling, to the session's end", longest, probe.spanS()});
    }

    // Connection attempts: a slow line and K-line, and an interface that is
    // silent from the start (the attempt gives up after the silence limit).
    struct Attempt {
        const char* what;
        QStringList options;
    } attempts[] = {
        {"a connection attempt at 19200 baud with 100 ms K-line", {"--pace", "--kline-ms", "100"}},
        {"a connection attempt to a silent interface", {"--fault", "silence#1"}},
    };
    for (const Attempt& attempt : attempts) {
        sim.start(attempt.options);
        double longest = -1;
        probe.start();
        Bench::runClick(w, 10, [&] {
            if (longest < 0 && window.connected()) {
                longest = probe.stopMs();
                w.BitBtn2Click();
            }
        });
        if (longest < 0)
            longest = probe.stopMs();
        phases.push_back({attempt.what, longest, probe.spanS()});
    }

    // A search over every unit of the list: the demo car's units answer,
    // the others do not connect.
    {
        sim.start({"--pace"});
        w.ComboBox2->setCurrentIndex(1);
        w.ComboBox2Change();
        int ticked = 0;
        for (int i = 0; i < w.CheckListBox1->count() && ticked < 12; ++i, ++ticked)
            w.CheckListBox1->item(i)->setCheckState(Qt::Checked);
        probe.start();
        Bench::runClick(w, 50, [] {});
        const double longest = probe.stopMs();
        phases.push_back({"a search over twelve units", longest, probe.spanS()});
        std::printf("search report: %d lines\n", w.Memo2->blockCount());
    }
    sim.stop();

    double worst = 0;
    for (const Phase& p : phases) {
        std::printf("%-56s %5.1f s, longest gap %6.1f ms\n", p.what, p.seconds, p.longestMs);
        worst = std::max(worst, p.longestMs);
    }
    std::printf("longest freeze: %.1f ms (target <= %d ms)\n", worst, TargetMs);
    return 0;
}
