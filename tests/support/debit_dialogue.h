// A debit whose dialogue spans many messages (a field, a question, waits), for tests and
// benchmarks that run payments while something else loads the service. Header only: it signs
// its session token with the service's code, so a target using it links qv_requests.
#pragma once

#include <string>
#include <vector>

#include "integration/client_messages.h"
#include "support/dialogue_answers.h"
#include "support/dialogue_client.h"

namespace qvtest {

// The simulated library's scenario (InstallSimulatedLibrary) for DebitDialogue.
inline constexpr const char* kDebitScenario = R"({
 "script": [
  {"command": 30, "field": 512, "min": 4, "max": 19, "format": "digits",
   "text": "Forneca o numero do cartao"},
  {"command": 20, "text": "Confirma a compra?"},
  {"command": 3, "text": "Aguardando o autorizador..."},
  {"command": 23, "times": 3},
  {"command": 0, "field": 100, "text": "0100"},
  {"command": 0, "field": 105, "text": "20251126114841"},
  {"command": 0, "field": 133, "text": "${nsu}"},
  {"command": 0, "field": 156, "text": "REDE TESTE"},
  {"command": 0, "field": 121, "text": "VIA DO CLIENTE"},
  {"status": 0, "record": "payment"}]
})";

// Opens a session on `client`; its identifier ("<none>" when refused).
inline std::string OpenSession(DialogueClient& client) {
    return Field(client.Run(StartRequest(Claims().Token()), {"session", "error"}).back(),
                 "session_uuid");
}

// One debit on the session `uuid`, answering its prompts: the types of the messages received,
// in order, followed by the result's status.
inline std::vector<std::string> DebitDialogue(DialogueClient& client, const std::string& uuid) {
    client.On("collect", FieldAnswer(true, "4000123456789010"))
        .On("question", QuestionAnswer("Sim"));
    const std::vector<std::string> messages =
        client.Run(R"({"route":"/transaction","type":"transaction","session_uuid":")" + uuid +
                   R"(","operation":2,"payer_name":"Ana","transaction_value":12})");
    std::vector<std::string> dialogue;
    for (const std::string& message : messages) dialogue.push_back(MessageType(message));
    dialogue.push_back(Field(messages.back(), "status"));
    return dialogue;
}

}  // namespace qvtest
