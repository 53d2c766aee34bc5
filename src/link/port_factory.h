#pragma once
// Every port a front end talks through comes from here, as a ByteStream: the
// chip interface's termios port, or the demo (the simulated car or a
// recording, served on a pseudo-terminal). A new kind of interface is one
// more PortKind, added with the port names it takes and a function that
// makes its stream (PortFactory::addKind). Opening reports what went wrong as
// a value with the system's error number; the front ends word it.
#include "link/byte_stream.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class DebugTrace;
class TCustomSerialPort;

// Starts the simulated interface when it is not running yet and names the
// terminal to open; on failure fills error with the simulator's reason.
using DemoStarter = std::function<bool(QString& terminalPath, QString& error)>;

// Adapts a simulator host (start(scenario, &error), stop(), isRunning(),
// linkDropped(), slavePath()) to a DemoStarter. The host keeps running between
// connections, so the simulated car keeps its state (cleared faults, new
// coding) for the rest of the run; after a dropped link it starts afresh.
template <class Host> DemoStarter MakeDemoStarter(Host& host, QString scenarioPath) {
    return [&host, scenarioPath](QString& terminalPath, QString& error) {
        if (host.isRunning() && host.linkDropped())
            host.stop();
        if (!host.isRunning() && !host.start(scenarioPath, &error))
            return false;
        terminalPath = host.slavePath();
        return true;
    };
}

enum class PortKind {
    ChipInterface, // a termios device with the Vandrix Pro chip behind it
    Demo,          // the demo entry: the simulator's terminal
    PlainCable,    // a plain K-line cable: the software chip on the device
    DemoKLine,     // the plain-cable demo: the software chip on a virtual K-line
};

// Why a port did not open.
enum class PortOpenFailure {
    None,
    NoName,           // nothing chosen (an empty port list)
    Missing,          // ENOENT, ENODEV, ENXIO: no such device (an adapter unplugged)
    NotATerminal,     // a plain file, a folder, a device that is no terminal
    Busy,             // EBUSY: another program holds it (lock, flock, UUCP lock file)
    PermissionDenied, // EACCES, EPERM
    NotOpen,          // the open returned but the port says it is closed
    DemoUnavailable,  // this build has no demo interface
    DemoFailed,       // the simulator did not start; detail says why
    ConverterRefused, // a converter that cannot wake a unit; detail: its driver
    Other,            // any other system error; errorNumber and detail say which
};

struct PortOpenError {
    PortOpenFailure kind = PortOpenFailure::None;
    int errorNumber = 0; // errno, 0 when there is none
    QString device;      // what was opened (for the demo: the simulator's terminal)
    // The system's reason (strerror, a lock holder) or the simulator's; may be empty.
    QString detail;
    // Of a permission failure: the device's group, and whether this process
    // already belongs to it (then joining it is no advice).
    QString deviceGroup;
    bool inDeviceGroup = false;

    bool ok() const { return kind == PortOpenFailure::None; }
    // The kind of a system error number.
    static PortOpenFailure kindOf(int errorNumber);
};

class PortFactory {
public:
    // Makes the stream of a port name; tests put a MemoryByteStream here.
    using Maker = std::function<std::unique_ptr<ByteStream>(const QString& portName)>;
    // Makes the stream of one kind, not yet open; nullptr with error filled
    // when it cannot.
    using KindMaker =
        std::function<std::unique_ptr<ByteStream>(const QString& portName, PortOpenError& error)>;

    PortFactory() = default;
    // demoNames: the port names of the demo entry (the front end's words for
    // it, in every language); demo starts the simulator.
    PortFactory(DemoStarter demo, QStringList demoNames)
        : m_demo(std::move(demo)), m_demoNames(std::move(demoNames)) {}
    static PortFactory custom(Maker maker);

    // One more kind of interface: the port names it takes and how its stream
    // is made. Asked before the demo and the chip interface, in the order added.
    void addKind(PortKind kind, std::function<bool(const QString& portName)> takes,
                 KindMaker maker);

    PortKind kindOf(const QString& portName) const;
    // Whether a kind was added (hasKind) and the stream of portName as that
    // kind, whatever its name says: a session that found a plain cable
    // behind a port name opens it so.
    bool hasKind(PortKind kind) const;
    std::unique_ptr<ByteStream> makeAs(PortKind kind, const QString& portName,
                                       PortOpenError& error) const;
    // The stream for portName, not yet open: for the chip interface a termios
    // port at 19200 bit/s; for the demo the simulator's terminal, starting
    // the simulator when needed. nullptr, with error filled, when there is none.
    std::unique_ptr<ByteStream> make(const QString& portName, PortOpenError& error) const;
    // make, then OpenStream.
    std::unique_ptr<ByteStream> open(const QString& portName, PortOpenError& error,
                                     DebugTrace* trace = nullptr) const;

private:
    struct AddedKind {
        PortKind kind;
        std::function<bool(const QString&)> takes;
        KindMaker make;
    };
    const AddedKind* addedKindOf(const QString& portName) const;

    DemoStarter m_demo;
    QStringList m_demoNames;
    Maker m_maker;
    std::vector<AddedKind> m_added;
};

// Opens a stream made by PortFactory::make and sets the read timeouts of a
// connection. On success, and when the port reports itself not open after
// opening, writes the trace line "Open <portName>;0;00". Never throws.
PortOpenError OpenStream(ByteStream& stream, const QString& portName, DebugTrace* trace = nullptr);

// A termios port set to device at 19200 bit/s and opened as every port of
// the program is (OpenStream); for tests and benchmarks that hold their port.
PortOpenError OpenConnectionPort(TCustomSerialPort& port, const QString& device,
                                 DebugTrace* trace = nullptr);

// The read timeouts of a connection: a read waits up to 1000 ms for its
// first byte. They stay in force when the port is closed and opened again.
void SetConnectionTimeouts(ByteStream& port);

// The name of the group owning path (after symlinks); empty when unknown.
QString DeviceOwnerGroup(const QString& path);
// Whether this process belongs to the named group (primary or supplementary).
bool ProcessInGroup(const QString& group);
// Whether this user may open the device for reading and writing, asked
// without opening it (opening a USB adapter toggles its modem lines).
bool MayOpenDevice(const QString& path);
