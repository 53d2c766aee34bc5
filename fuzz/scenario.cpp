// The simulator's scenario loader on any INI bytes, then a short
// conversation with each loaded unit, so that whatever the loader accepts
// the engine can serve. Scenario files are written by hand and handed around.
#include "fuzz_support.h"
#include "sim/sim_engine.h"
#include "sim/sim_scenario.h"

#include "config/ini_file.h"

#include <set>

namespace {
const char* const Requests[] = {"0801\r", "0807\r",    "0800\r",    "0401\r", "0400\r",
                                "02\r",   "15\r",      "0901\r",    "1001\r", "10010005\r",
                                "03\r",   "0712345\r", "1100001\r", "05\r",   "ATA0\r",
                                "ATA5\r", "ATH\r"};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const IniFile ini =
        IniFile::fromBytes(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    SimScenario scenario;
    QString error;
    if (!SimScenario::fromIni(ini, &scenario, &error)) {
        FUZZ_CHECK(!error.isEmpty());
        return 0;
    }
    std::set<int> addresses;
    for (const SimUnit& unit : scenario.units) {
        FUZZ_CHECK(unit.address >= 1 && unit.address <= 126);
        FUZZ_CHECK(addresses.insert(unit.address).second);
        FUZZ_CHECK(scenario.unit(unit.address) == &unit);
    }

    SimEngine engine(scenario);
    int64_t now = 0;
    auto say = [&](const std::string& command) {
        engine.receive(command, now);
        now += 250000; // a quarter second: values that move with time do
        std::string out;
        engine.takeOutput(now, out);
        FUZZ_CHECK(out.size() <= SimEngine::LongLineChars + 4096);
    };
    say("ATZ\r");
    say("ATIBT05\r");
    say("ATBDT28\r");
    say("ATN0\r");
    for (size_t u = 0; u < scenario.units.size() && u < 4; ++u) {
        char dial[16];
        std::snprintf(dial, sizeof dial, "ATD%02X\r", scenario.units[u].address);
        say(dial);
        for (const char* request : Requests)
            say(request);
    }
    engine.takeAllOutput();
    return 0;
}
