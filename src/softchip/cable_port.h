#pragma once
// The port factory's plain-cable kind: the software chip on a real serial
// converter (or a pseudo-terminal that plays one). Both front ends add it;
// the session chooses it when the configuration asks for a cable or the
// wake-up came back as its echo.
#include "link/port_factory.h"
#include "softchip/soft_chip_stream.h"

class DebugTrace;

// The software chip on the device at path, not yet open. Refused, with the
// driver named, when the converter can neither hold the line low nor send
// at 5 baud. sysRoot: where the converter's driver is read (tests: a fake).
std::unique_ptr<SoftChipStream>
makePlainCableStream(const QString& path, PortOpenError& error,
                     const QString& sysRoot = QStringLiteral("/sys"));

// Adds PortKind::PlainCable, taken by no name of its own (the session asks
// for it). The streams' line notes go to trace when it is given.
void addPlainCableKind(PortFactory& factory, DebugTrace* trace = nullptr);
