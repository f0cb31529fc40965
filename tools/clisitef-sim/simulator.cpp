#include "simulator.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "amount_text.h"
#include "builtin_scenario.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/loaded_module.h"
#include "platform/paths.h"
#include "scenario_parser.h"
#include "state_file.h"
#include "statuses.h"
#include "tef/clisitef_abi.h"

namespace clisitef_sim {

namespace {

std::string Environment(const char* name) { return platform::EnvText(name); }

std::optional<int> ReadPollMs() {
    std::string text = Environment(kPollVariable);
    if (text.empty() || text.size() > 5 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::stoi(text);
}

// Results of the configuration that leave the library unconfigured.
bool IsConfigurationError(int32_t result) {
    static constexpr int32_t kErrors[] = {1, 2, 3, 6, 7, 8, 10, 11, 12, 13};
    return std::find(std::begin(kErrors), std::end(kErrors), result) != std::end(kErrors);
}

std::string Digits(int64_t value, int width) {
    std::string text = std::to_string(value);
    return text.size() >= static_cast<size_t>(width) ? text
                                                     : std::string(width - text.size(), '0') + text;
}

// A stable stand-in for the authoriser's transaction hash.
std::string HashOf(const std::string& text) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llX", static_cast<unsigned long long>(hash));
    return hex;
}

// "20251126" → "26/11/2025", "154841" → "15:48:41"; other texts stay as they are.
std::string Reformat(const std::string& text, size_t size, const int (&order)[3][2], char sep) {
    if (text.size() != size) return text;
    std::string out;
    for (const auto& part : order) {
        if (!out.empty()) out += sep;
        out += text.substr(part[0], part[1]);
    }
    return out;
}

// The answer in the caller's buffer, or nullopt when the buffer is missing or holds no NUL
// within its size.
std::optional<std::string> TerminatedText(const char* buffer, int32_t size) {
    if (buffer == nullptr || size <= 0) return std::nullopt;
    size_t length = strnlen(buffer, static_cast<size_t>(size));
    if (length == static_cast<size_t>(size)) return std::nullopt;
    return std::string(buffer, length);
}

void CopyText(const std::string& text, char* area, size_t size) {
    size_t n = std::min(text.size(), size - 1);
    std::memcpy(area, text.data(), n);
    area[n] = '\0';
}

}  // namespace

Simulator& Simulator::Instance() {
    static Simulator instance;
    return instance;
}

// ---- scenario -------------------------------------------------------------------------------

void Simulator::EnsureLoaded() {
    if (!loaded_) Load();
}

void Simulator::Load() {
    loaded_ = true;
    scenario_.reset();
    std::string journal = Environment(kJournalVariable);
    journal_.SetPath(journal);
    poll_ms_ = ReadPollMs();
    std::string library_folder = platform::ExtractFilePath(
        platform::ModulePathOf(reinterpret_cast<const void*>(&Simulator::Instance)));
    std::string path = Environment(kScenarioVariable);
    if (path.empty() && platform::FileExists(library_folder + kScenarioFileName))
        path = library_folder + kScenarioFileName;
    try {
        if (path.empty()) {
            scenario_ =
                ScenarioParser::Parse(BuiltInScenario(), "built-in scenario", library_folder);
        } else {
            auto text = platform::ReadFile(path);
            if (!text) throw ScenarioError(path + ": cannot be read: " + text.Status().Reason());
            scenario_ = ScenarioParser::Parse(*text, path, platform::ExtractFilePath(path));
        }
    } catch (const ScenarioError& e) {
        Problem(0, e.what());
        return;
    }
    if (journal.empty()) journal_.SetPath(scenario_->journal_path);
    journal_.Note("scenario " + scenario_->source);
    next_nsu_ = std::max(next_nsu_, scenario_->first_nsu);
    pending_answers_given_ = 0;
    AddScenarioPayments();
    std::string state = Environment(kStateVariable);
    LoadState(state.empty() ? scenario_->state_path : state);
}

void Simulator::LoadState(const std::string& path) {
    if (path.empty() || path == state_path_) return;
    state_path_ = path;
    try {
        State state = ReadState(path);
        next_nsu_ = std::max(next_nsu_, state.next_nsu);
        if (!state.pending.empty())
            journal_.Note("state " + path + ": " + std::to_string(state.pending.size()) +
                          " pending function(s) left by an earlier run");
        book_.Restore(std::move(state.pending));
    } catch (const StateError& e) {
        // A library whose memory is damaged starts afresh, saying so.
        Problem(0, e.what());
    }
}

void Simulator::SaveState() {
    if (state_path_.empty()) return;
    try {
        WriteState(state_path_, State{next_nsu_, book_.pending()});
    } catch (const StateError& e) {
        Problem(0, e.what());
    }
}

void Simulator::UndoLeftByEarlierRun(const char* cupom, const char* data) {
    const std::vector<std::string> undone = book_.UndoEarlierRun(cupom, data);
    for (const std::string& function : undone)
        journal_.Note("the function " + function +
                      " left unconfirmed by an earlier run was undone");
    if (!undone.empty()) SaveState();
}

void Simulator::AddScenarioPayments() {
    for (const Variables& payment : scenario_->payments) {
        if (scenario_payments_.insert(payment.at("nsu")).second) book_.AddKnown(payment);
    }
}

int32_t Simulator::Problem(int32_t status, const std::string& message) {
    std::fprintf(stderr, "clisitef-sim: %s\n", message.c_str());
    journal_.Note("error: " + message);
    return status;
}

int32_t Simulator::ReportEscaped(const char* export_name, const char* what) {
    std::lock_guard lock(mutex_);
    return Problem(kScenarioFault, std::string(export_name) + " failed: " + what);
}

// ---- configuration --------------------------------------------------------------------------

int32_t Simulator::Configure(const char* ip, const char* loja, const char* terminal,
                             int32_t reservado, const char* parametros) {
    std::lock_guard lock(mutex_);
    Load();
    JournalLine line("ConfiguraIntSiTefInterativoEx");
    line.Text("ip", ip).Text("loja", loja).Text("terminal", terminal);
    line.Number("reservado", reservado).Text("parametrosAdicionais", parametros);
    int32_t result = ConfigurationResult(ip, loja, terminal);
    journal_.Write(line.Result(result));
    return result;
}

int32_t Simulator::ConfigurationResult(const char* ip, const char* loja, const char* terminal) {
    configured_ = false;
    if (!scenario_) return 8;  // a library with problems: its scenario is broken
    int32_t valid = 0;
    if (ip == nullptr || *ip == '\0') {
        valid = 1;
    } else if (loja == nullptr || *loja == '\0') {
        valid = 2;
    } else if (terminal == nullptr || std::strlen(terminal) != 8) {
        valid = 3;
    }
    int32_t result = scenario_->configure_result.value_or(valid);
    configured_ = valid == 0 && !IsConfigurationError(result);
    if (configured_) configuration_ = {{"ip", ip}, {"store", loja}, {"terminal", terminal}};
    return result;
}

// ---- functions ------------------------------------------------------------------------------

int32_t Simulator::StartFunction(int32_t funcao, const char* valor, const char* cupom,
                                 const char* data, const char* horario, const char* operador,
                                 const char* restricoes) {
    std::lock_guard lock(mutex_);
    EnsureLoaded();
    JournalLine line("IniciaFuncaoSiTefInterativo");
    line.Number("funcao", funcao).Text("valor", valor).Text("cupomFiscal", cupom);
    line.Text("dataFiscal", data).Text("horario", horario).Text("operador", operador);
    line.Text("restricoes", restricoes);
    int32_t result = Start(funcao, valor, cupom, data, horario, operador, restricoes);
    journal_.Write(line.Result(result));
    return result;
}

int32_t Simulator::Start(int32_t funcao, const char* valor, const char* cupom, const char* data,
                         const char* horario, const char* operador, const char* restricoes) {
    for (const char* text : {valor, cupom, data, horario, operador, restricoes}) {
        if (text == nullptr)
            return Problem(kInvalidArgument, "IniciaFuncaoSiTefInterativo: NULL text argument");
    }
    if (!configured_)
        return Problem(kNotConfigured,
                       "IniciaFuncaoSiTefInterativo before a successful configuration");
    auto cents = ParseCents(valor);
    if (!cents)
        return Problem(kInvalidArgument, "IniciaFuncaoSiTefInterativo: valor \"" +
                                             std::string(valor) + "\" is not an amount");
    const Flow* flow = scenario_->FlowForFunction(funcao);
    if (flow == nullptr)
        return Problem(kInvalidFunction,
                       "the scenario has no flow for function " + std::to_string(funcao));
    if (dialogue_ && !dialogue_->ended()) journal_.Note("the running function was abandoned");
    UndoLeftByEarlierRun(cupom, data);
    Variables variables = BaseVariables();
    static constexpr int kDate[3][2] = {{6, 2}, {4, 2}, {0, 4}};
    static constexpr int kTime[3][2] = {{0, 2}, {2, 2}, {4, 2}};
    variables["function"] = std::to_string(funcao);
    variables["amount"] = valor;
    AddAmountVariables(variables, *cents);
    variables["doc"] = cupom;
    variables["date"] = data;
    variables["time"] = horario;
    variables["date_br"] = Reformat(data, 8, kDate, '/');
    variables["time_br"] = Reformat(horario, 6, kTime, ':');
    variables["timestamp"] = std::string(data) + horario;
    variables["operator"] = operador;
    variables["restrictions"] = restricoes;
    variables["qrcode_to_app"] =
        std::strstr(restricoes, "DevolveStringQRCode=1") != nullptr ? "1" : "";
    variables["hash"] =
        HashOf(variables["nsu"] + "|" + variables["amount_cents"] + "|" + variables["timestamp"]);
    dialogue_ = std::make_unique<Dialogue>(scenario_, *flow, std::move(variables), book_);
    return tef::kCliSiTefContinue;
}

// Values every function sees: the scenario's, the configuration's and fresh numbers of the
// authoriser.
Variables Simulator::BaseVariables() {
    Variables variables = scenario_->variables;
    for (const auto& [name, value] : configuration_) variables[name] = value;
    int64_t number = next_nsu_++;
    variables["nsu"] = Digits(number, 6);
    variables["nsu_host"] = "1" + Digits(number, 8);
    variables["auth"] = Digits((number * 7919 + 104729) % 1000000, 6);
    return variables;
}

int32_t Simulator::ContinueFunction(int32_t* comando, int32_t* tipo_campo, int16_t* tam_minimo,
                                    int16_t* tam_maximo, char* buffer, int32_t tam_buffer,
                                    int32_t continua) {
    int delay_ms = 0;
    int32_t result;
    {
        std::lock_guard lock(mutex_);
        EnsureLoaded();
        std::optional<std::string> answer = TerminatedText(buffer, tam_buffer);
        JournalLine line("ContinuaFuncaoSiTefInterativo");
        line.Number("continua", continua);
        if (answer || buffer == nullptr) {
            line.Text("buffer", answer ? answer->c_str() : nullptr);
        } else {
            line.Word("buffer", "UNTERMINATED");
        }
        line.Number("tamBuffer", tam_buffer);
        if (comando == nullptr || tipo_campo == nullptr || tam_minimo == nullptr ||
            tam_maximo == nullptr || !answer) {
            result = Problem(kInvalidArgument,
                             "ContinuaFuncaoSiTefInterativo: a NULL pointer, tamBuffer below 1 or "
                             "an answer not terminated within tamBuffer");
            journal_.Write(line.Result(result));
        } else {
            Outputs outputs{comando, tipo_campo, tam_minimo, tam_maximo, buffer, tam_buffer};
            result = Continue(outputs, continua, *answer, line, delay_ms);
        }
    }
    // Waits block like the real library does, but without keeping other callers out.
    if (delay_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
    return result;
}

int32_t Simulator::Continue(const Outputs& out, int32_t continua, const std::string& answer,
                            JournalLine& line, int& delay_ms) {
    int32_t result = ContinueDialogue(out, continua, answer, delay_ms);
    line.Result(result);
    if (result == tef::kCliSiTefContinue || (dialogue_ && dialogue_->ended())) {
        line.Number("comando", *out.comando).Number("tipoCampo", *out.tipo_campo);
        line.Number("tamMinimo", *out.tam_minimo).Number("tamMaximo", *out.tam_maximo);
        line.Text("buffer", out.buffer);
    }
    journal_.Write(line);
    return result;
}

int32_t Simulator::ContinueDialogue(const Outputs& out, int32_t continua, const std::string& answer,
                                    int& delay_ms) {
    if (!dialogue_ || dialogue_->ended())
        return Problem(kOutOfOrder, "ContinuaFuncaoSiTefInterativo without a running function");
    if (continua < -1 || continua > 1)
        return Problem(kInvalidArgument, "ContinuaFuncaoSiTefInterativo: continua " +
                                             std::to_string(continua) + " is not 0, 1 or -1");
    Reply reply = dialogue_->Continue(continua, answer);
    if (!reply.problem.empty()) Problem(reply.status, reply.problem);
    if (reply.text.size() >= static_cast<size_t>(out.tam_buffer)) {
        dialogue_.reset();
        out.buffer[0] = '\0';
        return Problem(kInvalidArgument,
                       "ContinuaFuncaoSiTefInterativo: the command's data needs " +
                           std::to_string(reply.text.size() + 1) + " bytes, tamBuffer is " +
                           std::to_string(out.tam_buffer));
    }
    *out.comando = reply.command;
    *out.tipo_campo = reply.field;
    *out.tam_minimo = reply.min;
    *out.tam_maximo = reply.max;
    CopyText(reply.text, out.buffer, static_cast<size_t>(out.tam_buffer));
    if (dialogue_->ended() && reply.status == 0 && dialogue_->record() != RecordKind::kNone) {
        book_.AddPending(dialogue_->record(), dialogue_->variables(), dialogue_->matched());
        SaveState();
    }
    delay_ms = reply.delay_ms > 0 ? poll_ms_.value_or(reply.delay_ms) : 0;
    return reply.status;
}

int32_t Simulator::FinishFunction(const char* export_name, int32_t confirma, const char* cupom,
                                  const char* data, const char* horario, const char* parametros,
                                  bool with_parameters) {
    std::lock_guard lock(mutex_);
    EnsureLoaded();
    JournalLine line(export_name);
    line.Number("confirma", confirma).Text("cupomFiscal", cupom).Text("dataFiscal", data);
    line.Text("horario", horario);
    if (with_parameters) line.Text("paramAdicionais", parametros);
    int32_t result = Finish(export_name, confirma, cupom, data);
    journal_.Write(line.Result(result));
    return result;
}

int32_t Simulator::Finish(const char* export_name, int32_t confirma, const char* cupom,
                          const char* data) {
    std::string name(export_name);
    if (cupom == nullptr || data == nullptr || (confirma != 0 && confirma != 1))
        return Problem(kInvalidArgument,
                       name + ": confirma must be 0 or 1, cupomFiscal and dataFiscal set");
    if (dialogue_ && !dialogue_->ended()) {
        // Finishing a function still in its dialogue gives it up, as undoing it would.
        dialogue_.reset();
        journal_.Note("the running function was abandoned");
        return 0;
    }
    // Known by its document and the date it was started with: another date names nothing.
    const bool pending = book_.CountPending(data, cupom) > 0;
    if (pending && confirma == 1 && scenario_ && scenario_->confirm_result.value_or(0) != 0) {
        // The authoriser turns the confirmation down: the function stays pending.
        journal_.Note("the confirmation was refused");
        return *scenario_->confirm_result;
    }
    if (book_.Finish(cupom, data, confirma == 1)) {
        SaveState();
        return 0;
    }
    std::string what = "no approved function of document \"" + std::string(cupom) +
                       "\" started on \"" + data + "\" is pending";
    // Undoing what is not there is harmless (callers undo after every failed payment);
    // confirming it is not.
    if (confirma == 0) {
        journal_.Note(what);
        return 0;
    }
    return Problem(kOutOfOrder, name + ": " + what);
}

// ---- card readers and PIN pad ---------------------------------------------------------------

int32_t Simulator::ReadTrack3(char* area4) {
    std::lock_guard lock(mutex_);
    EnsureLoaded();
    int32_t result = StartTrack3(area4);
    JournalLine line("LeTrilha3");
    line.Result(result);
    if (area4 != nullptr && configured_) line.Text("area4", area4);
    journal_.Write(line);
    return result;
}

int32_t Simulator::StartTrack3(char* area4) {
    if (area4 == nullptr) return Problem(kInvalidArgument, "LeTrilha3: NULL area");
    if (!configured_) return Problem(kNotConfigured, "LeTrilha3 before a successful configuration");
    CopyText(scenario_->track3_area, area4, 4);
    if (scenario_->track3_result == tef::kCliSiTefContinue) {
        const Flow* flow = scenario_->FindFlow(scenario_->track3_flow);
        dialogue_ = std::make_unique<Dialogue>(scenario_, *flow, BaseVariables(), book_);
    }
    return scenario_->track3_result;
}

int32_t Simulator::ReadCardDirect(char* a25, char* a129, char* b129, int16_t valor, int32_t zero) {
    std::lock_guard lock(mutex_);
    EnsureLoaded();
    JournalLine line("LeCartaoDiretoEx");
    line.Number("valor", valor).Number("zero", zero);
    int32_t result = ReadCard(a25, a129, b129);
    line.Result(result);
    if (a25 != nullptr && a129 != nullptr && b129 != nullptr && configured_)
        line.Text("a25", a25).Text("a129", a129).Text("b129", b129);
    journal_.Write(line);
    return result;
}

int32_t Simulator::ReadCard(char* a25, char* a129, char* b129) {
    if (a25 == nullptr || a129 == nullptr || b129 == nullptr)
        return Problem(kInvalidArgument, "LeCartaoDiretoEx: NULL area");
    if (!configured_)
        return Problem(kNotConfigured, "LeCartaoDiretoEx before a successful configuration");
    CopyText(scenario_->card_direct_a25, a25, 25);
    CopyText(scenario_->card_direct_a129, a129, 129);
    CopyText(scenario_->card_direct_b129, b129, 129);
    return scenario_->card_direct_result;
}

int32_t Simulator::ReadSecureCard(const char* export_name, char* area) {
    std::lock_guard lock(mutex_);
    EnsureLoaded();
    int32_t result = 0;
    if (area == nullptr) {
        result = Problem(kInvalidArgument, std::string(export_name) + ": NULL area");
    } else {
        area[0] = '\0';
    }
    journal_.Write(JournalLine(export_name).Result(result));
    return result;
}

int32_t Simulator::WritePinPadMessage(const char* mensagem) {
    std::lock_guard lock(mutex_);
    EnsureLoaded();
    int32_t result;
    if (mensagem == nullptr) {
        result = Problem(kInvalidArgument, "EscreveMensagemPermanentePinPad: NULL message");
    } else {
        result = scenario_ ? scenario_->pinpad_message_result : kNotConfigured;
    }
    journal_.Write(
        JournalLine("EscreveMensagemPermanentePinPad").Text("mensagem", mensagem).Result(result));
    return result;
}

int32_t Simulator::CountPending(const char* data, const char* cupom) {
    std::lock_guard lock(mutex_);
    EnsureLoaded();
    int32_t result;
    if (data == nullptr || cupom == nullptr) {
        result = Problem(kInvalidArgument, "ObtemQuantidadeTransacoesPendentes: NULL argument");
    } else if (!scenario_) {
        result = kNotConfigured;
    } else if (pending_answers_given_ < scenario_->pending_answers.size()) {
        result = scenario_->pending_answers[pending_answers_given_++];
    } else {
        result = scenario_->pending_transactions.value_or(book_.CountPending(data, cupom));
    }
    journal_.Write(JournalLine("ObtemQuantidadeTransacoesPendentes")
                       .Text("data", data)
                       .Text("cupomFiscal", cupom)
                       .Result(result));
    return result;
}

int32_t Simulator::CheckPinPad() {
    std::lock_guard lock(mutex_);
    EnsureLoaded();
    // -1 is the library's own answer for a configuration it cannot use.
    int32_t result = scenario_ ? scenario_->pinpad_present : -1;
    journal_.Write(JournalLine("VerificaPresencaPinPad").Result(result));
    return result;
}

}  // namespace clisitef_sim
