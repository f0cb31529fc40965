// Scenarios written as exact scripts, and the journal that shows what the caller sent.
#include <gtest/gtest.h>

#include "sim_test.h"

namespace simtest {
namespace {

constexpr const char* kScript = R"({
  "script": [
    {"command": 4, "text": "Título"},
    {"command": 21, "text": "1:Sim;2:Não;", "expect": "2"},
    {"command": 30, "field": 512, "min": 13, "max": 19, "text": "Cartão",
     "expect": "4111111111111111"},
    {"command": 22, "text": "Pressione enter", "expect_continua": 1},
    {"command": 50, "field": 584, "text": "qr-data"},
    {"command": 52, "field": 4128, "text": "qr@pinpad"},
    {"command": 34, "field": 146, "min": 1, "max": 12, "text": "Forneca o valor",
     "expect": "12,50"},
    {"command": 23, "times": 2},
    {"command": 0, "field": 121, "text": "Linha 1\nLinha 2 ação"},
    {"status": 0, "text": "fim"}
  ]
})";

class Scripts : public SimTest {};

TEST_F(Scripts, HandOutExactlyTheScriptedCommands) {
    UseScenario(kScript);
    Outcome outcome = Lib().Run(3, "10,00", {{"2"}, {"4111111111111111"}, {"12,50"}});
    ASSERT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.final_text, "fim");
    struct Expected {
        int32_t command, field;
        int16_t min, max;
        std::string text;
    };
    const Expected expected[] = {
        {4, 0, 0, 0, "T\xEDtulo"},
        {21, 0, 0, 0, "1:Sim;2:N\xE3o;"},
        {30, 512, 13, 19, "Cart\xE3o"},
        {22, 0, 0, 0, "Pressione enter"},
        {50, 584, 0, 0, "qr-data"},
        {52, 4128, 0, 0, "qr@pinpad"},
        {34, 146, 1, 12, "Forneca o valor"},
        {23, 0, 0, 0, ""},
        {23, 0, 0, 0, ""},
        {0, 121, 0, 0, "Linha 1\nLinha 2 a\xE7\xE3o"},
    };
    ASSERT_EQ(outcome.commands.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        const Command& got = outcome.commands[i];
        EXPECT_EQ(got.command, expected[i].command);
        EXPECT_EQ(got.field, expected[i].field);
        EXPECT_EQ(got.min, expected[i].min);
        EXPECT_EQ(got.max, expected[i].max);
        EXPECT_EQ(got.text, expected[i].text);
    }
}

TEST_F(Scripts, RunForEveryFunctionCodeWithoutBackNavigation) {
    UseScenario(R"({"script": [
        {"command": 30, "field": 500, "min": 4, "max": 4},
        {"command": 30, "field": 501},
        {"status": 7}]})");
    // An answer outside the lengths and a "back" are taken as they come.
    Outcome outcome = Lib().Run(4711, "1,00", {{"12"}, Back()});
    EXPECT_EQ(outcome.status, 7);
    EXPECT_EQ(outcome.Prompts(), (std::vector<std::pair<int32_t, int32_t>>{{30, 500}, {30, 501}}));
}

TEST_F(Scripts, UnmetExpectationsEndTheFunctionAndAreReported) {
    struct Case {
        const char* name;
        std::vector<Answer> answers;
        std::string note;
    };
    const Case cases[] = {
        {"another menu choice",
         {{"1"}},
         "# error: flow \"script\" step 1 expected the answer \"2\", got \"1\""},
        {"another card number",
         {{"2"}, {"4000000000000000"}},
         "# error: flow \"script\" step 2 expected the answer \"4111111111111111\", got "
         "\"4000000000000000\""},
    };
    UseScenario(kScript);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Outcome outcome = Lib().Run(3, "10,00", {c.answers.begin(), c.answers.end()});
        EXPECT_EQ(outcome.status, -100);
        EXPECT_EQ(LinesStartingWith(Journal(), c.note).size(), 1u);
    }
}

TEST_F(Scripts, UnmetContinuationIsReported) {
    UseScenario(
        R"({"script": [{"command": 3, "text": "x", "expect_continua": 1}, {"status": 0}]})");
    EXPECT_EQ(Lib().Run(3, "10,00", {}).status, -100);
    EXPECT_EQ(LinesStartingWith(Journal(),
                                "# error: flow \"script\" step 0 expected continuation 1, got 0")
                  .size(),
              1u);
}

TEST_F(Scripts, TheJournalHasOneLinePerCallWithArgumentsAndResults) {
    UseScenario(R"({"script": [
        {"command": 21, "text": "1:A\"b\\c\u0001\t€ç;"},
        {"command": 0, "field": 121, "text": "L1\nL2\r\nÇ"},
        {"status": 0, "record": "payment"}]})");
    SimLibrary& lib = Lib();
    ASSERT_EQ(lib.Start(3, "189,23", "{DevolveStringQRCode=1}", "56921"), 10000);
    lib.Drive({{"S\xE3o \"1\""}});
    lib.finaliza_funcao(1, "56921", "20251126", "154900", "");
    lib.verifica_pinpad();
    lib.inicia(3, nullptr, "1", "20251126", "154841", "", "");
    std::vector<std::string> calls;
    for (const std::string& line : Journal()) {
        if (line.rfind("#", 0) != 0) calls.push_back(line);
    }
    const std::vector<std::string> expected = {
        "ConfiguraIntSiTefInterativoEx ip=\"127.0.0.1\" loja=\"00000000\" terminal=\"AG001203\" "
        "reservado=0 parametrosAdicionais=\"[];{ValorIncluiTaxa=0;};\" -> 0",
        "IniciaFuncaoSiTefInterativo funcao=3 valor=\"189,23\" cupomFiscal=\"56921\" "
        "dataFiscal=\"20251126\" horario=\"154841\" operador=\"\" "
        "restricoes=\"{DevolveStringQRCode=1}\" -> 10000",
        "ContinuaFuncaoSiTefInterativo continua=0 buffer=\"\" tamBuffer=20001 -> 10000 comando=21 "
        "tipoCampo=0 tamMinimo=0 tamMaximo=0 buffer=\"1:A\\\"b\\\\c\\x01\\t€ç;\"",
        "ContinuaFuncaoSiTefInterativo continua=0 buffer=\"São \\\"1\\\"\" tamBuffer=20001 -> "
        "10000 comando=0 tipoCampo=121 tamMinimo=0 tamMaximo=0 buffer=\"L1\\nL2\\r\\nÇ\"",
        "ContinuaFuncaoSiTefInterativo continua=0 buffer=\"\" tamBuffer=20001 -> 0 comando=0 "
        "tipoCampo=0 tamMinimo=0 tamMaximo=0 buffer=\"\"",
        "FinalizaFuncaoSiTefInterativo confirma=1 cupomFiscal=\"56921\" dataFiscal=\"20251126\" "
        "horario=\"154900\" paramAdicionais=\"\" -> 0",
        "VerificaPresencaPinPad -> 1",
        "IniciaFuncaoSiTefInterativo funcao=3 valor=NULL cupomFiscal=\"1\" dataFiscal=\"20251126\" "
        "horario=\"154841\" operador=\"\" restricoes=\"\" -> -20",
    };
    EXPECT_EQ(calls, expected);
}

TEST_F(Scripts, JournalEscapesBytesTheCodePageLeavesUndefined) {
    UseScenario(R"({"script": [{"command": 30}, {"status": 0}]})");
    Lib().Run(3, "1,00", {{"a\x81z\x7F"}});
    auto lines =
        LinesStartingWith(Journal(), "ContinuaFuncaoSiTefInterativo continua=0 buffer=\"a");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("buffer=\"a\\x81z\\x7F\""), std::string::npos) << lines[0];
}

}  // namespace
}  // namespace simtest
