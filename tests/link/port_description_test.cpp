// The adapter names of the port list, from a fake sysfs laid out as the
// kernel lays out USB serial adapters, modems and on-board ports.
#include "link/port_description.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
class FakeSysfs {
public:
    PortSearchRoots roots() const { return {m_dir.path() + "/dev", m_dir.path() + "/sys"}; }

    // A tty whose device link points at devicePath below /sys/devices.
    void addTty(const QString& name, const QString& devicePath) {
        const QString sys = roots().sys;
        QDir().mkpath(sys + "/class/tty/" + name);
        QDir().mkpath(sys + "/devices/" + devicePath);
        QFile::link(sys + "/devices/" + devicePath, sys + "/class/tty/" + name + "/device");
        QDir().mkpath(roots().dev);
        write(roots().dev + "/" + name, "");
    }
    void attribute(const QString& devicePath, const QString& name, const QByteArray& value) {
        write(roots().sys + "/devices/" + devicePath + "/" + name, value + "\n");
    }
    QString dev(const QString& name) const { return roots().dev + "/" + name; }

private:
    static void write(const QString& path, const QByteArray& content) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QTemporaryDir m_dir;
};
} // namespace

TEST(PortDescription, NamesTheUsbDeviceAboveTheTty) {
    FakeSysfs fs;
    // usb-serial: tty below the port below the interface below the device.
    fs.addTty("ttyUSB0", "usb1/1-1/1-1:1.0/ttyUSB0");
    fs.attribute("usb1/1-1", "manufacturer", "Maker Ltd");
    fs.attribute("usb1/1-1", "product", "Serial Cable");
    // A modem whose product string already names its maker.
    fs.addTty("ttyACM0", "usb1/1-2/1-2:1.0");
    fs.attribute("usb1/1-2", "manufacturer", "Maker");
    fs.attribute("usb1/1-2", "product", "Maker Modem 2");
    // An on-board port: nothing describes it.
    fs.addTty("ttyS0", "platform/serial8250");

    EXPECT_EQ(SerialPortDescription(fs.dev("ttyUSB0"), fs.roots()), "Maker Ltd Serial Cable");
    EXPECT_EQ(SerialPortDescription(fs.dev("ttyACM0"), fs.roots()), "Maker Modem 2");
    EXPECT_EQ(SerialPortDescription(fs.dev("ttyS0"), fs.roots()), "");
    EXPECT_EQ(SerialPortDescription(fs.dev("ttyUSB7"), fs.roots()), "");

    // A by-id link names the same adapter as the device it points to.
    QDir().mkpath(fs.roots().dev + "/serial/by-id");
    const QString link = fs.roots().dev + "/serial/by-id/usb-Maker_Serial_Cable-if00-port0";
    ASSERT_TRUE(QFile::link(fs.dev("ttyUSB0"), link));
    EXPECT_EQ(SerialPortDescription(link, fs.roots()), "Maker Ltd Serial Cable");
}
