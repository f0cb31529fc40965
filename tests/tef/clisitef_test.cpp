// The CliSiTef engine against the simulated library: configuration, payments in service mode
// end to end, refusals, finishing, the PIN-pad questions and card reading, and what happens
// outside service mode (backup files, fiscal-printer registration).
#include "tef/clisitef.h"

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "platform/paths.h"
#include "support/temp_folder.h"
#include "tef/errors.h"
#include "tef/resp_clisitef.h"
#include "tef_host.h"

namespace {

using namespace tef;
using teftest::JournalResult;
using teftest::JournalValue;
using teftest::SimFixture;
using Lines = std::vector<std::string>;

class Engine : public SimFixture {
protected:
    // The value the library stored under `field` (command 0), from the journal.
    std::string StoredByLibrary(int field) {
        for (const auto& line : Journal("ContinuaFuncaoSiTefInterativo")) {
            if (JournalResult(line, "comando") == "0" &&
                JournalResult(line, "tipoCampo") == std::to_string(field))
                return JournalResult(line, "buffer");
        }
        return "<not stored>";
    }

    // Runs a payment through the component as the service does; the host confirms an approved
    // one inside OnDepoisConfirmarTransacoes.
    bool Pay(double valor, const std::string& qtdParcela = "00") {
        host_.aoConfirmar = [this](TKaCliSiTefRespostasPendentes& lista) {
            confirmado_ = component_.ConfirmarTransacao(true, component_.Resp().DocumentoVinculado);
            lista.Clear();
        };
        return component_.CRT(valor, "02", "56921", 0, "", "", "", qtdParcela);
    }

    std::string EngineError(const std::function<void()>& action) {
        try {
            action();
        } catch (const EKaCliSiTef& e) {
            return e.what();
        }
        return "no error";
    }

    bool confirmado_ = false;
};

TEST_F(Engine, ConfigurationResults) {
    const std::pair<int, std::string> cases[] = {
        {0, ""},
        {1, "Endereço IP inválido ou não resolvido"},
        {2, "Código da loja inválido"},
        {3, "Código de terminal inválido"},
        {4, ""},
        {5, ""},
        {6, "Erro na inicialização do TCP/IP"},
        {7, "Falta de memória"},
        {8, "Não encontrou a dll do \"TEF\" ou ela está com problemas"},
        {9, ""},
        {10, "O PinPad não está devidamente configurado no arquivo CliSiTef.ini"},
        {11, "Dados inválidos passados pela automação."},
        {12,
         "Modo seguro não ativo (possível falta de configuração no servidor SiTef do "
         "arquivo .cha)."},
        {13, "Caminho da DLL inválido (o caminho completo das bibliotecas está muito grande)."},
        {14, ""},
    };
    for (bool servico : {true, false}) {
        engine_.ModoServico = servico;
        for (const auto& [resultado, mensagem] : cases) {
            SCOPED_TRACE(std::to_string(resultado) + (servico ? " in service mode" : " outside"));
            engine_.DesInicializar();
            host_.Reset();
            UseScenario(R"({"configure_result": )" + std::to_string(resultado) +
                        R"(, "script": [{"status": 0}]})");
            if (mensagem.empty()) {
                EXPECT_NO_THROW(engine_.Inicializar());
                EXPECT_TRUE(engine_.Inicializado());
                EXPECT_EQ(host_.Calls("Msg"), Lines{});
                continue;
            }
            try {
                engine_.Inicializar();
                ADD_FAILURE() << "no error";
            } catch (const EKaCliSiTefErro& e) {
                EXPECT_EQ(e.what(), mensagem);
            }
            EXPECT_FALSE(engine_.Inicializado());
            EXPECT_EQ(host_.Calls("Msg"), servico ? Lines{} : Lines{"Msg opmOK " + mensagem});
        }
    }
}

TEST_F(Engine, ParameterText) {
    struct Case {
        const char* name;
        TextLines linhas;
        std::string cnpjLoja, cnpjKaLabs;
        std::string texto;
    } cases[] = {
        {"nothing", {}, "", "", "[];{ValorIncluiTaxa=0;};"},
        {"lines",
         {"  TipoPinPad=1", "PortaPinPad=AUTO_USB  ", ""},
         "",
         "",
         "[TipoPinPad=1;PortaPinPad=AUTO_USB];{ValorIncluiTaxa=0;};"},
        {"both CNPJs",
         {"a=1"},
         " 12345678000195 ",
         "98765432000110",
         "[a=1];{ValorIncluiTaxa=0;};[ParmsClient=1=12345678000195;2=98765432000110];"},
        {"one CNPJ", {}, "12345678000195", "", "[];{ValorIncluiTaxa=0;};"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        engine_.DesInicializar();
        platform::DeleteFile(folder_ / "journal.log");
        engine_.ParametrosAdicionais = c.linhas;
        component_.CNPJLoja = c.cnpjLoja;
        component_.CNPJKaLabs = c.cnpjKaLabs;
        engine_.Inicializar();
        const Lines configura = Journal("ConfiguraIntSiTefInterativoEx");
        ASSERT_EQ(configura.size(), 1u);
        EXPECT_EQ(JournalValue(configura[0], "parametrosAdicionais"), c.texto);
        EXPECT_EQ(JournalValue(configura[0], "ip"), "127.0.0.1");
        EXPECT_EQ(JournalValue(configura[0], "loja"), "00000000");
        EXPECT_EQ(JournalValue(configura[0], "terminal"), "AG001203");
        EXPECT_EQ(JournalValue(configura[0], "reservado"), "0");
        EXPECT_NE(Trace().find("*** ConfiguraIntSiTefInterativoEx. EnderecoIP: 127.0.0.1 "
                               "CodigoLoja: 00000000 NumeroTerminal: AG001203 Resultado: 0 "
                               "ParametrosAdicionais: " +
                               c.texto),
                  std::string::npos);
    }
}

TEST_F(Engine, LibraryThatCannotBeLoadedLeavesTheEngineStopped) {
    engine_.PathDLL = qvtest::BuildDir() + QV_FAKE_CLISITEF_PARTIAL_DIR;
    EXPECT_EQ(EngineError([&] { engine_.Inicializar(); }),
              "Erro ao carregar a função:FinalizaTransacaoSiTefInterativo de: " +
                  std::string(tef::kCliSiTefLibraryName));
    EXPECT_FALSE(engine_.Inicializado());
    // Released: nothing of it can be called.
    EXPECT_EQ(EngineError([&] { engine_.VerificarPresencaPinPad(); }), "Erro ao iniciar \"TEF\"");
    EXPECT_EQ(Trace().find("Erro ao carregar " + std::string(tef::kCliSiTefLibraryName)),
              std::string::npos)
        << "the library loaded; only an export is missing";
    engine_.PathDLL = folder_ / "nowhere";
    EXPECT_EQ(EngineError([&] { engine_.Inicializar(); }),
              "Erro ao carregar a função:ConfiguraIntSiTefInterativoEx de: " +
                  std::string(tef::kCliSiTefLibraryName));
    // The trace keeps the loader's reason, which the error does not show.
    EXPECT_NE(Trace().find("Erro ao carregar " + std::string(tef::kCliSiTefLibraryName) + ": " +
                           platform::IncludeTrailingSeparator(folder_ / "nowhere") +
                           tef::kCliSiTefLibraryName),
              std::string::npos)
        << Trace();
    engine_.PathDLL = folder_ / "dll";
    EXPECT_NO_THROW(engine_.Inicializar());
}

constexpr const char* kCreditApproval = R"([
  {"command": 21, "text": "1:Magnetico/Chip;2:Digitado;", "expect": "1"},
  {"command": 2, "text": "INSIRA OU PASSE O CARTÃO"},
  {"command": 23, "times": 2},
  {"command": 13},
  {"command": 0, "field": 100, "text": "020000"},
  {"command": 0, "field": 101, "text": "CREDITO A VISTA"},
  {"command": 0, "field": 102, "text": "Crédito à vista"},
  {"command": 0, "field": 105, "text": "${timestamp}"},
  {"command": 0, "field": 121, "text": "VIA DO CLIENTE\nVALOR: R$ ${amount_br}\nCARTÃO ${card|mask}"},
  {"command": 0, "field": 122, "text": "VIA DO ESTABELECIMENTO\nVALOR: R$ ${amount_br}"},
  {"command": 0, "field": 131, "text": "00125"},
  {"command": 0, "field": 132, "text": "00099"},
  {"command": 0, "field": 133, "text": "${nsu}"},
  {"command": 0, "field": 134, "text": "${nsu_host}"},
  {"command": 0, "field": 135, "text": "${auth}"},
  {"command": 0, "field": 156, "text": "REDE DEMO"},
  {"command": 0, "field": 2021, "text": "${card|mask}"},
  {"command": 0, "field": 800, "text": "${hash}"},
  {"status": 0, "record": "payment"}
])";

TEST_F(Engine, ApprovedCreditPaymentInServiceMode) {
    UseScenario(R"({"vars": {"card": "4000123456789010"}, "script": )" +
                std::string(kCreditApproval) + "}");
    Start();
    host_.Reset();
    engine_.OperacaoCRT = 3;
    ASSERT_TRUE(Pay(189.23));
    EXPECT_TRUE(confirmado_);

    const Lines inicia = Journal("IniciaFuncaoSiTefInterativo");
    ASSERT_EQ(inicia.size(), 1u);
    EXPECT_EQ(JournalValue(inicia[0], "funcao"), "3");
    EXPECT_EQ(JournalValue(inicia[0], "valor"), "189,23");
    EXPECT_EQ(JournalValue(inicia[0], "restricoes"), "[10];");
    const std::string documento = JournalValue(inicia[0], "cupomFiscal");

    ASSERT_EQ(host_.confirmadas.size(), 1u);
    const teftest::RespostaVista& r = host_.confirmadas[0];
    EXPECT_EQ(r.Header, "CRT");
    EXPECT_EQ(r.DocumentoVinculado, documento);
    EXPECT_EQ(r.IndiceFPG_ECF, "02");
    EXPECT_EQ(r.NumeroCartao, "400012******9010");
    EXPECT_EQ(r.NumeroCartao, StoredByLibrary(2021));
    EXPECT_EQ(r.NSU, StoredByLibrary(133));
    EXPECT_EQ(r.NSUComprovante, StoredByLibrary(134));
    EXPECT_EQ(r.CodigoAutorizacaoTransacao, StoredByLibrary(135));
    EXPECT_EQ(r.CodigoHASH, StoredByLibrary(800));
    EXPECT_EQ(r.ModalidadePagto, "020000");
    EXPECT_EQ(r.Instituicao, "00125");
    EXPECT_EQ(r.Bandeira, "00099");
    EXPECT_EQ(r.Rede, "REDE DEMO");
    EXPECT_TRUE(r.Credito);
    EXPECT_FALSE(r.Debito);
    EXPECT_EQ(r.ValorTotal, 1892300);
    const std::string stamp = StoredByLibrary(105);  // YYYYMMDDHHNNSS
    EXPECT_EQ(
        platform::FormatDateTime("yyyymmddhhnnss", platform::FromDateTime(r.DataHoraTransacaoHost)),
        stamp);
    EXPECT_EQ(r.Via1, (TextLines{"VIA DO CLIENTE", "VALOR: R$ 189,23", "CARTÃO 400012******9010"}));
    EXPECT_EQ(r.Via2, (TextLines{"VIA DO ESTABELECIMENTO", "VALOR: R$ 189,23"}));

    // The chip menu was answered without asking; the host saw the messages and waits.
    EXPECT_EQ(host_.Calls("Menu"), Lines{});
    EXPECT_EQ(host_.calls, (Lines{"Msg opmExibirMsgCliente INSIRA OU PASSE O CARTÃO",
                                  "Aguarda 23 0", "Aguarda 23 0", "Msg opmRemoverMsgOperador ",
                                  "Msg opmRemoverMsgCliente ", "DepoisConfirmar 1"}));
    const Lines finaliza = Journal("FinalizaFuncaoSiTefInterativo");
    ASSERT_EQ(finaliza.size(), 1u);
    EXPECT_EQ(JournalValue(finaliza[0], "confirma"), "1");
    EXPECT_EQ(JournalValue(finaliza[0], "cupomFiscal"), documento);
    EXPECT_EQ(JournalValue(finaliza[0], "paramAdicionais"), "");
    EXPECT_TRUE(Journal("FinalizaTransacaoSiTefInterativo").empty());
    EXPECT_FALSE(engine_.IniciouRequisicao());
}

TEST_F(Engine, RefusedPaymentsAreReportedNotRaised) {
    struct Case {
        const char* name;
        std::string script;
        int interromper;
        std::string message;
    } cases[] = {
        {"declined", R"([{"command": 3, "text": "Aguarde"}, {"status": 5}])", 0,
         "Negada pelo autorizador (5)"},
        {"operator cancelled", R"([{"command": 23, "times": 3}, {"status": 0}])", 2,
         "Operação cancelada pelo operador"},
        {"network down", R"([{"status": -5}])", 0,
         "Não foi possivel realizar a conexão com o servidor SiTef\r\nPor favor tente mais "
         "tarde..."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        component_.DesInicializar(gpCliSiTef);
        platform::DeleteFile(folder_ / "journal.log");
        UseScript(c.script);
        Start();
        host_.Reset();
        host_.interromperNaEspera = c.interromper;
        EXPECT_FALSE(Pay(10));
        EXPECT_EQ(host_.Calls("Msg opmExcept"), (Lines{"Msg opmExcept " + c.message}));
        EXPECT_EQ(host_.Calls("DepoisConfirmar"), Lines{});
        EXPECT_TRUE(Journal("FinalizaFuncaoSiTefInterativo").empty());
        EXPECT_NE(Trace().find("CRT -> Result: 0"), std::string::npos);
    }
}

TEST_F(Engine, PresetAmountForFunction201AndOwnRestrictions) {
    UseScript(R"([{"command": 30, "field": 146, "text": "Valor"},
                  {"command": 30, "field": 147, "text": "Valor", "expect": "12,34"},
                  {"status": 0, "record": "payment"}])");
    Start();
    host_.Reset();
    engine_.OperacaoCRT = 201;
    engine_.Restricoes = "{DevolveStringQRCode=1}";
    EXPECT_TRUE(Pay(12.34));
    // An ordinary field is still asked, with the preset as the starting answer.
    EXPECT_EQ(host_.Calls("Campo"), (Lines{"Campo 146 tcString Valor (0,0) [12,34]",
                                           "Campo 147 tcString Valor (0,0) [12,34]"}));
    EXPECT_EQ(JournalValue(Journal("IniciaFuncaoSiTefInterativo")[0], "restricoes"),
              "{DevolveStringQRCode=1}");
    EXPECT_TRUE(engine_.Respostas.empty());  // finishing forgets them
}

TEST_F(Engine, CancellationOfAnEarlierPaymentAnswersItsData) {
    UseScript(R"([{"command": 30, "field": 515, "expect": "26112025"},
                  {"command": 30, "field": 516, "expect": "000042"},
                  {"command": 34, "field": 146, "expect": "189,23"},
                  {"command": 20, "text": "Confirma o cancelamento?", "expect": "0"},
                  {"command": 0, "field": 110, "text": "1"},
                  {"status": 0, "record": "cancellation"}])");
    Start();
    host_.Reset();
    host_.perguntas = {6};
    engine_.OperacaoCRT = 200;
    engine_.CancelandoTransacaoNSU = "000042";
    engine_.CancelandoTransacaoDATA = platform::ToDateTime({2025, 11, 26, 15, 48, 41, 0});
    engine_.CancelandoTransacaoVALOR = 1892300;
    engine_.CancelandoTransacaoTEF = true;
    EXPECT_TRUE(Pay(189.23));
    EXPECT_EQ(host_.Calls("Campo"), Lines{});
    // A refund is finished with a reminder to keep the coupon.
    EXPECT_EQ(host_.Calls("Msg opmOK"),
              (Lines{"Msg opmOK Transação efetuada com sucesso.\r\nFavor reter o Cupom"}));
    EXPECT_EQ(JournalValue(Journal("FinalizaFuncaoSiTefInterativo").at(0), "confirma"), "1");
}

TEST_F(Engine, ServiceModeCancellationUndoesWhatTheLibraryStillHoldsOpen) {
    constexpr const char* kApproved = R"([{"status": 0, "record": "payment"}])";
    struct Case {
        const char* name;
        std::string scenario;
        bool confirm;    // the host confirms the approval inside OnDepoisConfirmarTransacoes
        bool hostFails;  // the host raises at the menu
        Lines finished;  // "confirma" of every FinalizaFuncaoSiTefInterativo, in order
    } cases[] = {
        {"confirmed", R"({"script": )" + std::string(kApproved) + "}", true, false, {"1"}},
        {"approval left unconfirmed",
         R"({"script": )" + std::string(kApproved) + "}",
         false,
         false,
         {"0"}},
        {"confirmation refused, asked again, refused again",
         R"({"confirm_result": -12, "script": )" + std::string(kApproved) + "}",
         true,
         false,
         {"1", "1", "0"}},
        {"dialogue cut short",
         R"({"script": [{"command": 21, "text": "1:Um;"}, {"status": 0}]})",
         false,
         true,
         {"0"}},
        {"declined", R"({"script": [{"status": 5}]})", false, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        component_.DesInicializar(gpCliSiTef);
        platform::DeleteFile(folder_ / "journal.log");
        UseScenario(c.scenario);
        Start();
        host_.Reset();
        engine_.OperacaoCRT = 3;
        bool confirmed = false;
        host_.aoConfirmar = [&](TKaCliSiTefRespostasPendentes& lista) {
            if (!c.confirm) return;  // the approval stays in the list, unfinished
            confirmed = component_.ConfirmarTransacao(true, component_.Resp().DocumentoVinculado);
            lista.Clear();
        };
        host_.interceptar = c.hostFails ? "Menu" : "";
        host_.aoInterceptar = [] { throw std::runtime_error("client gone"); };
        try {
            component_.CRT(10, "02", "1", 0, "", "", "", "00");
        } catch (const std::runtime_error&) {
            EXPECT_TRUE(c.hostFails);
        }
        EXPECT_EQ(confirmed, c.confirm && c.finished.size() == 1);
        if (c.confirm && c.finished.size() == 3) {
            EXPECT_NE(Trace().find("FinalizaFuncaoSiTefInterativo: pendentes no documento"),
                      std::string::npos);
            EXPECT_NE(Trace().find("FinalizaFuncaoSiTefInterativo: confirma\xE7\xE3o recusada, 1 "
                                   "pendente(s) no documento"),
                      std::string::npos);
        }
        EXPECT_EQ(engine_.FuncaoAberta(), c.finished != Lines{"1"} && !c.finished.empty());

        host_.Reset();
        component_.CancelarTransacoesPendentes();
        Lines finished;
        for (const std::string& line : Journal("FinalizaFuncaoSiTefInterativo")) {
            finished.push_back(JournalValue(line, "confirma"));
            EXPECT_EQ(JournalValue(line, "cupomFiscal"),
                      JournalValue(Journal("IniciaFuncaoSiTefInterativo").at(0), "cupomFiscal"));
        }
        EXPECT_EQ(finished, c.finished);
        // Undone quietly: the host reports the outcome itself.
        EXPECT_EQ(host_.calls, Lines{});
        EXPECT_FALSE(engine_.FuncaoAberta());
        EXPECT_TRUE(component_.RespostasPendentes().Empty());
        EXPECT_EQ(PendingInLibrary(), 0);
    }
    // Nothing was open after the refusal: nothing is called.
    EXPECT_TRUE(Journal("FinalizaFuncaoSiTefInterativo").empty());
}

TEST_F(Engine, PresetsOfAFunctionThatWasNeverFinishedDoNotAnswerTheNext) {
    UseScript(R"([{"command": 99, "field": 516}, {"status": 13}])");
    Start();
    // Refused by the library, the cancellation is never finished, so nothing forgot its presets.
    EXPECT_FALSE(
        component_.CNC("REDE", "4321", platform::ToDateTime({2025, 11, 26, 15, 48, 41, 0}), 9.9));
    engine_.OperacaoCRT = 3;
    EXPECT_FALSE(Pay(10));
    EXPECT_EQ(Answers(), (Lines{"0:", "0:4321", "0:", "0:"}));
}

TEST_F(Engine, FinishingAReprintCallsNothing) {
    UseScript(R"([{"command": 0, "field": 56, "text": "1"},
                  {"command": 0, "field": 121, "text": "VIA"},
                  {"status": 0}])");
    Start();
    engine_.OperacaoCRT = 114;
    EXPECT_TRUE(Pay(1));
    EXPECT_TRUE(confirmado_);
    EXPECT_TRUE(Journal("FinalizaFuncaoSiTefInterativo").empty());
    EXPECT_FALSE(engine_.IniciouRequisicao());
    // Finished: a later confirmation (of a recovered transaction, say) reaches the library.
    EXPECT_FALSE(engine_.Reimpressao());
    engine_.CNF("", "", "", "41000");
    EXPECT_EQ(Journal("FinalizaFuncaoSiTefInterativo").size(), 1u);
}

TEST_F(Engine, ConfirmAndUndoInEitherModeOncePerDocument) {
    UseScript(R"([{"status": 0}])");
    Start();
    const std::string naoEfetuada = "Msg opmOK Transação \"TEF\" não efetuada.";
    struct Case {
        bool servico;
        bool confirma;
        std::string doc;
        std::string finaliza;  // "<export> <confirma>", or empty: the library is not called
        Lines host;
        std::string trace;
    } cases[] = {
        {true,
         true,
         "121",
         "FinalizaFuncaoSiTefInterativo 1",
         {},
         "*** FinalizaFuncaoSiTefInterativo -> Confirma\xE7\xE3o: SIM Documento: 121"},
        {true,
         false,
         "122",
         "FinalizaFuncaoSiTefInterativo 0",
         {"Foco", naoEfetuada},
         "*** FinalizaFuncaoSiTefInterativo -> Cancelamento: N\xC3O Documento: 122"},
        {false,
         true,
         "123",
         "FinalizaTransacaoSiTefInterativo 1",
         {},
         "*** FinalizaTransacaoSiTefInterativo -> Confirma\xE7\xE3o: SIM Documento: 123"},
        {false,
         false,
         "124",
         "FinalizaTransacaoSiTefInterativo 0",
         {"Foco", naoEfetuada},
         "*** FinalizaTransacaoSiTefInterativo -> Cancelamento: N\xC3O Documento: 124"},
        // Settled already: whichever way, and in whichever mode, it is not finished again.
        {true, true, "123", "", {}, "FinalizarTransacao: Documento 123 j\xE1 finalizado"},
        {false, false, "122", "", {}, "FinalizarTransacao: Documento 122 j\xE1 finalizado"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.doc + (c.servico ? " in service mode" : " outside"));
        engine_.ModoServico = component_.ModoServico = c.servico;
        host_.Reset();
        platform::DeleteFile(folder_ / "journal.log");
        if (c.confirma) {
            component_.CNF("rede", "nsu", "fin", c.doc);
        } else {
            component_.NCN("rede", "nsu", "fin", 0, c.doc);
        }
        Lines finaliza;
        for (const auto& line : Journal()) {
            if (!line.starts_with("Finaliza")) continue;  // not the settling itself
            finaliza.push_back(line.substr(0, line.find(' ')) + " " +
                               JournalValue(line, "confirma"));
            EXPECT_EQ(JournalValue(line, "cupomFiscal"), c.doc);
        }
        EXPECT_EQ(finaliza, c.finaliza.empty() ? Lines{} : Lines{c.finaliza});
        EXPECT_EQ(host_.calls, c.host);
        EXPECT_NE(Trace().find(c.trace), std::string::npos);
    }
    // A new function starts afresh.
    component_.ATV(gpCliSiTef);
    platform::DeleteFile(folder_ / "journal.log");
    component_.CNF("rede", "nsu", "fin", "123");
    EXPECT_EQ(Journal("FinalizaTransacaoSiTefInterativo").size(), 1u);
}

TEST_F(Engine, PinPadAndPendingCount) {
    for (const auto& [presente, texto] :
         std::vector<std::pair<int, std::string>>{{1, "PINPAD conectado com sucesso..."},
                                                  {0, "Nenhum PINPAD conectado..."},
                                                  {-1, "Erro na DLL ou arquivo .INI do PINPAD"},
                                                  {2, ""}}) {
        engine_.DesInicializar();
        UseScenario(R"({"pinpad_present": )" + std::to_string(presente) +
                    R"(, "pending_transactions": 4, "pinpad_message_result": 3})");
        engine_.Inicializar();
        EXPECT_EQ(engine_.VerificarPresencaPinPad(), texto) << presente;
    }
    EXPECT_EQ(engine_.ObtemQuantidadeTransacoesPendentes(
                  platform::ToDateTime({2025, 11, 26, 10, 0, 0, 0}), "77"),
              4);
    EXPECT_EQ(engine_.DefineMensagemPermanentePinPad("BEM VINDO"), 3);
    const Lines pendentes = Journal("ObtemQuantidadeTransacoesPendentes");
    ASSERT_EQ(pendentes.size(), 1u);
    EXPECT_EQ(JournalValue(pendentes[0], "data"), "20251126");
    EXPECT_EQ(JournalValue(pendentes[0], "cupomFiscal"), "77");

    engine_.DesInicializar();
    for (const auto& acao : std::vector<std::function<void()>>{
             [&] { engine_.VerificarPresencaPinPad(); },
             [&] { engine_.ObtemQuantidadeTransacoesPendentes(0, ""); },
             [&] { engine_.DefineMensagemPermanentePinPad(""); }}) {
        EXPECT_EQ(EngineError(acao), "Erro ao iniciar \"TEF\"");
    }
}

TEST_F(Engine, CardReading) {
    UseScenario(R"({
        "track3": {"result": 10000, "area": "abc", "flow": "t3"},
        "card_direct": {"result": 7, "a129": "4000123456789010=2512  ", "b129": "FULANO"},
        "flows": {"t3": [{"command": 2, "text": "PASSE O CARTAO"}, {"status": 0, "text": "X1234567890Y"}]}
    })");
    Start();
    host_.Reset();
    EXPECT_EQ(component_.LerTrilha3(), "1234567890");
    const Lines mensagens = Journal("EscreveMensagemPermanentePinPad");
    ASSERT_EQ(mensagens.size(), 2u);
    EXPECT_EQ(JournalValue(mensagens[1], "mensagem"), "** BOA VIAGEM **");
    EXPECT_EQ(host_.calls, (Lines{"Msg opmExibirMsgCliente PASSE O CARTAO",
                                  "Msg opmRemoverMsgOperador ", "Msg opmRemoverMsgCliente "}));

    host_.Reset();
    EXPECT_EQ(engine_.LerCartaoSeguro(), 7);
    EXPECT_EQ(component_.CartaoLido, "4000123456789010=2512\r ( FULANO )");
    EXPECT_EQ(host_.calls, (Lines{"Msg opmExibirMsgOperador Passe o cartão",
                                  "Msg opmExibirMsgCliente Passe o cartão",
                                  "Msg opmExibirMsgOperador ", "Msg opmExibirMsgCliente "}));
}

TEST_F(Engine, AdministrativeFunctions) {
    // Cancellation of an earlier payment by its network data: the presets start the answers.
    UseScript(R"([{"command": 30, "field": 515}, {"command": 30, "field": 516},
                  {"command": 34, "field": 146, "text": "Valor"},
                  {"status": 0, "record": "cancellation"}])");
    Start();
    host_.Reset();
    EXPECT_TRUE(
        component_.CNC("REDE", "4321", platform::ToDateTime({2025, 11, 26, 15, 48, 41, 0}), 99.9));
    EXPECT_EQ(Answers(), (Lines{"0:", "0:26112025", "0:4321", "0:99,90"}));
    const std::string inicia = Journal("IniciaFuncaoSiTefInterativo").at(0);
    EXPECT_EQ(JournalValue(inicia, "funcao"), "200");
    EXPECT_EQ(JournalValue(inicia, "valor"), "0,00");
    EXPECT_EQ(JournalValue(inicia, "restricoes"), "");
    EXPECT_EQ(host_.Calls("EstadoResp"), (Lines{"EstadoResp respProcessando"}));
    // Approved without a receipt: confirmed at once, and its presets forgotten with it.
    EXPECT_EQ(Journal("FinalizaFuncaoSiTefInterativo").size(), 1u);
    EXPECT_TRUE(engine_.Respostas.empty());

    // ADM passes the engine's restrictions; a refusal is reported.
    UseScript(R"([{"status": 4}])");
    component_.DesInicializar(gpCliSiTef);
    Start();
    engine_.Restricoes = "[20];";
    host_.Reset();
    EXPECT_FALSE(component_.ADM(gpCliSiTef));
    EXPECT_EQ(JournalValue(Journal("IniciaFuncaoSiTefInterativo").back(), "restricoes"), "[20];");
    EXPECT_EQ(JournalValue(Journal("IniciaFuncaoSiTefInterativo").back(), "funcao"), "110");
    EXPECT_EQ(host_.Calls("Msg"), (Lines{"Msg opmExcept Negada pelo autorizador (4)"}));

    // The communication test.
    UseScript(R"([{"status": 0}])");
    component_.DesInicializar(gpCliSiTef);
    Start();
    component_.ATV(gpCliSiTef);
    EXPECT_EQ(JournalValue(Journal("IniciaFuncaoSiTefInterativo").back(), "funcao"), "111");
    EXPECT_EQ(JournalValue(Journal("IniciaFuncaoSiTefInterativo").back(), "restricoes"), "");
}

TEST_F(Engine, ApprovedFunctionsWithoutAReceiptAreConfirmedOnce) {
    // Approved with nothing to print, and pending with the library until finished, as every
    // approval is: a function never finished is undone by the library later.
    UseScript(R"([{"command": 0, "field": 133, "text": "${nsu}"},
                  {"status": 0, "record": "payment"}])");
    Start();
    struct Case {
        const char* name;
        std::function<bool()> run;
    } cases[] = {
        {"ATV",
         [&] {
             component_.ATV(gpCliSiTef);
             return true;
         }},
        {"ADM", [&] { return component_.ADM(gpCliSiTef); }},
        {"CNC",
         [&] {
             return component_.CNC("REDE", "4321",
                                   platform::ToDateTime({2025, 11, 26, 15, 48, 41, 0}), 9.9);
         }},
    };
    for (bool servico : {true, false}) {
        engine_.ModoServico = component_.ModoServico = servico;
        const std::string exportado =
            servico ? "FinalizaFuncaoSiTefInterativo" : "FinalizaTransacaoSiTefInterativo";
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (servico ? " in service mode" : " outside"));
            platform::DeleteFile(folder_ / "journal.log");
            host_.Reset();
            EXPECT_TRUE(c.run());
            const std::string inicia = Journal("IniciaFuncaoSiTefInterativo").at(0);
            const Lines finishes = Journal(exportado);
            ASSERT_EQ(finishes.size(), 1u);
            EXPECT_EQ(JournalValue(finishes[0], "confirma"), "1");
            EXPECT_EQ(JournalValue(finishes[0], "cupomFiscal"),
                      JournalValue(inicia, "cupomFiscal"));
            EXPECT_EQ(JournalValue(finishes[0], "dataFiscal"), JournalValue(inicia, "dataFiscal"));
            EXPECT_TRUE(finishes[0].ends_with(" -> 0")) << finishes[0];
            EXPECT_FALSE(engine_.FuncaoAberta());
            // Nothing was printed, so nothing is reported to the host.
            EXPECT_EQ(host_.Calls("DepoisConfirmar"), Lines{});
            EXPECT_EQ(host_.Calls("Impressao"), Lines{});
        }
    }
}

TEST_F(Engine, ChequePresets) {
    UseScript(R"([{"command": 30, "field": 501, "expect": "1"},
                  {"command": 30, "field": 502, "expect": "12345678000195"},
                  {"command": 30, "field": 506, "expect": "15012026"},
                  {"command": 31, "field": 517, "expect": "0:99900100340000000012300000451"},
                  {"status": 0}])");
    Start();
    host_.aoConfirmar = [](TKaCliSiTefRespostasPendentes& lista) { lista.Clear(); };
    EXPECT_TRUE(component_.CHQ(50, "03", "77", "", 'J', " 12.345.678/0001-95 ",
                               platform::ToDateTime({2026, 1, 15, 0, 0, 0, 0}), "1", "34", "0",
                               "1-2-3", "0", "00004567", "1", "Compensacao 9999"));
    const std::string inicia = Journal("IniciaFuncaoSiTefInterativo").at(0);
    EXPECT_EQ(JournalValue(inicia, "funcao"), "1");
    EXPECT_EQ(JournalValue(inicia, "restricoes"), "[15;25]");
    EXPECT_EQ(host_.Calls("Cheque"), Lines{});
    EXPECT_EQ(host_.Calls("DepoisConfirmar"), (Lines{"DepoisConfirmar 1"}));
}

// Outside service mode (before any session) an approved payment is kept in a backup file
// until it is settled.
class OutsideServiceMode : public Engine {
protected:
    OutsideServiceMode() {
        DesktopMode();
        UseScript(R"([{"command": 0, "field": 133, "text": "000321"},
                      {"command": 0, "field": 121, "text": "VIA"},
                      {"status": 0, "record": "payment"}])");
    }
};

TEST_F(OutsideServiceMode, ConfirmingRemovesTheBackupFile) {
    component_.SetAutoFinalizarCupom(false);
    Start();
    host_.Reset();
    EXPECT_TRUE(component_.CRT(10, "01", "1", 0, "", "", "", "00"));
    const std::string backup = engine_.NomeArquivoBackup(1);
    ASSERT_TRUE(platform::FileExists(backup));
    component_.ConfirmarTransacoesPendentes();
    EXPECT_FALSE(platform::FileExists(backup));
    ASSERT_EQ(host_.confirmadas.size(), 1u);
    EXPECT_TRUE(host_.confirmadas[0].CNFEnviado);
    EXPECT_EQ(host_.confirmadas[0].NSU, "000321");
    EXPECT_TRUE(component_.RespostasPendentes().Empty());
}

TEST_F(OutsideServiceMode, ABackupFileKeepsWhenItsFunctionStartedBesideWhatItAlwaysHeld) {
    component_.SetAutoFinalizarCupom(false);
    SetClock("2025-11-26 23:59:50");
    Start();
    ASSERT_TRUE(component_.CRT(10, "01", "1", 0, "", "", "", "00"));
    // The lines every earlier version wrote, byte for byte, and one more: the fiscal date and
    // time the library was given. Fields are found by key, so either version reads the other's.
    EXPECT_EQ(platform::ReadFile(engine_.NomeArquivoBackup(1)).value_or("<none>"),
              "121-000 = VIA\r\n"
              "133-000 = 000321\r\n"
              "899-002 = 01\r\n"
              "899-100 = CRT\r\n"
              "899-101 = 86390\r\n"
              "899-102 = 86390\r\n"
              "899-103 = 1000\r\n"
              "899-104 = 20251126235950\r\n");
    TKaCliSiTefRespCliSiTef lida;
    lida.LeArquivo(engine_.NomeArquivoBackup(1));
    EXPECT_EQ(lida.InicioFuncao, "20251126235950");
    EXPECT_EQ(lida.DocumentoVinculado, "86390");
}

TEST_F(OutsideServiceMode, FiscalPrinterThatKeepsFailingUndoesThePayment) {
    component_.SetAutoFinalizarCupom(false);
    component_.SetAutoEfetuarPagamento(true);
    Start();
    host_.Reset();
    host_.retornoECF = 0;
    host_.perguntas = {6, 7};  // retry once, then give up
    EXPECT_TRUE(component_.CRT(10, "01", "1", 0, "", "", "", "00"));
    const std::string pergunta =
        "Msg opmYesNo Impressora não responde\r\nDeseja imprimir novamente ?";
    EXPECT_EQ(host_.calls,
              (Lines{"Pagamento 01 10,00", "Foco", pergunta, "Pagamento 01 10,00", "Foco", pergunta,
                     "ECF opeCancelaCupom", "AntesCancelar " + component_.Resp().DocumentoVinculado,
                     "Impressao venda", "Foco", "Msg opmOK Transação \"TEF\" não efetuada.",
                     "DepoisCancelar 1"}));
    // Undone, although the receipt handler answered "printed".
    const Lines finaliza = Journal("FinalizaTransacaoSiTefInterativo");
    ASSERT_EQ(finaliza.size(), 1u);
    EXPECT_EQ(JournalValue(finaliza[0], "confirma"), "0");
    EXPECT_FALSE(platform::FileExists(engine_.NomeArquivoBackup(1)));
    EXPECT_TRUE(component_.RespostasPendentes().Empty());
}

TEST_F(OutsideServiceMode, AfterAStartUpRecoveryLaterPaymentsStillReachTheLibrary) {
    platform::ForceDirectories(component_.PathBackup());
    TKaCliSiTefRespCliSiTef recuperada;
    recuperada.Conteudo.GravaInformacao(899, 100, "CRT");
    recuperada.Conteudo.GravaInformacao(899, 102, "41000");
    recuperada.Conteudo.GravarArquivo(engine_.NomeArquivoBackup(1), true);
    Start();
    EXPECT_TRUE(component_.TransacaoConfirmada);
    EXPECT_EQ(host_.Calls("DepoisConfirmar"), (Lines{"DepoisConfirmar 1"}));
    // What the recovery found counts as settled by it.
    EXPECT_TRUE(Journal("FinalizaTransacaoSiTefInterativo").empty());

    // Paid, printed and confirmed.
    EXPECT_TRUE(component_.CRT(10, "01", "1", 0, "", "", "", "00"));
    EXPECT_FALSE(component_.TransacaoConfirmada);
    const Lines finaliza = Journal("FinalizaTransacaoSiTefInterativo");
    ASSERT_EQ(finaliza.size(), 1u);
    EXPECT_EQ(JournalValue(finaliza[0], "confirma"), "1");
    EXPECT_EQ(JournalValue(finaliza[0], "cupomFiscal"),
              JournalValue(Journal("IniciaFuncaoSiTefInterativo").at(0), "cupomFiscal"));
    EXPECT_EQ(PendingInLibrary(), 0);
}

TEST_F(Engine, StartUpRecoveryConfirmsEachBackupUnderTheDayItsFunctionStarted) {
    UseStateFile();
    UseScript(R"([{"command": 0, "field": 133, "text": "${nsu}"},
                  {"command": 0, "field": 121, "text": "VIA"},
                  {"status": 0, "record": "payment"}])");
    // A desktop sale paid in two cards, one each side of midnight; the program ends before it
    // settles them, leaving their backup files and the library holding both.
    DesktopMode();
    component_.SetAutoFinalizarCupom(false);
    SetClock("2025-11-26 23:59:50");
    Start();
    ASSERT_TRUE(component_.CRT(10, "01", "1", 0, "", "", "", "00"));
    SetClock("2025-11-27 00:00:20");
    ASSERT_TRUE(component_.CRT(20, "01", "1", 0, "", "", "", "00"));
    ASSERT_EQ(engine_.ArquivosBackup().size(), 2u);
    // The second as an earlier version wrote it: without the moment its function started.
    TKaCliSiTefArquivo antigo;
    antigo.LeArquivo(engine_.NomeArquivoBackup(2));
    antigo.GravaInformacao(899, 104, "");
    antigo.GravarArquivo(engine_.NomeArquivoBackup(2), true);
    component_.DesInicializar(gpCliSiTef);

    // The service starts after midnight and recovers both.
    SetClock("2025-11-27 00:00:30");
    engine_.ModoServico = component_.ModoServico = true;
    platform::DeleteFile(folder_ / "journal.log");
    host_.Reset();
    Start();
    // A library loaded afresh, that remembers.
    EXPECT_NE(platform::ReadFile(folder_ / "journal.log")
                  .value_or("")
                  .find(": 2 pending function(s) left by an earlier run"),
              std::string::npos);
    Lines finaliza;
    for (const std::string& line : Journal("FinalizaFuncaoSiTefInterativo")) {
        finaliza.push_back(JournalValue(line, "confirma") + " " +
                           JournalValue(line, "cupomFiscal") + " " +
                           JournalValue(line, "dataFiscal") + " " + JournalValue(line, "horario") +
                           " -> " + line.substr(line.find(" -> ") + 4));
    }
    // Each named as the library knows it; the older file's function today, as it always was.
    EXPECT_EQ(finaliza, (Lines{"1 86390 20251126 235950 -> 0", "1 20 20251127 000030 -> 0"}));
    EXPECT_EQ(PendingInLibrary("86390", "20251126"), 0);
    EXPECT_EQ(PendingInLibrary("20", "20251127"), 0);
    EXPECT_EQ(host_.Calls("DepoisConfirmar"), (Lines{"DepoisConfirmar 2"}));
    EXPECT_TRUE(engine_.ArquivosBackup().empty());
}

TEST_F(Engine, StartUpConfirmsBackedUpTransactions) {
    platform::ForceDirectories(component_.PathBackup());
    for (const auto& [numero, doc, nsu] : std::vector<std::tuple<int, std::string, std::string>>{
             {1, "41000", "000011"}, {2, "42000", "000022"}}) {
        TKaCliSiTefRespCliSiTef r;
        r.Conteudo.GravaInformacao(899, 100, "CRT");
        r.Conteudo.GravaInformacao(899, 102, doc);
        r.GravaInformacao(133, nsu);
        r.Conteudo.GravarArquivo(engine_.NomeArquivoBackup(numero), true);
    }
    Start();
    const Lines finaliza = Journal("FinalizaFuncaoSiTefInterativo");
    ASSERT_EQ(finaliza.size(), 2u);
    EXPECT_EQ(JournalValue(finaliza[0], "confirma"), "1");
    EXPECT_EQ(JournalValue(finaliza[0], "cupomFiscal"), "41000");
    EXPECT_EQ(JournalValue(finaliza[1], "cupomFiscal"), "42000");
    EXPECT_EQ(host_.Calls("DepoisConfirmar"), (Lines{"DepoisConfirmar 2"}));
    EXPECT_EQ(host_.Calls("Msg opmOK").size(), 1u);
    EXPECT_TRUE(engine_.ArquivosBackup().empty());
    EXPECT_TRUE(component_.TransacaoConfirmada);
}

}  // namespace
