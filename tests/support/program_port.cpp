#include "support/program_port.h"

#include "config/clock.h"
#include "link/port_factory.h"
#include "link/serial_port.h"

#include <chrono>
#include <stdexcept>

void OpenLikeTheProgram(TCustomSerialPort& port, const QString& device) {
    const PortOpenError result = OpenConnectionPort(port, device);
    if (!result.ok())
        throw std::runtime_error(("cannot open " + device + ": " + result.detail).toStdString());
}

void UseFastClock(int factor) {
    Clock::setSource([factor] {
        using namespace std::chrono;
        return factor * duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    });
}
