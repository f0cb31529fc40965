// CheckPinpad and the meaning of the engine's PIN-pad presence texts.
#include "requests/pinpad_status.h"

#include "requests/dm_sitef.h"
#include "requests/json_writer.h"
#include "requests/tef_operation.h"
#include "tef/clisitef.h"

namespace requests {
namespace {

struct TPresence {
    const char* engine_text;
    TPinpadStatus status;
};

constexpr TPresence kPresence[] = {
    {"PINPAD conectado com sucesso...", {"connected", "PinPad conectado"}},
    {"Nenhum PINPAD conectado...", {"disconnected", "Nenhum PinPad conectado"}},
    {"Erro na DLL ou arquivo .INI do PINPAD",
     {"error", "Erro na dll ou arquivo de configuração do PinPad"}},
};

}  // namespace

TPinpadStatus PinpadStatus(std::string_view engine_text) {
    for (const TPresence& presence : kPresence) {
        if (engine_text == presence.engine_text) return presence.status;
    }
    return {"", ""};
}

std::string PinpadStatusReply(const TPinpadStatus& status) {
    return JsonObject()
        .Add("type", "status")
        .Add("status", status.status)
        .Add("message", status.message)
        .ToString();
}

void TDmSitef::CheckPinpad(const TClientRequest& pContent, const TSession&) {
    if (!pContent.HasType("status", "Campo type diferente de pinpad.")) return;
    // The library is asked only when no other operation uses it (a brief holder is waited
    // for); otherwise no reply.
    TTefOperation operation(*this, &pContent.Client(), kBriefOperation);
    if (!operation.Acquired()) return;
    try {
        if (!KaCliSiTef.Inicializado(tef::gpCliSiTef)) KaCliSiTef.Inicializar(tef::gpCliSiTef);
        const std::string presence = KaCliSiTef.TEFCliSiTef().VerificarPresencaPinPad();
        pContent.Reply(PinpadStatusReply(PinpadStatus(presence)));
    } catch (const std::exception& e) {
        pContent.ReplyError(std::string("Erro ao verificar pinpad: ") + e.what());
    }
}

}  // namespace requests
