#pragma once
// What the simulated interface and car are made of: the chip's settings, the
// control units with their identification, measuring values, fault memory,
// adaptation channels, login code and output tests, and the named faults.
// Loaded from an INI scenario file (format documented in
// data/scenarios/demo_car.ini); everything here is plain data.
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

class IniFile;

// A number that may move with time: a constant, a sine between lo and hi
// ("lo~hi@P"), a ramp from lo to hi that then holds ("lo>hi@P") or a
// pseudo-random value that changes every P seconds ("lo%hi@P").
struct SimValue {
    enum Kind : uint8_t { Const, Sine, Ramp, Noise };
    Kind kind = Const;
    double lo = 0;
    double hi = 0;
    int64_t periodMs = 0;

    static SimValue constant(int v) { return SimValue{Const, double(v), double(v), 0}; }
    // salt keeps two noisy values from moving in step.
    int at(int64_t timeMs, uint32_t salt = 0) const;
};

// One field of a measuring block: formula type, a, b.
struct SimField {
    SimValue type;
    SimValue a;
    SimValue b;
};
using SimBlock = std::vector<SimField>;

struct SimDtc {
    int code = 0;   // 0..65535
    int status = 0; // 0..255
};

struct SimChannel {
    bool present = false;
    SimValue value;
    int min = 0;
    int max = 65535;
    SimBlock block;
};

struct SimUnit {
    QString name; // the scenario section
    int address = 0;
    int protocol = 1;               // 1 KW1281, 2 KW2000
    int baudCode = 4;               // reported when the program asks for automatic speed
    std::vector<std::string> ident; // untagged identification lines, as sent
    int coding = -1;                // SWC line when >= 0
    int workshopCode = -1;          // WSC line when >= 0
    int64_t deviceNumber = -1;      // EXT line when >= 0
    int importer = -1;              // IMP line when >= 0
    int codingMax = 32767;
    std::vector<SimBlock> groups;      // index = group 1..255; empty = refused
    std::vector<SimBlock> basicGroups; // "04"; falls back to groups
    std::vector<SimValue> raw;         // "0800" value lines
    std::vector<SimValue> rawBasic;    // "0400"; falls back to raw
    std::vector<SimValue> singles;     // "09" channel 0..255
    std::vector<bool> singlePresent;
    bool dtcSupported = true;
    std::vector<SimDtc> dtcs;
    int readiness = -1;               // -1: "15" refused
    std::vector<SimChannel> channels; // index = channel 0..99
    int loginCode = -1;               // -1: "11" refused
    std::vector<int> outputTests;     // component codes, then "END"
    std::vector<std::string> refuse;  // request prefixes the unit refuses
    std::string refuseWord = "NA";
};

struct SimFault {
    // What each kind does is in vandrix-sim --help.
    enum Kind : uint8_t {
        Silence,
        DataError,
        Garbage,
        LongLine,
        NoPrompt,
        Unplug,
        Error,     // "ERROR" and the prompt, as the chip refuses a setting
        ExtraLine, // one more line, "OK", before the prompt
        Endless,   // characters without CR that only the next command stops
        CrLf,      // from then on every line ends in CR LF
    };
    Kind kind = Silence;
    int atCount = 0;    // the Nth command received (1-based), or 0
    std::string atText; // or the occurrence-th command equal to this text
    int occurrence = 1;

    // "kind#N" (the Nth command), "kind@TEXT" (the first command equal to
    // TEXT) or "kind@TEXT#K" (its Kth occurrence). Also accepts the link settings
    // "pace" and "kline=MS", which set *pace / *klineMs instead of a fault.
    static bool parseList(const QString& list, std::vector<SimFault>* faults, bool* pace,
                          int* klineMs, QString* error);
};

struct SimScenario {
    std::string chipVersion = "2.1";
    bool pace = false;
    int klineMs = 0;
    std::vector<SimFault> faults;
    std::array<SimValue, 6> analog{};
    std::array<bool, 6> analogPresent{};
    std::vector<SimUnit> units;

    static bool load(const QString& path, SimScenario* out, QString* error);
    static bool fromIni(const IniFile& ini, SimScenario* out, QString* error);
    const SimUnit* unit(int address) const;
};

// Parses one value form ("12", "0x1F", "0b1010", "20~24@4", "80>190@120",
// "10%12@0.5"); false on anything else.
bool parseSimValue(const QString& text, SimValue* out);
// "type a b | type a b | ..." ; false when a field does not have three values.
bool parseSimBlock(const QString& text, SimBlock* out);
