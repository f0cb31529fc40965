#include "tef_module.h"

#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "requests/json_writer.h"
#include "requests/session_token.h"
#include "requests/tef_operation.h"
#include "service/service_log.h"
#include "support/sim_journal.h"
#include "support/simulated_library.h"

namespace requests {

ScriptedClient::ScriptedClient() {
    SetResponder([this](const std::string& sent) { Respond(sent); });
}

ScriptedClient& ScriptedClient::On(const std::string& prompt_type, std::string answer) {
    answers_[prompt_type].push_back(std::move(answer));
    return *this;
}

void ScriptedClient::Respond(const std::string& sent) {
    auto it = answers_.find(TypeOf(sent));
    if (it == answers_.end() || it->second.empty()) return;
    Queue(std::move(it->second.front()));
    it->second.pop_front();
}

std::vector<std::string> ScriptedClient::SentTypes() const {
    std::vector<std::string> types;
    for (const std::string& message : Sent()) types.push_back(TypeOf(message));
    return types;
}

std::vector<std::string> ScriptedClient::Sent(const std::string& type) const {
    std::vector<std::string> found;
    for (const std::string& message : Sent()) {
        if (TypeOf(message) == type) found.push_back(message);
    }
    return found;
}

std::string TypeOf(const std::string& message) {
    JsonDocument document;
    if (!document.Parse(message) || !document.IsObject()) return "<not an object>";
    return HasField(document.Object(), "type") ? GetField(document.Object(), "type") : "<none>";
}

std::string StoreClaims::ToJson() const {
    JsonObject claims;
    if (registration_token) {
        claims.Add("connection_type", "TLS")
            .Add("store_cnpj", "12.345.678/0001-90")
            .Add("tef_cnpj", "98.765.432/0001-10")
            .Add("registration_token", *registration_token);
    }
    return claims.Add("secctional_code", secctional_code)
        .Add("ip_address", ip_address)
        .Add("store_code", store_code)
        .Add("additional_parameters", additional_parameters)
        .Add("operator", operator_)
        .Add("sale_id", sale_id)
        .Add("company_id", 3)
        .Add("callback_url", "https://loja.test/retorno")
        .ToString();
}

TefModule::TefModule() {
    env_.Set("TZ", "America/Sao_Paulo");
    env_.Set("QV_CLISITEF_SCENARIO", app_ / "scenario.json");
    env_.Set("QV_CLISITEF_JOURNAL", app_ / "journal.log");
    env_.Set("QV_CLISITEF_POLL_MS", "0");
    // A test that forgets an answer fails after this instead of the product's two minutes.
    env_.Set("QV_ANSWER_TIMEOUT_MS", "10000");
    qvtest::InstallSimulatedLibrary(app_.path());
    UseScript(R"([{"status": 0}])");
}

void TefModule::SetUp() {
    SetEnvironment(env_);
    service_ = std::make_unique<service::TQuorvexSiTefService>(
        [this](service::TQuorvexSiTefService& service) {
            auto module = std::make_unique<TDmSitef>(service);
            module_ = module.get();
            return module;
        },
        app_.path());
}

void TefModule::UseScript(const std::string& steps) {
    ASSERT_TRUE(platform::WriteFile(app_ / "scenario.json", R"({"script": )" + steps + "}"));
}

std::vector<std::string> TefModule::StartSession(qvtest::RecordingClient& client,
                                                 const StoreClaims& store) {
    const size_t before = client.Sent().size();
    module_->RouteTargeting(
        JsonObject()
            .Add("route", "/session/start")
            .Add("type", "session")
            .Add("token", SignSessionToken(store.ToJson(), TokenAlgorithm::kHS256))
            .ToString(),
        client);
    const std::vector<std::string> sent = client.Sent();
    return {sent.begin() + static_cast<std::ptrdiff_t>(before), sent.end()};
}

std::string TefModule::OpenSession(const StoreClaims& store) {
    qvtest::RecordingClient client;
    const std::vector<std::string> sent = StartSession(client, store);
    EXPECT_FALSE(sent.empty());
    if (sent.empty()) return "";
    JsonDocument reply;
    EXPECT_TRUE(reply.Parse(sent.back()));
    EXPECT_EQ(GetField(reply.Object(), "status"), "created") << sent.back();
    return GetField(reply.Object(), "session_uuid");
}

bool TefModule::RunFunction(qvtest::RecordingClient& client) {
    TTefOperation operation(*module_, &client);
    EXPECT_TRUE(operation.Acquired());
    return module_->KaCliSiTef.ADM(tef::gpCliSiTef);
}

std::vector<std::string> TefModule::Journal(const std::string& exportName) const {
    return qvtest::JournalCalls(app_ / "journal.log", exportName);
}

std::vector<std::string> TefModule::Answers() const {
    return qvtest::JournalAnswers(app_ / "journal.log");
}

std::string TefModule::Log() const {
    service::ServiceLog log(app_.path(), service::TQuorvexSiTefService::kServiceName);
    return platform::Cp1252ToUtf8(
        platform::ReadFile(log.LogFilePath(platform::Now())).value_or(""));
}

}  // namespace requests
