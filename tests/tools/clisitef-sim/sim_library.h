// Test side of the simulated payment library: a private copy of libclisitef.so loaded with
// dlopen from a temporary application folder (as the engine loads it), its twelve exports
// resolved by name, and a small loop that drives one function to its final status, answering
// prompts from a list.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/dynamic_library.h"
#include "support/scoped_env.h"
#include "support/text_lines.h"
#include "tef/clisitef_abi.h"

namespace simtest {

// The answer to one prompt: the text put into the buffer and the continuation.
struct Answer {
    std::string text;
    int32_t continua = 0;
};
inline Answer Back() { return {"", 1}; }
inline Answer Abort() { return {"", -1}; }

struct Command {
    int32_t command = 0;
    int32_t field = 0;
    int16_t min = 0;
    int16_t max = 0;
    std::string text;  // Windows-1252, as handed out
};

struct Outcome {
    int32_t status = 0;
    std::vector<Command> commands;          // every command handed out, in order
    std::map<int32_t, std::string> stored;  // command 0 by field type (the last value)
    std::string final_text;                 // the buffer with the final status
    int answers_left = 0;                   // answers the run did not use

    // (command, field) of every command that waited for an answer.
    std::vector<std::pair<int32_t, int32_t>> Prompts() const;
    int Count(int32_t command) const;
    bool Has(int32_t command, int32_t field) const;
};

class SimLibrary {
public:
    // Copies the built library into `folder` + "dll/" and loads it from there.
    explicit SimLibrary(const std::string& folder);

    const std::string& dll_folder() const { return dll_folder_; }

    // Configures with valid values.
    int32_t Configure() const;
    int32_t Start(int32_t function, const std::string& amount = "10,00",
                  const std::string& restrictions = "", const std::string& document = "1000",
                  const std::string& date = "20251126", const std::string& time = "154841") const;

    // Calls ContinuaFuncaoSiTefInterativo until the status is not 10000. Prompts take the next
    // answer (a prompt with none left aborts and fails the test); a notice (22) is acknowledged
    // with continuation 1, like the engine does; the `interrupt_at_wait`-th wait (command 23)
    // is interrupted with -1 when it is above 0.
    Outcome Drive(std::deque<Answer> answers, int interrupt_at_wait = 0) const;

    // Start, then Drive when the start said 10000 (else an outcome with the start's status).
    Outcome Run(int32_t function, const std::string& amount, std::deque<Answer> answers,
                const std::string& restrictions = "", const std::string& document = "1000") const;

    ConfiguraIntSiTefInterativoExFn configura = nullptr;
    IniciaFuncaoSiTefInterativoFn inicia = nullptr;
    ContinuaFuncaoSiTefInterativoFn continua = nullptr;
    FinalizaFuncaoSiTefInterativoFn finaliza_funcao = nullptr;
    FinalizaTransacaoSiTefInterativoFn finaliza_transacao = nullptr;
    LeTrilha3Fn le_trilha3 = nullptr;
    LeCartaoSeguroFn le_cartao_seguro = nullptr;
    LeCartaoDiretoSeguroFn le_cartao_direto_seguro = nullptr;
    LeCartaoDiretoExFn le_cartao_direto_ex = nullptr;
    EscreveMensagemPermanentePinPadFn escreve_mensagem = nullptr;
    ObtemQuantidadeTransacoesPendentesFn obtem_pendentes = nullptr;
    VerificaPresencaPinPadFn verifica_pinpad = nullptr;

private:
    template <typename Fn>
    void Resolve(Fn& target, const char* name);

    std::string dll_folder_;
    platform::DynamicLibrary library_;
};

using qvtest::ScopedEnv;

using qvtest::ReadLines;

// The lines that start with `prefix`.
std::vector<std::string> LinesStartingWith(const std::vector<std::string>& lines,
                                           const std::string& prefix);

}  // namespace simtest
