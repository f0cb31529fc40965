// Setting up the TEF component: at session start from the token's settings, and at
// "/initialize" with the settings it already has.
#include <chrono>
#include <thread>

#include "platform/file_system.h"
#include "requests/dm_sitef.h"
#include "requests/json_writer.h"
#include "requests/tef_operation.h"
#include "service/quorvex_sitef_service.h"
#include "tef/clisitef.h"

namespace requests {
namespace {

constexpr std::string_view kTlsSection = "ConfiguracaoTLS";
constexpr const char* kInitializing = "Inicializando TEF...";

}  // namespace

void TDmSitef::SetUpTef(const TTefSettings& settings, transport::ClientChannel& client) {
    // Taking the guard and judging a busy component happen under one lock, so no session
    // start can slip in between another's taking the guard and its changing the settings.
    std::unique_lock lock(settings_mutex_);
    std::optional<TTefOperation> operation;
    // Brief operations (another session start with nothing to change, a closing connection)
    // are waited for; a dialogue is not.
    const auto give_up = std::chrono::steady_clock::now() + kBriefOperation;
    for (;;) {
        operation.emplace(*this, &client);
        if (operation->Acquired() || std::chrono::steady_clock::now() >= give_up) break;
        operation.reset();
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        lock.lock();
    }
    if (!operation->Acquired()) {
        // Reconfiguring or reloading the library would pull it from under the running
        // operation; settings it already has need nothing done.
        if (!settled_ || !settings.SatisfiedBy(*settled_)) throw std::runtime_error(kTefBusy);
        return;
    }
    settled_.reset();
    lock.unlock();

    ApplySettings(settings);
    // With the library started (its start-up recovery run), requests an earlier run left
    // unfinished can be settled.
    SettleWithLibrary();

    TTefSettings applied = settings;
    applied.restricoes = KaCliSiTef.TEFCliSiTef().Restricoes;
    lock.lock();
    settled_ = applied;
}

void TDmSitef::ApplySettings(const TTefSettings& s) {
    bool reinitialize = ApplyTlsMode(s);
    tef::TKaCliSiTefCliSiTef& engine = KaCliSiTef.TEFCliSiTef();
    KaCliSiTef.ModoServico = true;
    engine.ModoServico = true;
    engine.PathDLL = LibraryFolder();
    library_folder_set_ = true;
    reinitialize = reinitialize || engine.EnderecoIP != s.ip || engine.CodigoLoja != s.store_code ||
                   engine.NumeroTerminal != s.terminal;
    engine.EnderecoIP = s.ip;
    engine.CodigoLoja = s.store_code;
    engine.NumeroTerminal = s.terminal;
    engine.ParametrosAdicionais = s.parametros;
    engine.Operador = s.operador;
    if (s.restricoes) engine.Restricoes = *s.restricoes;

    if (!KaCliSiTef.Inicializado(tef::gpCliSiTef)) KaCliSiTef.Inicializar(tef::gpCliSiTef);
    if (reinitialize || !engine.Inicializado()) ReinitializeLibrary();
}

bool TDmSitef::ApplyTlsMode(const TTefSettings& s) {
    const std::string file = service_.AppDir() + "dll/CONFITLS.INI";
    if (!s.tls) {
        KaCliSiTef.CNPJLoja.clear();
        KaCliSiTef.CNPJKaLabs.clear();
        platform::DeleteFile(file);  // one that cannot go stays; a missing one is fine
        return false;
    }
    // A token that would break its line is refused before the file is touched.
    service::ConfigFile::CheckValue("TokenRegistro", s.registration_token);
    KaCliSiTef.CNPJLoja = s.cnpj_loja;
    KaCliSiTef.CNPJKaLabs = s.cnpj_kalabs;
    service::ConfigFile tls(file);
    const bool changed = tls.ReadString(kTlsSection, "TokenRegistro", "") != s.registration_token;
    tls.WriteString(kTlsSection, "TipoComunicacaoExterna", "TLSGWP");
    tls.WriteString(kTlsSection, "URLTLS", service::TlsGatewayHost(service_.iniConfig()));
    tls.WriteString(kTlsSection, "TokenRegistro", s.registration_token);
    return changed;
}

void TDmSitef::ReinitializeLibrary() {
    SendSampleMsg(kInitializing);
    try {
        service_.GravaLog("Inicializando CliSiTef...");
        KaCliSiTef.DesInicializar(tef::gpNenhum);
        KaCliSiTef.Inicializar(tef::gpCliSiTef);
        tef::TKaCliSiTefCliSiTef& engine = KaCliSiTef.TEFCliSiTef();
        engine.DesInicializar();
        engine.Inicializar();
        service_.GravaLog("CliSiTef inicializado.");
    } catch (...) {
        // The client is told the initialisation is over, whatever the outcome; the failure
        // is what the session start reports.
        try {
            SendSampleMsg("");
        } catch (...) {
        }
        throw;
    }
    SendSampleMsg("");
}

void TDmSitef::InitializeSiTef(const TClientRequest& pContent, const TSession&) {
    if (!pContent.HasType("initialize", "Campo type diferente de initialize.")) return;
    try {
        TTefOperation operation(*this, &pContent.Client());
        if (operation.Acquired()) {
            if (!KaCliSiTef.Inicializado(tef::gpCliSiTef)) KaCliSiTef.Inicializar(tef::gpCliSiTef);
        } else {
            // In use by another connection's operation: initialised if a session set it up.
            std::lock_guard lock(settings_mutex_);
            if (!settled_) throw std::runtime_error(kTefBusy);
        }
        pContent.Reply(JsonObject()
                           .Add("type", "initialize")
                           .Add("message", "Inicializado com sucesso.")
                           .ToString());
    } catch (const std::exception& e) {
        pContent.ReplyError(std::string("Erro ao conectar com servidor TEF: ") + e.what());
    }
}

}  // namespace requests
