// Test side of the TEF component: a host that binds every event of a TKaCliSiTef, records each
// call as one line of text, answers prompts from scripted queues and plays a fiscal printer;
// and a fixture with a private copy of the simulated payment library in a temporary application
// folder, its journal, TZ pinned, a clock that never sleeps, and the component configured as
// the service configures it.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/scoped_env.h"
#include "support/sim_journal.h"
#include "support/temp_folder.h"
#include "support/text_lines.h"
#include "tef/clisitef.h"
#include "tef/kaclisitef.h"

namespace teftest {

// The properties a test checks of a response handed to OnDepoisConfirmarTransacoes (the list
// is emptied afterwards, so the host keeps copies).
struct RespostaVista {
    std::string Header, NumeroCartao, NSU, NSUComprovante, CodigoAutorizacaoTransacao;
    std::string ModalidadePagto, Rede, Instituicao, Bandeira, DocumentoVinculado, IndiceFPG_ECF;
    std::string CodigoHASH, ArqBackup;
    bool Debito = false, Credito = false, Pendente = false, CNFEnviado = false;
    tef::Money ValorTotal = 0;
    platform::TDateTime DataHoraTransacaoHost = 0;
    tef::TextLines Via1, Via2;
    int QtdParcelas = 0;
};

RespostaVista Ver(const tef::TKaCliSiTefResp& r);

struct RespostaMenu {
    int item = -1;
    bool voltar = false;
};

struct RespostaCampo {
    tef::AnsiString texto;
    bool digitado = true;
    bool voltar = false;
};

class TestHost {
public:
    // Binds every event of `component`.
    explicit TestHost(tef::TKaCliSiTef& component);

    // Forgets the calls and the scripted answers (the settings stay).
    void Reset();

    // Every event call, in order, e.g. "Msg opmExcept Negada pelo autorizador (5)",
    // "Menu Titulo [1:A;2:B]", "Campo 512 tcString Forneca o numero", "Aguarda 23 0",
    // "ImprimeVia trVinculado 1 VIA DO CLIENTE" (the copy's first line).
    std::vector<std::string> calls;
    // The calls that start with `prefix`.
    std::vector<std::string> Calls(const std::string& prefix) const;

    // Scripted answers; an empty queue answers nothing (menu -1, field untouched, modal 0).
    std::deque<RespostaMenu> menus;
    std::deque<RespostaCampo> campos;
    std::deque<tef::TModalResult> perguntas;  // opmOK, opmYesNo, opmYesNoCustom, opmExcept
    // The wait (command 23) at which the host interrupts (1 = first); 0 never.
    int interromperNaEspera = 0;
    std::string estadoECF = "L";
    // Answers to the printer-state question before estadoECF, first to last.
    std::deque<std::string> estadosECF;
    int retornoECF = 1;        // every fiscal-printer command
    int retornoImpressao = 1;  // OnComandaImpressao
    // A fiscal-printer command whose call line starts with one of these fails (answers 0); each
    // entry fails one command and is then forgotten.
    std::vector<std::string> falharECF;

    // Responses handed to OnDepoisConfirmarTransacoes / OnDepoisCancelarTransacoes.
    std::vector<RespostaVista> confirmadas, canceladas;
    // Runs inside OnDepoisConfirmarTransacoes (after the copies are taken), as the service's
    // result handler does when it confirms the transaction.
    std::function<void(tef::TKaCliSiTefRespostasPendentes&)> aoConfirmar;
    // Runs first in every event whose call line starts with `prefix` (to raise, for example).
    std::string interceptar;
    std::function<void()> aoInterceptar;

private:
    void Registrar(const std::string& linha);
    // Records a fiscal-printer command and gives its answer.
    int ComandoECF(const std::string& linha);
    void Bind();

    tef::TKaCliSiTef& c_;
    int esperas_ = 0;
};

using qvtest::ScopedEnv;

class SimFixture : public ::testing::Test {
protected:
    SimFixture();

    // Writes `json` as the scenario (read at the next configuration).
    void UseScenario(const std::string& json);
    // A scenario that runs `steps` (a JSON array) as an exact script for every function.
    void UseScript(const std::string& steps);
    // Inicializar(gpCliSiTef) on the component; fails the test on an error.
    void Start();
    // Runs the component and its engine outside service mode, as a desktop program does.
    void DesktopMode();
    // The process's wall clock reads `moment` ("yyyy-mm-dd hh:nn:ss") and stands still there
    // until the next call; the system's clock again after the test.
    void SetClock(const std::string& moment);
    // The library keeps what it holds pending in a state file, and so across a release and a
    // reload, as the real one keeps it across a restart.
    void UseStateFile();

    // What the library still holds pending of the functions the journal shows started, each
    // asked by its own fiscal document and date.
    int PendingInLibrary();
    // What it holds pending of document `doc` started on `date` (yyyymmdd).
    int PendingInLibrary(const std::string& doc, const std::string& date);

    // Journal lines without the simulator's notes, and those of one export.
    std::vector<std::string> Journal() const;
    std::vector<std::string> Journal(const std::string& exportName) const;
    // The answers (buffer sent) and continuations of every ContinuaFuncaoSiTefInterativo call,
    // as "<continua>:<buffer>", the first call included.
    std::vector<std::string> Answers() const;
    std::string Trace() const;

    qvtest::TempFolder folder_;
    ScopedEnv env_;
    tef::TKaCliSiTef component_;
    tef::TKaCliSiTefCliSiTef& engine_;
    TestHost host_;
    // The component's clock only moves when the component sleeps, so no test sleeps; these are
    // its sleeps.
    std::vector<std::chrono::milliseconds> sleeps_;
};

using qvtest::JournalResult;
using qvtest::JournalValue;

using qvtest::ReadLines;

}  // namespace teftest
