// Requests that need the payment library arriving while another connection holds the TEF
// operation guard only for a moment (its disconnect hook clearing what it left pending, a
// status check): they wait for it and are answered, instead of being taken for requests
// that came during a payment (which get no reply).
#include "requests/tef_operation.h"

#include <gtest/gtest.h>

#include <thread>

#include "requests/json_writer.h"
#include "tef_module.h"

namespace requests {
namespace {

using TefOperationGuard = TefModule;

TEST_F(TefOperationGuard, ARequestWaitsForABriefHolderAndIsAnswered) {
    const std::string uuid = OpenSession();
    struct Case {
        const char* name;
        std::string request;
        const char* reply;  // the start of the answer
    } cases[] = {
        {"pinpad status",
         JsonObject()
             .Add("route", "/pinpad/status")
             .Add("type", "status")
             .Add("session_uuid", uuid)
             .ToString(),
         R"({"type":"status",)"},
        // Refused by the component, inside the operation: the amount is missing.
        {"payment",
         JsonObject()
             .Add("route", "/transaction")
             .Add("type", "transaction")
             .Add("session_uuid", uuid)
             .Add("operation", 2)
             .Add("payer_name", "Ana")
             .ToString(),
         R"({"type":"error","message":"Valor inv\u00E1lido")"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        qvtest::RecordingClient client;
        std::thread request;
        {
            qvtest::RecordingClient closing;
            TTefOperation brief(*module_, &closing);
            ASSERT_TRUE(brief.Acquired());
            request = std::thread([&] { module_->RouteTargeting(c.request, client); });
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        request.join();
        ASSERT_FALSE(client.Sent().empty());
        EXPECT_TRUE(client.Sent().back().starts_with(c.reply)) << client.Sent().back();
    }
}

}  // namespace
}  // namespace requests
