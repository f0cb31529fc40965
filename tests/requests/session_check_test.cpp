// The session check in-process: the data module routes messages handed to it with a recording
// client, so a test can put sessions into the list the way a session start will.
#include <gtest/gtest.h>

#include "platform/clock.h"
#include "requests/dm_sitef.h"
#include "service/quorvex_sitef_service.h"
#include "support/recording_client.h"
#include "support/scoped_env.h"
#include "support/temp_folder.h"

namespace requests {
namespace {

constexpr const char* kVersionRequest =
    R"({"route":"/version","type":"version","category":"clisitef_dll"})";
constexpr const char* kVersionReply =
    R"({"type":"version","category":"clisitef_dll","version":"Vers\u00E3o n\u00E3o encontrada",)"
    R"("updating":false})";

class SessionCheck : public ::testing::Test {
protected:
    // Sends `message` and then a version request; what the module sent in answer to both.
    std::vector<std::string> Route(const std::string& message) {
        qvtest::RecordingClient client;
        module_->RouteTargeting(message, client);
        module_->RouteTargeting(kVersionRequest, client);
        return client.Sent();
    }

    static std::string Request(const std::string& route, const std::string& uuid) {
        return R"({"route":")" + route + R"(","type":"session","session_uuid":")" + uuid + R"("})";
    }
    static platform::TDateTime InMinutes(double minutes) {
        return platform::ToDateTime(platform::Now()) + minutes / (24 * 60);
    }
    static std::string Error(const std::string& json_text) {
        return R"({"type":"error","message":")" + json_text + R"("})";
    }

    qvtest::ScopedEnv tz_{"TZ", "America/Sao_Paulo"};
    qvtest::TempFolder app_;
    TDmSitef* module_ = nullptr;
    service::TQuorvexSiTefService service_{[this](service::TQuorvexSiTefService& service) {
                                               auto module = std::make_unique<TDmSitef>(service);
                                               module_ = module.get();
                                               return module;
                                           },
                                           app_.path()};
};

TEST_F(SessionCheck, ValidSessionReachesTheRoute) {
    module_->SessionList().AddItem("6F9619FF-8B86-D011-B42D-00C04FC964FF", InMinutes(30), nullptr);
    // A route not in the table passes the check and gets no reply.
    EXPECT_EQ(Route(Request("/unknown", "6F9619FF-8B86-D011-B42D-00C04FC964FF")),
              std::vector<std::string>{kVersionReply});
    // Identifiers are compared exactly.
    EXPECT_EQ(Route(Request("/unknown", "6f9619ff-8b86-d011-b42d-00c04fc964ff")),
              (std::vector<std::string>{Error(R"(Sess\u00E3o inv\u00E1lida.)"), kVersionReply}));
    EXPECT_EQ(module_->SessionList().Count(), 1u);
}

TEST_F(SessionCheck, ExpiredSessionIsAnsweredOnceThenUnknown) {
    module_->SessionList().AddItem("EXPIRED", InMinutes(-0.01), nullptr);
    module_->SessionList().AddItem("VALID", InMinutes(30), nullptr);
    EXPECT_EQ(Route(Request("/initialize", "EXPIRED")).front(), Error(R"(Sess\u00E3o expirada.)"));
    EXPECT_EQ(Route(Request("/initialize", "EXPIRED")).front(),
              Error(R"(Sess\u00E3o inv\u00E1lida.)"));
    EXPECT_EQ(module_->SessionList().Count(), 1u);
    EXPECT_TRUE(module_->SessionList().GetSession("VALID").has_value());
}

TEST_F(SessionCheck, MissingIdentifierIsAnsweredWithTheFieldText) {
    EXPECT_EQ(Route(R"({"route":"/pinpad/status","type":"status"})").front(),
              Error("Campo session_uuid nao encontrado."));
}

}  // namespace
}  // namespace requests
