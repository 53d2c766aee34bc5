#pragma once
// Telling a plain K-line cable from a chip interface, and what a converter
// can do, as pure functions: the session's port opening uses them, and
// tests put a fake /sys under them.
//
// The probe is the lone CR the connection set-up sends anyway: a chip
// answers it, a plain cable returns it unchanged (the K-line is one wire),
// so a chip interface sees no byte beyond its usual dialogue.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

enum class InterfaceKind : uint8_t { Auto, Chip, Cable };

// vandrix.ini's Schnittstelle= ("auto", "chip", "kabel") and the command
// line's --interface ("auto", "chip", "cable"), case ignored, blanks trimmed;
// nothing for any other text.
std::optional<InterfaceKind> interfaceKindFromIni(const QString& value);
std::optional<InterfaceKind> interfaceKindFromOption(const QString& value);

enum class WakeUpAnswer : uint8_t {
    Echo,   // exactly what was sent: a plain cable
    Chip,   // anything else: the chip path, unchanged
    Silent, // nothing within the wait: no interface, or a cable without power
};
WakeUpAnswer judgeWakeUp(const QByteArray& sent, const QByteArray& received);

// What a serial converter can do for the 5-baud address, by its driver.
struct ConverterFacts {
    QString driver;          // the kernel driver's name; empty when unknown
    bool realBreak = true;   // holds the line low for as long as asked
    bool fiveBaud = false;   // a UART rate of 5 baud
    bool lowLatency = false; // a receive latency that can be set to 1 ms
};
ConverterFacts converterFacts(const QString& driver);
// The driver of the serial device at devicePath (symbolic links followed),
// read from sysRoot (normally "/sys"); empty when it cannot be told.
QString converterDriver(const QString& devicePath, const QString& sysRoot = QStringLiteral("/sys"));
// The converter cannot send the address: neither a break nor 5 baud.
inline bool refusedConverter(const ConverterFacts& f) {
    return !f.realBreak && !f.fiveBaud;
}

// The echo's round trip above which the complement of the second keyword
// (due 25 to 50 ms after it) is at risk.
constexpr int64_t SlowEchoUs = 20'000;
inline bool echoThreatensTiming(int64_t roundTripUs) {
    return roundTripUs > SlowEchoUs;
}
