// The router with its envelope: client messages handled in-process by the real data module
// (its session check, route handlers and replies) through a recording client. The input is a
// sequence of messages separated by NUL bytes, routed in order on one client, as a connection
// delivers them. Before each input one open session ("...0001") and one expired session
// ("...0002") are in the list, so routes behind the session check are reached too. A message
// "sign:<claims>" becomes a session start whose token carries <claims> under a good signature,
// which a fuzzer could never forge: the session start then goes on to read the claims and set
// the TEF component up.
//
// No payment library is installed: routes that need it end in their error replies, which
// keeps a run fast. A print request finds its program files and a printer, but no running
// queue, so its document is written and removed again.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "requests/dm_sitef.h"
#include "requests/json_envelope.h"
#include "requests/json_writer.h"
#include "requests/session_token.h"
#include "service/quorvex_sitef_service.h"
#include "support/recording_client.h"
#include "support/require.h"
#include "support/temp_folder.h"

namespace {

using qvfuzz::Require;

constexpr const char* kOpenSession = "00000000-0000-4000-8000-000000000001";
constexpr const char* kExpiredSession = "00000000-0000-4000-8000-000000000002";
constexpr size_t kMaxMessages = 16;

struct Service {
    qvtest::TempFolder folder;
    std::unique_ptr<service::TQuorvexSiTefService> service;
    requests::TDmSitef* module = nullptr;

    Service() {
        ::setenv("TZ", "America/Sao_Paulo", 1);
        // Everything a print request checks before it queues, so its document is written.
        Require(bool(platform::WriteFile(folder / "QuorvexSiTefService.ini",
                                         "[sitef]\r\nprinter=fuzz\r\n")),
                "the INI file is written");
        Require(bool(platform::WriteFile(folder / "QuorvexPrintPDF", "")), "print program");
        Require(bool(platform::WriteFile(folder / "libquorvexprint.so", "")), "print library");
        service = std::make_unique<service::TQuorvexSiTefService>(
            [this](service::TQuorvexSiTefService& s) {
                auto handler = std::make_unique<requests::TDmSitef>(s);
                module = handler.get();
                return handler;
            },
            folder.path());
    }

    void ResetSessions() {
        requests::TSessionList& sessions = module->SessionList();
        sessions.DeleteItem(kOpenSession);
        sessions.DeleteItem(kExpiredSession);
        const platform::TDateTime now = platform::ToDateTime(platform::Now());
        sessions.AddItem(kOpenSession, now + 1, nullptr);
        sessions.AddItem(kExpiredSession, now - 1, nullptr);
    }
};

std::vector<std::string_view> Messages(std::string_view input) {
    std::vector<std::string_view> messages;
    while (messages.size() < kMaxMessages) {
        const size_t nul = input.find('\0');
        messages.push_back(input.substr(0, nul));
        if (nul == std::string_view::npos) break;
        input.remove_prefix(nul + 1);
    }
    return messages;
}

std::string MessageText(std::string_view message) {
    constexpr std::string_view kSign = "sign:";
    if (!message.starts_with(kSign)) return std::string(message);
    const std::string token =
        requests::SignSessionToken(message.substr(kSign.size()), requests::TokenAlgorithm::kHS256);
    return requests::JsonObject()
        .Add("route", "/session/start")
        .Add("type", "session")
        .Add("token", token)
        .ToString();
}

// What the JSON envelope promises of every message the service sends: one object, "type"
// first, ASCII only.
void CheckReply(const std::string& reply) {
    for (unsigned char c : reply) Require(c < 0x80, "a reply is ASCII only");
    requests::JsonDocument document;
    Require(document.Parse(reply) && document.IsObject(), "a reply is one JSON object");
    auto first = document.Object().begin();
    Require(first != document.Object().end() && (*first).key == "type",
            "a reply begins with \"type\"");
}

// How the router must treat `text`: raise only for JSON that is not an object.
void Route(Service& s, const std::string& text, qvtest::RecordingClient& client) {
    requests::JsonDocument probe;
    const bool json = probe.Parse(std::string_view(text));
    const size_t before = client.Sent().size();
    bool not_an_object = false;
    try {
        s.module->OnMessage(text, client);
    } catch (const requests::NotAnObjectError&) {
        not_an_object = true;
    }
    s.module->AfterMessage();
    Require(not_an_object == (json && !probe.IsObject()),
            "only JSON that is not an object ends the connection");
    const std::vector<std::string> sent = client.Sent();
    if (!json || not_an_object) Require(sent.size() == before, "no reply to a non-object");
    for (size_t i = before; i < sent.size(); ++i) CheckReply(sent[i]);
    Require(!s.module->fProcessando, "no TEF operation outlives its message");
    Require(!s.module->FProcessandoMsg, "the message flag is cleared after every message");
}

void CheckNoPrintDocumentLeft(const Service& s) {
    Require(platform::ListFiles(s.folder.path(), "*_Temp.pdf").empty(),
            "a print document that was not queued is removed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Service s;
    s.ResetSessions();
    qvtest::RecordingClient client;
    for (std::string_view message : Messages(qvfuzz::AsText(data, size))) {
        if (message.empty()) continue;  // the transport never delivers an empty message
        Route(s, MessageText(message), client);
    }
    CheckNoPrintDocumentLeft(s);
    return 0;
}
