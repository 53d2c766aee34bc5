#pragma once
// The protocol core and the demo car's units on one virtual K-line, on the
// line's virtual clock: no sleeping, every run deterministic.
#include "kline/kline_core.h"
#include "kline/virtual_kline.h"
#include "sim/kline_unit.h"

#include <QDir>
#include <cerrno>
#include <deque>
#include <functional>
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

// The tester's converter with its failings: a break or the 5-baud rate
// refused as a driver refuses them, noise injected, the bytes from one on
// held back for a while (a stalled USB transfer).
class Converter : public KLinePort {
public:
    explicit Converter(KLinePort& inner) : m_in(inner) {}

    bool refuseBreak = false;
    bool refuse5Baud = false;
    double rateFactor = 1.0; // the rate the device takes, relative to the one asked
    // Bytes held back are stamped when handed over, as a driver that stamps
    // its reads does (a stalled process), not when they came.
    bool stampAtRead = false;
    Micros statedLatency = -1; // the latency timer the driver shows

    // One byte as the converter hands it over, now.
    void inject(RxByte b) { m_extra.push_back(b); }
    // Holds the received bytes from the next one on for t.
    void stall(Micros t) { m_stallFor = t; }
    // Holds the next write back for t (a transmit transfer that stalls).
    void delayNextWrite(Micros t) { m_writeDelay = t; }

    Micros now() const override { return m_in.now(); }
    PortResult setRate(int baud, int* actual) override {
        if (refuse5Baud && baud < 50)
            return PortResult::failure(EINVAL, true);
        const PortResult r = m_in.setRate(baud, actual);
        *actual = int(baud * rateFactor);
        return r;
    }
    PortResult setBreak(bool on) override {
        return refuseBreak ? PortResult::failure(ENOTTY, true) : m_in.setBreak(on);
    }
    PortResult write(const uint8_t* b, size_t n) override {
        if (m_writeDelay > 0) {
            m_deferred.assign(b, b + n);
            m_deferAt = now() + m_writeDelay;
            m_writeDelay = 0;
            return {};
        }
        return m_in.write(b, n);
    }
    PortResult flushInput() override { return m_in.flushInput(); }
    long receive(RxByte* out, size_t max) override {
        if (!m_deferred.empty() && now() >= m_deferAt) {
            m_in.write(m_deferred.data(), m_deferred.size());
            m_deferred.clear();
        }
        RxByte buf[64];
        const long n = m_in.receive(buf, std::size(buf));
        for (long i = 0; i < n; ++i)
            m_held.push_back(buf[i]);
        size_t k = 0;
        while (k < max && !m_extra.empty()) {
            out[k++] = m_extra.front();
            m_extra.pop_front();
        }
        if (m_stallFor > 0 && !m_held.empty()) {
            m_releaseAt = now() + m_stallFor;
            m_stallFor = 0;
        }
        if (now() < m_releaseAt)
            return long(k);
        while (k < max && !m_held.empty()) {
            out[k] = m_held.front();
            if (stampAtRead)
                out[k].at = std::max(out[k].at, now());
            ++k;
            m_held.pop_front();
        }
        return long(k);
    }
    Micros receiveLatency() const override { return statedLatency; }
    PortResult setModemLines(bool d, bool r) override { return m_in.setModemLines(d, r); }
    PortResult setLowLatency(bool on) override { return m_in.setLowLatency(on); }
    bool waitUntil(Micros d) override {
        if (!m_extra.empty() || (!m_held.empty() && now() >= m_releaseAt))
            return true;
        if (now() < m_releaseAt)
            d = std::min(d, m_releaseAt);
        if (!m_deferred.empty())
            d = std::min(d, m_deferAt);
        return m_in.waitUntil(d);
    }

private:
    KLinePort& m_in;
    std::deque<RxByte> m_extra;
    std::deque<RxByte> m_held;
    Micros m_stallFor = 0;
    Micros m_releaseAt = 0;
    Micros m_writeDelay = 0;
    std::vector<uint8_t> m_deferred;
    Micros m_deferAt = 0;
};

struct VirtualCar {
    VirtualKLine line;
    KLineUnit unit;
    KLineCore core;
    Converter converter;
    LineRunner tester;
    std::vector<CoreEvent> events;
    std::vector<LineAction> testerActions;
    // The tester's timing as the wire shows it, beside the unit's monitor:
    // every 5-baud edge on a 200 ms step from the address's start bit.
    std::vector<std::string> wireViolations;

    explicit VirtualCar(const std::string& faults = {}, Micros latency = 0, Timing timing = {},
                        bool echo = true, const std::function<void(SimScenario&)>& change = {})
        : line(msec(1000)), unit(changed(demoCar(), change), lineOptions(faults)), core(timing),
          converter(line.port(VirtualKLine::Tester)), tester(converter, core) {
        line.setLatency(VirtualKLine::Tester, latency);
        line.setEcho(VirtualKLine::Tester, echo);
        line.attach(VirtualKLine::Unit, unit, EchoFilter::Mode::Present);
        tester.onAction = [this](const LineAction& a) { testerActions.push_back(a); };
        line.onWire = [this](const VirtualKLine::WireEvent& e) { watch(e); };
        unit.begin(line.now());
    }

    static SimScenario changed(SimScenario s, const std::function<void(SimScenario&)>& change) {
        if (change)
            change(s);
        return s;
    }

    void watch(const VirtualKLine::WireEvent& e) {
        if (e.side != VirtualKLine::Tester || e.kind == VirtualKLine::WireEvent::Byte)
            return;
        const bool wasLow = low;
        low = e.kind == VirtualKLine::WireEvent::BreakOn;
        if (!low && !wasLow)
            return; // a release of a line not held: no edge
        // A falling edge more than a frame after the last start begins an address.
        if (e.kind == VirtualKLine::WireEvent::BreakOn &&
            (addressStart < 0 || e.start - addressStart > msec(2100)))
            addressStart = e.start;
        const Micros off = (e.start - addressStart) % msec(200);
        if (std::min(off, msec(200) - off) > 500)
            wireViolations.push_back("5-baud bit edge off its 200 ms step by " +
                                     std::to_string(off / 1000.0) + " ms");
    }
    Micros addressStart = -1;
    bool low = false;

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
    // Every timing outside its window, from the unit and the wire.
    std::vector<std::string> violations() const {
        std::vector<std::string> v = unit.violations();
        v.insert(v.end(), wireViolations.begin(), wireViolations.end());
        return v;
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
