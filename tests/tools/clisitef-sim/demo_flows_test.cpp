// The flows of the built-in demonstration scenario, driven through the exports.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <regex>
#include <utility>
#include <vector>

#include "sim_test.h"

namespace simtest {
namespace {

constexpr const char* kQrToApp = "{DevolveStringQRCode=1}";

using Prompts = std::vector<std::pair<int32_t, int32_t>>;

struct FlowCase {
    const char* name;
    int32_t function;
    const char* amount;
    const char* restrictions;
    std::vector<Answer> answers;
    int32_t status;
    Prompts prompts;                        // (command, field) of every prompt, in order
    std::map<int32_t, std::string> stored;  // a subset of what command 0 stored
    std::optional<std::pair<int32_t, int32_t>> seen = std::nullopt;
    std::optional<std::pair<int32_t, int32_t>> not_seen = std::nullopt;
};

class DemoFlows : public SimTest {};

TEST_F(DemoFlows, RunEachFunctionToItsOutcome) {
    // clang-format off
    const FlowCase cases[] = {
        {"credit, typed card, at sight", 3, "189,23", kQrToApp,
         {{"2"}, {"4111111111111111"}, {"1230"}, {"123"}, {"1"}}, 0,
         {{21, 0}, {30, 512}, {30, 513}, {30, 514}, {21, 0}},
         {{100, "0200"}, {101, "Cr\351dito \340 vista"}, {102, "Cart\343o de Cr\351dito"},
          {2021, "411111******1111"}, {105, "20251126154841"}}},
        {"credit, chip, instalments by the store", 3, "300,00", kQrToApp,
         {{"1"}, {"2"}, {"03"}}, 0, {{21, 0}, {21, 0}, {30, 505}},
         {{100, "0202"}, {505, "03"}, {2021, "400012******9010"}}},
        {"credit, chip, instalments by the administrator", 3, "300,00", "",
         {{"1"}, {"3"}, {"12"}}, 0, {{21, 0}, {21, 0}, {30, 505}},
         {{100, "0203"}, {505, "12"}}},
        {"debit", 2, "50,00", kQrToApp, {}, 0, {},
         {{100, "0100"}, {101, "D\351bito \340 vista"}}},
        {"pix with the QR code for the application", 122, "25,90", kQrToApp, {}, 0, {},
         {{100, "0500"}, {102, "PIX"}, {109, "25,90"}}, std::make_pair(50, 584)},
        {"pix with the QR code on the PIN pad", 122, "25,90", "[10];", {}, 0, {},
         {{100, "0500"}}, std::nullopt, std::make_pair(50, 584)},
        {"payment menu to pix", 0, "25,90", kQrToApp, {{"3"}}, 0, {{21, 0}}, {{100, "0500"}}},
        {"payment menu to debit", 0, "25,90", kQrToApp, {{"2"}}, 0, {{21, 0}}, {{100, "0100"}}},
        {"declined by the authoriser", 3, "10,51", kQrToApp, {}, 5, {}, {}},
        {"declined pix", 122, "10,51", kQrToApp, {}, 5, {}, {}},
        {"cancelled by the operator at the first menu", 3, "10,00", kQrToApp, {Abort()}, -2,
         {{21, 0}}, {}},
        {"cancelled by the operator at the card number", 3, "10,00", kQrToApp,
         {{"2"}, Abort()}, -2, {{21, 0}, {30, 512}}, {}},
        {"unknown function code", 999, "10,00", kQrToApp, {}, -3, {}, {}},
        {"communication test", 111, "0,00", "", {}, 0, {}, {}},
        {"administrative menu to the communication test", 110, "0,00", "", {{"1"}}, 0,
         {{21, 0}}, {}},
    };
    // clang-format on
    for (const FlowCase& c : cases) {
        SCOPED_TRACE(c.name);
        Outcome outcome =
            Lib().Run(c.function, c.amount, {c.answers.begin(), c.answers.end()}, c.restrictions);
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_EQ(outcome.Prompts(), c.prompts);
        EXPECT_EQ(outcome.answers_left, 0);
        for (const auto& [field, value] : c.stored)
            EXPECT_EQ(outcome.stored[field], value) << field;
        if (c.stored.empty()) {
            EXPECT_TRUE(outcome.stored.empty());
        }
        if (c.seen) {
            EXPECT_TRUE(outcome.Has(c.seen->first, c.seen->second));
        }
        if (c.not_seen) {
            EXPECT_FALSE(outcome.Has(c.not_seen->first, c.not_seen->second));
        }
    }
}

TEST_F(DemoFlows, CreditApprovalStoresTheFieldsOfTheResponse) {
    Outcome outcome = Lib().Run(3, "189,23", {{"1"}, {"1"}}, kQrToApp, "56921");
    ASSERT_EQ(outcome.status, 0);
    for (int32_t field :
         {100, 101, 102, 105, 121, 122, 131, 132, 133, 134, 135, 156, 157, 2021, 800})
        EXPECT_FALSE(outcome.stored[field].empty()) << field;
    EXPECT_EQ(outcome.stored[133], "000001");
    EXPECT_EQ(outcome.stored[134], "100000001");
    EXPECT_TRUE(std::regex_match(outcome.stored[800], std::regex("[0-9A-F]{16}")));
    const std::string& customer = outcome.stored[121];
    for (const char* part : {"LOJA DEMONSTRA\xC7\xC3O LTDA\n", "CART\xC3O DE CR\311DITO\n",
                             "VALOR: R$ 189,23\n", "DATA: 26/11/2025   HORA: 15:48:41\n",
                             "TERMINAL: AG001203", "AUTORIZA\xC7\xC3O: ", "VIA DO CLIENTE"})
        EXPECT_NE(customer.find(part), std::string::npos) << part;
    EXPECT_NE(outcome.stored[122].find("VIA DO ESTABELECIMENTO"), std::string::npos);
    // The chip path shows the operator and the customer what to do while it waits.
    for (int32_t command : {1, 2, 3, 13, 23}) EXPECT_GT(outcome.Count(command), 0) << command;
}

TEST_F(DemoFlows, PixHandsOutItsQrCodeWithTheAmount) {
    Outcome outcome = Lib().Run(122, "25,90", {}, kQrToApp, "777");
    ASSERT_EQ(outcome.status, 0);
    auto qr = std::find_if(outcome.commands.begin(), outcome.commands.end(),
                           [](const Command& c) { return c.command == 50; });
    ASSERT_NE(qr, outcome.commands.end());
    EXPECT_EQ(qr->field, 584);
    EXPECT_NE(qr->text.find("valor=25.90"), std::string::npos) << qr->text;
    EXPECT_EQ(outcome.stored[106], "DEMO100000001777");
}

TEST_F(DemoFlows, AWaitGoesOnUntilTheCallerInterruptsIt) {
    ASSERT_EQ(Lib().Start(3, "10,52", kQrToApp), 10000);
    // Far more waits than any finite wait of the scenario hands out.
    Outcome outcome = Lib().Drive({}, 200);
    EXPECT_EQ(outcome.status, -2);
    EXPECT_EQ(outcome.Count(23), 200);
}

}  // namespace
}  // namespace simtest
