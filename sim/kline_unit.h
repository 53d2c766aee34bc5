#pragma once
// The car's control units as they answer on a plain K-line, byte by byte:
// the 5-baud address (or a fast init), sync and keywords, KW1281 blocks with
// their complements, KW2000 frames. Serves the same scenario files as the
// text simulator (SimScenario), with the values moving in time the same way,
// and with named line faults. An endpoint free of I/O: the virtual K-line
// drives it in tests, PlainCableHost on a pseudo-terminal.
//
// It listens at 5 baud while no unit is connected: a UART at 5 baud samples
// the address in the middle of each 200 ms bit from the start edge, whether
// the tester sent it by break edges or as a byte at 5 baud.
//
// In strict mode it records every tester timing outside its window (idle
// before the address, complement of the keyword, complements and bytes of a
// block, keep-alive, KW2000 P3 and P4) as a violation.
#include "sim/sim_scenario.h"

#include "kline/line_endpoint.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct KLineFault {
    // vandrix-sim --help says the same for the command line.
    enum Kind : uint8_t {
        LateComplement,  // the Nth complement of the unit comes 80 ms late
        WrongComplement, // the Nth complement of the unit is wrong
        LostByte,        // the Nth block of the unit loses its title byte
        NoSync,          // the first N addresses get no sync
        RepeatedSync,    // the Nth init: the sync once more after a good answer
        StrayBytes,      // bytes on the line after the Nth address, before the sync
        SilenceAfter,    // after N blocks or frames the unit falls silent
        IgnoreEnd,       // the unit takes no notice of the end of communication
        Pending,         // the Nth KW2000 answer: "response pending", then 3 s later
        BadChecksum,     // the Nth KW2000 answer with a wrong checksum
        Nak,             // the Nth KW1281 request is answered with a NAK
    };
    Kind kind = LateComplement;
    int count = 1;
    bool onwards = false; // "#N+": from the Nth occurrence on
};

struct KLineUnitOptions {
    std::vector<KLineFault> faults;
    int rate = 0;          // 0: each unit's own (KW2000 10400, KW1281 its Baud)
    bool fastInit = false; // listen for a KW2000 fast init instead of addresses
    bool strict = true;    // record timing violations

    // A comma-separated list: fault names as above in lower case with dashes
    // ("late-complement", "silence-after#3", "no-sync#2", "wrong-complement#9+"
    // for every one from the ninth), "rate=9600" and
    // "fast-init". False with a reason on anything else.
    static bool parse(const std::string& list, KLineUnitOptions* out, std::string* error);
};

class KLineUnit : public kline::CoEndpoint {
public:
    struct UnitState {
        int coding = -1;
        int workshopCode = -1;
        std::vector<SimDtc> dtcs;
        std::vector<int> savedChannel;
        size_t outputStep = 0;
    };
    // What the units remember between connections. Units built over the same
    // memory are one car: a fault cleared or a coding written through one is
    // so for the next. An empty memory is filled from the scenario.
    using Memory = std::vector<UnitState>;

    explicit KLineUnit(SimScenario scenario, KLineUnitOptions options = {},
                       std::shared_ptr<Memory> memory = {});
    // Starts listening at now.
    void begin(kline::Micros now);

    // The address of the unit in session, 0 when none.
    int connectedAddress() const { return m_unit ? m_unit->address : 0; }
    int addressesHeard() const { return m_inits; }
    int blocksSent() const { return m_blocks; }
    const std::vector<std::string>& violations() const { return m_violations; }
    // The rate the unit of address speaks.
    int rateOf(const SimUnit& unit) const;

private:
    // A request as the unit understood it, and its answer.
    struct Ask {
        kline::RequestKind kind = kline::RequestKind::Group;
        int number = 0;
        int value = 0;
        int workshopCode = 0;
        bool testOnly = false; // KW1281 adaptation test before the save
    };
    struct Answer {
        bool refused = false;
        bool unsupported = false;
        bool rejected = false;
        bool end = false;
        bool wrongLogin = false;
        std::vector<uint8_t> bytes;
        int value = -1;
        std::vector<SimDtc> dtcs;
    };

    kline::Task<void> run();
    kline::Task<bool> handshake(int rate, uint8_t kw1, uint8_t kw2, kline::Micros stopEnd);
    kline::Task<void> kw1281Session();
    kline::Task<bool> sendBlock(const std::vector<uint8_t>& body);
    kline::Task<std::optional<std::vector<uint8_t>>> receiveBlock(kline::Micros deadline);
    kline::Task<void> kw2000Session();
    kline::Task<std::optional<std::vector<uint8_t>>> receiveFrame(kline::Micros deadline);
    kline::Task<void> sendFrame(const std::vector<uint8_t>& data, kline::Micros at);
    kline::Task<void> listenFastInit();

    Answer answer(const Ask& ask);
    std::string chipText(const Ask& ask) const;
    kline::Identification identification() const;
    std::vector<std::vector<uint8_t>> kw1281Answer(const Ask& ask, const Answer& a);
    std::vector<uint8_t> kw2000Answer(const std::vector<uint8_t>& req);
    void triplets(const SimBlock& block, uint32_t salt, std::vector<uint8_t>& out) const;
    int64_t nowMs() const { return now() / 1000; }

    bool fault(KLineFault::Kind kind, int occurrence) const;
    void violation(const char* what, kline::Micros value);

    SimScenario m_scenario;
    KLineUnitOptions m_opt;
    std::shared_ptr<Memory> m_state;
    const SimUnit* m_unit = nullptr;
    UnitState* m_us = nullptr;
    int m_inits = 0;
    int m_blocks = 0;
    int m_complements = 0;
    int m_frames = 0;
    int m_requests = 0;
    bool m_silent = false;
    uint8_t m_counter = 0;
    kline::Micros m_lineBusyUntil = 0; // end of the latest byte heard or sent
    kline::Micros m_lastOwnEnd = 0;    // end of the unit's latest byte
    std::vector<std::string> m_violations;
};
