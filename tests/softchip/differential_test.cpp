// The same user steps through the simulated chip and through the software
// chip on the virtual K-line with the same units behind it, values frozen:
// the program must read the same lines from both. Allowed to differ: the
// CONNECT line's speed digit, the reset answer's lines, lines the wait for a
// connect skips (a lone CR while dialling), and the voltages, which a plain
// cable has not. The readiness byte has no known K-line request yet: the
// software chip refuses it, and the test pins that until a capture shows one.
#include "virtual_soft_chip.h"

#include "support/qt_printers.h"

using namespace softchip_test;

namespace {

struct Step {
    const char* command;
    const char* note; // what the step is, for a failure's message
};

// Every page: the setup, then per unit what its pages send.
const std::vector<Step> kScript = {
    {"", "wake-up"},
    {"", "wake-up"},
    {"ATZ", "reset"},
    {"ATIBT05", "timing"},
    {"ATBDT28", "timing"},
    {"ATN0", "automatic speed"},
    {"ATA0", "voltage"},
    // Engine, KW1281
    {"ATD01", "identification"},
    {"0801", "measuring group"},
    {"0807", "measuring group"},
    {"0820", "group the unit lacks"},
    {"0800", "raw data"},
    {"0901", "single reading"},
    {"0903", "single reading"},
    {"0907", "single reading the unit lacks"},
    {"0401", "basic setting"},
    {"0400", "raw basic setting"},
    {"02", "fault codes, none"},
    {"15", "readiness"},
    {"07001F3039", "coding write accepted"},
    {"07900030393", "coding write malformed"},
    {"0790003039", "coding write refused"},
    {"1001", "adaptation channel the unit lacks"},
    {"03", "output test the unit lacks"},
    {"ATH", "end"},
    // ABS, KW1281 with stored faults
    {"ATD03", "identification"},
    {"02", "fault codes read"},
    {"05", "fault codes clear"},
    {"02", "fault codes after the clear"},
    {"0802", "measuring group"},
    {"ATH", "end"},
    // Instruments: login, output tests, adaptation
    {"ATD17", "identification with a fourth line"},
    {"1130390000", "login refused"},
    {"0801", "after the refused login"},
    {"ATD17", "identification again"},
    {"1130393039", "login accepted"},
    {"03", "output test step 1"},
    {"03", "output test step 2"},
    {"03", "output test step 3"},
    {"03", "output test step 4"},
    {"03", "output test end"},
    {"1002", "adaptation read"},
    {"1009", "adaptation read"},
    {"10020064", "adaptation test and save accepted"},
    {"1002", "adaptation read after the save"},
    {"10090001", "adaptation save refused"},
    {"1030", "adaptation read"},
    {"ATH", "end"},
    // Gearbox, KW2000
    {"ATD02", "identification"},
    {"0801", "measuring group"},
    {"0806", "measuring group"},
    {"0900", "single reading the unit lacks"},
    {"02", "fault codes"},
    {"05", "fault codes clear"},
    {"15", "readiness"},
    {"0700153039", "coding write accepted"},
    {"ATH", "end"},
    // Central electronics: adaptation
    {"ATD09", "identification"},
    {"1003", "adaptation read"},
    {"1003000A", "adaptation save accepted"},
    {"10030100", "adaptation save refused"},
    {"1003", "adaptation read after the saves"},
    {"ATH", "end"},
    // Airbag: device number, importer, refused output tests
    {"ATD15", "identification with device and importer"},
    {"03", "output test the unit refuses"},
    {"02", "fault codes"},
    {"ATH", "end"},
    // A search of several units, absent ones among them
    {"ATD01", "search: engine"},
    {"02", "search: engine's faults"},
    {"ATH", "search"},
    {"ATD04", "search: absent"},
    {"ATD03", "search: ABS"},
    {"ATH", "search"},
    {"ATD46", "search: absent"},
    {"ATD17", "search: instruments"},
    {"ATH", "search"},
    {"ATD80", "address beyond the K-line"},
};

QStringList normalised(const QString& command, QStringList lines) {
    if (command.startsWith(QLatin1String("ATA")))
        return {};
    if (command == QLatin1String("ATZ"))
        return {QString::number(lines.size()),
                lines.value(1).contains(QLatin1String("Vandrix Pro")) ? "named" : "unnamed"};
    if (command.startsWith(QLatin1String("ATD"))) {
        lines.removeAll(QStringLiteral("\r"));
        for (QString& l : lines)
            if (l.startsWith(QLatin1String("CONNECT")) && l.size() > 9)
                l[9] = QLatin1Char('s');
    }
    return lines;
}

} // namespace

TEST(Differential, EveryPageReadsTheSameThroughBothChips) {
    const SimScenario car = scenarioFrom(frozenDemoCarText());
    std::vector<QStringList> simulated;
    {
        SimulatedChip chip(car);
        for (const Step& s : kScript)
            simulated.push_back(chip(QString::fromLatin1(s.command)));
    }
    VirtualSoftChip chip(car);
    // An address's low runs lie within 2 s of its start bit.
    int startBits = 0;
    Micros startBit = -msec(10'000);
    chip.line.onWire = [&](const VirtualKLine::WireEvent& e) {
        if (e.side != VirtualKLine::Tester || e.kind != VirtualKLine::WireEvent::BreakOn ||
            e.start - startBit < msec(2000))
            return;
        ++startBits;
        startBit = e.start;
    };
    for (size_t i = 0; i < kScript.size(); ++i) {
        const QString command = QString::fromLatin1(kScript[i].command);
        const QStringList soft = chip(command);
        if (command == QLatin1String("15")) {
            EXPECT_EQ(soft, (QStringList{"NA", ">"})) << "step " << i;
            continue;
        }
        EXPECT_EQ(normalised(command, soft), normalised(command, simulated[i]))
            << "step " << i << " " << kScript[i].command << " (" << kScript[i].note << ")";
    }
    EXPECT_EQ(chip.unit.violations(), std::vector<std::string>{});
    // Every address went over the wire once, the absent ones three times: a
    // unit whose session ended heard its end and answers the next address.
    EXPECT_EQ(startBits, 10 + 2 * 3);
    EXPECT_GT(chip.line.now(), msec(16 * 2000));
}

TEST(Differential, SpeedDigitsAgreeWithTheRatesTheUnitsSpeak) {
    const SimScenario car = scenarioFrom(frozenDemoCarText());
    SimulatedChip simulated(car);
    VirtualSoftChip soft(car);
    for (const char* address : {"ATD01", "ATD02"}) {
        const QString a = QString::fromLatin1(address);
        EXPECT_EQ(normalised("", soft(a)).value(0), simulated(a).value(0)) << address;
        soft("ATH");
        simulated("ATH");
    }
}
