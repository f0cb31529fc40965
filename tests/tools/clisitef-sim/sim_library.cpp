#include "sim_library.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "platform/file_system.h"
#include "platform/paths.h"
#include "support/simulated_library.h"

namespace simtest {

namespace {

// Far more calls than any flow needs; a run that goes on is a fault.
constexpr int kMaxCalls = 2000;

bool WaitsForAnswer(int32_t command) {
    return command == 20 || command == 21 || command == 30 || command == 31 || command == 34 ||
           command == 35;
}

}  // namespace

std::vector<std::pair<int32_t, int32_t>> Outcome::Prompts() const {
    std::vector<std::pair<int32_t, int32_t>> prompts;
    for (const Command& c : commands) {
        if (WaitsForAnswer(c.command)) prompts.emplace_back(c.command, c.field);
    }
    return prompts;
}

int Outcome::Count(int32_t command) const {
    return static_cast<int>(std::count_if(commands.begin(), commands.end(),
                                          [&](const Command& c) { return c.command == command; }));
}

bool Outcome::Has(int32_t command, int32_t field) const {
    return std::any_of(commands.begin(), commands.end(),
                       [&](const Command& c) { return c.command == command && c.field == field; });
}

SimLibrary::SimLibrary(const std::string& folder)
    : dll_folder_(folder + "dll" + platform::kPathSeparator) {
    std::string path = qvtest::InstallSimulatedLibrary(folder);
    if (!library_.Open(path)) throw std::runtime_error(library_.LastError());
    Resolve(configura, "ConfiguraIntSiTefInterativoEx");
    Resolve(inicia, "IniciaFuncaoSiTefInterativo");
    Resolve(continua, "ContinuaFuncaoSiTefInterativo");
    Resolve(finaliza_funcao, "FinalizaFuncaoSiTefInterativo");
    Resolve(finaliza_transacao, "FinalizaTransacaoSiTefInterativo");
    Resolve(le_trilha3, "LeTrilha3");
    Resolve(le_cartao_seguro, "LeCartaoSeguro");
    Resolve(le_cartao_direto_seguro, "LeCartaoDiretoSeguro");
    Resolve(le_cartao_direto_ex, "LeCartaoDiretoEx");
    Resolve(escreve_mensagem, "EscreveMensagemPermanentePinPad");
    Resolve(obtem_pendentes, "ObtemQuantidadeTransacoesPendentes");
    Resolve(verifica_pinpad, "VerificaPresencaPinPad");
}

template <typename Fn>
void SimLibrary::Resolve(Fn& target, const char* name) {
    target = reinterpret_cast<Fn>(library_.Symbol(name));
    if (target == nullptr) throw std::runtime_error(std::string("missing export ") + name);
}

int32_t SimLibrary::Configure() const {
    return configura("127.0.0.1", "00000000", "AG001203", 0, "[];{ValorIncluiTaxa=0;};");
}

int32_t SimLibrary::Start(int32_t function, const std::string& amount,
                          const std::string& restrictions, const std::string& document,
                          const std::string& date, const std::string& time) const {
    return inicia(function, amount.c_str(), document.c_str(), date.c_str(), time.c_str(), "",
                  restrictions.c_str());
}

Outcome SimLibrary::Drive(std::deque<Answer> answers, int interrupt_at_wait) const {
    Outcome outcome;
    std::vector<char> buffer(tef::kCliSiTefBufferSize, '\0');
    int32_t next = 0;
    int waits = 0;
    for (int call = 0; call < kMaxCalls; ++call) {
        Command c;
        int32_t status = continua(&c.command, &c.field, &c.min, &c.max, buffer.data(),
                                  tef::kCliSiTefBufferSize, next);
        if (status != tef::kCliSiTefContinue) {
            outcome.status = status;
            outcome.final_text = buffer.data();
            outcome.answers_left = static_cast<int>(answers.size());
            return outcome;
        }
        c.text = buffer.data();
        outcome.commands.push_back(c);
        if (c.command == 0) outcome.stored[c.field] = c.text;
        Answer answer;
        if (WaitsForAnswer(c.command)) {
            if (answers.empty()) {
                ADD_FAILURE() << "no answer left for command " << c.command << " field " << c.field
                              << " \"" << c.text << "\"";
                answer = Abort();
            } else {
                answer = answers.front();
                answers.pop_front();
            }
        } else if (c.command == 22) {
            answer.continua = 1;
        } else if (c.command == 23 && ++waits == interrupt_at_wait) {
            answer.continua = -1;
        }
        std::memcpy(buffer.data(), answer.text.c_str(), answer.text.size() + 1);
        next = answer.continua;
    }
    ADD_FAILURE() << "the function did not end within " << kMaxCalls << " calls";
    return outcome;
}

Outcome SimLibrary::Run(int32_t function, const std::string& amount, std::deque<Answer> answers,
                        const std::string& restrictions, const std::string& document) const {
    int32_t started = Start(function, amount, restrictions, document);
    if (started != tef::kCliSiTefContinue) {
        Outcome outcome;
        outcome.status = started;
        return outcome;
    }
    return Drive(std::move(answers));
}

std::vector<std::string> LinesStartingWith(const std::vector<std::string>& lines,
                                           const std::string& prefix) {
    std::vector<std::string> found;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(found),
                 [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
    return found;
}

}  // namespace simtest
