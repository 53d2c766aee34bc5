#include "link/port_list.h"

#include "config/strings.h"
#include "reports/link_texts.h"
#include "support/pty_pair.h"
#include "support/qt_printers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <ostream>

namespace {
void writeFile(const QString& path, const QByteArray& content = QByteArray()) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
}

// A /dev and /sys pair as the kernel lays them out, with plain files for the
// device nodes (the enumeration never opens them).
class FakeSystem {
public:
    FakeSystem() { QDir().mkpath(roots().sys + "/class/tty"); }

    PortSearchRoots roots() const { return {m_dir.path() + "/dev", m_dir.path() + "/sys"}; }

    // type: the serial core's port type ("" when the driver has none).
    void addTty(const QString& name, bool hasDevice, const QByteArray& type = "",
                const QByteArray& console = "N", bool hasNode = true) {
        const QString attr = roots().sys + "/class/tty/" + name;
        QDir().mkpath(attr);
        if (hasDevice) {
            QDir().mkpath(roots().sys + "/devices/" + name);
            QFile::link(roots().sys + "/devices/" + name, attr + "/device");
        }
        if (!type.isEmpty())
            writeFile(attr + "/type", type + "\n");
        writeFile(attr + "/console", console + "\n");
        if (hasNode)
            writeFile(roots().dev + "/" + name);
    }

    // A USB adapter as the kernel shows it: the terminal below an interface
    // of the USB device, which carries the strings (an empty one is left
    // out); byId, when given, is udev's link in /dev/serial/by-id.
    void addUsbTty(const QString& name, const QByteArray& maker, const QByteArray& product,
                   const QByteArray& serial, const QString& byId = {}) {
        const QString usb = roots().sys + "/devices/pci0000:00/usb1/1-" + QString::number(++m_usb);
        const QString tty = usb + "/1-" + QString::number(m_usb) + ":1.0/" + name;
        QDir().mkpath(tty);
        writeFile(usb + "/idVendor", "0403\n");
        const std::pair<const char*, QByteArray> strings[] = {
            {"manufacturer", maker}, {"product", product}, {"serial", serial}};
        for (const auto& [file, text] : strings)
            if (!text.isEmpty())
                writeFile(usb + "/" + file, text + "\n");
        const QString attr = roots().sys + "/class/tty/" + name;
        QDir().mkpath(attr);
        QFile::link(tty, attr + "/device");
        writeFile(roots().dev + "/" + name);
        if (!byId.isEmpty()) {
            QDir().mkpath(roots().dev + "/serial/by-id");
            QFile::link("../../" + name, roots().dev + "/serial/by-id/" + byId);
        }
    }

    QString byId(const QString& name) const { return roots().dev + "/serial/by-id/" + name; }

private:
    int m_usb = 0;
    QTemporaryDir m_dir;
};

QString dev(const FakeSystem& fs, const QString& name) {
    return fs.roots().dev + "/" + name;
}
} // namespace

TEST(PortList, ListsHardwareTerminalsSortedAsTextWithTheDemoLast) {
    FakeSystem fs;
    fs.addTty("ttyS0", true, "4", "Y"); // the system console
    fs.addTty("ttyS1", true, "0");      // placeholder without a UART
    fs.addTty("ttyS2", true, "4");
    fs.addTty("ttyS10", true, "4");
    fs.addTty("ttyUSB0", true);
    fs.addTty("ttyACM0", true);
    fs.addTty("tty1", false);                   // virtual console
    fs.addTty("ttyUSB1", true, "", "N", false); // gone from /dev already
    fs.addTty("ttyusb0", true);                 // differs from ttyUSB0 only in case

    const QStringList expected{dev(fs, "ttyACM0"), dev(fs, "ttyS10"), dev(fs, "ttyS2"),
                               dev(fs, "ttyUSB0"), DemoInterfaceName(0)};
    EXPECT_EQ(EnumerateComPorts(QString(), DemoInterfaceName(0), fs.roots()), expected);
    EXPECT_EQ(PreselectedPortIndex(expected, QString()), 0);
}

TEST(PortList, WithoutSerialPortsTheDemoIsTheOnlyAndChosenEntry) {
    FakeSystem fs;
    for (int lang : {0, EnglishStringOffset}) {
        const QStringList ports =
            EnumerateComPorts("/dev/ttyUSB0", DemoInterfaceName(lang), fs.roots());
        ASSERT_EQ(ports, QStringList{DemoInterfaceName(lang)});
        EXPECT_EQ(PreselectedPortIndex(ports, "/dev/ttyUSB0"), 0);
        EXPECT_TRUE(IsDemoInterfaceName(ports.first()));
    }
    EXPECT_NE(DemoInterfaceName(0), DemoInterfaceName(EnglishStringOffset));
    EXPECT_FALSE(IsDemoInterfaceName("/dev/ttyUSB0"));
    EXPECT_EQ(PreselectedPortIndex({}, "COM1"), -1);
}

TEST(PortList, WithoutSysfsTheAdaptersInDevAreListed) {
    QTemporaryDir dir;
    const PortSearchRoots roots{dir.path() + "/dev", dir.path() + "/nosys"};
    for (const char* name : {"ttyUSB1", "ttyACM0", "ttyUSB0", "ttyS0", "null"})
        writeFile(roots.dev + "/" + name);
    EXPECT_EQ(SystemSerialPorts(roots), (QStringList{roots.dev + "/ttyACM0", roots.dev + "/ttyUSB0",
                                                     roots.dev + "/ttyUSB1"}));
}

TEST(PortList, ConfiguredTerminalIsListedForExactPreselection) {
    FakeSystem fs;
    fs.addTty("ttyUSB0", true);
    PtyPair pty;
    QTemporaryDir links;
    const QString link = links.filePath("vandrix-link");
    ASSERT_TRUE(QFile::link(pty.slavePath(), link));

    // A symlink to a terminal, a pty and a configured value with blanks.
    for (const QString& configured : {link, pty.slavePath(), " " + pty.slavePath() + " "}) {
        SCOPED_TRACE(configured.toStdString());
        const QStringList ports = EnumerateComPorts(configured, DemoInterfaceName(0), fs.roots());
        ASSERT_EQ(ports.size(), 3);
        EXPECT_EQ(ports.last(), DemoInterfaceName(0));
        QStringList sorted = ports.mid(0, 2);
        sorted.sort();
        EXPECT_EQ(ports.mid(0, 2), sorted);
        const int index = PreselectedPortIndex(ports, configured);
        EXPECT_EQ(ports.at(index), configured.trimmed());
    }

    // The same name twice is listed once.
    const QStringList ports =
        EnumerateComPorts(dev(fs, "ttyUSB0"), DemoInterfaceName(0), fs.roots());
    EXPECT_EQ(ports, (QStringList{dev(fs, "ttyUSB0"), DemoInterfaceName(0)}));
}

TEST(PortList, ConfiguredNameThatIsNoTerminalIsLeftOut) {
    FakeSystem fs;
    fs.addTty("ttyUSB0", true);
    QTemporaryDir dir;
    writeFile(dir.filePath("plain"));
    const QStringList onlySystem{dev(fs, "ttyUSB0"), DemoInterfaceName(0)};
    for (const QString& configured :
         {dir.filePath("plain"), dir.filePath("missing"), dir.path(), QString("/dev/null"),
          QString("COM4"), QString("ttyUSB0"), QString()}) {
        EXPECT_EQ(EnumerateComPorts(configured, DemoInterfaceName(0), fs.roots()), onlySystem)
            << configured.toStdString();
    }
    EXPECT_FALSE(IsTerminalDevice("/dev/null"));
}

TEST(PortList, PreselectionComparesExactlyAfterTrimming) {
    const QStringList ports{"COM1", "COM10", "COM2", "COM4"};
    struct Case {
        const char* configured;
        int index;
    } cases[] = {{"COM4", 3}, {"COM4 ", 3}, {"  COM2", 2}, {"com4", 0}, {"COM5", 0}, {"", 0}};
    for (const Case& c : cases)
        EXPECT_EQ(PreselectedPortIndex(ports, c.configured), c.index) << c.configured;
}

TEST(PortList, SystemListHoldsNoConsoleAndEndsWithTheDemo) {
    // The real machine: whatever it has, the shape holds.
    const QStringList ports = EnumerateComPorts(QString(), DemoInterfaceName(0));
    ASSERT_FALSE(ports.isEmpty());
    EXPECT_EQ(ports.last(), DemoInterfaceName(0));
    QStringList system = ports.mid(0, ports.size() - 1);
    QStringList sorted = system;
    sorted.sort();
    EXPECT_EQ(system, sorted);
    for (const QString& port : system) {
        QFile console("/sys/class/tty/" + QFileInfo(port).fileName() + "/console");
        if (console.open(QIODevice::ReadOnly)) {
            EXPECT_NE(console.readAll().trimmed(), "Y") << port.toStdString();
        }
    }
}

TEST(PortList, UsbAdaptersAreOfferedByTheirStableNameWithMakerProductAndSerial) {
    FakeSystem fs;
    fs.addUsbTty("ttyUSB1", "FTDI", "FT232R USB UART", "A50285BI",
                 "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    fs.addUsbTty("ttyUSB0", "Prolific", "USB-Serial Controller", "", "usb-Prolific-if00-port0");
    fs.addUsbTty("ttyACM0", "Vandrix",
                 "K-Line \xC3\x9C"
                 "bertr\xC3\xA4ger",
                 "VX0042");                                          // no udev link
    fs.addUsbTty("ttyUSB2", "", "", "", "usb-0403_6001-if00-port0"); // no strings at all
    fs.addTty("ttyS2", true, "4");

    const QList<PortEntry> entries = PortListEntries(QString(), DemoInterfaceName(0), fs.roots());
    QStringList paths, de, en;
    for (const PortEntry& e : entries) {
        paths << e.path;
        de << PortEntryText(e, 0);
        en << PortEntryText(e, EnglishStringOffset);
    }
    const QString ftdi = fs.byId("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    const QString prolific = fs.byId("usb-Prolific-if00-port0");
    const QString bare = fs.byId("usb-0403_6001-if00-port0");
    EXPECT_EQ(paths, (QStringList{bare, ftdi, prolific, dev(fs, "ttyACM0"), dev(fs, "ttyS2"),
                                  DemoInterfaceName(0)}));
    // The plain list is the same paths.
    EXPECT_EQ(EnumerateComPorts(QString(), DemoInterfaceName(0), fs.roots()), paths);
    EXPECT_EQ(entries[1].device, dev(fs, "ttyUSB1"));
    EXPECT_EQ(entries[1].adapter.serial, "A50285BI");

    const QString dash = QStringLiteral("  \u2013  ");
    EXPECT_EQ(de, (QStringList{bare + dash + "ttyUSB2",
                               ftdi + dash + "FTDI FT232R USB UART, Seriennr. A50285BI, ttyUSB1",
                               prolific + dash + "Prolific USB-Serial Controller, ttyUSB0",
                               dev(fs, "ttyACM0") + dash +
                                   QString::fromUtf8("Vandrix K-Line Überträger, Seriennr. VX0042"),
                               dev(fs, "ttyS2"), DemoInterfaceName(0)}));
    EXPECT_EQ(en[1], ftdi + dash + "FTDI FT232R USB UART, serial no. A50285BI, ttyUSB1");
    EXPECT_EQ(en[4], dev(fs, "ttyS2"));
}
