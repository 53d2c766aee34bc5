// The scripted prompts every window test relies on: answers in order, and a
// failure for anything out of script.
#include "support/ui/scripted_prompts.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

TEST(ScriptedPrompts, AnswersInOrderAndRecords) {
    ScriptedPrompts prompts;
    bool acted = false;
    prompts.expectConfirm(2, 1)
        .during([&] { acted = true; })
        .expectQuestion(true, QStringLiteral("Weiter?"))
        .expectMessage(QStringLiteral("Fehler"), QStringLiteral("Vandrix"), PromptIcon::Error)
        .expectSaveFile(QStringLiteral("/tmp/log.csv"));
    EXPECT_EQ(prompts.confirm(2), 1);
    EXPECT_TRUE(acted);
    EXPECT_TRUE(
        prompts.question(QString(), QStringLiteral("Weiter?"), PromptIcon::Question, false));
    prompts.message(QStringLiteral("Vandrix"), QStringLiteral("Fehler"), PromptIcon::Error);
    EXPECT_EQ(prompts.saveFile({}), QStringLiteral("/tmp/log.csv"));
    EXPECT_EQ(prompts.pending(), 0);
    ASSERT_EQ(prompts.shown().size(), 4u);
    EXPECT_EQ(prompts.shown()[0].tag, 2);
}

TEST(ScriptedPrompts, AnythingOutOfScriptFailsAndIsRefused) {
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedPrompts prompts;
            EXPECT_EQ(prompts.confirm(1), 3);
        },
        "unexpected confirmation tag 1");
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedPrompts prompts;
            prompts.expectConfirm(2, 1);
            EXPECT_EQ(prompts.confirm(3), 3);
            prompts.verifyDone();
        },
        "got confirmation tag 3");
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedPrompts prompts;
            prompts.expectBanner();
        },
        "expected banner never came");
}
