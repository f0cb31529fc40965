// The session check, with the service, the data module and the TLS transport running in this
// process, so a test can put sessions into the list the way a session start will.
#include <gtest/gtest.h>

#include "platform/clock.h"
#include "requests/dm_sitef.h"
#include "service/quorvex_sitef_service.h"
#include "support/app_folder.h"

namespace requests {
namespace {

constexpr const char* kVersionRequest =
    R"({"route":"/version","type":"version","category":"clisitef_dll"})";
constexpr const char* kVersionReply =
    R"({"type":"version","category":"clisitef_dll","version":"Vers\u00E3o n\u00E3o encontrada",)"
    R"("updating":false})";

class SessionCheck : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TZ", "America/Sao_Paulo", 1);
        ::tzset();
        service_ = std::make_unique<service::TQuorvexSiTefService>(
            [this](service::TQuorvexSiTefService& service) {
                auto module = std::make_unique<TDmSitef>(service);
                module_ = module.get();
                return module;
            },
            app_.path());
        bool started = false;
        service_->ServiceStart(started);
        ASSERT_TRUE(started);
        ASSERT_TRUE(app_.WaitForPort(std::chrono::seconds(10)));
    }
    void TearDown() override {
        bool stopped = false;
        service_->ServiceStop(stopped);
        EXPECT_TRUE(stopped);
    }

    std::string Request(const std::string& route, const std::string& uuid) {
        return R"({"route":")" + route + R"(","type":"session","session_uuid":")" + uuid + R"("})";
    }
    static platform::TDateTime InMinutes(double minutes) {
        return platform::ToDateTime(platform::Now()) + minutes / (24 * 60);
    }

    qvtest::AppFolder app_;
    std::unique_ptr<service::TQuorvexSiTefService> service_;
    TDmSitef* module_ = nullptr;
};

TEST_F(SessionCheck, ValidSessionReachesTheRoute) {
    module_->SessionList().AddItem("6F9619FF-8B86-D011-B42D-00C04FC964FF", InMinutes(30), nullptr);
    auto client = app_.Client();
    // A route not in the table passes the check and gets no reply.
    client.SendText(Request("/unknown", "6F9619FF-8B86-D011-B42D-00C04FC964FF"));
    client.SendText(kVersionRequest);
    EXPECT_EQ(client.ReadText(), kVersionReply);
    // Identifiers are compared exactly.
    client.SendText(Request("/unknown", "6f9619ff-8b86-d011-b42d-00c04fc964ff"));
    EXPECT_EQ(client.ReadText(), R"({"type":"error","message":"Sess\u00E3o inv\u00E1lida."})");
    EXPECT_EQ(module_->SessionList().Count(), 1u);
}

TEST_F(SessionCheck, ExpiredSessionIsAnsweredOnceThenUnknown) {
    module_->SessionList().AddItem("EXPIRED", InMinutes(-0.01), nullptr);
    module_->SessionList().AddItem("VALID", InMinutes(30), nullptr);
    auto client = app_.Client();
    client.SendText(Request("/initialize", "EXPIRED"));
    EXPECT_EQ(client.ReadText(), R"({"type":"error","message":"Sess\u00E3o expirada."})");
    client.SendText(Request("/initialize", "EXPIRED"));
    EXPECT_EQ(client.ReadText(), R"({"type":"error","message":"Sess\u00E3o inv\u00E1lida."})");
    EXPECT_EQ(module_->SessionList().Count(), 1u);
    EXPECT_TRUE(module_->SessionList().GetSession("VALID").has_value());
}

}  // namespace
}  // namespace requests
