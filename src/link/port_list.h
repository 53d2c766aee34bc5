#pragma once
// CommPortList: the entries of the port list ComboBox1. Ports are device
// paths ("/dev/ttyUSB0"), which is what TCustomSerialPort::SetPort opens.
#include <QString>
#include <QStringList>

// Where the system describes its terminals; tests point these at a fake tree.
struct PortSearchRoots {
    QString dev = QStringLiteral("/dev");
    QString sys = QStringLiteral("/sys");
};

// The list entry of the simulated interface, in the user's language
// (languageOffset 0 German, 10000 English).
QString DemoInterfaceName(int languageOffset);
// True for the demo entry in either language.
bool IsDemoInterfaceName(const QString& name);

// The serial devices the kernel knows, backed by hardware (USB adapters,
// on-board UARTs, CDC-ACM modems); unique and sorted as text. Placeholder
// UARTs without a chip and the system console are left out.
QStringList SystemSerialPorts(const PortSearchRoots& roots = {});

// Whether path (after symlinks) is a terminal character device. Decided from
// stat and sysfs alone: opening a USB adapter just to look would toggle its
// modem lines.
bool IsTerminalDevice(const QString& path, const QString& sysRoot = QStringLiteral("/sys"));

// The port list: the system's ports, plus the configured "COM-Port" when it is
// an absolute path to a terminal device that the system list lacks (a
// /dev/serial/by-id link, a pseudo-terminal, a simulator's symlink), so that
// start-up can preselect it by exact comparison; all unique without regard to
// case and sorted as text. The demo interface comes last, so on a machine
// without serial ports it is the first entry.
QStringList EnumerateComPorts(const QString& configuredPort, int languageOffset = 0,
                              const PortSearchRoots& roots = {});

// The start-up selection: the entry that equals the trimmed configured name
// exactly (case-sensitive), else the first entry; -1 for an empty list.
int PreselectedPortIndex(const QStringList& entries, const QString& configuredPort);
