// Coding write, adaptation channels, login and output test in whole sessions:
// the real window, port and channel against the simulator in its own process,
// with every prompt answered from a script.
#include "support/sim_process.h"
#include "support/test_scenarios.h"
#include "support/ui/session_fixture.h"
#include "values/measured_value.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTest>
#include <vector>

namespace {

const QByteArray Scenario = TestScenario("unit_changes.ini");

const char Labels[] = R"([Adaption]
K1T=Testkanal eins
K1-V1=Tempo
K1-V2=Drehzahl
K1.1=Hilfe eins a
K1.2=Hilfe eins b
K2T=Zweiter Kanal
K2-V1=Strecke
K2.1=Hilfe zwei
[Coding]
C1=Codierhilfe
[Login]
L1=Loginhilfe
)";

QStringList texts(const std::array<TLabel*, 4>& labels) {
    QStringList out;
    for (TLabel* l : labels)
        out << l->text();
    return out;
}

QString notANumber(const QString& text, const QString& reason) {
    return QStringLiteral("'%1' is not a valid integer value\r").arg(text) + reason;
}

} // namespace

class UnitChangesTest : public SessionTest {
protected:
    UnitChangesTest() {
        useOwnLabelFile(QStringLiteral("TK0920826C.ini"), Labels);
        scenario = QStringLiteral("scenario.ini");
        writeFile(scenario, Scenario);
        sim = startSim();
    }

    TForm1& openWindow(int address = 17) { return SessionTest::openWindow(*sim, address); }

    int count(const QString& command) const { return SessionTest::count(*sim, command); }
    int countStarting(const QString& prefix) const {
        int n = 0;
        for (const QString& c : sim->commands())
            n += c.startsWith(prefix) ? 1 : 0;
        return n;
    }
    std::function<bool()> promptsDone() {
        return [this] { return prompts.pending() == 0; };
    }

    std::unique_ptr<SimProcess> sim;
};

TEST_F(UnitChangesTest, AdaptationPageFollowsTheChannel) {
    TForm1& w = openWindow();
    QStringList names[2], values[2];
    int typedAt = 0;
    drive({
        {"connected", [] { return true; }, [&] { w.PageControl1->setActivePage(w.TabSheet8); }},
        {"channel 0 refused", [&] { return count("1000") >= 1 && w.Label117->isVisible(); },
         [&] {
             EXPECT_FALSE(w.BitBtn8->isEnabled());
             EXPECT_TRUE(w.Label119->isHidden());
             EXPECT_EQ(texts(w.AdaptationNameLabels), QStringList({"-", "-", "-", "-"}));
             EXPECT_EQ(texts(w.AdaptationValueBoxes), QStringList({"NA", "NA", "NA", "NA"}));
             w.Edit8->setText("1");
         }},
        {"channel 1 shown", [&] { return w.Label115->text() == "7"; },
         [&] {
             EXPECT_TRUE(w.Label117->isHidden());
             EXPECT_TRUE(w.BitBtn8->isEnabled());
             EXPECT_EQ(w.Edit9->text(), "7");
             EXPECT_EQ(w.Label119->text(), "Testkanal eins");
             EXPECT_TRUE(w.Label119->isVisible());
             EXPECT_EQ(w.Memo4->toPlainText(), "Hilfe eins a\nHilfe eins b");
             names[0] = texts(w.AdaptationNameLabels);
             values[0] = texts(w.AdaptationValueBoxes);
             w.Edit9->setText("9"); // the user types a new value
             typedAt = count("1001");
         }},
        {"two more passes on channel 1", [&] { return count("1001") >= typedAt + 2; },
         [&] {
             EXPECT_EQ(w.Edit9->text(), "9");
             w.Edit8->setText("2");
         }},
        {"channel 2 shown", [&] { return w.Label115->text() == "300"; },
         [&] {
             EXPECT_EQ(w.Edit9->text(), "300");
             EXPECT_EQ(w.Label119->text(), "Zweiter Kanal");
             EXPECT_EQ(w.Memo4->toPlainText(), "Hilfe zwei");
             names[1] = texts(w.AdaptationNameLabels);
             values[1] = texts(w.AdaptationValueBoxes);
             w.Edit8->setText("100"); // out of range
             typedAt = count("1002");
         }},
        {"passes after 100 was typed", [&] { return count("1002") >= typedAt + 2; },
         [&] { EXPECT_EQ(w.Edit8->text(), "2"); }},
    });

    EXPECT_EQ(names[0], QStringList({"Tempo", "Drehzahl", "5", "16"}));
    EXPECT_EQ(values[0],
              QStringList({FormatMeasuredValue(7, 100, 42), FormatMeasuredValue(1, 25, 170),
                           FormatMeasuredValue(5, 10, 130), FormatMeasuredValue(16, 0, 5)}));
    // A two-field block: the last two fields show nothing left over from
    // channel 1's four.
    EXPECT_EQ(names[1], QStringList({"Strecke", "54", "-1", "-1"}));
    EXPECT_EQ(values[1],
              QStringList({FormatMeasuredValue(36, 5, 200), FormatMeasuredValue(54, 1, 44),
                           FormatMeasuredValue(-1, -1, -1), FormatMeasuredValue(-1, -1, -1)}));
    EXPECT_EQ(countStarting("1064"), 0);
    EXPECT_TRUE(w.Edit8->isEnabled());

    // A unit without label file shows no title from the last one.
    chooseUnit(9);
    drive({
        {"connected", [] { return true; }, [&] { w.PageControl1->setActivePage(w.TabSheet8); }},
        {"channel 0 shown", [&] { return w.Label115->text() == "3"; },
         [&] {
             EXPECT_TRUE(w.Label119->isHidden());
             EXPECT_EQ(w.Memo4->toPlainText(), "");
         }},
    });
    expectIdleWindow();
}

TEST_F(UnitChangesTest, AdaptationFocusStaysWhereTheUserPutsIt) {
    TForm1& w = openWindow();
    QWidget* afterTabClick = nullptr;
    QWidget* afterChannelChange = nullptr;
    drive({
        {"connected", [] { return true; },
         [&] {
             w.PageControl1->setActivePage(w.TabSheet2);
             w.Edit2->setFocus();
             QTest::mouseClick(w.PageControl1, Qt::LeftButton, {},
                               w.PageControl1->tabRect(w.TabSheet8->pageIndex()).center());
             afterTabClick = QApplication::focusWidget();
         }},
        {"channel 0 read", [&] { return count("1000") >= 2 && w.UpDown5->isEnabled(); },
         [&] {
             // A spin click leaves the focus on the spin button.
             w.UpDown5->click(true);
         }},
        {"channel 1 shown", [&] { return w.Label115->text() == "7"; },
         [&] { afterChannelChange = QApplication::focusWidget(); }},
    });
    EXPECT_EQ(w.PageControl1->activePage(), w.TabSheet8);
    EXPECT_EQ(afterTabClick, w.PageControl1)
        << (afterTabClick ? afterTabClick->objectName().toStdString() : "none");
    EXPECT_EQ(afterChannelChange, w.UpDown5)
        << (afterChannelChange ? afterChannelChange->objectName().toStdString() : "none");
}

TEST_F(UnitChangesTest, AdaptationSaveChecksConfirmsAndReloadsOnce) {
    TForm1& w = openWindow();
    const QString question = QString::fromUtf8(
        "Das Umprogrammieren des Steuergerätes kann Störungen verursachen.\r\n"
        "Notieren Sie sich vorher die bisherigen Einstellungen.\r\nWollen Sie fortfahren?");
    int savedAt = 0;
    drive({
        {"connected", [] { return true; },
         [&] {
             w.PageControl1->setActivePage(w.TabSheet8);
             w.Edit8->setText("2");
         }},
        {"channel 2 shown", [&] { return w.Label115->text() == "300"; },
         [&] {
             w.Edit9->setText("abc");
             prompts.expectMessage(notANumber("abc", w.Str(80)), "Vandrix");
             w.BitBtn8Click();
         }},
        {"no number refused", promptsDone(),
         [&] {
             w.Edit9->setText("70000");
             prompts.expectMessage(w.Str(80));
             w.BitBtn8Click();
         }},
        {"out of range refused", promptsDone(),
         [&] {
             w.Edit9->setText("500");
             prompts.expectQuestion(false, question);
             w.BitBtn8Click();
         }},
        {"No sends nothing", promptsDone(),
         [&] {
             EXPECT_EQ(countStarting("100201F4"), 0);
             prompts.expectQuestion(true, question);
             // Typed while the success box is open: the reload replaces it.
             prompts.expectMessage(w.Str(83)).during([&] { w.Edit9->setText("123"); });
             w.BitBtn8Click();
         }},
        {"saved and reloaded", [&] { return prompts.pending() == 0 && w.Edit9->text() == "500"; },
         [&] {
             EXPECT_EQ(w.Label115->text(), "500");
             w.Edit9->setText("77");
             savedAt = count("1002");
         }},
        {"later passes keep the typing", [&] { return count("1002") >= savedAt + 2; },
         [&] {
             EXPECT_EQ(w.Edit9->text(), "77");
             w.Edit8->setText("7");
         }},
        {"channel 7 shown", [&] { return w.Label115->text() == "40"; },
         [&] {
             w.Edit9->setText("5"); // below what the unit accepts
             prompts.expectQuestion(true);
             prompts.expectMessage(w.Str(82), QString(), PromptIcon::Error);
             w.BitBtn8Click();
         }},
        {"refused by the unit", promptsDone(), [&] { EXPECT_FALSE(w.state.AdaptationSaved); }},
    });

    // The only saves sent: the confirmed ones.
    EXPECT_EQ(sim->commands().filter(QRegularExpression("^10.{6}$")),
              QStringList({"100201F4", "10070005"}));
    expectIdleWindow();
}

TEST_F(UnitChangesTest, CodingWriteChecksNumbersAndShowsTheNewIdentification) {
    TForm1& w = openWindow();
    drive({
        {"connected", [] { return true; },
         [&] {
             w.PageControl1->setActivePage(w.TabSheet4);
             EXPECT_EQ(w.Edit6->text(), "12345");
             EXPECT_EQ(w.Edit7->text(), "01262");
             w.Edit6->setText("");
             prompts.expectMessage(notANumber("", w.Str(80)));
             w.BitBtn7Click();
         }},
        {"empty workshop code refused", promptsDone(),
         [&] {
             w.Edit6->setText("12345");
             w.Edit7->setText("65536");
             prompts.expectMessage(w.Str(80));
             w.BitBtn7Click();
         }},
        {"coding out of range refused", promptsDone(),
         [&] {
             w.Edit6->setText("0");
             w.Edit7->setText("0");
             prompts.expectQuestion(false);
             w.BitBtn7Click();
         }},
        {"No sends nothing", promptsDone(),
         [&] {
             EXPECT_EQ(countStarting("07"), 0);
             w.Label145->setText("unverändert");
             prompts.expectQuestion(true);
             prompts.expectMessage(w.Str(83));
             w.BitBtn7Click();
         }},
        {"written", promptsDone(),
         [&] {
             EXPECT_EQ(w.Label6->text(), "TK0 920 826 C");
             for (TLabel* l : {w.Label9, w.Label99, w.Label100})
                 EXPECT_EQ(l->text(), "00000") << l->objectName().toStdString();
             EXPECT_EQ(w.Edit6->text(), "00000");
             EXPECT_EQ(w.Edit7->text(), "00000");
             EXPECT_EQ(w.Label145->text(), "unverändert");
             EXPECT_TRUE(w.BitBtn7->isEnabled());
             // More than the unit takes: it refuses.
             w.Edit6->setText("1");
             w.Edit7->setText("30000");
             prompts.expectQuestion(true);
             prompts.expectMessage(w.Str(82), QString(), PromptIcon::Error);
             w.BitBtn7Click();
         }},
        {"refused", promptsDone(),
         [&] {
             EXPECT_EQ(w.Label100->text(), "00000");
             EXPECT_EQ(w.Label6->text(), "TK0 920 826 C");
             // The refusal left the session's workshop code for the login.
             w.Edit1->setText("4711");
             prompts.expectMessage(w.Str(104));
             w.BitBtn13Click();
         }},
        {"logged in", promptsDone()},
    });

    EXPECT_EQ(countStarting("07"), 2);
    EXPECT_EQ(count("0700000000"), 1);
    EXPECT_EQ(count("0775300001"), 1);
    EXPECT_EQ(count("1112670000"), 1);
    expectIdleWindow();
}

TEST_F(UnitChangesTest, LoginChecksTheCodeAndARefusalEndsTheSession) {
    TForm1& w = openWindow();
    drive(
        {
            {"connected", [] { return true; },
             [&] {
                 w.PageControl1->setActivePage(w.TabSheet9);
                 EXPECT_EQ(w.Memo5->toPlainText(), "Loginhilfe");
                 w.Edit1->setText("65536");
                 prompts.expectMessage(w.Str(105));
                 w.BitBtn13Click();
             }},
            {"out of range refused", promptsDone(),
             [&] {
                 // Not a number: the conversion box, then the range box.
                 w.Edit1->setText("abc");
                 prompts.expectMessage(notANumber("abc", w.Str(105)));
                 prompts.expectMessage(w.Str(105));
                 w.BitBtn13Click();
             }},
            {"no number refused", promptsDone(),
             [&] {
                 EXPECT_EQ(countStarting("11"), 0);
                 w.Edit1->setText("4712");
                 prompts.expectMessage(w.Str(103), QString(), PromptIcon::Error);
                 w.BitBtn13Click();
             }},
        },
        End::ByItself);

    EXPECT_EQ(sim->commands().filter(QRegularExpression("^11")), QStringList({"1112683039"}));
    EXPECT_EQ(sim->commands().last(), "ATH");
    EXPECT_TRUE(w.state.StopRequested);
    expectIdleWindow();
}

TEST_F(UnitChangesTest, LoginWithoutWorkshopCodeEndsTheSessionWithItsError) {
    TForm1& w = openWindow(9);
    drive(
        {
            {"connected", [] { return true; },
             [&] {
                 w.Edit1->setText("1");
                 prompts.expectMessage(w.Str(304), w.Str(301), PromptIcon::Error);
                 w.BitBtn13Click();
             }},
        },
        End::ByItself);
    EXPECT_EQ(countStarting("11"), 0);
    EXPECT_NE(sim->commands().last(), "ATH");
    expectIdleWindow();
}

TEST_F(UnitChangesTest, OutputTestStepsThroughComponentsAfterOneConfirmation) {
    TForm1& w = openWindow();
    w.state.DtcTextFile = IniFile::fromBytes("[DTC]\r\n1039= Tankanzeige \r\n");
    drive({
        {"connected", [] { return true; },
         [&] {
             w.PageControl1->setActivePage(w.TabSheet13);
             EXPECT_EQ(w.BitBtn15->text(), w.Str(113));
             prompts.expectConfirm(3, 2); // closed without the tick
             w.BitBtn15Click();
         }},
        {"warning declined", promptsDone(),
         [&] {
             EXPECT_EQ(count("03"), 0);
             EXPECT_FALSE(w.state.OutputTestConfirmed);
             prompts.expectConfirm(3, 1);
             w.BitBtn15Click();
         }},
        {"first component", [&] { return w.Label133->text() == "Tankanzeige"; },
         [&] {
             EXPECT_EQ(w.BitBtn15->text(), w.Str(115));
             w.BitBtn15Click(); // no second warning
         }},
        {"component without text", [&] { return w.Label133->text() == "771"; },
         [&] {
             EXPECT_EQ(w.BitBtn15->text(), w.Str(115));
             w.BitBtn15Click();
         }},
        {"finished", [&] { return w.Label133->text() == w.Str(116); },
         [&] {
             EXPECT_EQ(w.BitBtn15->text(), w.Str(113));
             EXPECT_TRUE(w.BitBtn15->isEnabled());
             w.BitBtn15Click();
         }},
        {"started again", [&] { return w.Label133->text() == "Tankanzeige"; }},
    });
    EXPECT_EQ(count("03"), 4);

    // The confirmation was for that unit: the next session asks again.
    chooseUnit(9);
    drive({
        {"connected", [] { return true; },
         [&] {
             w.PageControl1->setActivePage(w.TabSheet13);
             prompts.expectConfirm(3, 1);
             w.BitBtn15Click();
         }},
        {"refused", [&] { return w.Label133->text() == "NA"; }},
    });
    EXPECT_EQ(count("03"), 5);
    expectIdleWindow();
}

TEST_F(UnitChangesTest, NoRequestOfAnEarlierSessionActsInTheNext) {
    TForm1& w = openWindow();
    drive({
        {"connected", [] { return true; },
         [&] {
             w.PageControl1->setActivePage(w.TabSheet13);
             prompts.expectConfirm(3, 1);
             w.BitBtn15Click();
         }},
        {"first component", [&] { return count("03") == 1 && promptsDone()(); }},
    });
    for (QPushButton* b : {w.BitBtn4, w.BitBtn7, w.BitBtn8, w.BitBtn13, w.BitBtn15, w.BitBtn5})
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();

    // Requests made between sessions, as a click that got through would.
    w.BitBtn15Click();
    w.BitBtn8Click();
    w.BitBtn13Click();
    w.BitBtn4Click();
    w.BitBtn7Click();
    chooseUnit(9);
    drive({
        {"connected", [] { return true; },
         [&] {
             w.PageControl1->setActivePage(w.TabSheet2);
             w.CheckBox1->setChecked(true);
         }},
        {"two passes", [&] { return count("0801") >= 2; }},
    });
    EXPECT_EQ(count("03"), 1);
    EXPECT_EQ(countStarting("10"), 0);
    EXPECT_EQ(countStarting("11"), 0);
    EXPECT_EQ(countStarting("07"), 0);
    EXPECT_EQ(count("05"), 0);
    EXPECT_TRUE(prompts.shown().size() == 1) << "only the first session's warning";
    expectIdleWindow();
}
