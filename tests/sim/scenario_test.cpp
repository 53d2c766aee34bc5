// Scenario files: mistakes are named, and the demo car is the car the other
// parts of the program are written against.
#include "config/ini_file.h"
#include "sim/sim_engine.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

QString loadError(const char* ini) {
    SimScenario s;
    QString error;
    EXPECT_FALSE(SimScenario::fromIni(IniFile::fromBytes(ini), &s, &error)) << ini;
    return error;
}

std::string exchange(SimEngine& e, std::string_view cmd, int64_t nowUs = 0) {
    e.receive(std::string(cmd) + "\r", nowUs);
    return e.takeAllOutput();
}

} // namespace

TEST(SimScenario, MistakesAreNamedBySectionAndKey) {
    struct Case {
        const char* ini;
        const char* mentions;
    };
    const Case cases[] = {
        {"[E]\nAddress=1\nColour=red\n", "[E] Colour"},
        {"[E]\nIdent1=x\n", "[E] Address"},
        {"[E]\nAddress=200\n", "[E] Address"},
        {"[E]\nAddress=1\nG1=1 2\n", "[E] G1"},
        {"[E]\nAddress=1\nG1=1 2 3~\n", "[E] G1"},
        {"[E]\nAddress=1\nDtc=4657\n", "[E] Dtc"},
        {"[E]\nAddress=1\nK5Range=9..3\n", "[E] K5Range"},
        {"[E]\nAddress=1\nIdent2=x\n", "[E] Ident1"},
        {"[E]\nAddress=1\n[F]\nAddress=1\n", "[F] Address"},
        {"[Interface]\nFaults=silence\n", "silence"},
        {"[Interface]\nA7=1\n", "[Interface] A7"},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(loadError(c.ini).contains(QLatin1String(c.mentions)))
            << c.ini << " -> " << loadError(c.ini).toStdString();
}

TEST(SimScenario, ValueForms) {
    SimValue v;
    ASSERT_TRUE(parseSimValue("0x1F", &v));
    EXPECT_EQ(v.at(0), 31);
    ASSERT_TRUE(parseSimValue("0b101", &v));
    EXPECT_EQ(v.at(0), 5);
    ASSERT_TRUE(parseSimValue("20>120@10", &v)); // ramp, then hold
    EXPECT_EQ(v.at(0), 20);
    EXPECT_EQ(v.at(5000), 70);
    EXPECT_EQ(v.at(60000), 120);
    ASSERT_TRUE(parseSimValue("10%20@1", &v));
    for (int t = 0; t < 20000; t += 700) {
        EXPECT_GE(v.at(t, 3), 10);
        EXPECT_LE(v.at(t, 3), 20);
    }
    EXPECT_EQ(v.at(1200, 3), v.at(1900, 3)); // steady within its period
    for (const char* bad : {"", "x", "1~", "5@2", "1~2@0", "1~2@x"})
        EXPECT_FALSE(parseSimValue(bad, &v)) << bad;
}

TEST(SimScenario, DemoCarHasTheAgreedUnits) {
    SimScenario s;
    QString error;
    const QString path =
        QDir(qEnvironmentVariable("VANDRIX_DATA")).filePath("scenarios/demo_car.ini");
    ASSERT_TRUE(SimScenario::load(path, &s, &error)) << error.toStdString();

    struct Expect {
        int address;
        const char* part;
        int protocol;
    };
    for (const Expect& x :
         {Expect{1, "036906034AM", 1}, Expect{2, "09G927750FA", 2}, Expect{3, "1J0907379P", 1},
          Expect{9, "1C0959799B", 1}, Expect{23, "1J0920826C", 1}, Expect{21, "1C0909605F", 1}}) {
        const SimUnit* u = s.unit(x.address);
        ASSERT_NE(u, nullptr) << x.address;
        ASSERT_GE(u->ident.size(), 3u) << x.address;
        EXPECT_EQ(u->ident[0], x.part);
        EXPECT_EQ(u->protocol, x.protocol);
    }
    EXPECT_EQ(s.units.size(), 6u);
    EXPECT_EQ(s.unit(3)->dtcs.size(), 2u);
    EXPECT_EQ(s.unit(23)->loginCode, 12345);
    EXPECT_FALSE(s.unit(23)->outputTests.empty());

    // The engine's groups 1..10 are full and alive; its coolant warms up.
    SimEngine e(s);
    exchange(e, "ATD01");
    for (int g = 1; g <= 10; ++g) {
        char cmd[5];
        std::snprintf(cmd, sizeof cmd, "08%02X", g);
        const std::string reply = exchange(e, cmd);
        EXPECT_EQ(reply.size(), 4 * 9 + 1) << cmd << ": " << reply;
    }
    EXPECT_NE(exchange(e, "0801", 0), exchange(e, "0801", 2'500'000));
    const std::string cold = exchange(e, "0801", 0).substr(9, 8);
    const std::string warm = exchange(e, "0801", 200'000'000).substr(9, 8);
    EXPECT_EQ(cold, "05 0A 78"); // 20 °C
    EXPECT_EQ(warm, "05 0A BE"); // 90 °C
    EXPECT_EQ(exchange(e, "ATD04"), "ERROR\r>");
}

TEST(SimScenario, EndlessDeviceOrFolderIsRefusedWithItsReason) {
    SimScenario s;
    QString error;
    EXPECT_FALSE(SimScenario::load("/dev/zero", &s, &error));
    EXPECT_EQ(error, "/dev/zero is larger than 1 MB and is not read");
    EXPECT_FALSE(SimScenario::load("/", &s, &error));
    EXPECT_EQ(error, "/ is a folder, not a file");
    EXPECT_FALSE(SimScenario::load("/nonexistent.ini", &s, &error));
    EXPECT_EQ(error, "scenario not found: /nonexistent.ini");
}
