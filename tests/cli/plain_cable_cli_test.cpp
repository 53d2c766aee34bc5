// vandrix-cli and plain K-line cables, as processes: the K-line demo listed
// and used, a cable found by its echo or named with --interface, and the
// words --interface takes.
#include "cli_runner.h"
#include "config/strings.h"
#include "support/qt_printers.h"
#include "support/scoped_env.h"
#include "support/sim_process.h"

#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class PlainCableCliTest : public ::testing::Test {
protected:
    QString ini(const QByteArray& extra = {}) {
        const QString path = dir.filePath(QStringLiteral("vandrix.ini"));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Config]\r\nSprache=de\r\n" + extra);
        return path;
    }

    QTemporaryDir dir;
    ScopedEnv dataHomeSet{"XDG_DATA_HOME", dir.filePath("data-home")};
};

} // namespace

TEST_F(PlainCableCliTest, PortsListsTheKLineDemoWhichAnswersLikeACable) {
    const CliRun ports = RunCli({"ports", "--json", "--ini", ini()});
    ASSERT_EQ(ports.exitCode, 0) << ports.err.toStdString();
    QStringList listed;
    for (const QJsonValue& p : ports.json()["ports"].toArray())
        listed << p.toObject()["port"].toString();
    EXPECT_EQ(listed.mid(listed.size() - 2), (QStringList{"demo", "demo-kline"}));

    const CliRun ident = RunCli({"ident", "1", "--port", "demo-kline", "--ini", ini()});
    EXPECT_EQ(ident.exitCode, 0) << ident.err.toStdString();
    EXPECT_TRUE(ident.out.contains("036 906 034 AM")) << ident.out.toStdString();
}

TEST_F(PlainCableCliTest, ACableIsFoundByItsEchoOrNamedAndAChipModeTakesNoEchoForACable) {
    SimProcess sim({"--plain-cable"});
    ASSERT_TRUE(sim.started());
    for (const char* how : {"", "cable"}) {
        SCOPED_TRACE(how);
        QStringList args{"ident", "1", "--port", sim.terminalPath(), "--ini", ini()};
        if (*how)
            args << "--interface" << how;
        const CliRun r = RunCli(args);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_TRUE(r.out.contains("036 906 034 AM")) << r.out.toStdString();
    }
    // The configuration's word, overruled by the command line's.
    const CliRun chip = RunCli({"ident", "1", "--port", sim.terminalPath(), "--ini",
                                ini("Schnittstelle=kabel\r\n"), "--interface", "chip"});
    EXPECT_EQ(chip.exitCode, 3) << chip.err.toStdString();
}

TEST_F(PlainCableCliTest, InterfaceTakesAutoChipOrCableOnly) {
    const CliRun bad = RunCli({"ident", "1", "--port", "demo", "--interface", "kabel"});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_TRUE(bad.err.contains(LoadStr(CableText::InvalidInterface).arg("kabel")))
        << bad.err.toStdString();
}
