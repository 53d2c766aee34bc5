#pragma once
// OpenPort: opens the port chosen in ComboBox1 at the start of every
// connection attempt. The caller shows a failure's message (caption and text
// below) through its prompts gateway; nothing here talks to the user.
#include <QString>
#include <functional>

class ByteStream;
class TCustomSerialPort;
class DebugTrace;

// Starts the simulated interface when it is not running yet and names the
// terminal to open; on failure fills error with the reason to show.
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

struct OpenPortResult {
    bool ok = false;
    QString caption; // id 301, "Fehler" / "Error"
    QString message; // "<port>: <id 300>" and, on a second line, the reason
};

// Sets the port to portName (or, for the demo entry, to the simulator's
// terminal) at 19200 bit/s and opens it. On success, and when the port
// reports itself not open after opening, writes the trace line
// "Open <portName>;0;00". Never throws.
OpenPortResult OpenPort(TCustomSerialPort& port, const QString& portName, int languageOffset,
                        DebugTrace* trace = nullptr, const DemoStarter& demo = {});

// The read timeouts of a connection: a read waits up to 1000 ms for its
// first byte. They stay in force when the port is closed and opened again.
void SetConnectionTimeouts(ByteStream& port);

// How every connection attempt of the program opens its port: OpenPort, then
// the read timeouts of a connection. Tests open their ports through it too.
OpenPortResult OpenConnectionPort(TCustomSerialPort& port, const QString& portName,
                                  int languageOffset, DebugTrace* trace = nullptr,
                                  const DemoStarter& demo = {});

// The text of a failed open: portName, ": ", the text of id 300, then the
// detail on a second line when there is one.
QString PortOpenMessage(const QString& portName, int languageOffset, const QString& detail);

// The second line for a permission error (EACCES, EPERM): who may open the
// device and what the user must do. ownerGroup is the device's group; empty
// or "root" means only the administrator can grant access.
QString PortPermissionHint(const QString& device, const QString& ownerGroup, int languageOffset);

// The name of the group owning path (after symlinks); empty when unknown.
QString DeviceOwnerGroup(const QString& path);

// Whether this user may open the device for reading and writing, asked
// without opening it (opening a USB adapter toggles its modem lines).
bool MayOpenDevice(const QString& path);
