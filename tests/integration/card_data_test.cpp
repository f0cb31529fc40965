// Card data over TLS with the real service and the simulated payment library: a credit
// payment whose card number, expiry date, security code and a supervisor's password are typed
// at the library's prompts, approved with a response record that carries whole card numbers
// (the card field and a receipt line). The library must receive every value as typed; no file
// the service wrote under its application folder (logs, trace, backup files, the results
// database and its journal files, temporary files) may hold any of them in clear, nor the
// security code at all, and the masked forms stand where the values would have been.
//
// The simulator's scenario and journal live outside the application folder: they stand for
// the payment library's own files, which hold what the library was given.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "platform/file_system.h"
#include "session_support.h"
#include "support/app_folder.h"
#include "support/dialogue_answers.h"
#include "support/dialogue_client.h"
#include "support/sim_journal.h"
#include "support/simulated_library.h"
#include "support/temp_folder.h"
#include "support/text_lines.h"

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using qvtest::DialogueClient;
using qvtest::Field;
using qvtest::FieldAnswer;

constexpr const char* kTypedCard = "4111111111111111";
constexpr const char* kExpiry = "0931";
constexpr const char* kSecurityCode = "8642";
constexpr const char* kPassword = "qv5713";
// Whole card numbers the library returns: its card field and a receipt line.
constexpr const char* kReturnedCard = "5555555555554444";
constexpr const char* kReceiptCard = "3782 822463 10005";

constexpr const char* kScenario = R"json({
 "functions": {"3": "typed"},
 "flows": {"typed": [
   {"command": 30, "field": 512, "min": 13, "max": 19, "format": "digits",
    "text": "Forneca o numero do cartao"},
   {"command": 30, "field": 513, "min": 4, "max": 4, "format": "mmyy",
    "text": "Forneca a data de vencimento do cartao (MMAA)"},
   {"command": 30, "field": 514, "min": 3, "max": 4, "format": "digits",
    "text": "Forneca o codigo de seguranca"},
   {"command": 30, "field": 530, "min": 4, "max": 8, "text": "Forneca a senha do supervisor"},
   {"command": 3, "text": "Aguarde, em processamento..."},
   {"command": 23, "times": 1},
   {"command": 0, "field": 100, "text": "0200"},
   {"command": 0, "field": 105, "text": "20251126114841"},
   {"command": 0, "field": 133, "text": "${nsu}"},
   {"command": 0, "field": 134, "text": "${nsu_host}"},
   {"command": 0, "field": 135, "text": "${auth}"},
   {"command": 0, "field": 2021, "text": "5555555555554444"},
   {"command": 0, "field": 121, "text": "VIA DO CLIENTE\nCARTAO 3782 822463 10005\nR$ ${amount_br}"},
   {"status": 0, "record": "payment"}]}
})json";

// Path (relative to `root`) → content of every file under `root`.
std::map<std::string, std::string> Files(const std::string& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        const std::string path = entry.path().string();
        files[path.substr(root.size())] = platform::ReadFile(path).value_or("<unreadable>");
    }
    return files;
}

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class CardData : public ::testing::Test {
protected:
    CardData() {
        qvtest::InstallSimulatedLibrary(app_.path());
        platform::WriteFile(library_ / "scenario.json", kScenario);
        app_.SetEnv("QV_CLISITEF_SCENARIO", library_ / "scenario.json");
        app_.SetEnv("QV_CLISITEF_JOURNAL", library_ / "journal.log");
        app_.SetEnv("QV_CLISITEF_POLL_MS", "0");
        app_.SetEnv("QV_ANSWER_TIMEOUT_MS", "8000");
        // The service's temporary files go under the application folder too, to be read.
        platform::ForceDirectories(app_ / "tmp");
        app_.SetEnv("TMPDIR", app_ / "tmp");
    }

    qvtest::AppFolder app_;
    qvtest::TempFolder library_;
};

TEST_F(CardData, TypedAndReturnedCardDataIsNeverWrittenInClear) {
    const std::map<std::string, std::string> before = Files(app_.path());
    app_.StartAndWaitForPort();
    DialogueClient client(app_.Client());
    const std::string uuid = qvtest::OpenSession(client);
    for (const char* typed : {kTypedCard, kExpiry, kSecurityCode, kPassword})
        client.On("collect", FieldAnswer(true, typed));
    const Lines messages = client.Run(qvtest::TransactionRequest(
        uuid, "transaction",
        R"("operation":3,"payer_name":"Ana","transaction_value":"25,50",)"
        R"("request_id":"cartao-digitado-1")"));
    const std::string& result = messages.back();
    ASSERT_EQ(Field(result, "status"), "approved") << result;
    // The client gets the record as the library returned it.
    EXPECT_NE(result.find(R"("card_number":"5555555555554444")"), std::string::npos) << result;
    // And the result asked again comes from the results database.
    const std::string kept =
        client
            .Run(R"({"route":"/transaction/status","type":"status","session_uuid":")" + uuid +
                     R"(","request_id":"cartao-digitado-1"})",
                 {"result", "status", "error"})
            .back();
    EXPECT_NE(kept.find(R"("card_number":"555555******4444")"), std::string::npos) << kept;
    EXPECT_EQ(app_.Stop(), 0) << app_.Output();

    // The library was given every value as typed.
    const Lines answers = qvtest::JournalAnswers(library_ / "journal.log");
    for (const char* typed : {kTypedCard, kExpiry, kSecurityCode, kPassword}) {
        EXPECT_NE(std::find(answers.begin(), answers.end(), std::string("0:") + typed),
                  answers.end())
            << typed;
    }

    std::string trace, log, database;
    for (const auto& [path, bytes] : Files(app_.path())) {
        const auto old = before.find(path);
        if (old != before.end() && old->second == bytes) continue;  // not the service's
        SCOPED_TRACE(path);
        for (const std::string clear :
             {kTypedCard, kReturnedCard, kReceiptCard, "378282246310005", kPassword})
            EXPECT_EQ(bytes.find(clear), std::string::npos) << clear;
        EXPECT_FALSE(qvtest::HoldsNumber(bytes, kExpiry));
        EXPECT_FALSE(qvtest::HoldsNumber(bytes, kSecurityCode));
        if (path.find("/TEF-") != std::string::npos) trace += bytes;
        if (path.starts_with("Log/") && path.find("QuorvexSiTefService ") != std::string::npos)
            log += bytes;
        if (path.starts_with("Resultados/")) database += bytes;
    }

    // The masked forms stand where the values were.
    for (const std::string masked :
         {"Chamando: Continua = 0 Buffer = 411111******1111\r\n", "512-000 = 411111******1111\r\n",
          "513-000 = ***\r\n", "530-000 = ***\r\n", "2021-000 = 555555******4444\r\n",
          "Buffer = 555555******4444 ", R"(CARTAO 3782 82**** *0005)"}) {
        EXPECT_NE(trace.find(masked), std::string::npos) << masked;
    }
    // The expiry date, the security code and the password, each answered once.
    EXPECT_EQ(Count(trace, "Chamando: Continua = 0 Buffer = ***\r\n"), 3u);
    EXPECT_NE(log.find(R"("card_number":"555555******4444")"), std::string::npos) << log;
    EXPECT_NE(log.find(R"("CARTAO 3782 82**** *0005")"), std::string::npos) << log;
    EXPECT_NE(database.find(R"("card_number":"555555******4444")"), std::string::npos);
}

}  // namespace
