#include "softchip/cable_detection.h"

#include <QDir>
#include <QFileInfo>

namespace {

std::optional<InterfaceKind> kindOf(const QString& value, const char* cableWord) {
    const QString v = value.trimmed().toLower();
    if (v == QLatin1String("auto"))
        return InterfaceKind::Auto;
    if (v == QLatin1String("chip"))
        return InterfaceKind::Chip;
    if (v == QLatin1String(cableWord))
        return InterfaceKind::Cable;
    return std::nullopt;
}

} // namespace

std::optional<InterfaceKind> interfaceKindFromIni(const QString& value) {
    return kindOf(value, "kabel");
}

std::optional<InterfaceKind> interfaceKindFromOption(const QString& value) {
    return kindOf(value, "cable");
}

WakeUpAnswer judgeWakeUp(const QByteArray& sent, const QByteArray& received) {
    if (received.isEmpty())
        return WakeUpAnswer::Silent;
    return received == sent ? WakeUpAnswer::Echo : WakeUpAnswer::Chip;
}

ConverterFacts converterFacts(const QString& driver) {
    // From the kernel drivers: ch341 has no break of its own (the kernel
    // sends a NUL at a low rate instead, of a length nobody sets) and no
    // rate near 5 baud; the common USB converters hold a real break; a
    // native UART divides down to 5 baud.
    struct Row {
        const char* driver;
        bool realBreak, fiveBaud, lowLatency;
    };
    static const Row table[] = {
        {"ftdi_sio", true, false, true}, {"pl2303", true, false, false},
        {"cp210x", true, false, false},  {"ch341", false, false, false},
        {"cdc_acm", true, false, false}, {"serial8250", true, true, true},
        {"serial", true, true, true},    {"pch_uart", true, true, true},
    };
    ConverterFacts f;
    f.driver = driver;
    for (const Row& r : table)
        if (driver == QLatin1String(r.driver)) {
            f.realBreak = r.realBreak;
            f.fiveBaud = r.fiveBaud;
            f.lowLatency = r.lowLatency;
        }
    return f;
}

QString converterDriver(const QString& devicePath, const QString& sysRoot) {
    const QFileInfo device(devicePath);
    const QString canonical = device.canonicalFilePath();
    const QString name = QFileInfo(canonical.isEmpty() ? devicePath : canonical).fileName();
    if (name.isEmpty())
        return {};
    const QFileInfo driver(
        QDir(sysRoot).filePath(QStringLiteral("class/tty/%1/device/driver").arg(name)));
    const QString target = driver.symLinkTarget();
    return target.isEmpty() ? QString() : QFileInfo(target).fileName();
}
