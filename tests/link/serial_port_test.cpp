// The serial port against a real pseudo-terminal: the test plays the
// interface on the master side.
#include "link/serial_port.h"
#include "support/program_port.h"
#include "support/pty_pair.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
using Ms = std::chrono::milliseconds;
auto now() {
    return std::chrono::steady_clock::now();
}
long long since(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration_cast<Ms>(now() - t).count();
}

struct OpenPort : ::testing::Test {
    PtyPair pty;
    TSerialPort port;
    void SetUp() override { OpenLikeTheProgram(port, pty.slavePath()); }
};

int openError(const QString& name) {
    TSerialPort p;
    p.SetPort(name);
    try {
        p.Open();
    } catch (const ESerialPort& e) {
        EXPECT_FALSE(p.Connected());
        EXPECT_FALSE(e.Reason.isEmpty()) << name.toStdString();
        return e.Code;
    }
    return 0;
}
} // namespace

TEST_F(OpenPort, ReadReturnsAtOnceWhenBufferedAndAfterAboutASecondWhenSilent) {
    pty.write("A");
    QString s;
    while (!port.WaitReadable(1000)) {
    }
    auto t = now();
    EXPECT_EQ(port.ReadStr(s, 1), 1);
    EXPECT_EQ(s, "A");
    EXPECT_LT(since(t), 50);

    t = now();
    EXPECT_EQ(port.ReadStr(s, 1), 0);
    EXPECT_TRUE(s.isEmpty());
    EXPECT_GE(since(t), 950);
    EXPECT_LT(since(t), 1500);
}

TEST_F(OpenPort, EveryByteValueCrossesUnchangedBothWays) {
    QString all;
    for (int b = 0; b < 256; ++b)
        all += QChar(b);
    // Characters above 0xFF go out as their low byte.
    EXPECT_EQ(port.WriteStr(all + QChar(0x1B0)), 257);
    QByteArray got = pty.read(1000, 100);
    ASSERT_EQ(got.size(), 257);
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(static_cast<unsigned char>(got[b]), b);
    EXPECT_EQ(static_cast<unsigned char>(got[256]), 0xB0);

    QByteArray bytes;
    for (int b = 0; b < 256; ++b)
        bytes += char(b);
    pty.write(bytes);
    QString in, s;
    while (in.size() < 256 && port.ReadStr(s, 1) == 1)
        in += s;
    ASSERT_EQ(in.size(), 256);
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(in[b].unicode(), b);
}

TEST_F(OpenPort, HangUpRaisesReadFailedAtOnce) {
    EXPECT_NO_THROW(port.CheckHangUp());
    pty.write("x");
    pty.closeMaster();
    EXPECT_THROW(port.CheckHangUp(), ESerialPort);
    QString s;
    const auto t = now();
    try {
        port.ReadStr(s, 1);
        FAIL() << "no error on a hung-up device";
    } catch (const ESerialPort& e) {
        EXPECT_EQ(e.Code, SE_ReadFailed);
    }
    EXPECT_LT(since(t), 100);
}

TEST_F(OpenPort, ClearBufferDropsWhatTheInterfaceSent) {
    pty.write("stale reply\r>");
    port.WaitReadable(1000);
    usleep(20000);
    port.ClearBuffer(true, true);
    port.SetReadTotalConstant(100);
    QString s;
    EXPECT_EQ(port.ReadStr(s, 1), 0);
}

TEST_F(OpenPort, SecondOpenOfAHeldPortFailsEvenForAnotherProcess) {
    EXPECT_EQ(openError(pty.slavePath()), SE_OpenFailed);
    // A separate process (root or not) is refused too.
    const pid_t child = fork();
    if (child == 0) {
        TSerialPort p;
        p.SetPort(pty.slavePath());
        try {
            p.Open();
        } catch (const ESerialPort& e) {
            _exit(e.Code);
        }
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), SE_OpenFailed);
}

TEST_F(OpenPort, OpenTwiceAndSamePortNameChangeNothing) {
    const int fd = port.handle();
    port.Open();
    port.SetPort(pty.slavePath());
    EXPECT_EQ(port.handle(), fd);
    port.Close();
    port.Close();
    EXPECT_FALSE(port.Connected());
    QString s;
    EXPECT_THROW(port.ReadStr(s, 1), ESerialPort);
    port.Open(); // reopens after close
    EXPECT_TRUE(port.Connected());
}

TEST(SerialPortOpen, BadNamesFailWithOpenFailedAndAReason) {
    QTemporaryDir dir;
    QFile regular(dir.filePath("file"));
    ASSERT_TRUE(regular.open(QIODevice::WriteOnly));
    regular.close();
    for (const QString& name :
         {QString(), QString("/dev/does-not-exist"), dir.path(), regular.fileName()})
        EXPECT_EQ(openError(name), SE_OpenFailed) << name.toStdString();
}

TEST(SerialPortOpen, LiveUucpLockRefusesTheDevice) {
    PtyPair pty;
    // pts names have a slash; the lock file takes the last component.
    const QString lock = "/run/lock/LCK.." + QFileInfo(pty.slavePath()).fileName();
    if (!QDir("/run/lock").exists())
        GTEST_SKIP() << "no /run/lock";
    QFile f(lock);
    if (!f.open(QIODevice::WriteOnly))
        GTEST_SKIP() << "cannot write lock files here";
    f.write(QByteArray::number(getppid()).rightJustified(10) + "\n");
    f.close();
    EXPECT_EQ(openError(pty.slavePath()), SE_OpenFailed);
    QFile::remove(lock);
    TSerialPort p;
    p.SetPort(pty.slavePath());
    EXPECT_NO_THROW(p.Open());
}
