// The window against a simulator whose link breaks: message 304 stays as it
// is, status panel 0 says what broke, and a check keeps the steps that ran.
#include "config/strings.h"
#include "support/sim_process.h"
#include "support/ui/session_fixture.h"

#include <QHelpEvent>
#include <QToolTip>

namespace {
class LinkFailureTest : public SessionTest {
protected:
    // The reason shows in panel 0 beside the box; once the box is read the
    // panel is idle again and the reason is its tool tip.
    void expectPanel0(const QString& reason, const QString& idle) {
        TForm1& w = *window;
        EXPECT_EQ(w.StatusBar1->panelText(0), idle);
        const QRect r = w.StatusBar1->panelRect(0);
        QHelpEvent hover(QEvent::ToolTip, r.center(), w.StatusBar1->mapToGlobal(r.center()));
        QCoreApplication::sendEvent(w.StatusBar1, &hover);
        EXPECT_EQ(QToolTip::text(), reason);
    }
};
} // namespace

TEST_F(LinkFailureTest, ABrokenLinkKeepsMessage304AndSaysWhyInPanel0) {
    const int En = EnglishStringOffset;
    struct Case {
        const char* what;
        const char* fault;
        int reason;
        bool connects; // the set-up passes and the session breaks later
    } cases[] = {
        {"endless line at set-up", "endless@ATZ", LinkText::DataEndlessLine, false},
        {"DATA ERROR in a session", "dataerror@0801", LinkText::DataErrorWord, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimProcess sim({"--fault", c.fault});
        ASSERT_TRUE(sim.started());
        TForm1& w = makeWindow(sim.terminalPath(), {}, "en");
        chooseUnit(1);
        w.show();
        prompts.expectMessage(w.Str(304), w.Str(301), PromptIcon::Error).during([&] {
            EXPECT_EQ(w.StatusBar1->panelText(0), LoadStr(c.reason + En));
        });
        if (c.connects)
            runSession(
                [&] {
                    w.PageControl1->setActivePage(w.TabSheet2);
                    w.CheckBox1->setChecked(true);
                },
                false);
        else
            w.BitBtn3Click();
        prompts.verifyDone();
        expectPanel0(LoadStr(c.reason + En), w.Str(6));
    }
}

TEST_F(LinkFailureTest, ACheckTheLinkBrokeOffShowsTheStepsThatRan) {
    SimProcess sim({"--fault", "endless@ATZ"});
    ASSERT_TRUE(sim.started());
    TForm1& w = makeWindow(sim.terminalPath(), {}, "en");
    w.show();
    const QString reason = LoadStr(LinkText::DataEndlessLine + EnglishStringOffset);
    prompts.expectMessageContaining("Wake-up: passed - OK\\r>\nReset: failed - " + reason);
    w.InterfaceCheckClick();
    prompts.verifyDone();
    expectPanel0(reason, reason);
}
