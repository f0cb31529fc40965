// "/health" over TLS with the real service: an idle service, one whose payment library waits
// for its client in the middle of a session start, one whose print queue is held up, and the
// last error line, masked.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "requests/json_writer.h"
#include "requests/session_token.h"
#include "session_support.h"
#include "support/app_folder.h"
#include "support/print_stand_in.h"
#include "support/sample_pdf.h"
#include "support/simulated_library.h"

namespace {

using qvtest::TlsWebSocketClient;

constexpr const char* kHealthRequest = R"({"route":"/health","type":"health"})";

// The reply with the values that change from run to run replaced: the uptime by "U" and the
// last error's time by "T".
std::string Steady(const std::string& reply) {
    static const std::regex uptime(R"("uptime_seconds":\d+)");
    static const std::regex time(R"("time":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z")");
    return std::regex_replace(std::regex_replace(reply, uptime, R"("uptime_seconds":U)"), time,
                              R"("time":"T")");
}

std::string Expected(const std::string& library, bool running, const std::string& queue,
                     int connections, const std::string& last_error = "null") {
    return R"({"type":"health","version":")" QV_PROJECT_VERSION R"(","uptime_seconds":U,)"
           R"("library":)" +
           library + R"(,"operation_running":)" + (running ? "true" : "false") +
           R"(,"pending_transactions":0,"print_queue":)" + queue + R"(,"connections":)" +
           std::to_string(connections) + R"(,"last_error":)" + last_error + "}";
}

constexpr const char* kNoLibrary = R"({"loaded":false,"version":null})";
constexpr const char* kLibraryOnDisk = R"({"loaded":false,"version":")" QV_PROJECT_VERSION R"("})";
constexpr const char* kLibraryLoaded = R"({"loaded":true,"version":")" QV_PROJECT_VERSION R"("})";

// A session start with a token of `claims` signed with the built-in key.
std::string StartWith(const std::string& claims) {
    return qvtest::StartRequest(
        requests::SignSessionToken(claims, requests::TokenAlgorithm::kHS256));
}

class Health : public ::testing::Test {
protected:
    void StartService(const std::string& ini_lines = "") {
        app_.WriteIni("[sitef]\r\nserver_port=" + std::to_string(app_.port()) + "\r\n" + ini_lines);
        app_.StartAndWaitForPort();
    }
    void TearDown() override { EXPECT_EQ(app_.Stop(), 0) << app_.Output(); }

    void InstallLibrary() {
        qvtest::InstallSimulatedLibrary(app_.path());
        app_.SetEnv("QV_CLISITEF_SCENARIO", app_ / "scenario.json");
        app_.SetEnv("QV_CLISITEF_POLL_MS", "0");
        app_.PutFile("scenario.json", R"({"script": [{"status": 0}]})");
    }

    static std::string Ask(TlsWebSocketClient& client) {
        client.SendText(kHealthRequest);
        return Steady(client.ReadText());
    }

    qvtest::AppFolder app_;
};

TEST_F(Health, AnIdleServiceWithoutALibrary) {
    StartService();
    auto client = app_.Client();
    // No session is needed.
    EXPECT_EQ(Ask(client), Expected(kNoLibrary, false, "0", 1));
    auto other = app_.Client();
    EXPECT_EQ(Ask(other), Expected(kNoLibrary, false, "0", 2));
    client.SendText(R"({"route":"/health","type":"status"})");
    EXPECT_EQ(client.ReadText(), R"({"type":"error","message":"Campo type diferente de health."})");
}

TEST_F(Health, DuringARunningOperationAndAfterIt) {
    InstallLibrary();
    // A transaction left from an earlier run: the library's start at the first session start
    // recovers it and waits for its client to acknowledge, with the operation running.
    qvtest::WriteLeftoverTransaction(app_.path());
    StartService();

    auto on_call = app_.Client();
    EXPECT_EQ(Ask(on_call), Expected(kLibraryOnDisk, false, "0", 1));

    auto pos = app_.Client();
    pos.SendText(StartWith(qvtest::SessionClaims()));
    const std::string prompt = pos.ReadText();
    ASSERT_NE(prompt.find(R"("type":"confirmation")"), std::string::npos) << prompt;
    // Asked while the library waits for the answer: served at once, the operation untouched.
    EXPECT_EQ(Ask(on_call), Expected(kLibraryLoaded, true, "0", 2));

    pos.SendText(R"({"route":"/transaction","type":"confirmation"})");
    std::string reply;
    do {
        reply = pos.ReadText();
    } while (reply.find(R"("type":"message")") != std::string::npos);
    EXPECT_NE(reply.find(R"("status":"created")"), std::string::npos) << reply;
    EXPECT_EQ(Ask(on_call), Expected(kLibraryLoaded, false, "0", 2));
}

TEST_F(Health, ThePrintQueueLength) {
    std::filesystem::create_directories(app_ / "stand-in");
    std::filesystem::create_directories(app_ / "tmp");
    qvtest::PrintStandIn program(app_ / qvtest::PrintProgramName(), app_ / "stand-in");
    program.SetOutcomes({"hang"});
    app_.PutFile(qvtest::PrintLibraryName(), "present");
    app_.SetEnv("TMPDIR", app_ / "tmp");
    app_.SetEnv("QV_PRINT_DELETE_PAUSE_MS", "1");
    StartService("printer=Caixa 1\r\n");

    auto client = app_.Client();
    const std::string print = requests::JsonObject()
                                  .Add("route", "/print")
                                  .Add("type", "print")
                                  .Add("file_type", "pdf")
                                  .Add("data", qvtest::Base64Encode(qvtest::SamplePdf()))
                                  .ToString();
    client.SendText(print);
    ASSERT_TRUE(program.WaitForCalls(1));
    client.SendText(print);
    client.SendText(print);
    // Messages of one connection are handled in order: both documents are queued by now, and
    // the one being printed is not counted.
    EXPECT_EQ(Ask(client), Expected(kNoLibrary, false, "2", 1));
    program.Release();
    ASSERT_TRUE(program.WaitForCalls(3));
    EXPECT_EQ(Ask(client), Expected(kNoLibrary, false, "0", 1));
}

TEST_F(Health, TheLastErrorWithoutCardNumbers) {
    InstallLibrary();
    StartService("allowed_origins=https://pdv.loja.test\r\n");
    auto client = app_.Client();
    const auto before = platform::SystemNow();
    client.SendText(StartWith(qvtest::SessionClaims(R"("4111111111111111x")")));
    std::string reply;
    do {
        reply = client.ReadText();
    } while (reply.find(R"("type":"message")") != std::string::npos);
    ASSERT_NE(reply.find(R"(n\u00E3o \u00E9 um n\u00FAmero inteiro v\u00E1lido.)"),
              std::string::npos)
        << reply;

    client.SendText(kHealthRequest);
    const std::string health = client.ReadText();
    EXPECT_EQ(Steady(health),
              Expected(kLibraryLoaded, false, "0", 1,
                       R"({"time":"T","message":"Erro ao iniciar sess\u00E3o: )"
                       R"('411111******1111x' n\u00E3o \u00E9 um n\u00FAmero inteiro )"
                       R"(v\u00E1lido."})"));
    // The time is when the line was logged, in UTC.
    const std::string time = health.substr(health.find(R"("time":")") + 8, 24);
    const std::string earliest = platform::UtcTimestamp(platform::ToLocal(before)).substr(0, 16);
    EXPECT_GE(time.substr(0, 16), earliest) << time;

    // A refused connection is an error too.
    TlsWebSocketClient refused(app_.ClientOptions());
    EXPECT_TRUE(refused.Upgrade("GET / HTTP/1.1\r\nOrigin: https://evil.test\r\n\r\n")
                    .starts_with("HTTP/1.1 403 "));
    client.SendText(kHealthRequest);
    const std::string after = client.ReadText();
    EXPECT_NE(after.find(R"( recusada: origem \"https:\/\/evil.test\" n\u00E3o permitida."})"),
              std::string::npos)
        << after;
}

}  // namespace
