#pragma once
// The software chip behind the byte stream: the program writes the chip's
// commands and reads its replies as from any interface, while a thread of
// its own runs the protocol core on the cable on absolute deadlines and
// keeps the link alive between requests. The Qt event loop is never on the
// timing path.
//
// Tests on the virtual K-line use the second constructor instead: no thread;
// every wait of the program moves the line's virtual time (make Clock follow
// the line's clock), so a 5-baud init costs no wall time.
#include "softchip/soft_chip.h"

#include "kline/kline_port.h"
#include "kline/line_runner.h"
#include "link/byte_stream.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class SoftChipStream : public ByteStream {
public:
    // Opens the cable: the port, or nullptr with the system error number
    // and, where there is one, a reason.
    using Opener = std::function<std::unique_ptr<kline::KLinePort>(int* error, QString* reason)>;

    SoftChipStream(QString name, Opener opener, SoftChipOptions options = {},
                   kline::EchoFilter::Mode echo = kline::EchoFilter::Mode::Detect);
    // Virtual time: port is driven on the caller's thread and not owned.
    SoftChipStream(QString name, kline::KLinePort& port, SoftChipOptions options = {},
                   kline::EchoFilter::Mode echo = kline::EchoFilter::Mode::Present);
    ~SoftChipStream() override;

    QString name() const override { return m_name; }
    bool Connected() const override { return m_open; }

    // What the cable showed, for the interface check (while open).
    struct LineFacts {
        bool echo = false;  // the cable returns what it sends
        int actualRate = 0; // the rate the converter took last
        bool rateWarning = false;
        kline::Micros echoRoundTrip = -1; // the longest, from a byte's end to its echo
        kline::Micros latency = -1;       // the converter's, as the waits allow for it
    };
    LineFacts lineFacts() const;

    // Line notes for the debug trace as name and value ("KLineRateAsked",
    // "KLineRateTaken" when a converter runs more than 2 % off the rate
    // asked; "KLineLatency" in ms when a converter slower than the chip's
    // setting widened the waits), handed over on the program's thread
    // during its reads and waits.
    using NoteSink = std::function<void(const QString& name, int value)>;
    void setNoteSink(NoteSink sink) { m_noteSink = std::move(sink); }

    // What passed on the line, for the traffic observer (the recorder):
    // taken on the line thread, handed over on the program's thread.
    struct LineEvent {
        enum class Kind : uint8_t { Sent, Received, BreakOn, BreakOff } kind;
        kline::Micros at = 0; // the port's clock
        std::string bytes;    // Sent, Received
        int lengthMs = 0;     // BreakOn: how long the line was held low
    };

protected:
    void openDevice() override;
    void closeDevice() override;
    QByteArray readDevice(qsizetype maxBytes, int timeoutMs) override;
    qsizetype writeDevice(const QByteArray& bytes) override;
    bool waitDevice(int ms) override;
    void checkDevice() override;
    void discardDevice(bool input, bool output) override;

private:
    // One round on the line and the chip until neither has more to do; its
    // output moves to the reader. Called with m_mutex not held.
    void pump();
    void serve();
    // Virtual time: runs the line until a reply is there or ms passed.
    bool waitVirtual(int ms);
    [[noreturn]] void raiseFailed(int code) const;
    void passNotes();
    void addLineEvent(LineEvent event);
    class TappedPort;

    const QString m_name;
    Opener m_opener;
    const SoftChipOptions m_options;
    const kline::EchoFilter::Mode m_echoMode;
    kline::KLinePort* m_port = nullptr;
    std::unique_ptr<kline::KLinePort> m_ownedPort;
    std::unique_ptr<SoftChip> m_chip;
    std::unique_ptr<kline::LineRunner> m_runner;
    bool m_open = false;
    const bool m_threaded;

    mutable std::mutex m_mutex;
    std::condition_variable m_replied;
    std::string m_inbox;  // from the program, not yet given to the chip
    std::string m_outbox; // replies not yet read
    bool m_failed = false;
    bool m_stop = false;
    LineFacts m_facts;
    std::vector<std::pair<QString, int>> m_notes;
    kline::Micros m_notedLatency = -1;
    NoteSink m_noteSink;
    std::unique_ptr<kline::KLinePort> m_tap;
    std::vector<LineEvent> m_lineEvents;
    // A break not yet released: its event waits for its length, and the
    // events behind it with it.
    std::optional<size_t> m_openBreak;
    int64_t m_clockOffsetUs = 0; // Clock::nowUs() minus the port's clock
    std::thread m_thread;
};
