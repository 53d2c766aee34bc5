#include "softchip/cable_port.h"

#include "kline/termios_kline.h"
#include "link/debug_trace.h"
#include "softchip/cable_detection.h"

#include <QFile>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {
// Unix 98 pseudo-terminal slaves: a simulated cable, which carries no break.
bool isPseudoTerminal(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    const unsigned int m = major(st.st_rdev);
    return m >= 136 && m <= 143;
}
} // namespace

std::unique_ptr<SoftChipStream> makePlainCableStream(const QString& path, PortOpenError& error,
                                                     const QString& sysRoot) {
    error = PortOpenError{};
    error.device = path;
    if (path.isEmpty()) {
        error.kind = PortOpenFailure::NoName;
        return nullptr;
    }
    SoftChipOptions options;
    if (isPseudoTerminal(path)) {
        options.method = kline::FiveBaudMethod::UartByte;
        // A terminal's other end is a program on a shared machine: wide margins.
        options.timing.latency = kline::msec(30);
    } else {
        const ConverterFacts facts = converterFacts(converterDriver(path, sysRoot));
        if (refusedConverter(facts)) {
            error.kind = PortOpenFailure::ConverterRefused;
            error.detail = facts.driver;
            return nullptr;
        }
        if (!facts.realBreak)
            options.method = kline::FiveBaudMethod::UartByte;
    }
    auto opener = [path](int* err, QString* reason) -> std::unique_ptr<kline::KLinePort> {
        auto port = std::make_unique<kline::TermiosKLine>();
        const kline::PortResult r = port->open(QFile::encodeName(path).toStdString());
        if (!r.ok) {
            *err = r.error;
            *reason = QString::fromLocal8Bit(strerror(r.error));
            return nullptr;
        }
        return port;
    };
    return std::make_unique<SoftChipStream>(path, opener, options);
}

void addPlainCableKind(PortFactory& factory, DebugTrace* trace) {
    factory.addKind(
        PortKind::PlainCable, nullptr,
        [trace](const QString& portName, PortOpenError& error) -> std::unique_ptr<ByteStream> {
            std::unique_ptr<SoftChipStream> stream = makePlainCableStream(portName, error);
            if (stream && trace)
                stream->setNoteSink(
                    [trace](const QString& name, int value) { trace->Value(name, value); });
            return stream;
        });
}
