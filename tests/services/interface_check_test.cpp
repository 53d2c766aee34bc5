// The interface check against a scripted interface on a pseudo-terminal:
// what each step saw, and that no control unit is ever dialled.
#include "channel_fixture.h"
#include "scripted_peer.h"
#include "services/interface_check.h"

#include <QMap>

namespace {

QMap<QByteArray, QByteArray> goodChip() {
    return {{"", "OK\r>"},      {"ATZ", "RESET\rVandrix Pro v2.1\r>"},
            {"ATA0", "357\r>"}, {"ATA1", "1FF\r>"},
            {"ATA2", "000\r>"}, {"ATA3", "3FF\r>"},
            {"ATA4", "080\r>"}, {"ATA5", "001\r>"}};
}

struct InterfaceCheck : ChannelFixture {
    InterfaceCheckResult check(const QMap<QByteArray, QByteArray>& chip,
                               QStringList* sent = nullptr) {
        ScriptedPeer peer(pty, [chip](const QByteArray& c) { return chip.value(c); });
        const InterfaceCheckResult result = CheckInterface(channel);
        if (sent)
            *sent = peer.received();
        return result;
    }
};

} // namespace

TEST_F(InterfaceCheck, AGoodInterfacePassesEveryStepWithoutDiallingAUnit) {
    QStringList sent;
    const InterfaceCheckResult r = check(goodChip(), &sent);
    EXPECT_EQ(sent, (QStringList{"", "ATZ", "ATA0", "ATA1", "ATA2", "ATA3", "ATA4", "ATA5"}));
    EXPECT_TRUE(r.passed());
    for (const CheckStepResult& step : r.steps)
        EXPECT_EQ(step.outcome, CheckOutcome::Passed);
    EXPECT_EQ(r.step(CheckStep::WakeUp).received, "OK\r>");
    EXPECT_EQ(r.step(CheckStep::Reset).received, "RESET\rVandrix Pro v2.1\r>");
    EXPECT_EQ(r.chipLine, "Vandrix Pro v2.1");
    EXPECT_DOUBLE_EQ(r.chipVersion, 2.1);
    EXPECT_EQ(r.inputs, (std::array<int, 6>{0x357, 0x1FF, 0, 0x3FF, 0x80, 1}));
}

TEST_F(InterfaceCheck, EachFailureKeepsWhatArrived) {
    struct Case {
        const char* what;
        QMap<QByteArray, QByteArray> changes;
        std::array<CheckOutcome, 4> outcomes;
        CheckStep step; // whose received text is checked
        QString received;
    } cases[] = {
        {"another chip",
         {{"ATZ", "\rACME Link 3.0\r>"}},
         {CheckOutcome::Passed, CheckOutcome::Passed, CheckOutcome::Failed, CheckOutcome::NotRun},
         CheckStep::Chip,
         "ACME Link 3.0\r"},
        {"an error word at the reset",
         {{"ATZ", "DATA ERROR\r>"}},
         {CheckOutcome::Passed, CheckOutcome::Passed, CheckOutcome::Failed, CheckOutcome::NotRun},
         CheckStep::Chip,
         "DATA ERROR\r"},
        {"an input refused",
         {{"ATA3", "?\r>"}},
         {CheckOutcome::Passed, CheckOutcome::Passed, CheckOutcome::Passed, CheckOutcome::Failed},
         CheckStep::Voltages,
         "357\r>1FF\r>000\r>?\r>080\r>001\r>"},
        {"a chip too old for inputs",
         {{"ATZ", "Vandrix Pro v1.5\r>"}},
         {CheckOutcome::Passed, CheckOutcome::Passed, CheckOutcome::Passed, CheckOutcome::NotRun},
         CheckStep::Voltages,
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto chip = goodChip();
        for (auto it = c.changes.begin(); it != c.changes.end(); ++it)
            chip.insert(it.key(), it.value());
        const InterfaceCheckResult r = check(chip);
        for (size_t i = 0; i < 4; ++i)
            EXPECT_EQ(r.steps[i].outcome, c.outcomes[i]) << "step " << i;
        EXPECT_EQ(r.step(c.step).received, c.received);
        EXPECT_EQ(r.passed(), std::find(c.outcomes.begin(), c.outcomes.end(),
                                        CheckOutcome::Failed) == c.outcomes.end());
    }
}

TEST_F(InterfaceCheck, ASilentInterfaceFailsWithNothingSeen) {
    fastClock();
    QStringList sent;
    const InterfaceCheckResult r = check({}, &sent);
    EXPECT_EQ(sent, (QStringList{"", "ATZ"}));
    EXPECT_EQ(r.step(CheckStep::WakeUp).outcome, CheckOutcome::Failed);
    EXPECT_EQ(r.step(CheckStep::Reset).outcome, CheckOutcome::Failed);
    EXPECT_EQ(r.step(CheckStep::Reset).received, "");
    EXPECT_EQ(r.step(CheckStep::Chip).outcome, CheckOutcome::NotRun);
    EXPECT_FALSE(r.passed());
}

TEST(EscapedReceived, ControlAndHighCharactersBecomeVisible) {
    EXPECT_EQ(EscapedReceived(QStringLiteral("OK\r>")), "OK\\r>");
    EXPECT_EQ(EscapedReceived(QString::fromLatin1("A\nB\x01\xe9~\x7f")), "A\\nB\\x01\\xE9~\\x7F");
}
