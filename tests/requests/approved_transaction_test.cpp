// What the client of a "/transaction" hears after the payment library approved it, in-process
// over the simulated library: one result and nothing after it, whatever a cancel request from
// either connection or an unanswered notice does once the approval is being reported.
#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "requests/json_writer.h"
#include "support/sim_journal.h"
#include "tef_module.h"

namespace requests {
namespace {

using Lines = std::vector<std::string>;

// A refund: the library waits (so the operation can be cancelled), then approves with a
// receipt; confirming it shows the operator a notice to keep the receipt.
constexpr const char* kRefund = R"([{"command": 23, "times": 1},
                                    {"command": 0, "field": 110, "text": "1"},
                                    {"command": 0, "field": 121, "text": "DEVOLUCAO"},
                                    {"status": 0, "record": "payment"}])";

constexpr const char* kCancellable = R"({"type":"can_cancel","can_cancel":true})";
constexpr const char* kNoLongerCancellable = R"({"type":"can_cancel","can_cancel":false})";
constexpr const char* kKeepTheReceipt =
    R"({"type":"confirmation","message":"Transa\u00E7\u00E3o efetuada com sucesso.\r\n)"
    R"(Favor reter o Cupom","options":["Ok"],"can_cancel":false})";

class ApprovedTransaction : public TefModule {
protected:
    void SetUp() override {
        TefModule::SetUp();
        UseScript(kRefund);
        uuid_ = OpenSession();
    }

    std::string Request(const std::string& route, const std::string& type) const {
        return JsonObject()
            .Add("route", route)
            .Add("type", type)
            .Add("session_uuid", uuid_)
            .Add("operation", 3)
            .Add("payer_name", "Ana")
            .Add("transaction_value", "25,50")
            .ToString();
    }

    // Runs a refund for `client`; the messages it received, and whether the library was left
    // with nothing pending and the refund confirmed once.
    Lines Refund(qvtest::RecordingClient& client) {
        module_->RouteTargeting(Request("/transaction", "transaction"), client);
        const Lines finishes = Journal("FinalizaFuncaoSiTefInterativo");
        EXPECT_EQ(finishes.size(), 1u);
        if (!finishes.empty()) {
            EXPECT_EQ(qvtest::JournalValue(finishes[0], "confirma"), "1");
        }
        return client.Sent();
    }

    // The refund went on to its one result: the cancel offer withdrawn as the approval is
    // reported, the notice, the approved result, and nothing after it.
    static void ExpectOneApprovedResult(const Lines& sent) {
        ASSERT_EQ(sent.size(), 4u) << ::testing::PrintToString(sent);
        EXPECT_EQ(sent[0], kCancellable);
        EXPECT_EQ(sent[1], kNoLongerCancellable);
        EXPECT_EQ(sent[2], kKeepTheReceipt);
        EXPECT_EQ(TypeOf(sent[3]), "result");
        EXPECT_TRUE(sent[3].starts_with(R"({"type":"result","status":"approved",)")) << sent[3];
    }

    std::string uuid_;
};

TEST_F(ApprovedTransaction, ACancelRequestAtTheNoticeAfterTheApprovalChangesNothing) {
    struct Case {
        const char* name;
        // What happens at the notice; `client` is the operation's.
        std::function<void(qvtest::RecordingClient& client)> at_notice;
    } cases[] = {
        {"on the operation's connection",
         [this](qvtest::RecordingClient& client) {
             client.Queue(Request("/transaction/cancel", "cancellation"));
             client.Queue(qvtest::kAcknowledge);
         }},
        {"from another connection",
         [this](qvtest::RecordingClient& client) {
             qvtest::RecordingClient other;
             module_->RouteTargeting(Request("/transaction/cancel", "cancellation"), other);
             EXPECT_EQ(other.Sent(), Lines{});
             client.Queue(qvtest::kAcknowledge);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform::DeleteFile(app_ / "journal.log");
        qvtest::RecordingClient client;
        client.SetResponder([&](const std::string& sent) {
            if (TypeOf(sent) == "confirmation") c.at_notice(client);
        });
        ExpectOneApprovedResult(Refund(client));
        const std::string log = Log();
        EXPECT_NE(log.find("Não pode cancelar"), std::string::npos) << log;
        EXPECT_EQ(log.find("Setou no cancelamento = true"), std::string::npos) << log;
    }
}

class ApprovedTransactionDeadline : public ApprovedTransaction {
protected:
    void SetEnvironment(qvtest::ScopedEnv& env) override {
        env.Set("QV_ANSWER_TIMEOUT_MS", "100");
    }
};

TEST_F(ApprovedTransactionDeadline, AnUnansweredNoticeAfterTheApprovalChangesNothing) {
    qvtest::RecordingClient silent;
    ExpectOneApprovedResult(Refund(silent));
    EXPECT_NE(Log().find("GetClientResponse: timeout aguardando resposta do cliente."),
              std::string::npos);
}

}  // namespace
}  // namespace requests
