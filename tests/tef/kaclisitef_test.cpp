// The TEF component as its host uses it: start-up checks and engine lifecycle, setter rules,
// fiscal-printer wrappers and questions, messages, pending transactions.
#include "tef/kaclisitef.h"

#include <gtest/gtest.h>

#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "tef/errors.h"
#include "tef/resp_clisitef.h"
#include "tef_host.h"

namespace {

using namespace tef;
using teftest::SimFixture;
using Lines = std::vector<std::string>;

std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no error";
}

class Component : public SimFixture {
protected:
    // A pending response of document `doc`, backed up in file `numero` (0: none).
    TKaCliSiTefResp& Pending(const std::string& doc, int numero, bool confirmada) {
        auto r = std::make_unique<TKaCliSiTefRespCliSiTef>();
        r->Conteudo.GravaInformacao(899, 100, "CRT");
        r->Conteudo.GravaInformacao(899, 102, doc);
        r->ConteudoToProperty();
        r->TipoGP = gpCliSiTef;
        r->SetCNFEnviado(confirmada);
        if (numero > 0) {
            platform::ForceDirectories(component_.PathBackup());
            r->Conteudo.GravarArquivo(engine_.NomeArquivoBackup(numero), true);
            r->SetArqBackup(engine_.NomeArquivoBackup(numero));
        }
        return component_.RespostasPendentes().Add(std::move(r));
    }
};

TEST_F(Component, InicializarChecksTheRequiredEventsInOrder) {
    struct Case {
        const char* name;
        std::vector<std::function<void(TKaCliSiTef&)>> unbind;
        std::string erro;
    };
    auto semExibeMsg = [](TKaCliSiTef& c) { c.OnExibeMsg = nullptr; };
    auto semComandaECF = [](TKaCliSiTef& c) { c.OnComandaECF = nullptr; };
    auto semImpressao = [](TKaCliSiTef& c) { c.OnComandaImpressao = nullptr; };
    auto semVinculado = [](TKaCliSiTef& c) { c.OnComandaECFAbreVinculado = nullptr; };
    auto semImprimeVia = [](TKaCliSiTef& c) { c.OnComandaECFImprimeVia = nullptr; };
    auto semInfo = [](TKaCliSiTef& c) { c.OnInfoECF = nullptr; };
    const Case cases[] = {
        {"OnExibeMsg", {semExibeMsg, semInfo}, "Evento \"OnExibeMsg\" não programado"},
        {"OnComandaECF", {semComandaECF, semImpressao}, "Evento \"OnComandaECF\" não programado"},
        {"OnComandaImpressao", {semImpressao}, "Evento \"OnComandaImpressão\" não programado"},
        {"OnComandaImpressao after OnExibeMsg",
         {semImpressao, semExibeMsg},
         "Evento \"OnExibeMsg\" não programado"},
        {"OnComandaECFAbreVinculado",
         {semVinculado, semInfo},
         "Evento \"OnComandaECFAbreVinculado\" não programado"},
        {"OnComandaECFImprimeVia",
         {semImprimeVia, semInfo},
         "Evento \"OnComandaECFImprimeVia\" não programado"},
        {"OnInfoECF", {semInfo}, "Evento \"OnInfoECF\" não programado"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TKaCliSiTef component;
        teftest::TestHost host(component);
        for (const auto& unbind : c.unbind) unbind(component);
        component.SetPathBackup(folder_ / "naocriada");
        component.TEFCliSiTef().PathDLL = folder_ / "dll";
        EXPECT_EQ(ErrorOf([&] { component.Inicializar(gpCliSiTef); }), c.erro);
        // Nothing was started.
        EXPECT_FALSE(platform::DirectoryExists(folder_ / "naocriada"));
        EXPECT_FALSE(component.TEFCliSiTef().Inicializado());
    }
    EXPECT_TRUE(Journal().empty());
}

TEST_F(Component, InicializarCreatesTheBackupFolderFirst) {
    component_.SetPathBackup(folder_ / "app/TEF");
    Start();
    EXPECT_TRUE(platform::DirectoryExists(folder_ / "app/TEF"));
    EXPECT_TRUE(engine_.Habilitado());
    EXPECT_EQ(component_.TEF(), &engine_);

    component_.DesInicializar(gpCliSiTef);
    platform::WriteFile(folder_ / "arquivo", "x");
    component_.SetPathBackup(folder_ / "arquivo/TEF");
    EXPECT_EQ(ErrorOf([&] { component_.Inicializar(gpCliSiTef); }),
              "Diretório de Backup não existente:\r\n" + folder_ / "arquivo/TEF");

    TKaCliSiTef padrao;
    EXPECT_EQ(padrao.PathBackup(), platform::ExecutableDir() + "TEF");
}

TEST_F(Component, EngineStartUpFailureAndShutDown) {
    UseScenario(R"({"configure_result": 2})");
    EXPECT_EQ(ErrorOf([&] { component_.Inicializar(gpCliSiTef); }),
              "Erro ao conectar com servidor TEF");
    EXPECT_FALSE(component_.Inicializado(gpCliSiTef));
    EXPECT_FALSE(engine_.Habilitado());
    EXPECT_NE(Trace().find(platform::Utf8ToCp1252("CliSiTef Inicializar: Código da loja inválido")),
              std::string::npos);
    EXPECT_NE(Trace().find("CliSiTef DesInicializado"), std::string::npos);

    UseScenario(R"({"script": [{"status": 0}]})");
    Start();
    EXPECT_TRUE(engine_.Habilitado());
    component_.DesInicializar(gpNenhum);
    EXPECT_FALSE(component_.Inicializado(gpCliSiTef));
    EXPECT_TRUE(engine_.Habilitado());

    // Starting every enabled engine reports each failure.
    UseScenario(R"({"configure_result": 3})");
    EXPECT_EQ(ErrorOf([&] { component_.Inicializar(gpNenhum); }),
              "Código de terminal inválido\r\n");
    UseScenario(R"({"script": [{"status": 0}]})");
    EXPECT_NO_THROW(component_.Inicializar(gpNenhum));
    EXPECT_TRUE(component_.Inicializado(gpNenhum));
}

TEST_F(Component, SetterRules) {
    // EsperaSleep.
    for (int ok : {10, 500, 250}) EXPECT_NO_THROW(component_.SetEsperaSleep(ok));
    EXPECT_EQ(ErrorOf([&] { component_.SetEsperaSleep(9); }),
              "Valor mínimo de EsperaSleep deve ser: 10");
    EXPECT_EQ(ErrorOf([&] { component_.SetEsperaSleep(501); }),
              "Valor máximo de EsperaSleep deve ser: 500");
    EXPECT_EQ(component_.EsperaSleep(), 250);

    component_.SetNumeroMaximoCartoes(-3);
    EXPECT_EQ(component_.NumeroMaximoCartoes(), 0);

    // Flags that pending responses freeze.
    component_.RespostasPendentes().Add(std::make_unique<TKaCliSiTefResp>());
    struct Flag {
        const char* name;
        std::function<void(bool)> set;
        bool atual;
    } flags[] = {
        {"MultiplosCartoes", [&](bool v) { component_.SetMultiplosCartoes(v); }, false},
        {"AutoEfetuarPagamento", [&](bool v) { component_.SetAutoEfetuarPagamento(v); }, false},
        {"AutoFinalizarCupom", [&](bool v) { component_.SetAutoFinalizarCupom(v); }, true},
    };
    for (const Flag& f : flags) {
        EXPECT_NO_THROW(f.set(f.atual)) << f.name;
        EXPECT_EQ(
            ErrorOf([&] { f.set(!f.atual); }),
            std::string("Existem Respostas Pendentes. Não é possível alterar \"") + f.name + "\"");
    }
    component_.RespostasPendentes().Clear();
    component_.SetMultiplosCartoes(true);
    EXPECT_TRUE(component_.MultiplosCartoes());

    // PathBackup.
    component_.SetPathBackup("  " + folder_ / "outra/  ");
    EXPECT_EQ(component_.PathBackup(), folder_ / "outra");
    Start();
    EXPECT_NO_THROW(component_.SetPathBackup(folder_ / "outra"));
    EXPECT_EQ(ErrorOf([&] { component_.SetPathBackup(folder_ / "TEF"); }),
              "PathBackup não pode ser modificado com o KaCliSiTef Inicializado");

    // ArqLOG: engines that shared the old value follow.
    component_.SetArqLOG(folder_ / "novo.log");
    EXPECT_EQ(engine_.ArqLOG(), folder_ / "novo.log");
    engine_.SetArqLOG(folder_ / "proprio.log");
    component_.SetArqLOG(folder_ / "terceiro.log");
    EXPECT_EQ(engine_.ArqLOG(), folder_ / "proprio.log");

    component_.Identificacao.SetNomeAplicacao("  PDV  ");
    EXPECT_EQ(component_.Identificacao.NomeAplicacao(), "PDV");
}

TEST_F(Component, ActiveEngineSelection) {
    TKaCliSiTef component;
    EXPECT_EQ(component.GPAtual(), gpTefDial);
    EXPECT_EQ(component.TEF(), nullptr);
    EXPECT_FALSE(component.AguardandoResposta());
    EXPECT_THROW(component.Resp(), EKaCliSiTefErro);
    EXPECT_THROW(component.CRT(10, "", "", 0, "", "", "", ""), EKaCliSiTefErro);
    EXPECT_FALSE(component.Inicializado(gpNenhum));
    component.SetGPAtual(gpCliSiTef);
    EXPECT_EQ(component.TEF(), &component.TEFCliSiTef());
    component.SetGPAtual(gpTefDisc);
    EXPECT_EQ(component.GPAtual(), gpTefDisc);
    EXPECT_EQ(component.TEF(), &component.TEFCliSiTef());
    EXPECT_EQ(&component.Resp(), &component.TEFCliSiTef().Resp());
    EXPECT_EQ(component.ArqReq(), "");
}

TEST_F(Component, EstadoECF) {
    component_.SetGPAtual(gpCliSiTef);
    const std::string invalido =
        "Retorno de \"OnInfoEcf( ineEstadoECF, Retorno )\" deve ser:\r\n\"L\" = Livre\r\n\"V\" "
        "= Venda de Itens\r\n\"P\" - Pagamento (ou SubTotal efetuado)\r\n\"C\" ou \"R\" - CDC "
        "ou Cupom Vinculado\r\n\"G\" ou \"R\" - Relatório Gerencial\r\n\"N\" - Recebimento Não "
        "Fiscal\r\n\"O\" - Outro";
    const std::pair<std::string, std::string> cases[] = {
        {"L", "L"},     {"l", "L"},       {"venda", "V"},  {"C", "C"}, {"g", "G"},
        {"N", "N"},     {"o", "O"},       {"P", "P"},      {"R", "R"}, {"X", invalido},
        {"", invalido}, {" L", invalido}, {"é", invalido},
    };
    for (const auto& [resposta, esperado] : cases) {
        host_.estadoECF = resposta;
        EXPECT_EQ(
            ErrorOf([&] { throw std::runtime_error(std::string(1, component_.EstadoECF())); }),
            esperado)
            << resposta;
    }
    host_.estadoECF = "X";
    EXPECT_THROW(component_.EstadoECF(), EKaCliSiTefECF);
}

TEST_F(Component, FiscalPrinterWrappers) {
    component_.SetGPAtual(gpCliSiTef);
    struct Case {
        const char* name;
        std::function<int()> call;
        std::string negativo, zero;
    };
    const TextLines via{"linha"};
    const Case cases[] = {
        {"ComandarECF", [&] { return component_.ComandarECF(opePulaLinhas); },
         "Operação [opePulaLinhas] não tratada em \"OnComandaECF\"",
         "Erro ao imprimir comprovante \"TEF\""},
        {"ECFPagamento", [&] { return component_.ECFPagamento("01", 10.5); },
         "\"OnComandaECFPagamento\" não tratada", "Erro ao executar \"OnComandaECFPagamento\""},
        {"ECFAbreVinculado", [&] { return component_.ECFAbreVinculado("123", "01", 10.5); },
         "\"OnComandaECFAbreVinculado\" não tratado",
         "Erro ao executar \"OnComandaECFAbreVinculado\""},
        {"ECFImprimeVia", [&] { return component_.ECFImprimeVia(trVinculado, 2, via); },
         "\"OnComandaECFImprimeVia\" não tratado", "Erro ao executar \"OnComandaECFImprimeVia\""},
        {"ECFSubtotaliza", [&] { return component_.ECFSubtotaliza(-1.25); },
         "\"OnComandaECFSubtotaliza\" não tratada", "Erro ao executar \"OnComandaECFSubtotaliza\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        host_.retornoECF = 3;
        EXPECT_EQ(c.call(), 3);
        host_.retornoECF = -1;
        EXPECT_EQ(ErrorOf([&] { c.call(); }), c.negativo);
        host_.retornoECF = 0;
        EXPECT_EQ(ErrorOf([&] { c.call(); }), c.zero);
        host_.retornoECF = 0;
        EXPECT_THROW(c.call(), EKaCliSiTefECF);
    }
    host_.Reset();
    host_.retornoECF = 1;
    component_.ECFSubtotaliza(-1.25);
    component_.OnComandaECFSubtotaliza = nullptr;
    component_.ECFSubtotaliza(0);
    EXPECT_EQ(host_.calls,
              (Lines{"Subtotaliza -1,25", "ECF opeImprimePagamentos", "ECF opeSubTotalizaCupom"}));
    const std::string trace = Trace();
    for (const char* linha : {"CliSiTef ComandarECF: Oper: opePulaLinhas\r\n",
                              " - Operação [opePulaLinhas] não tratada em \"OnComandaECF\"\r\n",
                              "CliSiTef ECFPagamento: Indice: 01 Valor: 10,50\r\n",
                              "CliSiTef ECFAbreVinculado: COO: 123 Indice: 01 Valor: 10,50\r\n",
                              "CliSiTef ECFImprimeVia: trVinculado Via: 2\r\n",
                              "CliSiTef ECFSubtotaliza: DescAcres: -1,25\r\n"}) {
        EXPECT_NE(trace.find(platform::Utf8ToCp1252(linha)), std::string::npos) << linha;
    }
    // Without a handler a command is not handled.
    component_.OnComandaECF = nullptr;
    EXPECT_THROW(component_.ComandarECF(opeFechaCupom), EKaCliSiTefECF);
}

TEST_F(Component, InfoECF) {
    component_.SetGPAtual(gpCliSiTef);
    std::string resposta;
    component_.OnInfoECF = [&](TKaCliSiTefInfoECF, std::string& r) { r = resposta; };
    const std::pair<std::string, double> cases[] = {
        {" 12,34 ", 12.34}, {"7.5", 7.5}, {"1.005e2", 100.5}, {"-3", -3},
        {"doze", 42},       {"", 42},     {"1,2,3", 42},      {"12,3x", 42},
    };
    for (const auto& [texto, valor] : cases) {
        resposta = texto;
        EXPECT_DOUBLE_EQ(component_.InfoECFAsDouble(ineSubTotal, 42), valor) << texto;
    }
    resposta = "nada";
    EXPECT_EQ(ErrorOf([&] { component_.InfoECFAsDouble(ineTotalAPagar, -98787158); }),
              "Erro na conversão do Valor Retornado de: OnInfoECF( ineTotalAPagar)");

    component_.OnInfoECF = [](TKaCliSiTefInfoECF, std::string&) {
        throw std::runtime_error("impressora desligada");
    };
    EXPECT_THROW(component_.InfoECFAsString(ineEstadoECF), EKaCliSiTefECF);
    EXPECT_EQ(ErrorOf([&] { component_.InfoECFAsString(ineEstadoECF); }), "impressora desligada");
    EXPECT_NE(Trace().find("CliSiTef   Erro: impressora desligada"), std::string::npos);
}

TEST_F(Component, DoExibeMsg) {
    component_.SetGPAtual(gpCliSiTef);
    host_.perguntas = {6, 7, 1};
    EXPECT_EQ(component_.DoExibeMsg(opmYesNo, "Olá € ☃ 😀 ok"), 6);
    EXPECT_EQ(component_.DoExibeMsg(opmOK, "a"), 7);
    EXPECT_EQ(component_.DoExibeMsg(opmYesNoCustom, "b"), 1);
    EXPECT_EQ(component_.DoExibeMsg(opmDestaqueVia, "c"), 0);
    EXPECT_EQ(component_.DoExibeMsg(opmExibirMsgCliente, "d"), 0);
    EXPECT_EQ(host_.calls, (Lines{"Foco", "Msg opmYesNo Olá € ? ? ok", "Foco", "Msg opmOK a",
                                  "Msg opmYesNoCustom b", "Foco", "Msg opmDestaqueVia c",
                                  "Msg opmExibirMsgCliente d"}));
    EXPECT_NE(Trace().find("CliSiTef DoExibeMsg: Oper: opmYesNo Mensagem: Ol\xE1 \x80 ? ? ok\r\n"),
              std::string::npos);
    component_.OnExibeMsg = nullptr;
    EXPECT_EQ(component_.DoExibeMsg(opmYesNo, "sem handler"), 0);

    host_.Reset();
    component_.LimparTeclado();
    component_.RestaurarFocoAplicacao();
    component_.FinalizarCupom(true);
    EXPECT_EQ(host_.calls, (Lines{"Teclado", "Foco"}));
    EXPECT_NE(Trace().find(" - FinalizarCupom, DesbloquearMouseTecladoNoTermino\r\n"),
              std::string::npos);
}

TEST_F(Component, EstadoChangesRaiseEvents) {
    component_.SetEstadoReq(reqNenhum);
    component_.SetEstadoReq(reqIniciando);
    component_.SetEstadoReq(reqIniciando);
    component_.SetEstadoResp(respProcessando);
    component_.SetEstadoResp(respNenhum);
    EXPECT_EQ(host_.calls, (Lines{"EstadoReq reqIniciando", "EstadoResp respProcessando",
                                  "EstadoResp respNenhum"}));
}

TEST_F(Component, CRTAmountIsCheckedBeforeTheLibrary) {
    Start();
    EXPECT_EQ(ErrorOf([&] { component_.CRT(0.004, "02", "1", 0, "", "", "", "00"); }),
              "Valor inválido");
    EXPECT_TRUE(Journal("IniciaFuncaoSiTefInterativo").empty());
}

TEST_F(Component, ConfirmarTransacaoNeverRaises) {
    // Not initialised: the library cannot be called.
    EXPECT_FALSE(component_.ConfirmarTransacao(true, "123"));
    EXPECT_NE(Trace().find("ConfirmarTransacao: Erro ao iniciar \"TEF\""), std::string::npos);
    Start();
    EXPECT_TRUE(component_.ConfirmarTransacao(false, "123"));
    EXPECT_EQ(teftest::JournalValue(Journal("FinalizaFuncaoSiTefInterativo").at(0), "cupomFiscal"),
              "123");
}

TEST_F(Component, ConfirmarTransacoesPendentesKeepsWhatItCouldNotConfirm) {
    component_.SetGPAtual(gpCliSiTef);  // not initialised: confirming fails
    Pending("100", 1, false);
    Pending("200", 2, true);
    Pending("300", 0, true);
    EXPECT_EQ(ErrorOf([&] { component_.ConfirmarTransacoesPendentes(); }),
              "Erro ao iniciar \"TEF\"");
    EXPECT_EQ(host_.Calls("DepoisConfirmar"), (Lines{"DepoisConfirmar 3"}));
    EXPECT_FALSE(host_.confirmadas[0].CNFEnviado);
    EXPECT_TRUE(platform::FileExists(engine_.NomeArquivoBackup(1)));
    EXPECT_FALSE(platform::FileExists(engine_.NomeArquivoBackup(2)));
    EXPECT_TRUE(component_.RespostasPendentes().Empty());

    // Once the library is there the next start-up settles it.
    Start();
    EXPECT_EQ(teftest::JournalValue(Journal("FinalizaFuncaoSiTefInterativo").at(0), "cupomFiscal"),
              "100");
    EXPECT_TRUE(engine_.ArquivosBackup().empty());
}

TEST_F(Component, CancelarTransacoesPendentes) {
    Start();
    host_.Reset();
    Pending("100", 1, false);
    component_.CancelarTransacoesPendentes();  // service mode: nothing
    EXPECT_TRUE(host_.calls.empty());
    EXPECT_TRUE(platform::FileExists(engine_.NomeArquivoBackup(1)));
    EXPECT_EQ(component_.RespostasPendentes().Count(), 1);

    component_.ModoServico = false;
    component_.CancelarTransacoesPendentes();
    EXPECT_EQ(host_.calls,
              (Lines{"AntesCancelar 100", "Foco", "Msg opmOK Transação \"TEF\" não efetuada.",
                     "DepoisCancelar 1"}));
    EXPECT_EQ(teftest::JournalValue(Journal("FinalizaFuncaoSiTefInterativo").at(0), "confirma"),
              "0");
    EXPECT_FALSE(platform::FileExists(engine_.NomeArquivoBackup(1)));
    EXPECT_TRUE(component_.RespostasPendentes().Empty());

    // An engine that was never started is not asked.
    TKaCliSiTef outro;
    teftest::TestHost host(outro);
    outro.ModoServico = false;
    outro.SetPathBackup(component_.PathBackup());
    Pending("200", 2, false);
    outro.CancelarTransacoesPendentes();
    EXPECT_EQ(host.calls, (Lines{"DepoisCancelar 0"}));
    EXPECT_TRUE(platform::FileExists(engine_.NomeArquivoBackup(2)));
}

TEST_F(Component, PaymentGroups) {
    EXPECT_NO_THROW(component_.ImprimirTransacoesPendentes());  // nothing to print
    struct Item {
        const char* indice;
        int ordem;
        Money valor;
    };
    for (const Item& item : {Item{"A", 2, 100000}, Item{"B", 1, 50000}, Item{"A", 2, 25000}}) {
        auto r = std::make_unique<TKaCliSiTefResp>();
        r->SetIndiceFPG_ECF(item.indice);
        r->SetOrdemPagamento(item.ordem);
        r->ValorTotal = item.valor;
        component_.RespostasPendentes().Add(std::move(r));
    }
    TKaCliSiTefArrayGrupoRespostasPendentes grupos{{"velho", 9, 1}};
    component_.AgruparRespostasPendentes(grupos);
    ASSERT_EQ(grupos.size(), 2u);
    EXPECT_EQ(grupos[0].IndiceFPG_ECF, "B");
    EXPECT_EQ(grupos[0].OrdemPagamento, 1);
    EXPECT_EQ(grupos[0].Total, 50000);
    EXPECT_EQ(grupos[1].IndiceFPG_ECF, "A");
    EXPECT_EQ(grupos[1].Total, 125000);
}

}  // namespace
