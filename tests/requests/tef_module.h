// The data module in-process with its real TEF component and event handlers, the simulated
// payment library in a temporary application folder, sessions opened through the module's own
// session start, and one TEF operation run at a time for a scripted client: the way a request
// runs an operation, without TLS.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "requests/dm_sitef.h"
#include "service/quorvex_sitef_service.h"
#include "support/dialogue_answers.h"
#include "support/recording_client.h"
#include "support/scoped_env.h"
#include "support/temp_folder.h"

namespace requests {

// A client that answers the module's prompts by their type, in order: each prompt of a type
// takes the next answer queued for it with On(); prompts without one go unanswered.
class ScriptedClient : public qvtest::RecordingClient {
public:
    ScriptedClient();
    // Queues `answer` for the next prompt of type `prompt_type` (before the operation runs).
    ScriptedClient& On(const std::string& prompt_type, std::string answer);
    // The "type" of every message sent so far, in order.
    std::vector<std::string> SentTypes() const;
    // The messages sent so far of type `type`.
    std::vector<std::string> Sent(const std::string& type) const;
    using RecordingClient::Sent;

private:
    void Respond(const std::string& sent);

    std::map<std::string, std::deque<std::string>> answers_;  // the handler's thread only
};

// The "type" of a message the module sent.
std::string TypeOf(const std::string& message);

// Answers as a client writes them.
using qvtest::FieldAnswer;
using qvtest::kAcknowledge;
using qvtest::MenuAnswer;
using qvtest::QuestionAnswer;

// Claims of a session start for a store (direct mode).
struct StoreClaims {
    std::string secctional_code = "12";
    std::string ip_address = "127.0.0.1";
    std::string store_code = "00000000";
    std::string additional_parameters = "PortaPinPad=AUTO_USB";
    std::string operator_ = "Caixa 1";
    int sale_id = 1;
    // Through the TLS gateway with this registration token; direct mode without one.
    std::optional<std::string> registration_token;
    std::string ToJson() const;
};

class TefModule : public ::testing::Test {
protected:
    TefModule();
    void SetUp() override;

    // Environment a test needs before the module is created (its waits are read then).
    virtual void SetEnvironment(qvtest::ScopedEnv&) {}

    // Writes the scenario: `steps` (a JSON array) as the exact script of every function. It
    // is read at the library's next configuration.
    void UseScript(const std::string& steps);
    // Routes a session start for `store`; the messages `client` received.
    std::vector<std::string> StartSession(qvtest::RecordingClient& client,
                                          const StoreClaims& store = {});
    // Starts a session and expects it created; its identifier.
    std::string OpenSession(const StoreClaims& store = {});
    // Runs the administrative function (a whole library function with its dialogue) as the
    // TEF operation of `client`; true when the library approved it.
    bool RunFunction(qvtest::RecordingClient& client);

    std::vector<std::string> Journal(const std::string& exportName) const;
    // "<continua>:<buffer>" for every ContinuaFuncaoSiTefInterativo call.
    std::vector<std::string> Answers() const;
    // Today's service log, UTF-8.
    std::string Log() const;

    qvtest::TempFolder app_;
    qvtest::ScopedEnv env_;
    std::unique_ptr<service::TQuorvexSiTefService> service_;
    TDmSitef* module_ = nullptr;
};

}  // namespace requests
