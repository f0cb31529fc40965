// The interactive dialogue of the CliSiTef engine, driven against the simulated library with
// exact scripts: what each command makes the component ask its host, and what the engine
// then sends back to the library (answers and continuations, from the simulator's journal).
#include "tef/clisitef_dialogo.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

#include "platform/file_system.h"
#include "tef/errors.h"
#include "tef/resp_clisitef.h"
#include "tef_host.h"

namespace {

using namespace tef;
using teftest::RespostaMenu;
using teftest::SimFixture;
using teftest::TestHost;
using Lines = std::vector<std::string>;

const std::string kRemoveBoth = "Msg opmRemoverMsgOperador |Msg opmRemoverMsgCliente ";

// "a|b|c" → {"a", "b", "c"}; "" → {}.
Lines Split(const std::string& text) {
    Lines lines;
    if (text.empty()) return lines;
    size_t start = 0;
    for (;;) {
        size_t bar = text.find('|', start);
        lines.push_back(text.substr(start, bar - start));
        if (bar == std::string::npos) return lines;
        start = bar + 1;
    }
}

// What the operator typed in for a function.
struct Digitados {
    AnsiString QtdParcela = "0", CVV, DataVencimento, NumeroCartao;
};

class Dialogo : public SimFixture {
protected:
    // Runs `steps` (JSON objects separated by commas) followed by an approval as the script of
    // a function; the final status.
    int32_t Run(const std::string& steps, const Digitados& d = {}) {
        UseScript("[" + steps + (steps.empty() ? "" : ",") + R"({"status": 0}])");
        Start();
        host_.calls.clear();
        int32_t status = engine_.IniciarFuncao(3, "CRT", 100000, "", "");
        if (status == kCliSiTefContinue)
            status = engine_.ContinuarFuncao(false, d.QtdParcela, d.CVV, d.DataVencimento,
                                             d.NumeroCartao);
        return status;
    }

    const TKaCliSiTefResp& Resp() const { return engine_.Resp(); }
    AnsiString Stored(int field, int seq = 0) {
        return engine_.Resp().LeInformacao(field, seq).AsString();
    }
};

TEST_F(Dialogo, CommandTable) {
    struct Case {
        const char* name;
        std::string steps;
        std::function<void(TestHost&)> setup;
        std::string calls;    // host calls, "|"-separated
        std::string answers;  // what each library call received, "|"-separated
        int32_t status = 0;
    };
    const auto none = [](TestHost&) {};
    const Case cases[] = {
        {"1 operator message", R"({"command": 1, "text": "A@B/nC"})", none,
         "Msg opmExibirMsgOperador A\r\nB\r\nC", "0:|0:"},
        {"2 customer message", R"({"command": 2, "text": "Insira o cartão"})", none,
         "Msg opmExibirMsgCliente Insira o cartão", "0:|0:"},
        {"3 both messages", R"({"command": 3, "text": "Aguarde@"})", none,
         "Msg opmExibirMsgOperador Aguarde\r\n|Msg opmExibirMsgCliente Aguarde\r\n", "0:|0:"},
        {"4 title of the next menu",
         R"({"command": 4, "text": "Escolha"}, {"command": 21, "text": "1:Um;2:Dois;"})",
         [](TestHost& h) { h.menus = {{1}}; }, "Menu Escolha [1:Um;2:Dois]", "0:|0:|0:2"},
        {"14 clears the title",
         R"({"command": 4, "text": "T"}, {"command": 14}, {"command": 21, "text": "1:Um;"})",
         [](TestHost& h) { h.menus = {{0}}; }, "Menu  [1:Um]", "0:|0:|0:|0:1"},
        {"11 12 13 removals", R"({"command": 11}, {"command": 12}, {"command": 13})", none,
         "Msg opmRemoverMsgOperador |Msg opmRemoverMsgCliente |" + kRemoveBoth, "0:|0:|0:|0:"},
        {"20 empty question, yes", R"({"command": 20})", [](TestHost& h) { h.perguntas = {6}; },
         "Foco|Msg opmYesNo CONFIRMA ?", "0:|0:0"},
        {"20 question, no", R"({"command": 20, "text": "Confirma?"})",
         [](TestHost& h) { h.perguntas = {7}; }, "Foco|Msg opmYesNo Confirma?", "0:|0:1"},
        {"20 question left unanswered", R"({"command": 20, "text": "Confirma?"})", none,
         "Foco|Msg opmYesNo Confirma?", "0:|0:1"},
        {"22 Unauthorized", R"({"command": 22, "text": " Unauthorized"})", none,
         "Msg opmExcept  Unauthorized|" + kRemoveBoth, "0:|1:"},
        {"22 already done", R"({"command": 22, "text": "Transacao ja efetuada"})", none,
         "Foco|Msg opmOK Transação já efetuada no sitef\r\nImprima o ultimo comprovante de "
         "pagamento e informe o pagamento manual.|" +
             kRemoveBoth,
         "0:|1:"},
        {"22 other notice", R"({"command": 22})", none, kRemoveBoth, "0:|1:"},
        {"23 wait", R"({"command": 23, "times": 2})", none, "Aguarda 23 0|Aguarda 23 0",
         "0:|0:|0:"},
        {"23 interrupted", R"({"command": 23, "times": 2})",
         [](TestHost& h) { h.interromperNaEspera = 1; }, "Aguarda 23 0|" + kRemoveBoth,
         "0:|-1:", -2},
        {"30 field", R"({"command": 30, "field": 600, "min": 1, "max": 10, "text": "Digite"})",
         [](TestHost& h) { h.campos = {{"abc"}}; }, "Campo 600 tcString Digite (1,10) []",
         "0:|0:abc"},
        {"31 cheque", R"({"command": 31, "field": 517, "text": "Cheque"})",
         [](TestHost& h) { h.campos = {{"1:123"}}; }, "Cheque 517 tcString Cheque", "0:|0:1:123"},
        {"31 other field", R"({"command": 31, "field": 518, "min": 2, "max": 9, "text": "CMC7"})",
         [](TestHost& h) { h.campos = {{"<1234<"}}; }, "Campo 518 tcCMC7 CMC7 (2,9) []",
         "0:|0:<1234<"},
        {"34 amount with a point",
         R"({"command": 34, "field": 146, "min": 1, "max": 12, "text": "Valor"})",
         [](TestHost& h) { h.campos = {{"12.5"}}; }, "Campo 146 tcCurrency Valor (1,12) []",
         "0:|0:12,50"},
        {"34 unreadable amount", R"({"command": 34, "field": 146, "text": "Valor"})",
         [](TestHost& h) { h.campos = {{"doze"}}; }, "Campo 146 tcCurrency Valor (0,0) []",
         "0:|0:0,00"},
        {"35 bar code", R"({"command": 35, "field": 700, "text": "Codigo"})",
         [](TestHost& h) { h.campos = {{"8469"}}; }, "Campo 700 tcBarCode Codigo (0,0) []",
         "0:|0:8469"},
        {"50 QR code", R"({"command": 50, "field": 584, "text": "pix:10.00"})", none,
         "QR pix:10.00", "0:|0:"},
        {"50 other field", R"({"command": 50, "field": 585, "text": "x"})", none, "", "0:|0:"},
        {"52 QR code for the operator", R"({"command": 52, "field": 4128, "text": "qr@pinpad"})",
         none, "Msg opmQRCode qr\r\npinpad", "0:|0:"},
        {"52 other field", R"({"command": 52, "field": 1, "text": "ok"})", none,
         "Msg opmExibirMsgOperador ok|Msg opmExibirMsgCliente ok", "0:|0:"},
        {"unknown command sends the preset", R"({"command": 99, "field": 777})",
         [this](TestHost&) { engine_.Respostas["777"] = "preset"; }, "", "0:|0:preset"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A fresh library state and journal for every case.
        platform::DeleteFile(folder_ / "journal.log");
        component_.DesInicializar(gpCliSiTef);
        engine_.Respostas.clear();
        host_.Reset();
        c.setup(host_);
        EXPECT_EQ(Run(c.steps), c.status);
        EXPECT_EQ(host_.calls, Split(c.calls));
        EXPECT_EQ(Answers(), Split(c.answers));
    }
}

TEST_F(Dialogo, StoredFieldTypes) {
    const int32_t status = Run(R"(
        {"command": 0, "field": 15, "text": "1"},
        {"command": 0, "field": 25, "text": "x"},
        {"command": 0, "field": 106, "text": "carteira"},
        {"command": 0, "field": 107, "text": "Carteira Digital"},
        {"command": 0, "field": 108, "text": "bandeira"},
        {"command": 0, "field": 109, "text": "10,00"},
        {"command": 0, "field": 131, "text": "00051"},
        {"command": 0, "field": 131, "text": "00099"},
        {"command": 0, "field": 132, "text": "00001"},
        {"command": 0, "field": 133, "text": "000123"},
        {"command": 0, "field": 134, "text": "999123"},
        {"command": 0, "field": 135, "text": "AUT123"},
        {"command": 0, "field": 502, "text": "12345678909"},
        {"command": 0, "field": 503, "text": "11222333000181"},
        {"command": 0, "field": 504, "text": "11999998888"},
        {"command": 0, "field": 500, "text": "Senha do supervisor"},
        {"command": 0, "field": 732, "text": "Aviso@importante"},
        {"command": 0, "field": 800, "text": "ABCDEF"},
        {"command": 0, "field": 800, "text": "OUTRO"},
        {"command": 0, "field": 121, "text": "VIA 1\nLinha 2"},
        {"command": 0, "field": 110, "text": "1"})");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(host_.calls,
              (Lines{"Senha Senha do supervisor", "Msg opmExibirMsgOperador Aviso\r\nimportante"}));
    EXPECT_EQ(Stored(15), "True");
    EXPECT_EQ(Stored(25), "True");
    EXPECT_EQ(component_.fIdDaCarteiraDigital, "carteira");
    EXPECT_EQ(component_.fNomeCarteiraDigital, "Carteira Digital");
    EXPECT_EQ(component_.fBandeiraCarteiraDigital, "bandeira");
    EXPECT_EQ(component_.fValorAprovadoCarteiraDigital, "10,00");
    // The component keeps the first value it ever received, the record the last of the run.
    EXPECT_EQ(component_.CodigoRede(), "00051");
    EXPECT_EQ(Stored(131), "00099");
    EXPECT_EQ(component_.CodigoBandeira(), "00001");
    EXPECT_EQ(component_.CodigoNsu(), "000123");
    EXPECT_EQ(component_.CodigoNSUHost(), "999123");
    EXPECT_EQ(component_.CodigoAutorizacao(), "AUT123");
    EXPECT_EQ(component_.fCPFCliente, "12345678909");
    EXPECT_EQ(component_.FCNPJCliente, "11222333000181");
    EXPECT_EQ(component_.fTelefoneCliente, "11999998888");
    EXPECT_EQ(engine_.CodigoHASH, "ABCDEF");
    EXPECT_EQ(Stored(121), "VIA 1\\x0ALinha 2");
    EXPECT_TRUE(Resp().MsgImpressao);
    EXPECT_EQ(Resp().ImagemComprovante1aVia, (TextLines{"VIA 1", "Linha 2"}));
    EXPECT_TRUE(engine_.Devolucao());
    EXPECT_FALSE(engine_.Reimpressao());

    // The next run empties the wallet and customer data but keeps the codes.
    platform::DeleteFile(folder_ / "journal.log");
    component_.DesInicializar(gpCliSiTef);
    EXPECT_EQ(
        Run(R"({"command": 0, "field": 56, "text": "1"}, {"command": 0, "field": 131, "text": "7"})"),
        0);
    EXPECT_EQ(component_.fIdDaCarteiraDigital, "");
    EXPECT_EQ(component_.fCPFCliente, "");
    EXPECT_EQ(component_.CodigoRede(), "00051");
    EXPECT_EQ(engine_.CodigoHASH, "ABCDEF");
    EXPECT_TRUE(engine_.Reimpressao());
    EXPECT_FALSE(engine_.Devolucao());
}

TEST_F(Dialogo, MenuAnswers) {
    struct Case {
        const char* name;
        int operacaoCRT;
        AnsiString qtdParcela;
        std::string menu;
        RespostaMenu escolha;
        bool evento;
        std::string answer;  // sent after the menu
        std::string tail;    // calls after the menu event
    };
    const Case cases[] = {
        {"debit: chip or typed", 2, "0", "1:Magnetico/Chip;2:Digitado;", {}, false, "0:1", ""},
        {"debit: visa electron", 2, "0", "1:VISA ELECTRON;2:Maestro;", {}, false, "0:1", ""},
        {"debit: at sight", 2, "0", "1:A Vista;2:Pre-datado;", {}, false, "0:1", ""},
        {"credit: chip or typed", 3, "0", "1:Magnetico/Chip;2:Digitado;", {}, false, "0:1", ""},
        {"credit: at sight, one instalment",
         3,
         "01",
         "1:A Vista;2:Parcelado;",
         {},
         false,
         "0:1",
         ""},
        {"credit: at sight, instalments", 3, "03", "1:A Vista;2:Parcelado;", {}, false, "0:2", ""},
        // No instalment count is one instalment, not a plan to ask the client for.
        {"credit: at sight, no count", 3, "00", "1:A Vista;2:Parcelado;", {}, false, "0:1", ""},
        {"credit: at sight, count 0", 3, "0", "1:A Vista;2:Parcelado;", {}, false, "0:1", ""},
        {"credit: other menu", 3, "0", "1:Credito;2:Debito;", {1}, true, "0:2", ""},
        {"other function", 0, "0", "1:Magnetico/Chip;2:Digitado;", {0}, true, "0:1", ""},
        {"item without a code", 0, "0", "Sem codigo;2:Dois;", {0}, true, "0:", ""},
        {"back", 0, "0", "1:Um;", {0, true}, true, "1:", kRemoveBoth},
        {"no choice", 0, "0", "1:Um;", {-1}, true, "-1:", kRemoveBoth},
        {"choice out of range", 0, "0", "1:Um;", {1}, true, "-1:", kRemoveBoth},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform::DeleteFile(folder_ / "journal.log");
        component_.DesInicializar(gpCliSiTef);
        engine_.OperacaoCRT = c.operacaoCRT;
        host_.menus = {c.escolha};
        Digitados d;
        d.QtdParcela = c.qtdParcela;
        // A back or an abort is answered by the script's end; -1 ends with the cancel status.
        Run(R"({"command": 21, "text": ")" + c.menu + R"("})", d);
        Lines esperadas;
        if (c.evento) esperadas.push_back("Menu  [" + c.menu.substr(0, c.menu.size() - 1) + "]");
        for (auto& l : Split(c.tail)) esperadas.push_back(l);
        EXPECT_EQ(host_.calls, esperadas);
        ASSERT_EQ(Answers().size(), 2u);
        EXPECT_EQ(Answers()[1], c.answer);
    }
}

TEST_F(Dialogo, FieldEntry) {
    struct Case {
        const char* name;
        int field;
        Digitados digitados;
        bool cancelando;
        std::string calls;
        std::string answer;
        bool stored;
        const char* kept = nullptr;  // what the record keeps, when not the answer sent
    };
    Digitados cartao;
    cartao.NumeroCartao = "4111111111111111";
    cartao.DataVencimento = "1230";
    cartao.CVV = "123";
    Digitados tres;
    tres.QtdParcela = "03";
    Digitados zero;
    zero.QtdParcela = "0";
    Digitados uma;
    uma.QtdParcela = "01";
    const Case cases[] = {
        {"501 preset only", 501, {}, false, "", "0:P501", false},
        {"506 preset only", 506, {}, false, "", "0:P506", false},
        {"514 typed security code", 514, cartao, false, "", "0:123", false},
        {"514 asked", 514, {}, false, "Campo 514 tcSeguranca F (1,4) [P514]", "0:R", false},
        {"500 password", 500, {}, false, "Senha F", "0:P500", false},
        {"515 cancelling", 515, {}, true, "", "0:26112025", true},
        {"516 cancelling", 516, {}, true, "", "0:4321", true},
        {"146 cancelling", 146, {}, true, "", "0:99,90", true},
        {"515 not cancelling", 515, {}, false, "Campo 515 tcString F (1,4) [P515]", "0:R", true},
        // The record keeps typed card data only masked.
        {"512 typed card", 512, cartao, false, "", "0:4111111111111111", true, "411111******1111"},
        {"513 typed card", 513, cartao, false, "", "0:1230", true, "***"},
        {"ordinary field with a typed card", 600, cartao, false, "", "0:P600", true},
        {"512 asked", 512, {}, false, "Campo 512 tcString F (1,4) [P512]", "0:R", true},
        {"505 typed instalments", 505, tres, false, "", "0:03", true},
        {"505 zero instalments", 505, zero, false, "Campo 505 tcString F (1,4) [P505]", "0:R",
         true},
        {"505 one instalment", 505, uma, false, "Campo 505 tcString F (1,4) [P505]", "0:R", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform::DeleteFile(folder_ / "journal.log");
        component_.DesInicializar(gpCliSiTef);
        const std::string tipo = std::to_string(c.field);
        engine_.Respostas = {{tipo, "P" + tipo}};
        engine_.CancelandoTransacaoTEF = c.cancelando;
        engine_.CancelandoTransacaoNSU = "4321";
        engine_.CancelandoTransacaoDATA = platform::ToDateTime({2025, 11, 26, 15, 48, 41, 0});
        engine_.CancelandoTransacaoVALOR = 999000;
        host_.campos = {{"R"}};
        EXPECT_EQ(Run(R"({"command": 30, "min": 1, "max": 4, "text": "F", "field": )" + tipo + "}",
                      c.digitados),
                  0);
        EXPECT_EQ(host_.calls, Split(c.calls));
        ASSERT_EQ(Answers().size(), 2u);
        EXPECT_EQ(Answers()[1], c.answer);
        const std::string sent = c.kept ? c.kept : c.answer.substr(2);
        EXPECT_EQ(Stored(c.field), c.stored ? sent : "");
    }
}

TEST_F(Dialogo, InstalmentsTypedDuringTheRunAnswerTheNextMenu) {
    engine_.OperacaoCRT = 3;
    host_.campos = {{"04"}};
    Digitados d;
    d.QtdParcela = "00";
    EXPECT_EQ(Run(R"({"command": 30, "field": 505, "text": "Parcelas"},
                     {"command": 21, "text": "1:A Vista;2:Parcelado;"})",
                  d),
              0);
    EXPECT_EQ(Answers(), (Lines{"0:", "0:04", "0:2"}));
}

TEST_F(Dialogo, InstalmentsThatAreNotANumberEndTheRun) {
    Digitados d;
    d.QtdParcela = "x3";
    EXPECT_THROW(Run(R"({"command": 30, "field": 505, "text": "Parcelas"})", d), EKaCliSiTef);
    EXPECT_FALSE(engine_.AguardandoResposta());
    EXPECT_EQ(Answers(), (Lines{"0:"}));
}

TEST_F(Dialogo, AmountEntry) {
    struct Case {
        const char* name;
        std::string text;
        bool embarque, servico;
        std::string calls;
        std::string answer;
    };
    const Case cases[] = {
        {"boarding fee asked", "Forneca a taxa de embarque", true, false,
         "Campo 34 tcCurrency Forneca a taxa de embarque (0,0) []", "0:3,00"},
        {"boarding fee not asked", "Forneca a taxa de embarque", false, true, "", "0:0,00"},
        {"service fee asked", "Forneca a taxa de servico", false, true,
         "Campo 34 tcCurrency Forneca a taxa de servico (0,0) []", "0:3,00"},
        {"service fee not asked", "Forneca a taxa de servico", true, false, "", "0:0,00"},
        {"withdrawal", "VISA ELECTRON\\nSAQUE", true, true, "", "0:0,00"},
        {"other amount", "Valor do saque", false, false,
         "Campo 34 tcCurrency Valor do saque (0,0) []", "0:3,00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform::DeleteFile(folder_ / "journal.log");
        component_.DesInicializar(gpCliSiTef);
        component_.FornecerTaxaDeEmbarque = c.embarque;
        component_.FornecerTaxaDeServico = c.servico;
        host_.campos = {{"3"}};
        EXPECT_EQ(Run(R"({"command": 34, "field": 34, "text": ")" + c.text + R"("})"), 0);
        EXPECT_EQ(host_.calls, Split(c.calls));
        ASSERT_EQ(Answers().size(), 2u);
        EXPECT_EQ(Answers()[1], c.answer);
        EXPECT_EQ(Stored(34), "");
    }
    host_.campos.clear();
}

TEST_F(Dialogo, AvaliaErroTable) {
    const std::pair<int32_t, std::string> cases[] = {
        {-1, "Módulo não inicializado"},
        {-2, "Operação cancelada pelo operador"},
        {-3, "Fornecida uma modalidade inválida"},
        {-4, "Falta de memória para rodar a função"},
        {-5,
         "Não foi possivel realizar a conexão com o servidor SiTef\r\nPor favor tente mais "
         "tarde..."},
        {-6, "Operação cancelada pelo usuário"},
        {-7, "Operadora do cartão de crédito off-line (-7)"},
        {-100, "Operadora do cartão de crédito off-line (-100)"},
        {0, "Negada pelo autorizador (0)"},
        {5, "Negada pelo autorizador (5)"},
    };
    for (const auto& [status, message] : cases) {
        host_.calls.clear();
        engine_.AvaliaErro(status);
        EXPECT_EQ(host_.calls, (Lines{"Msg opmExcept " + message})) << status;
        EXPECT_NE(Trace().find("AvaliaErro: STS " + std::to_string(status) + "\r\n"),
                  std::string::npos);
    }
}

TEST_F(Dialogo, IniciarFuncaoSendsTheRequestAndRecordsItsOwnFields) {
    UseScript(R"([{"status": 0}])");
    Start();
    engine_.Operador = "Caixa 1";
    const platform::LocalDateTime antes = platform::Now();
    EXPECT_EQ(engine_.IniciarFuncao(122, "CRT", 1892300, "ignored", "{DevolveStringQRCode=1}"),
              kCliSiTefContinue);
    const Lines inicia = Journal("IniciaFuncaoSiTefInterativo");
    ASSERT_EQ(inicia.size(), 1u);
    const std::string& line = inicia[0];
    EXPECT_EQ(teftest::JournalValue(line, "funcao"), "122");
    EXPECT_EQ(teftest::JournalValue(line, "valor"), "189,23");
    EXPECT_EQ(teftest::JournalValue(line, "operador"), "Caixa 1");
    EXPECT_EQ(teftest::JournalValue(line, "restricoes"), "{DevolveStringQRCode=1}");
    EXPECT_EQ(teftest::JournalValue(line, "dataFiscal"),
              platform::FormatDateTime("yyyymmdd", antes));
    EXPECT_EQ(teftest::JournalValue(line, "horario").size(), 6u);
    // The fiscal document number is the seconds since midnight.
    const std::string documento = teftest::JournalValue(line, "cupomFiscal");
    const std::string& hora = teftest::JournalValue(line, "horario");
    EXPECT_EQ(documento,
              std::to_string(std::stoi(hora.substr(0, 2)) * 3600 +
                             std::stoi(hora.substr(2, 2)) * 60 + std::stoi(hora.substr(4, 2))));
    EXPECT_EQ(engine_.IDSeq(), std::stoi(documento));
    EXPECT_EQ(Stored(899, 100), "CRT");
    EXPECT_EQ(Stored(899, 101), documento);
    EXPECT_EQ(Stored(899, 102), documento);
    EXPECT_EQ(Stored(899, 103), "18923");
    EXPECT_EQ(Resp().TipoGP, gpCliSiTef);
    EXPECT_TRUE(engine_.IniciouRequisicao());
}

TEST_F(Dialogo, AFinalStatusAtOnceCarriesOutNoCommand) {
    UseScript(R"([{"status": 13}])");
    Start();
    host_.calls.clear();
    ASSERT_EQ(engine_.IniciarFuncao(3, "CRT", 100000, "", ""), kCliSiTefContinue);
    EXPECT_EQ(engine_.ContinuarFuncao(false, "0", "", "", ""), 13);
    EXPECT_TRUE(host_.calls.empty());
    EXPECT_EQ(engine_.Resp().Header, "CRT");  // properties derived at the end
    EXPECT_NE(Trace().find("*** ContinuaFuncaoSiTefInterativo, Finalizando: STS = 13"),
              std::string::npos);
    EXPECT_NE(Trace().find("899-100 = CRT\r\n899-101 = "), std::string::npos);
}

TEST_F(Dialogo, AHandlerErrorEndsTheRunAndTheNextFunctionCanStart) {
    host_.interceptar = "Campo";
    host_.aoInterceptar = [] { throw std::runtime_error("cliente desconectado"); };
    try {
        Run(R"({"command": 0, "field": 133, "text": "000777"},
               {"command": 30, "field": 512, "text": "Cartao"},
               {"command": 1, "text": "nunca mostrada"})");
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "cliente desconectado");
    }
    EXPECT_FALSE(engine_.AguardandoResposta());
    EXPECT_FALSE(component_.AguardandoResposta());
    EXPECT_EQ(Answers(), (Lines{"0:", "0:"}));  // no call after the failed prompt
    EXPECT_EQ(engine_.Resp().NSU, "000777");    // properties derived anyway
    EXPECT_NE(Trace().find("133-000 = 000777"), std::string::npos);

    host_.interceptar.clear();
    host_.calls.clear();
    EXPECT_EQ(engine_.IniciarFuncao(3, "CRT", 100000, "", ""), kCliSiTefContinue);
    EXPECT_EQ(engine_.ContinuarFuncao(false, "0", "", "", ""), 0);
    EXPECT_EQ(host_.Calls("Msg opmExibirMsgOperador"),
              (Lines{"Msg opmExibirMsgOperador nunca mostrada"}));
}

TEST_F(Dialogo, NoSecondFunctionWhileADialogueRuns) {
    std::string erro;
    host_.interceptar = "Aguarda";
    host_.aoInterceptar = [&] {
        try {
            engine_.IniciarFuncao(3, "CRT", 100000, "", "");
        } catch (const EKaCliSiTef& e) {
            erro = e.what();
        }
    };
    EXPECT_EQ(Run(R"({"command": 23, "times": 1})"), 0);
    EXPECT_EQ(erro, "Requisição anterior não concluida");
    EXPECT_EQ(Journal("IniciaFuncaoSiTefInterativo").size(), 1u);
}

TEST_F(Dialogo, TraceIsInOrderAndOnDiskBeforeAHandlerRuns) {
    std::string visto;
    host_.interceptar = "Campo";
    host_.aoInterceptar = [&] { visto = Trace(); };
    host_.campos = {{"42"}};
    EXPECT_EQ(
        Run(R"({"command": 1, "text": "Ol\u00e1"}, {"command": 30, "field": 600, "text": "F"})"),
        0);
    EXPECT_NE(visto.find("Retornos: STS = 10000 ProximoComando = 30 TipoCampo = 600 Buffer = F"),
              std::string::npos);
    const std::string trace = Trace();
    size_t posicao = 0;
    for (const std::string linha :
         {"ContinuaFuncaoSiTefInterativo, Chamando: Continua = 0 Buffer = \r\n",
          "ContinuaFuncaoSiTefInterativo, Retornos: STS = 10000 ProximoComando = 1 TipoCampo = 0 "
          "Buffer = Ol\xE1 Tam.Min = 0 Tam.Max = 0\r\n",
          "CliSiTef DoExibeMsg: Oper: opmExibirMsgOperador Mensagem: Ol\xE1\r\n",
          "ContinuaFuncaoSiTefInterativo, Chamando: Continua = 0 Buffer = \r\n",
          "ContinuaFuncaoSiTefInterativo, Retornos: STS = 10000 ProximoComando = 30",
          "ContinuaFuncaoSiTefInterativo, Chamando: Continua = 0 Buffer = 42\r\n",
          "ContinuaFuncaoSiTefInterativo, Retornos: STS = 0 ProximoComando = ",
          "*** ContinuaFuncaoSiTefInterativo, Finalizando: STS = 0\r\n", "600-000 = 42\r\n"}) {
        const size_t achada = trace.find(linha, posicao);
        ASSERT_NE(achada, std::string::npos) << linha;
        posicao = achada + linha.size();
    }
}

// A reader that runs beside the dialogue, with nothing else ordering it after the flag's
// change, sees the dialogue waiting (and ThreadSanitizer sees the flag shared safely): the
// dialogue holds its wait until the reader has seen it, within a bounded time.
TEST_F(Dialogo, AnotherThreadSeesTheDialogueRunning) {
    std::atomic<bool> visto = false;
    const auto prazo = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    const auto antes_do_prazo = [&] { return std::chrono::steady_clock::now() < prazo; };
    EXPECT_FALSE(component_.AguardandoResposta());
    std::thread leitor([&] {
        while (!component_.AguardandoResposta() && antes_do_prazo()) std::this_thread::yield();
        visto = component_.AguardandoResposta();
    });
    host_.interceptar = "Aguarda";
    host_.aoInterceptar = [&] {
        while (!visto && antes_do_prazo()) std::this_thread::yield();
    };
    EXPECT_EQ(Run(R"({"command": 23, "times": 1})"), 0);
    leitor.join();
    EXPECT_TRUE(visto);
    EXPECT_FALSE(component_.AguardandoResposta());
}

TEST_F(Dialogo, UnboundDialogueEventIsAClearError) {
    component_.OnExibeMenu = nullptr;
    try {
        Run(R"({"command": 21, "text": "1:Um;"})");
        FAIL() << "no error";
    } catch (const EKaCliSiTef& e) {
        EXPECT_STREQ(e.what(), "Evento \"OnExibeMenu\" não programado");
    }
    EXPECT_FALSE(engine_.AguardandoResposta());
}

TEST_F(Dialogo, TypedCardAnswersAtMostTheAnswerBuffer) {
    // An answer longer than the buffer is cut to what it holds.
    host_.campos = {{std::string(25000, '7')}};
    EXPECT_EQ(Run(R"({"command": 30, "field": 600, "text": "Longo"})"), 0);
    ASSERT_EQ(Answers().size(), 2u);
    EXPECT_EQ(Answers()[1], "0:" + std::string(20000, '7'));
}

TEST_F(Dialogo, TypedCardDataGoesToTheLibraryAndOnlyMaskedToTheTraceAndTheRecord) {
    host_.campos = {{"4111111111111111"}, {"0931"}, {"8642"}, {"qv5713"}, {"03"}};
    EXPECT_EQ(Run(R"({"command": 30, "field": 512, "text": "Forneca o numero do cartao"},
                     {"command": 30, "field": 513, "text": "Forneca a data de vencimento"},
                     {"command": 30, "field": 514, "text": "Forneca o codigo de seguranca"},
                     {"command": 30, "field": 530, "text": "Forneca a senha do supervisor"},
                     {"command": 30, "field": 505, "text": "Forneca o numero de parcelas"},
                     {"command": 0, "field": 2021, "text": "5555555555554444"},
                     {"command": 0, "field": 121, "text": "CARTAO 3782 822463 10005\nFIM"})"),
              0);
    EXPECT_EQ(Answers(), (Lines{"0:", "0:4111111111111111", "0:0931", "0:8642", "0:qv5713", "0:03",
                                "0:", "0:"}));

    const std::string trace = Trace();
    for (const char* clear :
         {"4111111111111111", "qv5713", "5555555555554444", "3782 822463 10005"})
        EXPECT_EQ(trace.find(clear), std::string::npos) << clear;
    EXPECT_FALSE(qvtest::HoldsNumber(trace, "0931"));
    EXPECT_FALSE(qvtest::HoldsNumber(trace, "8642"));
    size_t at = 0;
    for (const std::string line :
         {"Chamando: Continua = 0 Buffer = 411111******1111\r\n",
          "Chamando: Continua = 0 Buffer = ***\r\n", "Chamando: Continua = 0 Buffer = ***\r\n",
          "Chamando: Continua = 0 Buffer = ***\r\n", "Chamando: Continua = 0 Buffer = 03\r\n",
          "TipoCampo = 2021 Buffer = 555555******4444 ", "121-000 = CARTAO 3782 82**** *0005",
          "2021-000 = 555555******4444\r\n", "505-000 = 03\r\n", "512-000 = 411111******1111\r\n",
          "513-000 = ***\r\n", "530-000 = ***\r\n"}) {
        const size_t found = trace.find(line, at);
        ASSERT_NE(found, std::string::npos) << line;
        at = found + line.size();
    }

    // The record, and the backup file written from it, keep what the library returned as it
    // came, and no typed value in clear.
    EXPECT_EQ(Stored(2021), "5555555555554444");
    EXPECT_EQ(Stored(121), "CARTAO 3782 822463 10005\\x0AFIM");
    EXPECT_EQ(Stored(514), "");
    std::string arquivo;
    engine_.CopiarResposta(arquivo);
    const std::string backup = platform::ReadFile(arquivo).value_or("");
    EXPECT_NE(backup.find("2021-000 = 5555555555554444\r\n"), std::string::npos) << backup;
    EXPECT_NE(backup.find("512-000 = 411111******1111\r\n"), std::string::npos) << backup;
    EXPECT_EQ(backup.find("4111111111111111"), std::string::npos);
    EXPECT_EQ(backup.find("qv5713"), std::string::npos);
    EXPECT_FALSE(qvtest::HoldsNumber(backup, "0931"));
    EXPECT_FALSE(qvtest::HoldsNumber(backup, "8642"));
}

// A library that hands out a field prompt, then a short message, then checks what is left of
// the first answer in the answer area it is given.
struct AreaDaResposta {
    static inline int chamada = 0;
    static inline std::string restos;

    static int32_t Continua(int32_t* comando, int32_t* tipoCampo, int16_t* tamMinimo,
                            int16_t* tamMaximo, char* buffer, int32_t tamBuffer, int32_t) {
        *tamMinimo = *tamMaximo = 0;
        switch (chamada++) {
            case 0:
                *comando = 30;
                *tipoCampo = 512;
                std::strcpy(buffer, "Cartao");
                return kCliSiTefContinue;
            case 1:
                *comando = 1;
                *tipoCampo = 0;
                std::strcpy(buffer, "Ok");
                return kCliSiTefContinue;
            default:
                // Every digit of the area is a left-over of the card number.
                for (int32_t i = 0; i < tamBuffer; ++i)
                    if (buffer[i] >= '0' && buffer[i] <= '9') restos += buffer[i];
                *comando = 0;
                *tipoCampo = 0;
                buffer[0] = '\0';
                return 0;
        }
    }
};

TEST_F(Dialogo, TheAnswerAreaKeepsNothingOfAnAnswerOnceSent) {
    UseScript(R"([{"status": 0}])");
    Start();
    host_.campos = {{"4111111111111111"}};
    TCliSiTefDialogo dialogo(engine_, &AreaDaResposta::Continua, {});
    EXPECT_EQ(dialogo.Executar(), 0);
    EXPECT_EQ(AreaDaResposta::chamada, 3);
    EXPECT_EQ(AreaDaResposta::restos, "");
}

TEST(FormatarMensagem, LineBreaks) {
    EXPECT_EQ(TCliSiTefDialogo::FormatarMensagem("A@B/nC@/n"), "A\r\nB\r\nC\r\n\r\n");
    EXPECT_EQ(TCliSiTefDialogo::FormatarMensagem("sem quebra"), "sem quebra");
    EXPECT_EQ(TCliSiTefDialogo::NormalizarValor("1.234"), "1,23");
    EXPECT_EQ(TCliSiTefDialogo::NormalizarValor(" 7 "), "7,00");
    EXPECT_EQ(TCliSiTefDialogo::NormalizarValor("1,2,3"), "0,00");
}

}  // namespace
