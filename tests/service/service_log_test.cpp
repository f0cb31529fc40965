#include "service/service_log.h"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>
#include <vector>

#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "service/quorvex_sitef_service.h"
#include "support/temp_folder.h"
#include "transport/message_handler.h"

namespace {

using service::ServiceLog;

// A relative path written with '/' as this system writes it.
std::string Native(std::string path) {
    for (char& c : path)
        if (c == '/') c = platform::kPathSeparator;
    return path;
}

class ServiceLogTest : public ::testing::Test {
protected:
    void SetUp() override { platform::SetEnvText("TZ", "America/Sao_Paulo"); }
    // The file of today (retried once should the day change between write and read).
    std::string Today() const {
        return platform::ReadFile(log_.LogFilePath(platform::Now())).value_or("");
    }

    qvtest::TempFolder folder_;
    ServiceLog log_{folder_.path(), "QuorvexSiTefService"};
};

TEST_F(ServiceLogTest, MonthFolderIsTheCapitalisedPortugueseMonth) {
    const char* expected[] = {"Janeiro-2025",  "Fevereiro-2025", "Março-2025",    "Abril-2025",
                              "Maio-2025",     "Junho-2025",     "Julho-2025",    "Agosto-2025",
                              "Setembro-2025", "Outubro-2025",   "Novembro-2025", "Dezembro-2025"};
    for (int month = 1; month <= 12; ++month)
        EXPECT_EQ(ServiceLog::MonthFolderName({2025, month, 15}), expected[month - 1]);
    EXPECT_EQ(log_.LogFilePath({2025, 3, 7, 23, 59, 59}),
              folder_ / Native("Log/Março-2025/QuorvexSiTefService 07-03-2025.log"));
}

TEST_F(ServiceLogTest, LinesAreStampedKeptAsGivenAndInWindows1252) {
    ASSERT_TRUE(log_.GravaLog("O serviço foi inciado."));
    const std::string after_first = Today();
    ASSERT_FALSE(after_first.empty()) << "the line is on disk when GravaLog returns";
    ASSERT_TRUE(log_.GravaLog(""));
    ASSERT_TRUE(log_.GravaLog(" \t "));
    ASSERT_TRUE(log_.GravaLog("  dois espaços"));

    const std::string text = Today();
    // "[dd/mm/yyyy hh:mm:ss] " then the text, CR LF.
    ASSERT_GE(text.size(), 22u);
    EXPECT_EQ(text[0], '[');
    EXPECT_EQ(text.substr(20, 2), "] ");
    EXPECT_EQ(text[3], '/');
    EXPECT_EQ(text[14], ':');
    const std::string first = text.substr(22, text.find("\r\n") - 22);
    EXPECT_EQ(first, "O servi\xE7o foi inciado.");
    const std::string rest = text.substr(text.find("\r\n") + 2);
    EXPECT_EQ(rest.substr(0, 4), "\r\n\r\n") << "blank texts are empty lines without a stamp";
    EXPECT_EQ(rest.substr(4 + 22), "  dois espa\xE7os\r\n");
}

TEST_F(ServiceLogTest, LinesOfSeveralThreadsNeverMix) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([this, t] {
            for (int i = 0; i < 50; ++i)
                log_.GravaLog(std::string(200, static_cast<char>('a' + t)));
        });
    }
    for (auto& thread : threads) thread.join();
    const std::string text = Today();
    size_t lines = 0;
    for (size_t start = 0; start < text.size(); ++lines) {
        const size_t end = text.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        const std::string body = text.substr(start + 22, end - start - 22);
        EXPECT_EQ(body, std::string(200, body[0]));
        start = end + 2;
    }
    EXPECT_EQ(lines, 200u);
}

TEST_F(ServiceLogTest, AFailedWriteReturnsFalse) {
    ASSERT_TRUE(platform::WriteFile(folder_ / "Log", "a file where the folder should be"));
    EXPECT_FALSE(log_.GravaLog("perdida"));
}

TEST_F(ServiceLogTest, CardNumbersAreMaskedInTheFileAndOnTheFallbackStream) {
    ASSERT_TRUE(log_.GravaLog(R"({"card_number":"4111111111111111","nsu_code":"000001",)"
                              R"("data":["CARTAO 3782 822463 10005","VALOR: R$ 189,23"]})"));
    EXPECT_NE(Today().find(R"(] {"card_number":"411111******1111","nsu_code":"000001",)"
                           R"("data":["CARTAO 3782 82**** *0005","VALOR: R$ 189,23"]})"),
              std::string::npos)
        << Today();

    // A line the file does not take goes to the fallback stream, masked all the same.
    std::ostringstream fallback;
    ServiceLog log(folder_ / "bloqueada/", "QuorvexSiTefService", std::chrono::seconds(1),
                   fallback);
    ASSERT_TRUE(platform::WriteFile(folder_ / "bloqueada", "a file where the folder should be"));
    EXPECT_FALSE(log.GravaLog("Erro: cartão 5555-5555-5555-4444 recusado"));
    EXPECT_NE(fallback.str().find("] Erro: cart\xC3\xA3o 5555-55**-****-4444 recusado\n"),
              std::string::npos)
        << fallback.str();
    EXPECT_EQ(fallback.str().find("5555-5555-5555-4444"), std::string::npos);
}

TEST_F(ServiceLogTest, TefTraceFileIsNamedAfterTheGivenDay) {
    const std::string path = service::TefLogFilePath(folder_.path(), {2025, 12, 1, 10});
    EXPECT_EQ(path, folder_ / Native("Log/12-2025/TEF-01-12-2025.log"));
    EXPECT_TRUE(platform::DirectoryExists(folder_ / "Log/12-2025"));
}

// The service object needs a request layer; this one drops every message.
class DroppingHandler : public transport::MessageHandler {
public:
    void OnMessage(const std::string&, transport::ClientChannel&) override {}
};

TEST_F(ServiceLogTest, PrintQueueLinesCarryTheirPrefix) {
    service::TQuorvexSiTefService svc(
        [](service::TQuorvexSiTefService&) { return std::make_unique<DroppingHandler>(); },
        folder_.path());
    svc.PrintQueueLog("Impresso: nota.pdf");
    EXPECT_NE(Today().find("] [Impressora] Impresso: nota.pdf\r\n"), std::string::npos) << Today();
}

}  // namespace
