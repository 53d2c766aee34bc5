#pragma once
// Ports opened the way the program opens them, and timeouts on a faster clock.
#include <QString>

class TCustomSerialPort;

// OpenConnectionPort, as every connection attempt does: 19200 bit/s and the
// read timeouts of a connection. Throws std::runtime_error when it fails.
void OpenLikeTheProgram(TCustomSerialPort& port, const QString& device);

// Clock runs factor times faster than the wall, so the 5 s silence rules take
// 5/factor s; the logic is the same. Clock::setSource(nullptr) ends it.
void UseFastClock(int factor);
