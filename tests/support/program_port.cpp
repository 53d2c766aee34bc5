#include "support/program_port.h"

#include "config/clock.h"
#include "link/open_port.h"
#include "link/serial_port.h"

#include <chrono>
#include <stdexcept>

void OpenLikeTheProgram(TCustomSerialPort& port, const QString& device) {
    const OpenPortResult result = OpenConnectionPort(port, device, 0);
    if (!result.ok)
        throw std::runtime_error(result.message.toStdString());
}

void UseFastClock(int factor) {
    Clock::setSource([factor] {
        using namespace std::chrono;
        return factor * duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    });
}
