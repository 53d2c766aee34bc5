// Group polls per second on the virtual K-line, KW1281 at 10400 and 9600
// baud and KW2000, as a share of what the wire allows: the bytes exchanged
// at their own rate, and the same with the shortest gaps the protocols
// permit between them (KW1281 1 ms turnarounds; KW2000 P2 25, P3 55, P4 5
// ms). And the time from connect to identification against the init's own
// minimum (300 ms idle + 2 s address). Virtual time: runs in a moment.
//
//     build/bench/bench_kline_poll_rate [polls]
#include "kline/kline_core.h"
#include "kline/virtual_kline.h"
#include "sim/kline_unit.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>
#include <cstdlib>

using namespace kline;

namespace {

struct Figures {
    double pollsPerSecond = 0;
    double shareOfBytes = 0;
    double shareOfLegal = 0;
    double connectMs = 0;
    double answerMs = 0; // connect time beyond idle and address
};

bool run(const SimScenario& scenario, const std::string& faults, int address, Micros latency,
         int polls, Figures* out) {
    KLineUnitOptions o;
    std::string error;
    KLineUnitOptions::parse(faults, &o, &error);
    o.strict = false;
    VirtualKLine line(msec(1000));
    KLineUnit unit(scenario, o);
    Timing t;
    // The shortest gaps the protocols allow (KW2000's P4 is at least 5 ms).
    t.interByte = scenario.unit(address)->protocol == 2 ? msec(5) : msec(1);
    t.blockGap = msec(1);
    KLineCore core(t);
    line.setLatency(VirtualKLine::Tester, latency);
    line.attach(VirtualKLine::Unit, unit);
    LineRunner& tester = line.attach(VirtualKLine::Tester, core, EchoFilter::Mode::Detect);
    (void)tester;
    unit.begin(line.now());
    ConnectParams p;
    p.address = address;
    const Micros t0 = line.now();
    core.connect(p, t0);
    CoreEvent e;
    bool identified = false;
    line.run(t0 + msec(20000), [&] {
        while (core.takeEvent(&e))
            identified = identified || e.kind == CoreEvent::Identified;
        return identified;
    });
    if (!identified)
        return false;
    out->connectMs = double(line.now() - t0) / 1000.0;
    out->answerMs = out->connectMs - 2300.0;

    struct Byte {
        int side;
        Micros start, end;
    };
    std::vector<Byte> bytes;
    line.onWire = [&](const VirtualKLine::WireEvent& w) {
        if (w.kind == VirtualKLine::WireEvent::Byte)
            bytes.push_back({w.side, w.start, w.end});
    };
    Request r;
    r.kind = RequestKind::Group;
    r.number = 1;
    const Micros p0 = line.now();
    for (int i = 0; i < polls; ++i) {
        core.request(r, line.now());
        bool answered = false;
        line.run(line.now() + msec(10000), [&] {
            while (core.takeEvent(&e))
                answered = answered || e.kind == CoreEvent::Answered;
            return answered;
        });
        if (!answered || e.reply.outcome != Outcome::Ok)
            return false;
    }
    const Micros elapsed = line.now() - p0;
    out->pollsPerSecond = polls / (double(elapsed) / 1e6);
    const bool kw2000 = core.protocol() == Protocol::KW2000;
    Micros wire = 0;
    Micros legal = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        wire += bytes[i].end - bytes[i].start;
        if (i == 0)
            continue;
        const int a = bytes[i - 1].side, b = bytes[i].side;
        Micros gap = msec(1);
        if (kw2000)
            gap = a == b ? (a == 0 ? msec(5) : 0) : (a == 0 ? msec(25) : msec(55));
        legal += gap;
    }
    legal += wire;
    out->shareOfBytes = double(wire) / double(elapsed);
    out->shareOfLegal = double(legal) / double(elapsed);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int polls = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    QString data = qEnvironmentVariable("VANDRIX_DATA");
    if (data.isEmpty())
        data = QCoreApplication::applicationDirPath() + "/../bin";
    SimScenario scenario;
    QString error;
    if (!SimScenario::load(QDir(data).filePath("scenarios/demo_car.ini"), &scenario, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    struct Case {
        const char* name;
        const char* faults;
        int address;
    } cases[] = {
        {"KW1281 10400", "rate=10400", 1}, {"KW1281 9600", "", 1}, {"KW2000 10400", "", 2}};
    std::printf("%-14s %8s %10s %10s %10s %12s %12s\n", "line", "latency", "polls/s", "of bytes",
                "of legal", "connect ms", "beyond 2.3s");
    for (const Micros latency : {Micros(0), msec(1), msec(16)})
        for (const Case& c : cases) {
            Figures f;
            if (!run(scenario, c.faults, c.address, latency, polls, &f)) {
                std::printf("%-14s failed\n", c.name);
                return 1;
            }
            std::printf("%-14s %5lld ms %10.2f %9.1f%% %9.1f%% %12.1f %12.1f\n", c.name,
                        (long long)(latency / 1000), f.pollsPerSecond, 100 * f.shareOfBytes,
                        100 * f.shareOfLegal, f.connectMs, f.answerMs);
        }
    return 0;
}
