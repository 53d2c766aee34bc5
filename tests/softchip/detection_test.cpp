// Telling a plain cable from a chip, the setting and option that choose, and
// which converters can send the 5-baud address, on a fake /sys.
#include "config/strings.h"
#include "softchip/cable_detection.h"
#include "support/qt_printers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(CableDetection, TheWakeUpTellsTheKind) {
    const QByteArray cr("\r");
    EXPECT_EQ(judgeWakeUp(cr, "\r"), WakeUpAnswer::Echo);
    EXPECT_EQ(judgeWakeUp(cr, ""), WakeUpAnswer::Silent);
    // Any other answer takes the chip path: the chip's prompt, an echoing
    // chip, a cable that echoes garbage.
    for (const QByteArray& other : {QByteArray("\r>"), QByteArray("OK\r>"), QByteArray("\r\r>"),
                                    QByteArray("\xF2"), QByteArray(">")})
        EXPECT_EQ(judgeWakeUp(cr, other), WakeUpAnswer::Chip) << other.toHex().toStdString();
}

TEST(CableDetection, SettingAndOptionNameTheKind) {
    EXPECT_EQ(interfaceKindFromIni("auto"), InterfaceKind::Auto);
    EXPECT_EQ(interfaceKindFromIni(" Kabel "), InterfaceKind::Cable);
    EXPECT_EQ(interfaceKindFromIni("CHIP"), InterfaceKind::Chip);
    EXPECT_EQ(interfaceKindFromIni("cable"), std::nullopt);
    EXPECT_EQ(interfaceKindFromOption("cable"), InterfaceKind::Cable);
    EXPECT_EQ(interfaceKindFromOption("kabel"), std::nullopt);
    EXPECT_EQ(interfaceKindFromOption(""), std::nullopt);
}

// A /sys as the kernel lays it out for serial converters: the tty's device
// link, and the device's driver link into the drivers' folder.
struct FakeSys : ::testing::Test {
    QTemporaryDir dir;
    QString sys() const { return dir.filePath("sys"); }
    QString addTty(const QString& tty, const QString& driver) {
        QDir root(dir.path());
        const QString drivers = "sys/bus/usb-serial/drivers/" + driver;
        const QString device = "sys/devices/usb1/1-1/1-1:1.0/" + tty;
        root.mkpath(drivers);
        root.mkpath(device);
        root.mkpath("sys/class/tty");
        QFile::link(root.filePath(drivers), root.filePath(device + "/driver"));
        QFile::link(root.filePath(device), root.filePath("sys/class/tty/" + tty + "/device"));
        root.mkpath("sys/class/tty/" + tty);
        root.mkpath("dev");
        QFile node(root.filePath("dev/" + tty));
        node.open(QIODevice::WriteOnly);
        return root.filePath("dev/" + tty);
    }
};

TEST_F(FakeSys, TheDriverOfEachConverterAndWhatItCanDo) {
    struct Case {
        const char* tty;
        const char* driver;
        bool refused;
    } cases[] = {
        {"ttyUSB0", "ftdi_sio", false}, {"ttyUSB1", "ch341", true},
        {"ttyUSB2", "pl2303", false},   {"ttyUSB3", "cp210x", false},
        {"ttyACM0", "cdc_acm", false},  {"ttyS0", "serial8250", false},
    };
    for (const Case& c : cases) {
        QDir(dir.path()).mkpath("sys/class/tty/" + QString(c.tty));
        const QString node = addTty(c.tty, c.driver);
        const QString driver = converterDriver(node, sys());
        EXPECT_EQ(driver, c.driver) << c.tty;
        EXPECT_EQ(refusedConverter(converterFacts(driver)), c.refused) << c.driver;
    }
    // A link to the device (as /dev/serial/by-id has) names the same driver.
    const QString byId = dir.filePath("dev/usb-FTDI_cable");
    QFile::link(dir.filePath("dev/ttyUSB0"), byId);
    EXPECT_EQ(converterDriver(byId, sys()), "ftdi_sio");
    // Unknown or missing: not refused, the line is tried.
    EXPECT_EQ(converterDriver(dir.filePath("dev/ttyUSB9"), sys()), "");
    EXPECT_FALSE(refusedConverter(converterFacts("")));
    EXPECT_FALSE(refusedConverter(converterFacts("some_new_driver")));
    EXPECT_TRUE(converterFacts("ftdi_sio").lowLatency);
}

TEST(CableDetection, ASlowEchoIsWarnedOf) {
    EXPECT_FALSE(echoThreatensTiming(2'000)); // a converter at 1 ms latency
    EXPECT_FALSE(echoThreatensTiming(20'000));
    EXPECT_TRUE(echoThreatensTiming(33'000)); // 16 ms latency timer each way
}

TEST(CableDetection, TheCableTextsExistInBothLanguages) {
    for (int id = CableText::First; id <= CableText::Last; ++id) {
        EXPECT_FALSE(LoadStr(id).isEmpty()) << id;
        EXPECT_FALSE(LoadStr(id + 10000).isEmpty()) << id;
    }
    EXPECT_EQ(LoadStr(CableText::DemoKLine), "Demo (K-Leitung)");
    EXPECT_EQ(LoadStr(CableText::DemoKLine + 10000), "Demo (K-line cable)");
    EXPECT_TRUE(LoadStr(CableText::ConverterRefused + 10000).contains("%1"));
}
