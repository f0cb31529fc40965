// The Windows service under Wine next to the Linux one (scripts/test-windows-integration.sh):
// the same credit payment through the same simulated library gets the same client messages,
// byte for byte, and the version route reports the Windows library's VERSIONINFO. Only a run
// switched to a Windows build can compare; any other run reports both tests as skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "integration/client_messages.h"
#include "platform/file_system.h"
#include "support/app_folder.h"
#include "support/dialogue_answers.h"
#include "support/dialogue_client.h"
#include "support/simulated_library.h"
#include "support/windows_under_wine.h"

namespace {

using Lines = std::vector<std::string>;

// A credit payment in instalments with every kind of prompt: a menu, a typed field, a
// question, messages, waits and both receipt copies; the library's values are all fixed.
constexpr const char* kCreditScenario = R"({
 "script": [
  {"command": 4, "text": "Forma de pagamento"},
  {"command": 21, "options": [{"code": "1", "text": "A Vista"},
                              {"code": "2", "text": "Parcelado pela Loja"}]},
  {"command": 30, "field": 505, "min": 1, "max": 2, "format": "digits",
   "text": "Forneca o numero de parcelas"},
  {"command": 20, "text": "Confirma a compra em 3 parcelas?"},
  {"command": 2, "text": "INSIRA OU PASSE O CARTÃO"},
  {"command": 3, "text": "Aguardando o autorizador..."},
  {"command": 23, "times": 2},
  {"command": 0, "field": 100, "text": "0202"},
  {"command": 0, "field": 102, "text": "Crédito"},
  {"command": 0, "field": 105, "text": "20251126114841"},
  {"command": 0, "field": 131, "text": "00125"},
  {"command": 0, "field": 133, "text": "123456"},
  {"command": 0, "field": 134, "text": "654321"},
  {"command": 0, "field": 135, "text": "A1B2C3"},
  {"command": 0, "field": 505, "text": "3"},
  {"command": 0, "field": 156, "text": "REDE TESTE"},
  {"command": 0, "field": 2021, "text": "400012******9010"},
  {"command": 0, "field": 121, "text": "VIA DO CLIENTE\nVALOR: R$ 189,23\nJOSÉ DA SILVA"},
  {"command": 0, "field": 122, "text": "VIA DO ESTABELECIMENTO\nVALOR: R$ 189,23"},
  {"status": 0, "record": "payment"}]
})";

// Everything the client of `app` reads from its session start to the payment's result.
Lines CreditPaymentMessages(qvtest::AppFolder& app) {
    qvtest::InstallSimulatedLibrary(app, kCreditScenario);
    // One moment for both services: nothing of a payment may depend on when it ran.
    app.PutFile("clock.txt", "2025-11-26 11:48:30");
    app.SetEnv("QV_CLOCK_FILE", app / "clock.txt");
    app.SetEnv("QV_ANSWER_TIMEOUT_MS", "8000");
    app.WriteIni("[sitef]\r\nserver_port=" + std::to_string(app.port()) + "\r\npdv_number=3\r\n");
    app.StartAndWaitForPort();

    qvtest::DialogueClient client(app.Client());
    client.On("menu", qvtest::MenuAnswer("2:Parcelado pela Loja"))
        .On("collect", qvtest::FieldAnswer(true, "3"))
        .On("question", qvtest::QuestionAnswer("Sim"));
    Lines messages = client.Run(qvtest::StartRequest(qvtest::Claims().Token()), {"session", "error"});
    const std::string uuid = qvtest::Field(messages.back(), "session_uuid");
    const Lines payment = client.Run(qvtest::TransactionRequest(
        uuid, "transaction",
        R"("operation":"3","payer_name":"José da Silva","sale_id":4242,)"
        R"("transaction_value":189.23,"number_of_installments":3)"));
    messages.insert(messages.end(), payment.begin(), payment.end());
    EXPECT_EQ(app.Stop(), 0) << app.Output();

    // The session's identifier is a new GUID on every start, by design: masked.
    for (std::string& message : messages)
        for (size_t at = message.find(uuid); !uuid.empty() && at != std::string::npos;
             at = message.find(uuid, at))
            message.replace(at, uuid.size(), "<session uuid>");
    return messages;
}

class WindowsParity : public ::testing::Test {
protected:
    void SetUp() override {
        if (!qvtest::WindowsBuildUnderWine())
            GTEST_SKIP() << "compares the Windows build under Wine with this one: run by "
                            "scripts/test-windows-integration.sh (QV_TEST_WINDOWS_BUILD)";
    }
};

TEST_F(WindowsParity, ACreditPaymentGetsTheSameClientMessagesByteForByte) {
    qvtest::AppFolder linux_app(qvtest::kServiceProgram, qvtest::AppFolder::Build::kThis);
    const Lines on_linux = CreditPaymentMessages(linux_app);
    qvtest::AppFolder windows_app;
    ASSERT_NE(windows_app.windows(), nullptr);
    const Lines on_windows = CreditPaymentMessages(windows_app);

    ASSERT_GE(on_linux.size(), 8u) << "a dialogue with every kind of prompt";
    EXPECT_EQ(qvtest::MessageType(on_linux.back()), "result");
    EXPECT_NE(on_linux.back().find(R"("status":"approved")"), std::string::npos) << on_linux.back();
    EXPECT_EQ(on_windows, on_linux);
}

// Sets the file version of the VERSIONINFO resource (its VS_FIXEDFILEINFO) in `dll`.
void SetFileVersion(const std::string& dll, uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
    std::string bytes = *platform::ReadFile(dll);
    const char signature[] = {'\xBD', '\x04', '\xEF', '\xFE'};  // 0xFEEF04BD, little-endian
    const size_t at = bytes.find(std::string(signature, 4));
    ASSERT_NE(at, std::string::npos) << "no VERSIONINFO in " << dll;
    const uint32_t words[] = {static_cast<uint32_t>(a) << 16 | b, static_cast<uint32_t>(c) << 16 | d};
    std::memcpy(bytes.data() + at + 8, words, sizeof words);  // after the structure's version
    ASSERT_TRUE(platform::WriteFile(dll, bytes));
}

TEST_F(WindowsParity, TheLibraryVersionIsItsVersionResource) {
    qvtest::AppFolder app;
    qvtest::InstallSimulatedLibrary(app, R"({"script": [{"status": 0}]})");
    // A version of its own, so that only the library's resource can be the one reported.
    SetFileVersion(app / ("dll/" + qvtest::WindowsLibraryName(*app.windows())), 7, 6, 5, 4);
    app.StartAndWaitForPort();
    qvtest::DialogueClient client(app.Client());
    ASSERT_EQ(qvtest::MessageType(client.Run(qvtest::StartRequest(qvtest::Claims().Token()),
                                             {"session", "error"}).back()),
              "session");
    client.socket().SendText(R"({"route":"/version","type":"version","category":"clisitef_dll"})");
    EXPECT_EQ(client.socket().ReadText(),
              R"({"type":"version","category":"clisitef_dll","version":"7.6.5.4","updating":false})");
    EXPECT_EQ(app.Stop(), 0) << app.Output();
}

}  // namespace
