// Going back, refused answers and abandoned functions in the demonstration scenario.
#include <gtest/gtest.h>

#include "sim_test.h"

namespace simtest {
namespace {

using Prompts = std::vector<std::pair<int32_t, int32_t>>;

class Navigation : public SimTest {};

TEST_F(Navigation, BackReturnsToThePreviousPrompt) {
    struct Case {
        const char* name;
        std::vector<Answer> answers;
        Prompts prompts;
        std::string card;
    };
    const Case cases[] = {
        {"back from the expiry to the card number",
         {{"2"}, {"4111111111111111"}, Back(), {"4222222222222222"}, {"1230"}, {"123"}, {"1"}},
         {{21, 0}, {30, 512}, {30, 513}, {30, 512}, {30, 513}, {30, 514}, {21, 0}},
         "422222******2222"},
        {"back across a goto from the plan menu to the card menu",
         {{"1"}, Back(), {"2"}, {"4333333333333333"}, {"1230"}, {"123"}, {"1"}},
         {{21, 0}, {21, 0}, {21, 0}, {30, 512}, {30, 513}, {30, 514}, {21, 0}},
         "433333******3333"},
        {"back at the first prompt shows it again",
         {Back(), {"2"}, {"4444444444444444"}, {"1230"}, {"123"}, {"1"}},
         {{21, 0}, {21, 0}, {30, 512}, {30, 513}, {30, 514}, {21, 0}},
         "444444******4444"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Outcome outcome = Lib().Run(3, "10,00", {c.answers.begin(), c.answers.end()});
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.Prompts(), c.prompts);
        EXPECT_EQ(outcome.stored[2021], c.card);
    }
}

TEST_F(Navigation, BackFromTheMenuOfAnotherFlowReturnsToTheMenuThatLedThere) {
    Outcome outcome = Lib().Run(0, "10,00", {{"1"}, Back(), {"2"}});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.Prompts(), (Prompts{{21, 0}, {21, 0}, {21, 0}}));
    EXPECT_EQ(outcome.stored[100], "0100");  // debit, chosen the second time
}

TEST_F(Navigation, RefusedAnswersBringThePromptAgain) {
    struct Case {
        const char* name;
        std::vector<Answer> answers;
        Prompts prompts;
    };
    const Case cases[] = {
        {"card number too short",
         {{"2"}, {"411"}, {"4111111111111111"}, {"1230"}, {"123"}, {"1"}},
         {{21, 0}, {30, 512}, {30, 512}, {30, 513}, {30, 514}, {21, 0}}},
        {"card number too long",
         {{"2"}, {"41111111111111111111"}, {"4111111111111111"}, {"1230"}, {"123"}, {"1"}},
         {{21, 0}, {30, 512}, {30, 512}, {30, 513}, {30, 514}, {21, 0}}},
        {"card number with letters",
         {{"2"}, {"4111x11111111111"}, {"4111111111111111"}, {"1230"}, {"123"}, {"1"}},
         {{21, 0}, {30, 512}, {30, 512}, {30, 513}, {30, 514}, {21, 0}}},
        {"expiry month 13",
         {{"2"}, {"4111111111111111"}, {"1330"}, {"1230"}, {"123"}, {"1"}},
         {{21, 0}, {30, 512}, {30, 513}, {30, 513}, {30, 514}, {21, 0}}},
        {"a menu code that is not offered", {{"9"}, {"1"}, {"1"}}, {{21, 0}, {21, 0}, {21, 0}}},
        {"one instalment where two to twelve are allowed",
         {{"1"}, {"2"}, {"1"}, {"13"}, {"02"}},
         {{21, 0}, {21, 0}, {30, 505}, {30, 505}, {30, 505}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Outcome outcome = Lib().Run(3, "10,00", {c.answers.begin(), c.answers.end()});
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.Prompts(), c.prompts);
    }
}

TEST_F(Navigation, ThreeRefusalsInARowEndTheFunction) {
    // A caller that fills a field automatically would otherwise be asked for ever.
    Outcome outcome = Lib().Run(3, "10,00", {{"2"}, {"1"}, {"12"}, {"123"}});
    EXPECT_EQ(outcome.status, -20);
    EXPECT_EQ(outcome.Prompts(), (Prompts{{21, 0}, {30, 512}, {30, 512}, {30, 512}}));
    EXPECT_EQ(LinesStartingWith(Journal(), "# error: flow \"credit\" step 4 refused").size(), 1u);
}

TEST_F(Navigation, ANewFunctionAbandonsOneLeftInItsDialogue) {
    ASSERT_EQ(Lib().Start(3, "10,00", "", "1000"), 10000);
    int32_t command = 0, field = 0;
    int16_t min = 0, max = 0;
    std::vector<char> buffer(tef::kCliSiTefBufferSize, '\0');
    ASSERT_EQ(
        Lib().continua(&command, &field, &min, &max, buffer.data(), tef::kCliSiTefBufferSize, 0),
        10000);
    ASSERT_EQ(command, 21);
    ASSERT_EQ(Lib().Start(2, "20,00", "", "2000"), 10000);
    Outcome debit = Lib().Drive({});
    EXPECT_EQ(debit.status, 0);
    EXPECT_EQ(debit.stored[100], "0100");
    EXPECT_EQ(Lib().obtem_pendentes("", "1000"), 0);
    EXPECT_EQ(LinesStartingWith(Journal(), "# the running function was abandoned").size(), 1u);
}

}  // namespace
}  // namespace simtest
