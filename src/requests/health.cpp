// CheckHealth: the "/health" route.
#include "requests/health.h"

#include "platform/file_version.h"
#include "requests/dm_sitef.h"
#include "requests/json_writer.h"
#include "requests/version_text.h"
#include "service/quorvex_sitef_service.h"
#include "tef/clisitef.h"
#include "tef/clisitef_abi.h"

namespace requests {
namespace {

JsonObject& AddOptional(JsonObject& object, std::string_view key,
                        const std::optional<std::string>& text) {
    return text ? object.Add(key, *text) : object.AddNull(key);
}

JsonObject LastErrorObject(const service::TLastError::Entry& entry) {
    return JsonObject().Add("time", platform::UtcTimestamp(entry.time)).Add("message", entry.text);
}

}  // namespace

std::string HealthReply(const THealthReport& r) {
    JsonObject library;
    library.Add("loaded", r.library_loaded);
    AddOptional(library, "version", r.library_version);
    JsonObject reply;
    reply.Add("type", "health")
        .Add("version", r.version)
        .Add("uptime_seconds", r.uptime_seconds)
        .Add("library", library)
        .Add("operation_running", r.operation_running)
        .Add("pending_transactions", r.pending_transactions);
    if (r.print_queue) {
        reply.Add("print_queue", *r.print_queue);
    } else {
        reply.AddNull("print_queue");
    }
    reply.Add("connections", r.connections);
    if (r.last_error) {
        reply.Add("last_error", LastErrorObject(*r.last_error));
    } else {
        reply.AddNull("last_error");
    }
    return reply.ToString();
}

THealthReport TDmSitef::GatherHealth() const {
    THealthReport r;
    r.version = QV_PROJECT_VERSION;
    r.uptime_seconds = std::chrono::duration_cast<std::chrono::seconds>(service_.Uptime()).count();
    r.library_loaded = KaCliSiTef.TEFCliSiTef().BibliotecaCarregada();
    // The file's own note: reading it leaves the loaded library alone.
    if (auto version = platform::ReadFileVersion(LibraryFolder() + tef::kCliSiTefLibraryName))
        r.library_version = FormatVersion(*version);
    r.operation_running = fProcessando;
    r.pending_transactions = KaCliSiTef.RespostasPendentes().Quantidade();
    int64_t waiting = 0;
    if (service_.PrintQueue().Use(
            [&](printing::TPrintQueue& queue) { waiting = static_cast<int64_t>(queue.Waiting()); }))
        r.print_queue = waiting;
    // Asked on one of the listener's own connections, so the listener is there.
    if (const transport::TServerThread* listener = service_.ServerThread())
        r.connections = listener->OpenConnections();
    r.last_error = service_.LastError();
    return r;
}

void TDmSitef::CheckHealth(const TClientRequest& pContent) {
    if (!pContent.HasType("health", "Campo type diferente de health.")) return;
    pContent.Reply(HealthReply(GatherHealth()));
}

}  // namespace requests
