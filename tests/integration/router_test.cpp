// Messages routed by the real service over TLS: which get a reply, which are ignored and
// which end the connection. "No reply" shows as the next request's reply arriving first.
#include <gtest/gtest.h>

#include <random>

#include "platform/file_system.h"
#include "support/app_folder.h"

namespace {

constexpr const char* kVersionRequest =
    R"({"route":"/version","type":"version","category":"service_exe"})";

class Router : public ::testing::Test {
protected:
    void SetUp() override { app_.StartAndWaitForPort(); }
    void TearDown() override { EXPECT_EQ(app_.Stop(), 0) << app_.Output(); }

    // Sends `message`, then a version request; returns the first frame's text that comes back.
    std::string ReplyOrNextReply(qvtest::TlsWebSocketClient& client, const std::string& message) {
        client.SendText(message);
        client.SendText(kVersionRequest);
        return client.ReadText();
    }

    std::string VersionReply() {
        return R"({"type":"version","category":"service_exe","version":")" QV_PROJECT_VERSION
               R"(","updating":false})";
    }

    qvtest::AppFolder app_;
};

TEST_F(Router, AnswersOrIgnoresEachKindOfMessage) {
    struct Case {
        const char* message;
        std::string reply;  // empty: no reply of its own
    } cases[] = {
        {"plain text, not JSON", ""},
        {R"({"route":"/version")", ""},
        {R"({"type":"version"})", R"({"type":"error","message":"Campo route nao encontrado."})"},
        {R"({"route":"/transaction"})",
         R"({"type":"error","message":"Campo type nao encontrado."})"},
        {R"({"route":"/transaction","type":"payment"})",
         R"({"type":"error","message":"Campo session_uuid nao encontrado."})"},
        {R"({"route":"/pinpad/status","type":"status"})",
         R"({"type":"error","message":"Campo session_uuid nao encontrado."})"},
        {R"({"route":"/Version","type":"version","category":"service_exe"})",
         R"({"type":"error","message":"Campo session_uuid nao encontrado."})"},
        {R"({"route":"/session/finish","type":"session","session_uuid":"NOPE"})",
         R"({"type":"error","message":"Sess\u00E3o inv\u00E1lida."})"},
        {R"({"route":42,"session_uuid":"NOPE"})",
         R"({"type":"error","message":"Sess\u00E3o inv\u00E1lida."})"},
        {R"({"route":"/print","type":"print"})",
         R"({"type":"error","message":"Campo data nao encontrado."})"},
        {R"({"route":"/transaction","type":"confirmation"})", ""},
    };
    auto client = app_.Client();
    for (const Case& c : cases) {
        std::string first = ReplyOrNextReply(client, c.message);
        if (c.reply.empty()) {
            EXPECT_EQ(first, VersionReply()) << c.message;
        } else {
            EXPECT_EQ(first, c.reply) << c.message;
            EXPECT_EQ(client.ReadText(), VersionReply()) << c.message;
        }
    }
}

TEST_F(Router, JsonThatIsNotAnObjectEndsTheConnection) {
    for (const char* message : {"[1,2]", "\"text\"", "7", "null"}) {
        auto client = app_.Client();
        client.SendText(message);
        EXPECT_TRUE(client.WaitForClose()) << message;
    }
    auto client = app_.Client();
    EXPECT_EQ(ReplyOrNextReply(client, "{}"),
              R"({"type":"error","message":"Campo route nao encontrado."})");
}

TEST_F(Router, SurvivesRandomAndTruncatedJson) {
    const std::string valid =
        R"({"route":"/version","type":"version","category":"clisitef_dll","version":"1.0.0.2",)"
        R"("download_url":"https://x/y","extra":[1,{"a":null}],"n":-1.5e3})";
    std::mt19937 random(12345);
    auto client = app_.Client();
    for (int i = 0; i < 300; ++i) {
        std::string message = valid.substr(0, 1 + random() % (valid.size() - 1));
        if (i % 3 == 0) {
            for (int k = 0; k < 4; ++k) message[random() % message.size()] = char(random() % 256);
        }
        // A message that happens to be JSON but no object ends the connection; start anew.
        if (message == "[" || message.find_first_not_of(" \t") == std::string::npos) continue;
        client.SendText(message);
        client.SendText(kVersionRequest);
        std::string reply = client.ReadText();
        if (reply != VersionReply()) {
            EXPECT_NE(reply.find(R"("type":"error")"), std::string::npos) << message;
            EXPECT_EQ(client.ReadText(), VersionReply()) << message;
        }
    }
}

TEST_F(Router, ReportsTheServiceVersionAndRecordsAnnouncements) {
    auto client = app_.Client();
    client.SendText(kVersionRequest);
    EXPECT_EQ(client.ReadText(), VersionReply());

    client.SendText(R"({"route":"/version","type":"version","category":"clisitef_dll",)"
                    R"("version":"0.0.0.1","download_url":"https://example.test/sim.so"})");
    EXPECT_EQ(client.ReadText(),
              R"({"type":"version","category":"clisitef_dll","version":"Vers\u00E3o n\u00E3o )"
              R"(encontrada","updating":true})");
    EXPECT_TRUE(app_.WaitForLog("Nova versão encontrada: 0.0.0.1"));
    std::string ini = *platform::ReadFile(app_.IniPath());
    EXPECT_NE(ini.find("need_update = 1"), std::string::npos) << ini;
    EXPECT_NE(ini.find("download_url = https://example.test/sim.so"), std::string::npos) << ini;
    EXPECT_NE(ini.find("version = 0.0.0.1"), std::string::npos) << ini;

    // Not newer: the announcement is cleared again.
    client.SendText(R"({"route":"/version","type":"version","category":"service_exe",)"
                    R"("version":"9.9.9.0","download_url":"https://example.test/old"})");
    EXPECT_EQ(client.ReadText(), VersionReply());
    EXPECT_TRUE(
        app_.WaitForLog("Nenhuma versão nova encontrada, versão atual: " QV_PROJECT_VERSION));
    ini = *platform::ReadFile(app_.IniPath());
    EXPECT_NE(ini.find("need_update = 0"), std::string::npos) << ini;
    EXPECT_EQ(ini.find("example.test"), std::string::npos) << ini;
    EXPECT_EQ(ini.find("0.0.0.1"), std::string::npos) << ini;
}

TEST_F(Router, ChecksTheVersionRequestItself) {
    struct Case {
        const char* message;
        const char* reply;
    } cases[] = {
        {R"({"route":"/version","category":"service_exe"})",
         R"({"type":"error","message":"Campo type nao encontrado."})"},
        {R"({"route":"/version","type":"versions","category":"service_exe"})",
         R"({"type":"error","message":"Campo type diferente de version."})"},
        {R"({"route":"/version","type":"version"})",
         R"({"type":"error","message":"Campo category nao encontrado."})"},
        {R"({"route":"/version","type":"version","category":"Service_exe"})",
         R"({"type":"error","message":"Categoria inv\u00E1lida. Valores permitidos [service_exe, clisitef_dll]"})"},
        {R"({"route":"/version","type":"version","category":"clisitef_dll","version":"9.9.9.9"})",
         R"({"type":"version","category":"clisitef_dll","version":"Vers\u00E3o n\u00E3o encontrada","updating":false})"},
    };
    auto client = app_.Client();
    for (const Case& c : cases) {
        client.SendText(c.message);
        EXPECT_EQ(client.ReadText(), c.reply) << c.message;
    }
    EXPECT_FALSE(app_.Log().find("Validando") != std::string::npos);
}

}  // namespace
