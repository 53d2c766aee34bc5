#include "link/port_factory.h"

#include "config/strings.h"
#include "link/debug_trace.h"
#include "link/memory_stream.h"
#include "link/port_list.h"
#include "link/serial_port.h"
#include "reports/link_texts.h"
#include "support/pty_pair.h"
#include "support/qt_printers.h"

#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <grp.h>
#include <gtest/gtest.h>
#include <ostream>
#include <unistd.h>
#include <vector>

namespace {
QString firstLine(const QString& text) {
    return text.section('\n', 0, 0);
}
QString secondLine(const QString& text) {
    return text.section('\n', 1);
}

class OpenPortTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_trace.Start(m_dir.filePath("debug.txt"), "v")); }
    // The trace after its three header lines.
    QByteArray traceLines() {
        m_trace.Close();
        QFile f(m_dir.filePath("debug.txt"));
        if (!f.open(QIODevice::ReadOnly))
            return "<missing>";
        const QList<QByteArray> lines = f.readAll().split('\n');
        return lines.mid(3).join('\n');
    }

    QTemporaryDir m_dir;
    DebugTrace m_trace;
    TSerialPort m_port;
};
} // namespace

TEST_F(OpenPortTest, OpensThePtyAt19200AndTracesIt) {
    PtyPair pty;
    const PortOpenError r = OpenConnectionPort(m_port, pty.slavePath(), &m_trace);
    EXPECT_TRUE(r.ok());
    EXPECT_TRUE(m_port.Connected());
    EXPECT_EQ(m_port.Port(), pty.slavePath());
    EXPECT_EQ(m_port.BaudRate(), br19200);
    EXPECT_EQ(m_port.Timeouts().ReadTotalConstant, 1000);
    EXPECT_EQ(traceLines(), "Open " + pty.slavePath().toUtf8() + ";0;00\r\n");
}

TEST_F(OpenPortTest, FailuresKeepMessage300AndSayTheRealReason) {
    PtyPair pty;
    TSerialPort holder;
    holder.SetPort(pty.slavePath());
    holder.Open();
    QFile plain(m_dir.filePath("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();

    struct Case {
        QString name;
        PortOpenFailure kind;
        const char* reasonPart; // of the system's detail
    } cases[] = {
        {m_dir.filePath("ttyUSB7"), PortOpenFailure::Missing, "No such file"},
        {m_dir.filePath("plain"), PortOpenFailure::NotATerminal, "ioctl"},
        {m_dir.path(), PortOpenFailure::NotATerminal, ""},  // a folder
        {pty.slavePath(), PortOpenFailure::Busy, "in use"}, // held by another port
        {QString(), PortOpenFailure::NoName, "no port name"},
    };
    for (int lang : {0, EnglishStringOffset}) {
        for (const Case& c : cases) {
            const PortOpenError r = OpenConnectionPort(m_port, c.name, &m_trace);
            const QString message = PortOpenMessage(c.name, r, lang);
            SCOPED_TRACE(message.toStdString());
            EXPECT_EQ(r.kind, c.kind);
            EXPECT_FALSE(m_port.Connected());
            EXPECT_TRUE(r.detail.contains(c.reasonPart));
            // The window: message 300 first, the real reason below it.
            EXPECT_EQ(firstLine(message), c.name + ": " + LoadStr(300 + lang));
            EXPECT_EQ(message.section('\n', 1, 1), PortOpenReason(r, lang));
            // The command line: the real reason first.
            EXPECT_EQ(firstLine(PortOpenHeadline(c.name, r, lang)),
                      c.name + ": " + PortOpenReason(r, lang));
        }
    }
    // Each kind has a reason of its own.
    PortOpenError missing, busy;
    missing.kind = PortOpenFailure::Missing;
    busy.kind = PortOpenFailure::Busy;
    EXPECT_NE(PortOpenReason(missing, 0), PortOpenReason(busy, 0));
    // The German text, as the user sees it for an empty list.
    EXPECT_TRUE(PortOpenMessage(QString(), OpenConnectionPort(m_port, QString()), 0)
                    .startsWith(": Port wird durch eine andere Anwendung blockiert.\n"));
    // No trace line after an opening error.
    EXPECT_EQ(traceLines(), "");
}

TEST_F(OpenPortTest, DemoEntryOpensTheSimulatorsTerminal) {
    PtyPair pty;
    int starts = 0;
    const DemoStarter demo = [&](QString& path, QString&) {
        ++starts;
        path = pty.slavePath();
        return true;
    };
    const QString name = DemoInterfaceName(EnglishStringOffset);
    const PortFactory factory(demo, DemoInterfaceNames());
    EXPECT_EQ(factory.kindOf(name), PortKind::Demo);
    EXPECT_EQ(factory.kindOf(DemoInterfaceName(0)), PortKind::Demo);
    EXPECT_EQ(factory.kindOf(pty.slavePath()), PortKind::ChipInterface);
    PortOpenError r;
    const std::unique_ptr<ByteStream> port = factory.open(name, r, &m_trace);
    ASSERT_TRUE(port);
    EXPECT_TRUE(r.ok()) << r.detail.toStdString();
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(port->name(), pty.slavePath());
    EXPECT_EQ(traceLines(), "Open " + name.toUtf8() + ";0;00\r\n");

    // The program's side really reaches the simulator's side.
    port->WriteStr("ATZ\r");
    EXPECT_EQ(pty.read(), "ATZ\r");
}

TEST_F(OpenPortTest, DemoFailuresSayWhy) {
    const QString name = DemoInterfaceName(0);
    PortOpenError missing;
    EXPECT_FALSE(PortFactory({}, DemoInterfaceNames()).open(name, missing, &m_trace));
    EXPECT_EQ(missing.kind, PortOpenFailure::DemoUnavailable);
    const QString message = PortOpenMessage(name, missing, 0);
    EXPECT_EQ(firstLine(message), name + ": " + LoadStr(300));
    EXPECT_EQ(secondLine(message), LoadStr(TeamText::DemoUnavailable));

    const DemoStarter broken = [](QString&, QString& error) {
        error = "scenario file not found";
        return false;
    };
    PortOpenError failed;
    EXPECT_FALSE(PortFactory(broken, DemoInterfaceNames()).open(name, failed, &m_trace));
    EXPECT_EQ(failed.kind, PortOpenFailure::DemoFailed);
    EXPECT_TRUE(PortOpenMessage(name, failed, 0).endsWith("\nscenario file not found"));
    EXPECT_EQ(traceLines(), "");
}

TEST_F(OpenPortTest, AnAddedKindTakesItsNamesBeforeTheBuiltInOnes) {
    PortFactory factory({}, DemoInterfaceNames());
    int made = 0;
    factory.addKind(
        PortKind::Demo, [](const QString& name) { return name.startsWith("cable:"); },
        [&](const QString& name, PortOpenError& error) -> std::unique_ptr<ByteStream> {
            ++made;
            if (name == "cable:gone") {
                error.kind = PortOpenFailure::Missing;
                error.errorNumber = ENODEV;
                return nullptr;
            }
            return std::make_unique<MemoryByteStream>();
        });
    EXPECT_EQ(factory.kindOf("cable:1"), PortKind::Demo);
    EXPECT_EQ(factory.kindOf("/dev/ttyUSB0"), PortKind::ChipInterface);
    PortOpenError r;
    const std::unique_ptr<ByteStream> port = factory.open("cable:1", r, &m_trace);
    ASSERT_TRUE(port);
    EXPECT_TRUE(r.ok());
    EXPECT_TRUE(port->Connected());
    EXPECT_FALSE(factory.open("cable:gone", r, &m_trace));
    EXPECT_EQ(r.kind, PortOpenFailure::Missing);
    EXPECT_EQ(r.errorNumber, ENODEV);
    EXPECT_EQ(made, 2);
}

TEST(PortPermission, HintNamesTheGroupToJoinOrTheAdministrator) {
    struct Case {
        const char* group;
        int lang;
        std::vector<const char*> parts;
    } cases[] = {
        {"dialout",
         EnglishStringOffset,
         {"/dev/ttyUSB0", "\"dialout\"", "usermod -aG dialout", "log in again"}},
        {"uucp", EnglishStringOffset, {"\"uucp\"", "usermod -aG uucp", "log in again"}},
        {"dialout", 0, {"/dev/ttyUSB0", "Gruppe \"dialout\"", "usermod -aG dialout", "wieder an"}},
        {"root", EnglishStringOffset, {"administrator", "dialout", "log in again"}},
        {"", EnglishStringOffset, {"administrator", "dialout"}},
        {"root", 0, {"Administrator", "dialout", "neu an"}},
    };
    for (const Case& c : cases) {
        const QString hint = PortPermissionHint("/dev/ttyUSB0", c.group, c.lang);
        for (const char* part : c.parts)
            EXPECT_TRUE(hint.contains(part)) << hint.toStdString() << " lacks " << part;
        if (QString(c.group) == "root") {
            EXPECT_FALSE(hint.contains("usermod -aG root")) << hint.toStdString();
        }
    }
}

// The errno is injected: tests run as root, whom no permission stops.
TEST(PortPermission, TheGroupHintOnlyForAGroupTheUserIsNotIn) {
    PortOpenError refused;
    refused.kind = PortOpenError::kindOf(EACCES);
    refused.errorNumber = EACCES;
    refused.device = "/dev/ttyUSB0";
    refused.detail = "Permission denied";
    refused.deviceGroup = "dialout";
    ASSERT_EQ(refused.kind, PortOpenFailure::PermissionDenied);
    EXPECT_EQ(PortOpenError::kindOf(EPERM), PortOpenFailure::PermissionDenied);

    const QString message = PortOpenMessage("/dev/ttyUSB0", refused, 0);
    EXPECT_EQ(firstLine(message), "/dev/ttyUSB0: " + LoadStr(300));
    EXPECT_EQ(message.section('\n', 1, 1), LoadStr(LinkText::PortPermission));
    EXPECT_EQ(message.section('\n', 2), PortPermissionHint("/dev/ttyUSB0", "dialout", 0));

    refused.inDeviceGroup = true; // joining it again is no advice
    const QString member = PortOpenMessage("/dev/ttyUSB0", refused, 0);
    EXPECT_FALSE(member.contains("usermod")) << member.toStdString();
    EXPECT_EQ(member.section('\n', 2), "Permission denied");
}

TEST(PortPermission, RefusedOpenNamesTheDevicesGroup) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to become another user";
    PtyPair pty; // owned by root, group tty, not writable by others
    const QString group = DeviceOwnerGroup(pty.slavePath());
    ASSERT_FALSE(group.isEmpty());
    EXPECT_EXIT(
        {
            if (setgid(65534) != 0 || setuid(65534) != 0)
                _exit(2);
            TSerialPort port;
            const PortOpenError r = OpenConnectionPort(port, pty.slavePath());
            const QString message = PortOpenMessage(pty.slavePath(), r, EnglishStringOffset);
            const bool good =
                r.kind == PortOpenFailure::PermissionDenied && r.deviceGroup == group &&
                !r.inDeviceGroup &&
                firstLine(message) == pty.slavePath() + ": " + LoadStr(300 + EnglishStringOffset) &&
                message.section('\n', 2) ==
                    PortPermissionHint(pty.slavePath(), group, EnglishStringOffset);
            _exit(good ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(PortPermission, OwnerGroupComesFromTheDevice) {
    QTemporaryDir dir;
    QFile f(dir.filePath("node"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_EQ(DeviceOwnerGroup(dir.filePath("node")),
              QString::fromLocal8Bit(getgrgid(getegid())->gr_name));
    EXPECT_EQ(DeviceOwnerGroup(dir.filePath("none")), QString());
    EXPECT_EQ(DeviceOwnerGroup("/dev/null"), "root");
}

namespace {
// Behaves like the simulator host as far as the starter can see.
struct StandInHost {
    bool running = false;
    bool dropped = false;
    bool refuse = false;
    int starts = 0;
    bool start(const QString& scenario, QString* error) {
        if (refuse) {
            *error = "cannot read " + scenario;
            return false;
        }
        ++starts;
        running = true;
        dropped = false;
        return true;
    }
    void stop() { running = false; }
    bool isRunning() const { return running; }
    bool linkDropped() const { return dropped; }
    QString slavePath() const { return running ? QString("/dev/pts/%1").arg(starts) : QString(); }
};
} // namespace

TEST(DemoStarter, StartsOnceAndAgainOnlyAfterTheLinkDropped) {
    StandInHost host;
    const DemoStarter demo = MakeDemoStarter(host, "demo_car.ini");
    QString path, error;
    ASSERT_TRUE(demo(path, error));
    EXPECT_EQ(path, "/dev/pts/1");
    ASSERT_TRUE(demo(path, error));
    EXPECT_EQ(host.starts, 1); // the car keeps its state between connections
    host.dropped = true;
    ASSERT_TRUE(demo(path, error));
    EXPECT_EQ(path, "/dev/pts/2");

    host.running = false;
    host.refuse = true;
    EXPECT_FALSE(demo(path, error));
    EXPECT_EQ(error, "cannot read demo_car.ini");
}
