#pragma once
// What the system knows about the adapter behind a serial device, for port
// lists that show more than a path.
#include "link/port_list.h"

#include <QString>

// The USB adapter's maker and product as the kernel read them from the
// device ("FTDI FT232R USB UART"); empty for on-board ports, pseudo-terminals
// and anything the system does not describe. Symbolic links such as
// /dev/serial/by-id entries are followed first. Never opens the device.
QString SerialPortDescription(const QString& devicePath, const PortSearchRoots& roots = {});
