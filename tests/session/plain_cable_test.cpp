// Plain K-line cables in the real window: the K-line demo entry through every
// kind of page a user opens first, a cable found by its echo on a terminal
// (vandrix-sim --plain-cable in its own process), and a port where nothing
// answers, not even with DTR on.
#include "config/recorder_texts.h"
#include "config/strings.h"
#include "link/recording.h"
#include "reports/link_texts.h"
#include "support/pty_pair.h"
#include "support/ui/session_fixture.h"

#include <QCheckBox>
#include <QLineEdit>

namespace {
QStringList texts(const std::array<TLabel*, 4>& labels) {
    QStringList out;
    for (TLabel* l : labels)
        out << l->text();
    return out;
}
} // namespace

class PlainCableTest : public SessionTest {
protected:
    std::function<bool()> promptsDone() {
        return [this] { return prompts.pending() == 0; };
    }
};

TEST_F(PlainCableTest, TheKLineDemoIdentifiesMeasuresListsFaultsAndWritesACoding) {
    TForm1& w = makeWindow(DemoKLineName(0));
    chooseUnit(3); // the ABS unit: two stored faults
    w.show();
    QApplication::setActiveWindow(&w);
    QStringList values;
    drive({
        {"connected", [] { return true; },
         [&] {
             EXPECT_EQ(w.StatusBar1->panelText(2), "Vandrix Pro SW v1.0");
             EXPECT_EQ(w.StatusBar1->panelText(3), "Protokoll: KW 1281");
             EXPECT_EQ(w.Label6->text(), "1J0 907 379 P");
             w.PageControl1->setActivePage(w.TabSheet2);
             w.Edit2->setText("1");
             w.CheckBox1->setChecked(true);
         }},
        {"group 1 read", [&] { return !w.Label12->text().isEmpty(); },
         [&] {
             values = texts(w.GroupValueBoxes[0]);
             w.PageControl1->setActivePage(w.TabSheet3);
         }},
        {"faults listed", [&] { return w.StringGrid1->rowCount() == 3; },
         [&] {
             EXPECT_EQ(w.state.FaultCodes, FaultCodeList({{283, 35}, {290, 36}}));
             w.PageControl1->setActivePage(w.TabSheet4);
             EXPECT_EQ(w.Edit7->text(), "03604");
             w.Edit6->setText("12345");
             w.Edit7->setText("3605");
             prompts.expectQuestion(true);
             prompts.expectMessage(w.Str(83));
             w.BitBtn7Click();
         }},
        {"coding written", promptsDone(),
         [&] {
             // Read back from the unit's new identification.
             EXPECT_EQ(w.Edit7->text(), "03605");
             EXPECT_EQ(w.Label9->text(), "12345");
         }},
    });
    for (const QString& v : values)
        EXPECT_FALSE(v.isEmpty());
    expectIdleWindow();
}

TEST_F(PlainCableTest, ACableIsFoundByItsEchoAndItsLineBytesAreRecorded) {
    std::unique_ptr<SimProcess> sim = startSim({"--plain-cable"});
    TForm1& w = openWindow(*sim, 1);
    QString chip, part;
    runSession([&] {
        chip = w.StatusBar1->panelText(2);
        part = w.Label6->text();
    });
    EXPECT_EQ(chip, "Vandrix Pro SW v1.0");
    EXPECT_EQ(part, "036 906 034 AM");
    expectIdleWindow();

    const std::optional<Recording::File> file = Recording::read(w.Recorder.path());
    ASSERT_TRUE(file);
    QByteArray sent, onLine;
    for (const Recording::Chunk& c : file->chunks) {
        if (c.direction == Recording::Direction::Sent)
            sent += c.bytes;
        if (c.direction == Recording::Direction::KLineSent)
            onLine += c.bytes;
    }
    // The probe's CR, then the whole dialogue again on the software chip.
    EXPECT_TRUE(sent.startsWith("\r")) << sent.constData();
    EXPECT_TRUE(sent.contains("ATD01\r"));
    // The complement of the second keyword went out on the line.
    EXPECT_TRUE(onLine.contains('\x75'));
}

TEST_F(PlainCableTest, NothingAnsweringEvenWithDtrOnShowsMessage306WithTheCableHint) {
    PtyPair silent;
    makeWindow(silent.slavePath());
    chooseUnit(1);
    prompts.expectMessage(window->Str(306) + '\n' + LoadStr(TeamText::SeenNothing) + '\n' +
                              LoadStr(CableText::NoInterfaceHint),
                          window->Str(301), PromptIcon::Error);
    window->BitBtn3Click();
    prompts.verifyDone();
    // Two wake-ups: the second with DTR on.
    EXPECT_EQ(silent.read(100), "\r\r");
    expectIdleWindow();
}
