#pragma once
// The protocol core and the demo car's units on one virtual K-line, on the
// line's virtual clock: no sleeping, every run deterministic.
#include "kline/kline_core.h"
#include "kline/virtual_kline.h"
#include "sim/kline_unit.h"

#include <QDir>
#include <gtest/gtest.h>

namespace kline_test {

using namespace kline;

inline SimScenario demoCar() {
    SimScenario s;
    QString error;
    const QString path =
        QDir(qEnvironmentVariable("VANDRIX_DATA")).filePath("scenarios/demo_car.ini");
    EXPECT_TRUE(SimScenario::load(path, &s, &error)) << error.toStdString();
    return s;
}

inline KLineUnitOptions lineOptions(const std::string& list) {
    KLineUnitOptions o;
    std::string error;
    EXPECT_TRUE(KLineUnitOptions::parse(list, &o, &error)) << error;
    return o;
}

struct VirtualCar {
    VirtualKLine line;
    KLineUnit unit;
    KLineCore core;
    LineRunner tester;
    std::vector<CoreEvent> events;
    std::vector<LineAction> testerActions;

    explicit VirtualCar(const std::string& faults = {}, Micros latency = 0, Timing timing = {},
                        bool echo = true)
        : line(msec(1000)), unit(demoCar(), lineOptions(faults)), core(timing),
          tester(line.port(VirtualKLine::Tester), core) {
        line.setLatency(VirtualKLine::Tester, latency);
        line.setEcho(VirtualKLine::Tester, echo);
        line.attach(VirtualKLine::Unit, unit, EchoFilter::Mode::Present);
        tester.onAction = [this](const LineAction& a) { testerActions.push_back(a); };
        unit.begin(line.now());
    }

    // Runs the tester until an event of one of the kinds arrives or limit
    // (virtual time from now) passes; the event, or nothing.
    std::optional<CoreEvent> until(std::initializer_list<CoreEvent::Kind> kinds,
                                   Micros limit = msec(30000)) {
        std::optional<CoreEvent> hit;
        tester.runUntil(line.now() + limit, [&] {
            CoreEvent e;
            while (!hit && core.takeEvent(&e)) {
                events.push_back(e);
                for (const auto k : kinds)
                    if (e.kind == k)
                        hit = e;
            }
            return hit.has_value();
        });
        return hit;
    }

    std::optional<CoreEvent> connect(int address, ConnectParams p = {}) {
        p.address = address;
        core.connect(p, line.now());
        return until({CoreEvent::Identified, CoreEvent::ConnectFailed, CoreEvent::LinkLost});
    }

    Reply ask(Request r) {
        if (!core.request(r, line.now())) {
            Reply none;
            none.outcome = Outcome::Failed;
            return none;
        }
        const auto e = until({CoreEvent::Answered, CoreEvent::LinkLost});
        if (!e || e->kind != CoreEvent::Answered) {
            Reply none;
            none.outcome = Outcome::Failed;
            return none;
        }
        return e->reply;
    }

    void idle(Micros t) { tester.runUntil(line.now() + t); }

    // The bytes the tester wrote since mark, in order.
    std::vector<uint8_t> testerBytes(size_t mark = 0) const {
        std::vector<uint8_t> out;
        for (size_t i = mark; i < testerActions.size(); ++i)
            if (testerActions[i].kind == LineAction::Write)
                out.insert(out.end(), testerActions[i].bytes.begin(), testerActions[i].bytes.end());
        return out;
    }
    size_t count(CoreEvent::Kind kind) const {
        return size_t(std::count_if(events.begin(), events.end(),
                                    [&](const CoreEvent& e) { return e.kind == kind; }));
    }
};

inline Request req(RequestKind kind, int number = 0, int value = 0, int wsc = 0) {
    Request r;
    r.kind = kind;
    r.number = number;
    r.value = value;
    r.workshopCode = wsc;
    return r;
}

} // namespace kline_test
