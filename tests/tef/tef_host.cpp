#include "tef_host.h"

#include <stdlib.h>
#include <time.h>

#include <memory>
#include <set>
#include <utility>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/test_clock.h"
#include "support/simulated_library.h"
#include "tef/respostas_pendentes.h"

namespace teftest {
namespace {

std::string Join(const tef::TextLines& lines, const char* separator) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) text += (i ? separator : "") + lines[i];
    return text;
}

std::string Valor(tef::Money valor) { return tef::MoneyToAmountText(valor); }

}  // namespace

RespostaVista Ver(const tef::TKaCliSiTefResp& r) {
    RespostaVista v;
    v.Header = r.Header;
    v.NumeroCartao = r.NumeroCartao;
    v.NSU = r.NSU;
    v.NSUComprovante = r.NSUComprovante;
    v.CodigoAutorizacaoTransacao = r.CodigoAutorizacaoTransacao;
    v.ModalidadePagto = r.ModalidadePagto;
    v.Rede = r.Rede;
    v.Instituicao = r.Instituicao;
    v.Bandeira = r.Bandeira;
    v.DocumentoVinculado = r.DocumentoVinculado;
    v.IndiceFPG_ECF = r.IndiceFPG_ECF();
    v.CodigoHASH = r.CodigoHASH;
    v.ArqBackup = r.ArqBackup();
    v.Debito = r.Debito;
    v.Credito = r.Credito;
    v.Pendente = r.Pendente;
    v.CNFEnviado = r.CNFEnviado();
    v.ValorTotal = r.ValorTotal;
    v.DataHoraTransacaoHost = r.DataHoraTransacaoHost;
    v.Via1 = r.ImagemComprovante1aVia;
    v.Via2 = r.ImagemComprovante2aVia;
    v.QtdParcelas = r.QtdParcelas;
    return v;
}

TestHost::TestHost(tef::TKaCliSiTef& component) : c_(component) { Bind(); }

std::vector<std::string> TestHost::Calls(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const auto& call : calls) {
        if (call.starts_with(prefix)) found.push_back(call);
    }
    return found;
}

void TestHost::Reset() {
    calls.clear();
    menus.clear();
    campos.clear();
    perguntas.clear();
    interromperNaEspera = 0;
    esperas_ = 0;
}

void TestHost::Registrar(const std::string& linha) {
    calls.push_back(linha);
    if (!interceptar.empty() && linha.starts_with(interceptar) && aoInterceptar) aoInterceptar();
}

int TestHost::ComandoECF(const std::string& linha) {
    Registrar(linha);
    for (auto falha = falharECF.begin(); falha != falharECF.end(); ++falha) {
        if (linha.starts_with(*falha)) {
            falharECF.erase(falha);
            return 0;
        }
    }
    return retornoECF;
}

void TestHost::Bind() {
    using namespace tef;
    c_.OnExibeMsg = [this](TKaCliSiTefOperacaoMensagem op, const std::string& msg,
                           TModalResult& resultado) {
        Registrar("Msg " + ToString(op) + " " + msg);
        const bool pergunta =
            op == opmOK || op == opmYesNo || op == opmYesNoCustom || op == opmExcept;
        if (pergunta && !perguntas.empty()) {
            resultado = perguntas.front();
            perguntas.pop_front();
        }
    };
    c_.OnExibeMenu = [this](const std::string& titulo, const TextLines& opcoes, int& item,
                            bool& voltar) {
        Registrar("Menu " + titulo + " [" + Join(opcoes, ";") + "]");
        if (menus.empty()) return;
        item = menus.front().item;
        voltar = menus.front().voltar;
        menus.pop_front();
    };
    c_.OnObtemCampo = [this](const std::string& titulo, int minimo, int maximo, int tipo,
                             TKaCliSiTefCliSiTefOperacaoCampo op, AnsiString& resposta,
                             bool& digitado, bool& voltar) {
        Registrar("Campo " + std::to_string(tipo) + " " + ToString(op) + " " + titulo + " (" +
                  std::to_string(minimo) + "," + std::to_string(maximo) + ") [" + resposta + "]");
        if (campos.empty()) return;
        resposta = campos.front().texto;
        digitado = campos.front().digitado;
        voltar = campos.front().voltar;
        campos.pop_front();
    };
    c_.OnObtemCheque = [this](const std::string& titulo, int tipo,
                              TKaCliSiTefCliSiTefOperacaoCampo op, AnsiString& resposta,
                              bool& digitado, bool& voltar) {
        Registrar("Cheque " + std::to_string(tipo) + " " + ToString(op) + " " + titulo);
        if (campos.empty()) return;
        resposta = campos.front().texto;
        digitado = campos.front().digitado;
        voltar = campos.front().voltar;
        campos.pop_front();
    };
    c_.OnObterSenha = [this](const std::string& titulo, bool&) { Registrar("Senha " + titulo); };
    c_.OnExibeQRCode = [this](const std::string& qr) { Registrar("QR " + qr); };
    c_.OnAguardaResp = [this](const std::string& arquivo, int segundos, bool& interromper) {
        Registrar("Aguarda " + arquivo + " " + std::to_string(segundos));
        if (++esperas_ == interromperNaEspera) interromper = true;
    };
    c_.OnComandaECF = [this](TKaCliSiTefOperacaoECF op, TKaCliSiTefResp&, int& retorno) {
        retorno = ComandoECF("ECF " + ToString(op));
    };
    c_.OnComandaImpressao = [this](int& retorno, TKaCliSiTefResp&, bool cancelado) {
        Registrar(std::string("Impressao ") + (cancelado ? "devolucao" : "venda"));
        retorno = retornoImpressao;
    };
    c_.OnComandaECFSubtotaliza = [this](Money desconto, int& retorno) {
        retorno = ComandoECF("Subtotaliza " + Valor(desconto));
    };
    c_.OnComandaECFPagamento = [this](const std::string& indice, Money valor, int& retorno) {
        retorno = ComandoECF("Pagamento " + indice + " " + Valor(valor));
    };
    c_.OnComandaECFAbreVinculado = [this](const std::string& coo, const std::string& indice,
                                          Money valor, int& retorno) {
        retorno = ComandoECF("AbreVinculado " + coo + " " + indice + " " + Valor(valor));
    };
    c_.OnComandaECFImprimeVia = [this](TKaCliSiTefTipoRelatorio tipo, int via,
                                       const TextLines& imagem, int& retorno) {
        retorno = ComandoECF("ImprimeVia " + ToString(tipo) + " " + std::to_string(via) + " " +
                             (imagem.empty() ? "" : imagem.front()));
    };
    c_.OnInfoECF = [this](TKaCliSiTefInfoECF op, std::string& retorno) {
        Registrar("InfoECF " + ToString(op));
        if (op != ineEstadoECF) {
            retorno = "0";
        } else if (!estadosECF.empty()) {
            retorno = estadosECF.front();
            estadosECF.pop_front();
        } else {
            retorno = estadoECF;
        }
    };
    c_.OnDepoisConfirmarTransacoes = [this](TKaCliSiTefRespostasPendentes& lista) {
        Registrar("DepoisConfirmar " + std::to_string(lista.Count()));
        for (int i = 0; i < lista.Count(); ++i) confirmadas.push_back(Ver(lista.Objects(i)));
        if (aoConfirmar) aoConfirmar(lista);
    };
    c_.OnAntesCancelarTransacao = [this](TKaCliSiTefResp& r) {
        Registrar("AntesCancelar " + r.DocumentoVinculado);
    };
    c_.OnDepoisCancelarTransacoes = [this](TKaCliSiTefRespostasPendentes& lista) {
        Registrar("DepoisCancelar " + std::to_string(lista.Count()));
        for (int i = 0; i < lista.Count(); ++i) canceladas.push_back(Ver(lista.Objects(i)));
    };
    c_.OnMudaEstadoReq = [this](TKaCliSiTefReqEstado e) { Registrar("EstadoReq " + ToString(e)); };
    c_.OnMudaEstadoResp = [this](TKaCliSiTefRespEstado e) {
        Registrar("EstadoResp " + ToString(e));
    };
    c_.OnRestauraFocoAplicacao = [this](bool&) { Registrar("Foco"); };
    c_.OnLimpaTeclado = [this](bool&) { Registrar("Teclado"); };
    c_.OnBloqueiaMouseTeclado = [this](bool, bool&) { Registrar("Bloqueia"); };
    c_.OnAntesFinalizarRequisicao = [this](TKaCliSiTefReq&) { Registrar("AntesFinalizar"); };
}

SimFixture::SimFixture() : engine_(component_.TEFCliSiTef()), host_(component_) {
    env_.Set("TZ", "America/Sao_Paulo");
    env_.Set("QV_CLISITEF_JOURNAL", folder_ / "journal.log");
    env_.Set("QV_CLISITEF_POLL_MS", "0");
    env_.Set("QV_CLISITEF_SCENARIO", folder_ / "scenario.json");
    UseScenario(R"({"script": [{"status": 0}]})");
    qvtest::InstallSimulatedLibrary(folder_.path());
    engine_.PathDLL = folder_ / "dll/";
    engine_.EnderecoIP = "127.0.0.1";
    engine_.CodigoLoja = "00000000";
    engine_.NumeroTerminal = "AG001203";
    engine_.ModoServico = true;
    component_.ModoServico = true;
    component_.SetPathBackup(folder_ / "TEF");
    component_.SetArqLOG(folder_ / "trace.log");
    auto agora = std::make_shared<tef::TRelogio::Instante>();
    component_.Relogio.Agora = [agora] { return *agora; };
    component_.Relogio.Dormir = [this, agora](std::chrono::milliseconds duracao) {
        sleeps_.push_back(duracao);
        *agora += duracao;
    };
}

void SimFixture::UseScenario(const std::string& json) {
    ASSERT_TRUE(platform::WriteFile(folder_ / "scenario.json", json));
}

void SimFixture::UseScript(const std::string& steps) {
    UseScenario(R"({"script": )" + steps + "}");
}

void SimFixture::Start() {
    ASSERT_NO_THROW(component_.Inicializar(tef::gpCliSiTef));
    ASSERT_TRUE(component_.Inicializado(tef::gpCliSiTef));
}

void SimFixture::DesktopMode() {
    engine_.ModoServico = false;
    component_.ModoServico = false;
}

void SimFixture::SetClock(const std::string& moment) {
    ASSERT_TRUE(platform::WriteFile(folder_ / "clock.txt", moment));
    env_.Set(platform::kClockFileVariable, folder_ / "clock.txt");
}

void SimFixture::UseStateFile() { env_.Set("QV_CLISITEF_STATE", folder_ / "clisitef-sim.state"); }

int SimFixture::PendingInLibrary() {
    std::set<std::pair<std::string, std::string>> started;
    for (const std::string& line : Journal("IniciaFuncaoSiTefInterativo"))
        started.emplace(JournalValue(line, "cupomFiscal"), JournalValue(line, "dataFiscal"));
    int pending = 0;
    for (const auto& [doc, date] : started) pending += PendingInLibrary(doc, date);
    return pending;
}

int SimFixture::PendingInLibrary(const std::string& doc, const std::string& date) {
    const platform::LocalDateTime day{std::stoi(date.substr(0, 4)), std::stoi(date.substr(4, 2)),
                                      std::stoi(date.substr(6, 2))};
    return engine_.ObtemQuantidadeTransacoesPendentes(platform::ToDateTime(day), doc);
}

std::vector<std::string> SimFixture::Journal() const {
    return qvtest::JournalCalls(folder_ / "journal.log");
}

std::vector<std::string> SimFixture::Journal(const std::string& exportName) const {
    return qvtest::JournalCalls(folder_ / "journal.log", exportName);
}

std::vector<std::string> SimFixture::Answers() const {
    return qvtest::JournalAnswers(folder_ / "journal.log");
}

std::string SimFixture::Trace() const {
    return platform::ReadFile(folder_ / "trace.log").value_or("");
}

}  // namespace teftest
