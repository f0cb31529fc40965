// CreateSession and FinishSession: opening a session from a signed token (which also sets up
// the TEF component for the store it names) and closing it again.
#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/guid.h"
#include "requests/dm_sitef.h"
#include "requests/json_writer.h"
#include "requests/session_claims.h"
#include "requests/session_token.h"
#include "requests/token_expiry.h"
#include "service/quorvex_sitef_service.h"
#include "tef/ansi_text.h"

namespace requests {
namespace {

// A session start the claims' values turn away; answered, but not logged.
class SessionRefused : public RequestError {
public:
    using RequestError::RequestError;
};

constexpr double kMsPerDay = 86400000.0;
constexpr const char* kAccessDenied = "Acesso não autorizado.";

// The local expiration as the client reads it: UTC, ISO 8601 with milliseconds.
std::string ExpirationText(platform::TDateTime local) {
    return platform::UtcTimestamp(platform::FromDateTime(local));
}

}  // namespace

void TDmSitef::CreateSession(const TClientRequest& pConfig) {
    // The router has turned away messages that are not JSON objects.
    const std::shared_ptr<const service::TSecuritySettings> security = service_.Security();
    JsonDocument claims;
    bool signature_valid = false;
    try {
        if (pConfig.Field("type") != "session") {
            pConfig.ReplyError("Configuração de entrada inválida: type diferente de \"session\".");
            return;
        }
        const std::string token = pConfig.Field("token");
        if (!TokenKeyUsable(*security)) {
            pConfig.ReplyError(kAccessDenied);
            return;
        }
        const std::string_view key =
            security->token_key ? std::string_view(*security->token_key) : kSessionTokenKey;
        signature_valid = VerifySessionToken(token, claims, key);
    } catch (const RequestError& e) {
        // A missing field or a token that is not three parts. A token that cannot be decoded
        // goes on to the router, which answers the general session-start failure.
        pConfig.ReplyError(e.what());
        return;
    }
    if (!signature_valid) {
        LogForeignSignature(*security);
        pConfig.ReplyError(kAccessDenied);
        return;
    }
    try {
        if (security->require_token_expiry) RequireUnexpiredToken(claims.Object());
        StartSession(pConfig, claims.Object());
    } catch (const SessionRefused& e) {
        pConfig.ReplyError(e.what());
    } catch (const std::exception& e) {
        service_.GravaLog(std::string("Erro ao iniciar sessão: ") + e.what());
        pConfig.ReplyError(e.what());
    }
}

// --- Protections the shop may switch on -----------------------------------------------------

bool TDmSitef::TokenKeyUsable(const service::TSecuritySettings& security) {
    if (security.token_key_problem.empty()) return true;
    // Never the built-in key instead: that would open again the door the shop closed.
    service_.GravaLog("Sessão recusada: chave de token indisponível.");
    return false;
}

void TDmSitef::LogForeignSignature(const service::TSecuritySettings& security) {
    // With the built-in key a wrong signature is an ordinary client error; with the shop's own
    // key it may be a client left with the old key, or someone trying.
    if (security.token_key)
        service_.GravaLog(
            "Sessão recusada: assinatura do token não confere com a chave configurada.");
}

void TDmSitef::RequireUnexpiredToken(simdjson::dom::object claims) {
    if (std::optional<std::string> refusal = TokenExpiryRefusal(claims, platform::SystemNow()))
        throw RequestError(*refusal);
}

void TDmSitef::StartSession(const TClientRequest& request, simdjson::dom::object claims) {
    const TSessionClaims c = ReadSessionClaims(claims);
    const std::string terminal =
        TerminalNumber(c.secctional_code, service::PdvNumber(service_.iniConfig()));
    const TTefSettings settings =
        SettingsFromClaims(c, terminal, service::QrCodeOnPinpad(service_.iniConfig()));
    // The connection type is the token's even when the set-up below fails. The component is
    // set up before the identifiers are checked, so a session refused for them still leaves it
    // configured.
    FTLSConnection = c.tls;
    SetUpTef(settings, request.Client());

    const int32_t venda = IntegerClaim(claims, "sale_id");
    fVenda_Id = venda;
    fEmpresa_Id = IntegerClaim(claims, "company_id");
    if (venda < 1) throw SessionRefused("ID de venda não informado.");
    const std::string callback = SingleBytePass(GetField(claims, "callback_url"));
    {
        std::lock_guard lock(session_values_mutex_);
        fCallbackURL = callback;
    }
    if (tef::Trim(callback).empty()) throw SessionRefused("URL de callback não informada.");

    const std::string uuid = platform::NewGuid();
    const platform::TDateTime expiration =
        platform::ToDateTime(platform::Now()) + times_.session_lifetime.count() / kMsPerDay;
    const std::string reply = JsonObject()
                                  .Add("type", "session")
                                  .Add("status", "created")
                                  .Add("message", "Sessão criada com sucesso.")
                                  .Add("expiration", ExpirationText(expiration))
                                  .Add("session_uuid", uuid)
                                  .Add("store_code", platform::Cp1252ToUtf8(settings.store_code))
                                  .Add("terminal_number", platform::Cp1252ToUtf8(settings.terminal))
                                  .ToString();
    FSessionList.AddItem(uuid, expiration, &request.Client());
    request.Reply(reply);
}

void TDmSitef::FinishSession(const TClientRequest& pContent, const TSession& pSession) {
    if (!pContent.HasType("session", "Campo type diferente de session.")) return;
    try {
        // The answer goes out first: a client that is gone keeps its session.
        pContent.Reply(JsonObject()
                           .Add("type", "session")
                           .Add("status", "finished")
                           .Add("message", "Sessão finalizada com sucesso.")
                           .ToString());
        FSessionList.DeleteItem(pSession.Session_UUID());
    } catch (const std::exception& e) {
        pContent.ReplyError(std::string("Erro ao finalizar sessão: ") + e.what());
    }
}

}  // namespace requests
