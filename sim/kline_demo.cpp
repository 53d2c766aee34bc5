#include "sim/kline_demo.h"

#include "kline/termios_kline.h"
#include "kline/virtual_kline.h"
#include "sim/kline_unit.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>

using namespace kline;

namespace {

// The virtual line paced by the wall clock: its time never runs ahead of the
// real one, and between events the thread sleeps. The units answer inside
// the line's own time, so every protocol window holds however late the
// thread wakes; a slice of at most SliceUs keeps the program's commands
// from waiting on a long sleep.
class PacedVirtualLine : public KLinePort {
public:
    static constexpr Micros SliceUs = msec(10);

    PacedVirtualLine(const SimScenario& scenario, std::shared_ptr<KLineUnit::Memory> memory)
        : m_unit(scenario, {}, std::move(memory)), m_port(m_line.port(VirtualKLine::Tester)),
          m_offset(TermiosKLine::monotonicNow() - m_line.now()) {
        m_line.attach(VirtualKLine::Unit, m_unit, EchoFilter::Mode::Present);
        m_unit.begin(m_line.now());
    }

    Micros now() const override { return m_port.now(); }
    PortResult setRate(int baud, int* actual) override { return m_port.setRate(baud, actual); }
    PortResult setBreak(bool on) override { return m_port.setBreak(on); }
    PortResult write(const uint8_t* bytes, size_t count) override {
        return m_port.write(bytes, count);
    }
    PortResult flushInput() override { return m_port.flushInput(); }
    long receive(RxByte* out, size_t max) override { return m_port.receive(out, max); }
    PortResult setModemLines(bool dtr, bool rts) override { return m_port.setModemLines(dtr, rts); }
    PortResult setLowLatency(bool on) override { return m_port.setLowLatency(on); }

    bool waitUntil(Micros deadline) override {
        for (;;) {
            // Catch up with the wall clock; stop where input arrives.
            const Micros target = std::min(deadline, wallNow());
            if (target > m_port.now()) {
                m_port.waitUntil(target);
                if (m_port.now() < target)
                    return true;
            }
            if (m_port.now() >= deadline)
                return true;
            const Micros sleep = std::min(deadline - m_port.now(), SliceUs);
            std::unique_lock lock(m_mutex);
            if (m_cv.wait_for(lock, std::chrono::microseconds(sleep), [this] { return m_woken; })) {
                m_woken = false;
                lock.unlock();
                if (wallNow() > m_port.now())
                    m_port.waitUntil(std::min(deadline, wallNow()));
                return true;
            }
        }
    }
    void interrupt() override {
        {
            std::lock_guard lock(m_mutex);
            m_woken = true;
        }
        m_cv.notify_all();
    }

private:
    Micros wallNow() const { return TermiosKLine::monotonicNow() - m_offset; }

    VirtualKLine m_line{msec(1000)};
    KLineUnit m_unit;
    KLinePort& m_port;
    const Micros m_offset;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_woken = false;
};

} // namespace

std::unique_ptr<SoftChipStream> makeKLineDemoStream(const QString& name,
                                                    const QString& scenarioPath,
                                                    std::shared_ptr<KLineUnit::Memory> memory) {
    auto opener = [scenarioPath, memory](int* err, QString* reason) -> std::unique_ptr<KLinePort> {
        SimScenario scenario;
        if (!SimScenario::load(scenarioPath, &scenario, reason)) {
            *err = ENOENT;
            return nullptr;
        }
        return std::make_unique<PacedVirtualLine>(scenario, memory);
    };
    return std::make_unique<SoftChipStream>(name, opener, SoftChipOptions{},
                                            EchoFilter::Mode::Present);
}

PortFactory::KindMaker KLineDemoMaker(const QString& scenarioPath) {
    // One car for the program's run, as the chip demo keeps: a fault cleared
    // stays cleared at the next connection. One connection at a time uses it.
    auto memory = std::make_shared<KLineUnit::Memory>();
    return
        [scenarioPath, memory](const QString& name, PortOpenError&) -> std::unique_ptr<ByteStream> {
            return makeKLineDemoStream(name, scenarioPath, memory);
        };
}
