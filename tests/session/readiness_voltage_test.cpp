// The Readiness and Spannung tabs in whole sessions: the real window, port and
// channel against the simulator in its own process, with a test car whose
// readiness bytes and analogue inputs hold still.
#include "config/app_locale.h"
#include "support/sim_process.h"
#include "support/test_scenarios.h"
#include "support/ui/session_fixture.h"
#include "ui/fonts.h"

#include <QCheckBox>
#include <vector>

namespace {

const QByteArray ReadinessScenario = TestScenario("readiness.ini");

const QString Check = TForm1::ReadinessCheckMark();
const QString Cross = TForm1::ReadinessCrossMark();
const QColor Red{255, 0, 0};
const QColor Green{0, 128, 0};

} // namespace

class ReadinessVoltageTest : public SessionTest {
protected:
    ReadinessVoltageTest() {
        AppLocale::set(QLocale(QLocale::German, QLocale::Germany));
        scenario = QStringLiteral("probe.ini");
        writeFile(scenario, ReadinessScenario);
    }
};

TEST_F(ReadinessVoltageTest, ReadinessShowsEveryTestWithItsMark) {
    struct Case {
        int address;
        const char* digits; // Label65 .. Label72
        bool notice;        // Label89 shown
    } cases[] = {
        {1, "01100101", false}, {2, "00000000", false}, {3, "--------", true}, // 3 refuses "15"
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        auto sim = startSim();
        TForm1& w = openWindow(*sim, c.address);
        QString digits;
        QStringList marks;
        std::vector<QColor> colours;
        bool notice = false;
        drive({
            {"connected", [] { return true; },
             [&] {
                 // As an earlier failed read would have left it.
                 w.Label89->show();
                 w.PageControl1->setActivePage(w.TabSheet6);
             }},
            {"read twice", [&] { return count(*sim, "15") >= 2; },
             [&] {
                 for (TLabel* l : w.ReadinessDigits)
                     digits += l->text();
                 for (TLabel* l : w.ReadinessMarks) {
                     marks << l->text();
                     colours.push_back(l->fontColor());
                 }
                 notice = !w.Label89->isHidden();
             }},
        });
        EXPECT_EQ(digits, c.digits);
        EXPECT_EQ(notice, c.notice);
        // Marks from bit 0 at the top, so they run opposite to the digits.
        for (size_t bit = 0; bit < 8; ++bit) {
            SCOPED_TRACE(bit);
            const QChar digit = QLatin1Char(c.digits[7 - bit]);
            if (digit == '-') {
                EXPECT_EQ(marks[int(bit)], "");
            } else {
                EXPECT_EQ(marks[int(bit)], digit == '1' ? Cross : Check);
                EXPECT_EQ(colours[bit], digit == '1' ? Red : Green);
            }
        }
        EXPECT_EQ(sim->commands().last(), "ATH");
        window.reset();
    }
}

TEST_F(ReadinessVoltageTest, VoltagesOfTickedInputsOnly) {
    auto sim = startSim();
    TForm1& w = openWindow(*sim, 1, "U2=3.3\r\nTV0=5\r\nTV1=1\r\nTV2=5\r\nTV4=2\r\nTV5=1\r\n");
    ASSERT_FALSE(w.CheckBox13->isEnabled()); // no factor for input 3
    bool highlighted = false;
    QStringList shown;
    drive({
        {"connected", [] { return true; },
         [&] {
             for (TLabel* l : w.VoltageValueBoxes)
                 l->setText("alt");
             for (QCheckBox* box : {w.CheckBox10, w.CheckBox11, w.CheckBox12, w.CheckBox15})
                 box->setChecked(true);
             w.PageControl1->setActivePage(w.TabSheet10);
         }},
        {"input 2 highlighted while it is read",
         [&] { return w.Label148->color() == Colours::Highlight; }, [&] { highlighted = true; }},
        {"every ticked input read twice", [&] { return count(*sim, "ATA5") >= 2; },
         [&] {
             for (TLabel* l : w.VoltageValueBoxes)
                 shown << l->text();
         }},
    });
    EXPECT_TRUE(highlighted);
    // Input 1 is refused: emptied, and the inputs after it are still read.
    EXPECT_EQ(shown, QStringList({"0,00 V", "", "3,22 V", "", "", "1,65 V"}));
    for (TLabel* l : w.VoltageValueBoxes)
        EXPECT_EQ(l->color(), Colours::Idle) << l->objectName().toStdString();
    EXPECT_GE(count(*sim, "ATA1"), 2);
    EXPECT_EQ(count(*sim, "ATA3"), 0);
    EXPECT_EQ(count(*sim, "ATA4"), 0);
    EXPECT_EQ(sim->commands().last(), "ATH");
}

TEST_F(ReadinessVoltageTest, ReadingThatIsNoNumberEndsTheSession) {
    struct Case {
        const char* fault;
        TTabSheet* TForm1::*page;
        const char* failedCommand;
    } cases[] = {
        {"garbage@15", &TForm1::TabSheet6, "15"},
        {"garbage@ATA0", &TForm1::TabSheet10, "ATA0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        auto sim = startSim({"--fault", c.fault});
        TForm1& w = openWindow(*sim, 1, "U2=5\r\nTV0=1\r\n");
        prompts.expectMessage("Kommunikationsfehler", "Fehler", PromptIcon::Error);
        bool started = false;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (connected() && !started) {
                started = true;
                w.CheckBox10->setChecked(true);
                w.PageControl1->setActivePage(w.*(c.page));
            }
        });
        timer.start(10);
        w.BitBtn3Click();
        timer.stop();
        prompts.verifyDone();
        EXPECT_EQ(sim->commands().last(), c.failedCommand);
        EXPECT_FALSE(sim->commands().contains("ATH"));
        expectIdleWindow();
        for (TLabel* l : w.VoltageValueBoxes)
            EXPECT_EQ(l->color(), Colours::Idle);
        window.reset();
    }
}
