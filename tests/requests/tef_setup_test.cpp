// The TEF set-up of a session start, in-process: a failed re-initialisation, the restriction
// the configuration file asks for, and a brief operation of another connection.
#include <gtest/gtest.h>

#include <thread>

#include "requests/tef_operation.h"
#include "support/sim_journal.h"
#include "tef_module.h"

namespace requests {
namespace {

using Lines = std::vector<std::string>;

constexpr const char* kInitializing =
    R"({"type":"message","message":"Inicializando TEF...","options":[],"can_cancel":false})";
constexpr const char* kInitialized =
    R"({"type":"message","message":"","options":[],"can_cancel":false})";

using TefSetUp = TefModule;

TEST_F(TefSetUp, AFailedReinitialisationStillClearsItsMessage) {
    OpenSession();
    StoreClaims broken;
    broken.store_code = "";  // the library refuses an empty store code
    qvtest::RecordingClient client;
    EXPECT_EQ(StartSession(client, broken),
              (Lines{kInitializing, kInitialized,
                     R"({"type":"error","message":"Erro ao conectar com servidor TEF"})"}));
    EXPECT_NE(Log().find("Erro ao iniciar sessão: Erro ao conectar com servidor TEF"),
              std::string::npos);
    // The next good start sets the library up again.
    EXPECT_EQ(StartSession(client).front(), kInitializing);
}

TEST_F(TefSetUp, TheConnectionTypeIsTheTokensEvenWhenTheSetUpFails) {
    OpenSession();
    EXPECT_FALSE(module_->FTLSConnection);
    StoreClaims gateway;
    gateway.registration_token = "linha\nquebrada";  // refused before the TLS file is written
    qvtest::RecordingClient client;
    const Lines replies = StartSession(client, gateway);
    ASSERT_FALSE(replies.empty());
    EXPECT_EQ(TypeOf(replies.back()), "error");
    EXPECT_TRUE(module_->FTLSConnection);
}

TEST_F(TefSetUp, QrCodesGoToTheClientUnlessThePinPadShowsThem) {
    const auto restrictions = [this] {
        qvtest::RecordingClient client;
        RunFunction(client);
        return qvtest::JournalValue(Journal("IniciaFuncaoSiTefInterativo").back(), "restricoes");
    };
    OpenSession();
    EXPECT_EQ(restrictions(), "{DevolveStringQRCode=1}");
    // With the PIN pad showing them, a session start leaves the restrictions as they are.
    service_->iniConfig().WriteBool("sitef", "qrcode_on_pinpad", true);
    StoreClaims other;
    other.store_code = "00000042";
    OpenSession(other);
    EXPECT_EQ(restrictions(), "{DevolveStringQRCode=1}");
}

TEST_F(TefSetUp, ABriefOperationOfAnotherConnectionIsWaitedFor) {
    OpenSession();
    StoreClaims other;
    other.store_code = "00000042";
    qvtest::RecordingClient client;
    Lines sent;
    std::thread start;
    {
        qvtest::RecordingClient closing;
        TTefOperation brief(*module_, &closing);
        ASSERT_TRUE(brief.Acquired());
        start = std::thread([&] { sent = StartSession(client, other); });
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    start.join();
    ASSERT_FALSE(sent.empty());
    EXPECT_NE(sent.back().find(R"("store_code":"00000042")"), std::string::npos) << sent.back();
}

}  // namespace
}  // namespace requests
