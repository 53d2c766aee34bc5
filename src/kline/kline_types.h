#pragma once
// The words the K-line library speaks in: times, received bytes, line
// actions, bus faults, and the requests and replies of a diagnosis session.
// Plain C++ with no dependencies, so the protocol core can run anywhere.
#include <cstdint>
#include <string>
#include <vector>

namespace kline {

// Microseconds on the caller's clock (any origin, never backwards).
using Micros = int64_t;
constexpr Micros msec(int64_t v) {
    return v * 1000;
}

// Ten bit times (start, 8 data, stop) at rate.
constexpr Micros byteTime(int rate) {
    return rate > 0 ? Micros(10'000'000 / rate) : 0;
}

// One byte as a UART decoded it, with the time its stop bit was sampled.
struct RxByte {
    uint8_t value = 0;
    bool framingError = false;
    Micros at = 0;
};

// What an endpoint asks of its line, at the time it asks.
struct LineAction {
    enum Kind : uint8_t { SetRate, BreakOn, BreakOff, Write, FlushInput };
    Kind kind = Write;
    Micros at = 0;
    int rate = 0;               // SetRate
    std::vector<uint8_t> bytes; // Write
};

// Why an exchange on the wire failed. A value, never a text: the front end
// decides what the user (or the program above) is told.
enum class BusFault : uint8_t {
    None,
    WrongEcho,         // a sent byte came back changed (collision)
    MissingEcho,       // an echoing cable stopped echoing
    NoSync,            // nothing after the address
    BadKeywords,       // keywords of no protocol spoken here
    WrongRate,         // the sync stayed garbled at every rate tried
    MissingComplement, // the unit did not answer a byte
    WrongComplement,   // ... or answered it wrongly
    ByteTimeout,       // a block or frame stopped in the middle
    BadBlockEnd,       // KW1281 block without its final 03
    BadCounter,        // KW1281 block counter out of step
    BadChecksum,       // KW2000 frame checksum
    BadFrame,          // KW2000 frame that makes no sense
    NoAnswer,          // the unit stayed silent after a request
    NoBreak,           // the converter cannot hold the line low
    PortFailed,        // the driver reported an error
};
// A short fixed name for logs and test output.
const char* busFaultName(BusFault fault);

enum class Protocol : uint8_t { None, KW1281, KW2000 };

// How the 5-baud address reaches the line.
enum class FiveBaudMethod : uint8_t {
    BreakEdges, // the line held low and released on 200 ms edges
    UartByte,   // the address written as one byte at 5 baud
};

// Everything a request of the program can ask of a unit.
enum class RequestKind : uint8_t {
    Group,          // measuring group n (triplets)
    BasicGroup,     // basic setting group n (triplets)
    RawGroup,       // measuring values, raw bytes
    RawBasicGroup,  // basic settings, raw bytes
    SingleValue,    // single reading of channel n
    ReadFaults,     // fault memory
    ClearFaults,    // erase the fault memory
    Readiness,      // readiness byte
    AdaptationRead, // channel n: value and its block
    AdaptationSave, // channel n := value
    Coding,         // coding value, workshop code
    Login,          // login code value, workshop code
    OutputTestStep, // next output test step
};

struct Request {
    RequestKind kind = RequestKind::Group;
    int number = 0;       // group or channel
    int value = 0;        // adaptation value, coding, login code
    int workshopCode = 0; // coding and login
};

// How a request ended, in the terms the chip's replies distinguish.
enum class Outcome : uint8_t {
    Ok,
    Refused,     // the unit refused: the chip's refusal word
    Unsupported, // the unit has no fault memory to read: the chip's "0A"
    Rejected,    // the unit did not take the values: the chip's "?"
    End,         // no further output test step: the chip's "END"
    Failed,      // the exchange failed, the link is down: "DATA ERROR"
};

struct FaultEntry {
    uint16_t code = 0;
    uint8_t status = 0;
};

// A unit's identification as the chip passes it on: untagged lines in order,
// then the tagged values (-1: the unit has none).
struct Identification {
    std::vector<std::string> lines;
    int coding = -1;
    int workshopCode = -1;
    int64_t deviceNumber = -1;
    int importer = -1;
};

struct Reply {
    RequestKind kind = RequestKind::Group;
    Outcome outcome = Outcome::Ok;
    BusFault fault = BusFault::None; // why, when Failed
    // Groups, basic groups and an adaptation channel's block: triplets
    // (type, a, b). Raw groups: one value per byte.
    std::vector<uint8_t> bytes;
    // Single reading, readiness, adaptation value, output test component.
    int value = -1;
    // The fault memory as the unit sent it, its "no fault" entry included.
    std::vector<FaultEntry> faults;
    // A coding write is answered with the identification.
    Identification identification;
};

} // namespace kline
