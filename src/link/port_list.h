#pragma once
// CommPortList: the entries of the port list ComboBox1. Ports are device
// paths ("/dev/ttyUSB0", for a USB adapter its stable link in
// /dev/serial/by-id), which is what TCustomSerialPort::SetPort opens.
#include <QList>
#include <QString>
#include <QStringList>

// Where the system describes its terminals; tests point these at a fake tree.
struct PortSearchRoots {
    QString dev = QStringLiteral("/dev");
    QString sys = QStringLiteral("/sys");
};

// The USB device behind a serial adapter as the system names it (sysfs);
// all empty for a port that is no USB device.
struct SerialAdapter {
    QString manufacturer;
    QString product;
    QString serial;
    bool usb = false;
};

// One entry of the port list.
struct PortEntry {
    // What is opened and stored in "COM-Port": for a USB adapter its stable
    // /dev/serial/by-id link when udev made one, so the choice survives
    // plugging the adapter into another socket; else the device itself.
    QString path;
    QString device; // the kernel's terminal ("/dev/ttyUSB0"); empty for extra entries
    SerialAdapter adapter;
};

// The USB adapter behind the terminal ttyName ("ttyUSB0"), read from sysfs.
SerialAdapter UsbAdapterOf(const QString& ttyName, const PortSearchRoots& roots = {});

// The serial devices the kernel knows, backed by hardware (USB adapters,
// on-board UARTs, CDC-ACM modems); unique and sorted as text by path.
// Placeholder UARTs without a chip and the system console are left out.
QList<PortEntry> SystemSerialPortEntries(const PortSearchRoots& roots = {});
// Their paths.
QStringList SystemSerialPorts(const PortSearchRoots& roots = {});

// Whether path (after symlinks) is a terminal character device. Decided from
// stat and sysfs alone: opening a USB adapter just to look would toggle its
// modem lines.
bool IsTerminalDevice(const QString& path, const QString& sysRoot = QStringLiteral("/sys"));

// The port list: the system's ports, plus the configured "COM-Port" when it is
// an absolute path to a terminal device that the system list lacks (a
// /dev/serial/by-id link, a pseudo-terminal, a simulator's symlink), so that
// start-up can preselect it by exact comparison; all unique without regard to
// case and sorted as text. The demo interface's entry demoName (the front
// end's word for it) comes last, so on a machine without serial ports it is
// the first entry.
QStringList EnumerateComPorts(const QString& configuredPort, const QString& demoName,
                              const PortSearchRoots& roots = {});
// The same entries with what is known of each adapter.
QList<PortEntry> PortListEntries(const QString& configuredPort, const QString& demoName,
                                 const PortSearchRoots& roots = {});
// With several demo entries, last in the order given.
QList<PortEntry> PortListEntries(const QString& configuredPort, const QStringList& demoNames,
                                 const PortSearchRoots& roots = {});
QStringList EnumerateComPorts(const QString& configuredPort, const QStringList& demoNames,
                              const PortSearchRoots& roots = {});

// What the closed port box shows first: the adapter's name as the system
// knows it ("FT232R USB UART", else its maker), else the port's name under
// /dev ("ttyS0", "pts/3"); the demo entry as it is.
QString PortShortName(const PortEntry& entry);

// The start-up selection: the entry that equals the trimmed configured name
// exactly (case-sensitive), else the first entry; -1 for an empty list.
int PreselectedPortIndex(const QStringList& entries, const QString& configuredPort);
