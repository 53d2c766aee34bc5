// The measuring tabs in whole sessions: the real window, port and channel
// against the simulator in its own process, playing a test unit whose values
// hold still so every label can be checked exactly.
#include "support/sim_process.h"
#include "support/test_scenarios.h"
#include "support/ui/session_fixture.h"
#include "ui/fonts.h"
#include "values/measured_value.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <vector>

namespace {

const QByteArray ProbeScenario = TestScenario("measuring_pages.ini");

const char ProbeLabels[] = R"([Groups]
G1.1=Drehzahl
G1.2=Kuehlmittel
G1.3=Bordspannung
G2.1=Tempo
G3.1=T1
[Raw]
raw1=Kuehlmittel roh
raw2=Last roh
raw10=Reserve
)";

QStringList texts(const std::array<TLabel*, 4>& labels) {
    QStringList out;
    for (TLabel* l : labels)
        out << l->text();
    return out;
}

} // namespace

class MeasuringPagesTest : public SessionTest {
protected:
    MeasuringPagesTest() {
        useOwnLabelFile(QStringLiteral("PR0BE00815.ini"), ProbeLabels);
        scenario = QStringLiteral("probe.ini");
        writeFile(scenario, ProbeScenario);
    }

    TForm1& openWindow(const SimProcess& sim, int address = 1) {
        TForm1& w = SessionTest::openWindow(sim, address);
        emit w.ComboBox2->activated(w.ComboBox2->currentIndex()); // as the user's choice
        return w;
    }
};

TEST_F(MeasuringPagesTest, GroupSlotsShowLabelledValuesOfTheirGroups) {
    auto sim = startSim();
    TForm1& w = openWindow(*sim);
    bool highlighted = false;
    QStringList names[4], values[4];
    drive({
        {"connected", [] { return true; },
         [&] {
             w.PageControl1->setActivePage(w.TabSheet2);
             w.Edit4->setText("2");
             w.Edit5->setText("7"); // a group the unit refuses
             w.Edit3->setText("3"); // its slot stays off
             for (QCheckBox* box : {w.CheckBox1, w.CheckBox3, w.CheckBox4})
                 box->setChecked(true);
         }},
        {"slot 1 highlighted while it is polled",
         [&] { return w.Label12->color() == Colours::Highlight; }, [&] { highlighted = true; }},
        {"all three slots filled",
         [&] { return count(*sim, "0801") >= 2 && count(*sim, "0807") >= 2; },
         [&] {
             for (size_t k = 0; k < 4; ++k) {
                 names[k] = texts(w.GroupNameLabels[k]);
                 values[k] = texts(w.GroupValueBoxes[k]);
             }
         }},
    });

    EXPECT_TRUE(highlighted);
    EXPECT_EQ(names[0], QStringList({"Drehzahl", "Kuehlmittel", "Bordspannung", "16"}));
    EXPECT_EQ(values[0],
              QStringList({FormatMeasuredValue(1, 25, 170), FormatMeasuredValue(5, 10, 130),
                           FormatMeasuredValue(6, 100, 140), FormatMeasuredValue(16, 0, 5)}));
    // Slot 2 is off: untouched since the reset.
    EXPECT_EQ(names[1], QStringList({"-", "-", "-", "-"}));
    EXPECT_EQ(values[1], QStringList({"", "", "", ""}));
    // Group 2 has two fields; the empty ones have no name.
    EXPECT_EQ(names[2], QStringList({"Tempo", "2", "-", "-"}));
    EXPECT_EQ(values[2],
              QStringList({FormatMeasuredValue(7, 100, 42), FormatMeasuredValue(2, 100, 100),
                           FormatMeasuredValue(-1, -1, -1), FormatMeasuredValue(-1, -1, -1)}));
    EXPECT_EQ(names[3], QStringList({"-", "-", "-", "-"}));
    EXPECT_EQ(values[3], QStringList({"NA", "NA", "NA", "NA"}));
    EXPECT_EQ(count(*sim, "0803"), 0);
    for (const auto& slot : w.GroupValueBoxes)
        for (TLabel* box : slot)
            EXPECT_EQ(box->color(), Colours::Idle) << box->objectName().toStdString();
    EXPECT_EQ(sim->commands().last(), "ATH");
}

TEST_F(MeasuringPagesTest, AllSlotsOffSendsNothing) {
    auto sim = startSim();
    TForm1& w = openWindow(*sim);
    int before = 0;
    QElapsedTimer t;
    drive({
        {"connected", [] { return true; },
         [&] {
             w.PageControl1->setActivePage(w.TabSheet2);
             before = int(sim->commands().size());
             t.start();
         }},
        {"a while on the Group tab", [&] { return t.elapsed() > 600; }},
    });
    const QStringList after = sim->commands().mid(before);
    EXPECT_EQ(after, QStringList({"ATH"}));
}

TEST_F(MeasuringPagesTest, NumberFieldsTakeOnlyValidNumbersFromUnfocusedFields) {
    auto sim = startSim();
    TForm1& w = openWindow(*sim);
    int mark = 0;
    drive({
        {"connected", [] { return true; },
         [&] {
             w.PageControl1->setActivePage(w.TabSheet2);
             w.CheckBox1->setChecked(true);
             w.CheckBox2->setChecked(true);
             w.Edit3->setText("2");
         }},
        {"slot 2 on group 2", [&] { return w.Label46->text() == "Tempo"; },
         [&] { w.Edit3->setText("0"); }},
        {"0 put back to 2", [&] { return w.Edit3->text() == "2"; },
         [&] { w.Edit3->setText("256"); }},
        {"256 put back to 2", [&] { return w.Edit3->text() == "2"; },
         [&] { w.Edit2->setText("abc"); }},
        {"abc put back to 1", [&] { return w.Edit2->text() == "1"; },
         [&] {
             // A user typing: the half-typed number must not be polled.
             w.Edit2->setFocus();
             w.Edit2->setText("3");
             mark = count(*sim, "0801");
         }},
        {"three more polls of group 1 while typing",
         [&] { return count(*sim, "0801") >= mark + 3; },
         [&] {
             EXPECT_EQ(count(*sim, "0803"), 0);
             EXPECT_EQ(w.Edit2->text(), "3");
             QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
             QApplication::sendEvent(w.Edit2, &enter);
         }},
        {"group 3 after Enter", [&] { return w.Label11->text() == "T1"; }},
    });
    EXPECT_GT(count(*sim, "0802"), 3);
    for (const char* never : {"0800", "08100"})
        EXPECT_EQ(count(*sim, never), 0) << never;
}

TEST_F(MeasuringPagesTest, LoggingStartsAfterAToggledPassAndTimesEachPolledSlot) {
    auto sim = startSim();
    TForm1& w = openWindow(*sim);
    std::array<int64_t, 4> elapsed{};
    drive({
        {"connected", [] { return true; },
         [&] {
             w.PageControl1->setActivePage(w.TabSheet2);
             w.CheckBox1->setChecked(true);
             w.CheckBox3->setChecked(true);
             w.CheckBox7->setChecked(true);
             w.CheckBox7Click();
         }},
        {"recording", [&] { return w.state.LoggingActive; },
         [&] { EXPECT_FALSE(w.state.LogToggled); }},
        {"a recorded pass", [&] { return w.state.SlotElapsed[2] >= 0; },
         [&] {
             elapsed = w.state.SlotElapsed;
             w.CheckBox7->setChecked(false);
             w.CheckBox7Click();
         }},
        {"stopped", [&] { return !w.state.LoggingActive; }},
    });
    EXPECT_GE(elapsed[0], 0);
    EXPECT_EQ(elapsed[1], -1);
    EXPECT_GE(elapsed[2], elapsed[0] + SessionState::PollInterval);
    EXPECT_EQ(elapsed[3], -1);
}

TEST_F(MeasuringPagesTest, RohdatenShowsThreeDigitBytesUnderTheirLabels) {
    // The second raw poll gets a line that is no number.
    auto sim = startSim({"--fault", "garbage@0800#2"});
    TForm1& w = openWindow(*sim);
    QStringList shown, garbage, captions;
    drive({
        {"connected", [] { return true; }, [&] { w.PageControl1->setActivePage(w.TabSheet5); }},
        {"first poll shown", [&] { return w.Label20->text() == "007"; },
         [&] {
             for (int i = 0; i < 10; ++i) {
                 shown << w.RawValueBoxes[size_t(i)]->text();
                 captions << w.RawGroupBoxes[size_t(i)]->title();
             }
         }},
        {"garbage poll shown", [&] { return w.Label20->text() == "0-1"; },
         [&] {
             for (TLabel* l : w.RawValueBoxes)
                 garbage << l->text();
         }},
        {"and the next poll is fine again", [&] { return w.Label20->text() == "007"; }},
    });
    EXPECT_EQ(shown,
              QStringList({"007", "255", "065", "000", "001", "002", "003", "004", "005", "200"}));
    EXPECT_EQ(captions, QStringList({"Kuehlmittel roh", "Last roh", "3", "4", "5", "6", "7", "8",
                                     "9", "Reserve"}));
    // Bytes the reply did not carry show as 0-1.
    EXPECT_EQ(garbage, QStringList(10, "0-1"));
    EXPECT_EQ(sim->commands().last(), "ATH");
}

TEST_F(MeasuringPagesTest, RohdatenRefusedShowsNAWithoutCaptions) {
    auto sim = startSim();
    TForm1& w = openWindow(*sim, 2);
    QStringList shown, captions;
    drive({
        {"connected", [] { return true; }, [&] { w.PageControl1->setActivePage(w.TabSheet5); }},
        {"refusal shown", [&] { return w.Label36->text() == "NA"; },
         [&] {
             for (int i = 0; i < 10; ++i) {
                 shown << w.RawValueBoxes[size_t(i)]->text();
                 captions << w.RawGroupBoxes[size_t(i)]->title();
             }
         }},
    });
    EXPECT_EQ(shown, QStringList(10, "NA"));
    EXPECT_EQ(captions, QStringList(10, ""));
}

TEST_F(MeasuringPagesTest, SingleReadingShowsTheChannelsValue) {
    // Channel 2's first answer is no number: that reading is skipped.
    auto sim = startSim({"--fault", "garbage@0902"});
    TForm1& w = openWindow(*sim);
    QString refused;
    QStringList seen; // Label38 from the garbage answer until the next good one
    drive({
        {"connected", [] { return true; },
         [&] {
             w.PageControl1->setActivePage(w.TabSheet11);
             w.Edit11->setText("1");
         }},
        {"channel 1", [&] { return w.Label38->text() == "300"; }, [&] { w.Edit11->setText("7"); }},
        {"channel 7 refused", [&] { return w.Label38->text() == "NA"; },
         [&] {
             refused = w.Label38->text();
             w.Label38->setText("before");
             w.Edit11->setText("2");
         }},
        {"next answer shown",
         [&] {
             if (seen.isEmpty() || seen.last() != w.Label38->text())
                 seen << w.Label38->text();
             return w.Label38->text() == "85";
         },
         [&] { w.Edit11->setText("300"); }},
        {"out of range put back", [&] { return w.Edit11->text() == "2"; }},
    });
    EXPECT_EQ(refused, "NA");
    EXPECT_EQ(seen, QStringList({"before", "85"}));
    EXPECT_GE(count(*sim, "0902"), 2);
    EXPECT_TRUE(w.Edit11->isEnabled());
    EXPECT_TRUE(w.UpDown7->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // The garbage reading neither ended the session nor showed anything.
    EXPECT_EQ(sim->commands().last(), "ATH");
    EXPECT_TRUE(prompts.shown().empty());
}

TEST_F(MeasuringPagesTest, BasicSettingsSwitchesViewsAndSendsOnlyWhenOn) {
    auto sim = startSim();
    TForm1& w = openWindow(*sim);
    QStringList raw, names, values;
    bool rawViewWhileOff = false;
    drive({
        {"connected", [] { return true; },
         [&] {
             w.PageControl1->setActivePage(w.TabSheet12);
             w.Edit10->setText("0");
         }},
        {"raw view at once, although off", [&] { return w.Label134->isVisible(); },
         [&] {
             rawViewWhileOff = !w.Label121->isVisible() && !w.Label122->isVisible() &&
                               w.BitBtn16->isVisible() && !w.BitBtn14->isVisible();
             EXPECT_EQ(count(*sim, "0400"), 0);
             w.CheckBox8->setChecked(true);
         }},
        {"raw basic setting shown", [&] { return w.Label143->text() == "100"; },
         [&] {
             for (TLabel* l : w.BasicRawValueBoxes)
                 raw << l->text();
             w.Edit10->setText("1");
         }},
        {"group view with group 1", [&] { return w.Label122->text() == "Drehzahl"; },
         [&] {
             names = texts(w.BasicNameLabels);
             values = texts(w.BasicValueBoxes);
             w.Edit10->setText("9");
         }},
        {"refused group", [&] { return w.Label121->text() == "NA"; },
         [&] { EXPECT_EQ(texts(w.BasicNameLabels), QStringList(4, "-")); }},
    });
    EXPECT_TRUE(rawViewWhileOff);
    EXPECT_EQ(raw,
              QStringList({"009", "008", "007", "006", "005", "004", "003", "002", "001", "100"}));
    EXPECT_EQ(names, QStringList({"Drehzahl", "Kuehlmittel", "Bordspannung", "16"}));
    EXPECT_EQ(values,
              QStringList({FormatMeasuredValue(1, 25, 40), FormatMeasuredValue(5, 10, 90),
                           FormatMeasuredValue(6, 100, 120), FormatMeasuredValue(16, 0, 3)}));
    EXPECT_TRUE(w.Label121->isVisible());
    EXPECT_FALSE(w.Label134->isVisible());
    // Group 1 in basic setting mode, never as a measuring group.
    EXPECT_GT(count(*sim, "0401"), 0);
    EXPECT_EQ(count(*sim, "0801"), 0);
    for (TLabel* l : w.BasicRawValueBoxes)
        EXPECT_EQ(l->color(), Colours::Idle);
    for (TLabel* l : w.BasicValueBoxes)
        EXPECT_EQ(l->color(), Colours::Idle);
}

TEST_F(MeasuringPagesTest, CommunicationErrorsEndTheSessionWithMessage304) {
    struct Case {
        const char* name;
        const char* fault;
        TTabSheet* TForm1::*page;
        std::function<void(TForm1&)> setUp;
        const char* failedCommand;
    } cases[] = {
        {"DATA ERROR on a group poll", "dataerror@0801#2", &TForm1::TabSheet2,
         [](TForm1& w) { w.CheckBox1->setChecked(true); }, "0801"},
        // Basic settings convert strictly: a line that is no number ends it.
        {"garbage in a basic setting group", "garbage@0401", &TForm1::TabSheet12,
         [](TForm1& w) { w.CheckBox8->setChecked(true); }, "0401"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto sim = startSim({"--fault", c.fault});
        TForm1& w = openWindow(*sim);
        prompts.expectMessage("Kommunikationsfehler", "Fehler", PromptIcon::Error);
        bool ended = false;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (connected() && !ended) {
                ended = true;
                w.PageControl1->setActivePage(w.*(c.page));
                c.setUp(w);
            }
        });
        timer.start(10);
        w.BitBtn3Click();
        timer.stop();
        prompts.verifyDone();
        EXPECT_EQ(sim->commands().last(), c.failedCommand);
        EXPECT_FALSE(sim->commands().contains("ATH"));
        expectIdleWindow();
        window.reset();
    }
}
