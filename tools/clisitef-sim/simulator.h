// The state of the simulated payment library behind its twelve exports: the scenario, the
// configuration, the running function's dialogue, the transactions it knows and the journal.
// One instance per loaded library. Thread-safe: every operation holds one lock (the caller
// drives a payment from one thread while another may ask for the PIN pad); waits block their
// caller outside the lock.
//
// The scenario comes from the file named by QV_CLISITEF_SCENARIO, else from clisitef-sim.json
// beside the library, else from the built-in demonstration scenario. It is read at the first
// call and again at every ConfiguraIntSiTefInterativoEx. QV_CLISITEF_JOURNAL names the journal
// and takes precedence over the scenario's "journal". QV_CLISITEF_POLL_MS, when set, replaces
// how long every wait blocks (tests set 0). QV_CLISITEF_STATE (or the scenario's "state")
// names a state file that keeps the pending functions across a restart of the process; read at
// the first load that names it, rewritten at every change.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "dialogue.h"
#include "journal.h"
#include "payment_book.h"
#include "scenario.h"

namespace clisitef_sim {

inline constexpr const char* kScenarioFileName = "clisitef-sim.json";
inline constexpr const char* kScenarioVariable = "QV_CLISITEF_SCENARIO";
inline constexpr const char* kJournalVariable = "QV_CLISITEF_JOURNAL";
inline constexpr const char* kPollVariable = "QV_CLISITEF_POLL_MS";
inline constexpr const char* kStateVariable = "QV_CLISITEF_STATE";

class Simulator {
public:
    static Simulator& Instance();

    int32_t Configure(const char* ip, const char* loja, const char* terminal, int32_t reservado,
                      const char* parametros);
    int32_t StartFunction(int32_t funcao, const char* valor, const char* cupom, const char* data,
                          const char* horario, const char* operador, const char* restricoes);
    int32_t ContinueFunction(int32_t* comando, int32_t* tipo_campo, int16_t* tam_minimo,
                             int16_t* tam_maximo, char* buffer, int32_t tam_buffer,
                             int32_t continua);
    // FinalizaFuncaoSiTefInterativo (`parametros` given) and FinalizaTransacaoSiTefInterativo.
    int32_t FinishFunction(const char* export_name, int32_t confirma, const char* cupom,
                           const char* data, const char* horario, const char* parametros,
                           bool with_parameters);
    int32_t ReadTrack3(char* area4);
    int32_t ReadCardDirect(char* a25, char* a129, char* b129, int16_t valor, int32_t zero);
    // LeCartaoSeguro and LeCartaoDiretoSeguro: nothing to read; the area gets an empty text.
    int32_t ReadSecureCard(const char* export_name, char* area);
    int32_t WritePinPadMessage(const char* mensagem);
    int32_t CountPending(const char* data, const char* cupom);
    int32_t CheckPinPad();

    // A failure that escaped an export (reported, never thrown to the caller).
    int32_t ReportEscaped(const char* export_name, const char* what);

private:
    Simulator() = default;

    void EnsureLoaded();
    void Load();
    void AddScenarioPayments();
    // Restores what the state file named now holds, the first time it is named.
    void LoadState(const std::string& path);
    // Writes the pending functions to the state file, when there is one.
    void SaveState();
    // What an earlier run left pending under another fiscal document or date than the
    // function starting now is undone, as the real library does at its next function.
    void UndoLeftByEarlierRun(const char* cupom, const char* data);
    int32_t ConfigurationResult(const char* ip, const char* loja, const char* terminal);
    int32_t Start(int32_t funcao, const char* valor, const char* cupom, const char* data,
                  const char* horario, const char* operador, const char* restricoes);
    // The caller's output arguments of ContinuaFuncaoSiTefInterativo, checked not NULL.
    struct Outputs {
        int32_t* comando;
        int32_t* tipo_campo;
        int16_t* tam_minimo;
        int16_t* tam_maximo;
        char* buffer;
        int32_t tam_buffer;
    };
    int32_t Continue(const Outputs& out, int32_t continua, const std::string& answer,
                     JournalLine& line, int& delay_ms);
    int32_t ContinueDialogue(const Outputs& out, int32_t continua, const std::string& answer,
                             int& delay_ms);
    int32_t Finish(const char* export_name, int32_t confirma, const char* cupom, const char* data);
    int32_t StartTrack3(char* area4);
    int32_t ReadCard(char* a25, char* a129, char* b129);
    Variables BaseVariables();
    int32_t Problem(int32_t status, const std::string& message);

    std::mutex mutex_;
    bool loaded_ = false;                       // guarded by mutex_
    std::shared_ptr<const Scenario> scenario_;  // guarded by mutex_; null when it is broken
    bool configured_ = false;                   // guarded by mutex_
    Variables configuration_;                   // guarded by mutex_
    Journal journal_;                           // guarded by mutex_
    PaymentBook book_;                          // guarded by mutex_
    std::set<std::string> scenario_payments_;   // guarded by mutex_: NSUs already in book_
    std::unique_ptr<Dialogue> dialogue_;        // guarded by mutex_
    int64_t next_nsu_ = 1;                      // guarded by mutex_
    std::optional<int> poll_ms_;                // guarded by mutex_
    std::string state_path_;                    // guarded by mutex_: empty without a state file
    size_t pending_answers_given_ = 0;          // guarded by mutex_: of the scenario's list
};

}  // namespace clisitef_sim
