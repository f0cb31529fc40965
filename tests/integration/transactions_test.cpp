// TEF operations over TLS with the real service and the simulated payment library, driven by a
// scripted client: payments by credit, debit and PIX, the cancellation of an earlier payment,
// a reprint, the negative results, a library that refuses the confirmation or fails at any
// step, concurrent requests, a client that leaves at any prompt, the request's refusals and
// the PIN-pad status. Each case is checked at both edges: what the client received and what
// the library was called with (its journal).
#include <gtest/gtest.h>
#include <simdjson.h>

#include <chrono>

#include "client_messages.h"
#include "platform/clock.h"
#include "session_support.h"
#include "support/app_folder.h"
#include "support/dialogue_answers.h"
#include "support/dialogue_client.h"
#include "support/sim_journal.h"
#include "support/simulated_library.h"

namespace {

using Lines = std::vector<std::string>;
using qvtest::Claims;
using qvtest::DialogueClient;
using qvtest::Error;
using qvtest::Field;
using qvtest::JournalValue;
using qvtest::kAcknowledge;
using qvtest::MenuAnswer;
using qvtest::MessageType;
using qvtest::QuestionAnswer;
using requests::JsonObject;

// Flows modelled on the demonstration scenario, with one wait each (every wait costs the
// service's poll for client input). The host stamps its time as 26/11/2025 11:48:41.
constexpr const char* kScenario = R"({
 "vars": {"network": "REDE TESTE", "institution": "00125", "card": "4000123456789010"},
 "functions": {"0": "payment", "2": "debit", "3": "credit", "122": "pix", "200": "cancellation",
               "114": "reprint"},
 "flows": {
  "payment": [
   {"command": 4, "text": "Forma de pagamento"},
   {"command": 21, "options": [{"code": "1", "text": "Credito", "goto": "@credit"},
                               {"code": "2", "text": "Debito", "goto": "@debit"}]}],
  "credit": [
   {"if": "cents=51", "goto": "@declined"},
   {"if": "cents=52", "goto": "@endless_wait"},
   {"set": {"kind": "Crédito", "mod": "0200"}},
   {"command": 21, "options": [{"code": "1", "text": "Magnetico/Chip"},
                               {"code": "2", "text": "Digitado"}]},
   {"command": 21, "options": [{"code": "1", "text": "A Vista"},
                               {"code": "2", "text": "Parcelado pela Loja", "goto": "count",
                                "set": {"mod": "0202"}}]},
   {"goto": "@authorise"},
   {"label": "count", "command": 30, "field": 505, "min": 1, "max": 2, "format": "digits",
    "range": [2, 12], "save": "installments", "text": "Forneca o numero de parcelas"},
   {"goto": "@authorise"}],
  "debit": [{"set": {"kind": "Débito", "mod": "0100"}}, {"goto": "@authorise"}],
  "authorise": [
   {"command": 2, "text": "INSIRA OU PASSE O CARTÃO"},
   {"command": 23, "times": 1},
   {"command": 0, "field": 100, "text": "${mod}"},
   {"command": 0, "field": 102, "text": "${kind}"},
   {"command": 0, "field": 105, "text": "20251126114841"},
   {"command": 0, "field": 131, "text": "${institution}"},
   {"command": 0, "field": 133, "text": "${nsu}"},
   {"command": 0, "field": 134, "text": "${nsu_host}"},
   {"command": 0, "field": 135, "text": "${auth}"},
   {"if": "installments", "command": 0, "field": 505, "text": "${installments}"},
   {"command": 0, "field": 156, "text": "${network}"},
   {"command": 0, "field": 2021, "text": "${card|mask}"},
   {"command": 0, "field": 800, "text": "${hash}"},
   {"command": 0, "field": 121, "text": "VIA DO CLIENTE\nVALOR: R$ ${amount_br}"},
   {"command": 0, "field": 122, "text": "VIA DO ESTABELECIMENTO\nVALOR: R$ ${amount_br}"},
   {"status": 0, "record": "payment"}],
  "pix": [
   {"if": "qrcode_to_app", "command": 50, "field": 584, "text": "pix:${amount_dot}"},
   {"command": 23, "times": 1},
   {"command": 0, "field": 100, "text": "0500"},
   {"command": 0, "field": 102, "text": "PIX"},
   {"command": 0, "field": 105, "text": "20251126114841"},
   {"command": 0, "field": 133, "text": "${nsu}"},
   {"command": 0, "field": 134, "text": "${nsu_host}"},
   {"command": 0, "field": 135, "text": "${auth}"},
   {"command": 0, "field": 156, "text": "${network}"},
   {"command": 0, "field": 121, "text": "PIX\nVALOR: R$ ${amount_br}"},
   {"status": 0, "record": "payment"}],
  "cancellation": [
   {"command": 30, "field": 515, "min": 8, "max": 8, "format": "ddmmyyyy"},
   {"command": 30, "field": 516, "min": 1, "max": 12, "format": "digits"},
   {"command": 30, "field": 146, "min": 1, "max": 15, "format": "amount"},
   {"match": "payment", "else": "not_found"},
   {"command": 20, "text": "Confirma o cancelamento de R$ ${orig.amount_br}?"},
   {"command": 0, "field": 100, "text": "${orig.100}"},
   {"command": 0, "field": 102, "text": "${orig.102}"},
   {"command": 0, "field": 105, "text": "20251126120000"},
   {"command": 0, "field": 133, "text": "${nsu}"},
   {"command": 0, "field": 134, "text": "${nsu_host}"},
   {"command": 0, "field": 135, "text": "${auth}"},
   {"command": 0, "field": 156, "text": "${orig.156}"},
   {"command": 0, "field": 121, "text": "CANCELAMENTO\nNSU ORIGINAL: ${orig.nsu_host}"},
   {"status": 0, "record": "cancellation"},
   {"label": "not_found", "status": 13}],
  "reprint": [
   {"match": "last", "else": "none"},
   {"command": 0, "field": 56, "text": "1"},
   {"command": 0, "field": 121, "text": "${orig.121}"},
   {"command": 0, "field": 122, "text": "${orig.122}"},
   {"status": 0},
   {"label": "none", "status": 13}],
  "declined": [{"command": 3, "text": "Aguarde..."}, {"command": 23, "times": 1}, {"status": 5}],
  "endless_wait": [{"command": 3, "text": "Aguardando o autorizador..."}, {"command": 23}]
 }
})";

// The keys of a JSON object's text, in order.
Lines Keys(const std::string& json) {
    requests::JsonDocument document;
    Lines keys;
    if (!document.Parse(json) || !document.IsObject()) return {"<not an object>"};
    for (auto field : document.Object()) keys.emplace_back(field.key);
    return keys;
}

// The first entry of a result's "transaction_data" as JSON text.
std::string FirstEntry(const std::string& result) {
    requests::JsonDocument document;
    if (!document.Parse(result) || !document.IsObject()) return "<not an object>";
    simdjson::dom::element entry;
    if (document.Object()["transaction_data"].at(0).get(entry)) return "<no entry>";
    return simdjson::minify(entry);
}

// Today's date as the library's cancellation field reads it; UTC or local, the library
// accepts a day either side.
std::string Today() {
    return platform::FormatDateTime("yyyy-mm-dd", platform::ToLocal(platform::SystemNow()));
}

class Transactions : public ::testing::Test {
protected:
    Transactions() {
        qvtest::InstallSimulatedLibrary(app_, kScenario);
        // A forgotten answer fails the test in seconds instead of the product's two minutes.
        app_.SetEnv("QV_ANSWER_TIMEOUT_MS", "8000");
        // UTC−4 all year round.
        app_.SetEnv("TZ", "America/Manaus");
        app_.WriteIni("[sitef]\r\nserver_port=" + std::to_string(app_.port()) +
                      "\r\npdv_number=3\r\n");
        app_.StartAndWaitForPort();
    }
    ~Transactions() override { EXPECT_EQ(app_.Stop(), 0) << app_.Output(); }

    DialogueClient Connect() { return DialogueClient(app_.Client()); }

    std::string Open(DialogueClient& client, const Claims& claims = {}) {
        return qvtest::OpenSession(client, claims);
    }
    static std::string Request(const std::string& uuid, const std::string& type,
                               const std::string& members) {
        return qvtest::TransactionRequest(uuid, type, members);
    }

    Lines Journal(const std::string& exportName) const {
        return qvtest::JournalCalls(app_ / "journal.log", exportName);
    }
    Lines Finished() const { return qvtest::JournalFinishes(app_ / "journal.log"); }
    // The fiscal document of the last function started.
    std::string LastDocument() const {
        return JournalValue(Journal("IniciaFuncaoSiTefInterativo").back(), "cupomFiscal");
    }
    // How the library's last function ended: "undone" or "confirmed" by the service, "ended
    // <status>" by the library itself, or "open".
    std::string LastFunctionEnd() const {
        const Lines calls = qvtest::JournalCalls(app_ / "journal.log");
        auto it = std::find_if(calls.rbegin(), calls.rend(), [](const std::string& line) {
            return line.starts_with("IniciaFuncaoSiTefInterativo ");
        });
        std::string end = "open";
        for (auto call = it.base(); call != calls.end(); ++call) {
            const std::string result = call->substr(call->find(" -> ") + 4);
            if (call->starts_with("FinalizaFuncaoSiTefInterativo "))
                end = JournalValue(*call, "confirma") == "1" ? "confirmed" : "undone";
            else if (call->starts_with("ContinuaFuncaoSiTefInterativo ") &&
                     !result.starts_with("10000 ") && !result.starts_with("0 "))
                end = "ended " + result.substr(0, result.find(' '));
        }
        return end;
    }
    size_t LogCount(const std::string& text) const {
        const Lines log = app_.LogTexts();
        return static_cast<size_t>(std::count(log.begin(), log.end(), text));
    }

    qvtest::AppFolder app_;
};

TEST_F(Transactions, CreditWithInstalmentsIsReportedConfirmedAndLogged) {
    DialogueClient client = Connect();
    const std::string uuid = Open(client);
    const Lines messages =
        client.Run(Request(uuid, "transaction",
                           R"("operation":"3","payer_name":"José da Silva","sale_id":4242,)"
                           R"("transaction_value":189.23,"number_of_installments":3)"));
    // The approval ends the time the payment could be cancelled, before its result comes.
    EXPECT_EQ(messages, (Lines{R"({"type":"message","message":"INSIRA OU PASSE O CART\u00C3O",)"
                               R"("options":[],"can_cancel":false})",
                               R"({"type":"can_cancel","can_cancel":true})",
                               R"({"type":"can_cancel","can_cancel":false})", messages.back()}));
    const std::string& result = messages.back();
    EXPECT_EQ(Keys(result), (Lines{"type", "status", "message", "transaction_data"}));
    EXPECT_TRUE(result.starts_with(R"({"type":"result","status":"approved","message":")"
                                   R"(Transa\u00E7\u00E3o TEF conclu\u00EDda com sucesso.",)"))
        << result;

    const std::string entry = FirstEntry(result);
    EXPECT_EQ(Keys(entry),
              (Lines{"sale_id", "operation", "card_number", "operator", "payer_name", "institution",
                     "payment_method_code", "payment_method_description", "hash", "nsu_code",
                     "authorization_code", "establishment_code", "number_of_installments",
                     "transaction_value", "transaction_date_time", "gateway", "receipt"}));
    const std::string auth = Field(entry, "authorization_code");
    EXPECT_EQ(auth.size(), 6u);
    EXPECT_EQ(Field(entry, "establishment_code"), auth);
    EXPECT_NE(result.find(R"("sale_id":4242,"operation":"credit","card_number":")"
                          R"(400012******9010","operator":"REDE TESTE",)"
                          R"("payer_name":"Jos\u00E9 da Silva","institution":"00125",)"
                          R"("payment_method_code":"0202",)"
                          R"("payment_method_description":"Cr\u00E9dito",)"),
              std::string::npos)
        << result;
    EXPECT_NE(result.find(R"("number_of_installments":3,"transaction_value":189.23,)"
                          R"("transaction_date_time":"2025-11-26T15:48:41Z",)"
                          R"("gateway":"Software Express","receipt":[)"
                          R"({"copy_number":1,"data":["VIA DO CLIENTE","VALOR: R$ 189,23"]},)"
                          R"({"copy_number":2,"data":["VIA DO ESTABELECIMENTO",)"
                          R"("VALOR: R$ 189,23"]}]})"),
              std::string::npos)
        << result;

    // The library was asked for 189,23 in three instalments of the store's plan, for sale 4242,
    // and the payment confirmed for its document.
    const std::string start = Journal("IniciaFuncaoSiTefInterativo").back();
    EXPECT_EQ(JournalValue(start, "funcao"), "3");
    EXPECT_EQ(JournalValue(start, "valor"), "189,23");
    EXPECT_EQ(JournalValue(start, "restricoes"), "{DevolveStringQRCode=1}");
    EXPECT_EQ(qvtest::JournalAnswers(app_ / "journal.log"),
              (Lines{"0:", "0:1", "0:2", "0:03", "0:", "0:", "0:", "0:", "0:", "0:", "0:", "0:",
                     "0:", "0:", "0:", "0:", "0:", "0:", "0:"}));
    EXPECT_EQ(Finished(), Lines{"1 " + LastDocument() + " -> 0"});
    EXPECT_EQ(LogCount(result), 1u);
}

TEST_F(Transactions, DebitPixCancellationAndReprint) {
    DialogueClient client = Connect();
    const std::string uuid = Open(client);

    // Debit, for the session's sale.
    const Lines debit = client.Run(Request(uuid, "transaction",
                                           R"("operation":2,"payer_name":"Ana",)"
                                           R"("transaction_value":"50,00")"));
    const std::string debit_entry = FirstEntry(debit.back());
    EXPECT_EQ(Field(debit.back(), "status"), "approved");
    EXPECT_TRUE(debit_entry.starts_with(R"({"sale_id":1,"operation":"debit","card_number":)"))
        << debit_entry;
    EXPECT_EQ(Field(debit_entry, "number_of_installments"), "0");
    EXPECT_EQ(Field(debit_entry, "transaction_value"), "50");

    // PIX: the QR code goes to the client.
    const Lines pix = client.Run(Request(uuid, "transaction",
                                         R"("operation":122,)"
                                         R"("payer_name":"Ana",)"
                                         R"("transaction_value":"12.5")"));
    EXPECT_EQ(pix.front(), R"({"type":"qrcode","data":"pix:12.50"})");
    const std::string pix_entry = FirstEntry(pix.back());
    EXPECT_EQ(Keys(pix_entry),
              (Lines{"sale_id", "operation", "operator", "payer_name", "institution",
                     "payment_method_code", "payment_method_description", "hash", "nsu_code",
                     "authorization_code", "establishment_code", "number_of_installments",
                     "transaction_value", "transaction_date_time", "gateway", "receipt"}));
    EXPECT_EQ(Field(pix_entry, "operation"), "pix");
    EXPECT_NE(pix_entry.find(R"("receipt":[{"copy_number":1,"data":["PIX","VALOR: R$ 12,50"]}])"),
              std::string::npos)
        << pix_entry;

    // The debit payment cancelled by its host NSU, with the library's question answered.
    const std::string nsu = Field(debit_entry, "nsu_code");
    client.On("question", QuestionAnswer("Sim"));
    const Lines cancellation = client.Run(
        Request(uuid, "cancellation",
                R"("operation":200,"cancellation_nsu":")" + nsu + R"(","transaction_date":")" +
                    Today() + R"( 11:48:41","transaction_value":"50,00","sale_id":77)"));
    EXPECT_EQ(cancellation.front(),
              R"({"type":"question","message":"Confirma o cancelamento de R$ 50,00?",)"
              R"("options":["Sim","N\u00E3o"],"can_cancel":false})");
    const std::string cancelled = FirstEntry(cancellation.back());
    EXPECT_EQ(
        Keys(cancelled),
        (Lines{"sale_id", "operation", "operator", "canceled_nsu", "payer_name", "institution",
               "payment_method_code", "payment_method_description", "hash", "nsu_code",
               "authorization_code", "establishment_code", "number_of_installments",
               "transaction_value", "transaction_date_time", "gateway", "receipt"}));
    EXPECT_TRUE(cancelled.starts_with(R"({"sale_id":77,"operation":"cancellation",)"
                                      R"("operator":"REDE TESTE","canceled_nsu":")" +
                                      nsu + R"(","payer_name":"Ana",)"))
        << cancelled;
    const Lines fields = qvtest::JournalAnswers(app_ / "journal.log");
    EXPECT_NE(std::find(fields.begin(), fields.end(), "0:" + nsu), fields.end());
    EXPECT_NE(std::find(fields.begin(), fields.end(), "0:50,00"), fields.end());
    // Confirmed: the payment cannot be cancelled twice.
    EXPECT_EQ(Finished().back(), "1 " + LastDocument() + " -> 0");

    // The last receipt again: only the sale, the operation and the copies.
    const Lines reprint = client.Run(Request(uuid, "reprint", R"("operation":"114")"));
    EXPECT_EQ(FirstEntry(reprint.back()),
              R"({"sale_id":77,"operation":"reprint","receipt":[{"copy_number":1,"data":[)"
              R"("CANCELAMENTO","NSU ORIGINAL: )" +
                  nsu + R"("]}]})");
    const std::string start = Journal("IniciaFuncaoSiTefInterativo").back();
    EXPECT_EQ(JournalValue(start, "funcao"), "114");
    EXPECT_EQ(JournalValue(start, "valor"), "1,00");
    // A reprint leaves nothing to confirm.
    EXPECT_EQ(Finished().size(), 3u);
}

TEST_F(Transactions, NegativeOutcomes) {
    DialogueClient client = Connect();
    const std::string uuid = Open(client);

    // Declined by the authoriser: the reason to acknowledge, then "canceled".
    client.On("confirmation", kAcknowledge);
    const Lines declined = client.Run(Request(uuid, "transaction",
                                              R"("operation":3,)"
                                              R"("payer_name":"Ana",)"
                                              R"("transaction_value":10.51)"));
    ASSERT_GE(declined.size(), 2u);
    EXPECT_EQ(declined[declined.size() - 2],
              R"x({"type":"confirmation","message":"Negada pelo autorizador (5)","options":[],)x"
              R"("can_cancel":false})");
    EXPECT_EQ(declined.back(), R"({"type":"result","status":"canceled","message":")"
                               R"(Transa\u00E7\u00E3o TEF n\u00E3o realizada."})");
    EXPECT_TRUE(Finished().empty());  // the library ended the function itself

    // Cancelled while the library waits, here from another connection of the till: no reply
    // there, and the payment ends at the library's next wait.
    client.On("confirmation", kAcknowledge);
    client.socket().SendText(Request(uuid, "transaction",
                                     R"("operation":3,"payer_name":"Ana",)"
                                     R"("transaction_value":10.52)"));
    client.ReadUntil({"can_cancel"});
    DialogueClient till = Connect();
    const std::string other = Open(till);
    till.socket().SendText(R"({"route":"/transaction/cancel","type":"cancellation",)"
                           R"("session_uuid":")" +
                           other + R"("})");
    EXPECT_EQ(MessageType(till.Run(R"({"route":"/version","type":"version",)"
                                   R"("category":"service_exe"})",
                                   {"version", "error"})
                              .back()),
              "version");
    const Lines cancelled = client.ReadUntil();
    EXPECT_EQ(LogCount("Setou no cancelamento = true"), 1u);
    EXPECT_EQ(cancelled[cancelled.size() - 2],
              R"({"type":"confirmation","message":"Opera\u00E7\u00E3o cancelada pelo operador",)"
              R"("options":[],"can_cancel":false})");
    EXPECT_EQ(Field(cancelled.back(), "status"), "canceled");
    EXPECT_EQ(JournalValue(Journal("ContinuaFuncaoSiTefInterativo").back(), "continua"), "-1");

    // Amount 0: refused before the library is asked, and the service is free again.
    const size_t started = Journal("IniciaFuncaoSiTefInterativo").size();
    EXPECT_EQ(client.Run(Request(uuid, "transaction", R"("operation":3,"payer_name":"Ana")")),
              Lines{Error(R"(Valor inv\u00E1lido)")});
    EXPECT_EQ(Journal("IniciaFuncaoSiTefInterativo").size(), started);
    EXPECT_EQ(Field(client
                        .Run(Request(uuid, "transaction",
                                     R"("operation":2,"payer_name":"Ana","transaction_value":1)"))
                        .back(),
                    "status"),
              "approved");
}

TEST_F(Transactions, ARefusedConfirmationIsReportedCancelledAndUndone) {
    // Read at the library's first configuration, at the session start.
    app_.PutFile("scenario.json",
                 std::string(kScenario).replace(1, 0, R"("confirm_result": -12,)"));
    DialogueClient client = Connect();
    const std::string uuid = Open(client);
    const std::string result = client
                                   .Run(Request(uuid, "transaction",
                                                R"("operation":2,"payer_name":"Ana",)"
                                                R"("transaction_value":20)"))
                                   .back();
    EXPECT_EQ(Keys(result), (Lines{"type", "transaction_data", "status", "message"}));
    EXPECT_TRUE(
        result.ends_with(R"(,"status":"canceled","message":"Ocorreu um erro durante o processo, a )"
                         R"(transa\u00E7\u00E3o TEF n\u00E3o ser\u00E1 confirmada."})"))
        << result;
    // Approved in the library, refused at its confirmation and once more, then undone.
    const std::string document = LastDocument();
    EXPECT_EQ(Finished(), (Lines{"1 " + document + " -> -12", "1 " + document + " -> -12",
                                 "0 " + document + " -> 0"}));
    // The log holds what was approved and what the client was told.
    std::string approved = result;
    approved.erase(approved.find(R"(,"status":"canceled")"));
    approved.replace(approved.find(R"(,"transaction_data")"), 0,
                     R"(,"status":"approved","message":"Transa\u00E7\u00E3o TEF )"
                     R"(conclu\u00EDda com sucesso.")");
    approved += "}";
    EXPECT_EQ(LogCount(approved), 1u) << approved;
    EXPECT_EQ(LogCount(result), 1u);
}

TEST_F(Transactions, ACancellationStillStandingAtTheApprovalWins) {
    // Given up at a field, confirmed at the question, and no wait after it before the approval.
    app_.PutFile("scenario.json",
                 R"({"script": [{"command": 30, "field": 600, "min": 0, "max": 11, "text": "CPF"},
                                {"status": 0, "record": "payment"}]})");
    DialogueClient client = Connect();
    const std::string uuid = Open(client);
    client
        .On("collect", R"({"route":"/transaction","type":"collect","typed":false,)"
                       R"("back_menu":false})")
        .On("question", QuestionAnswer("Sim"));
    const Lines messages = client.Run(Request(uuid, "transaction",
                                              R"("operation":2,)"
                                              R"("payer_name":"Ana",)"
                                              R"("transaction_value":20)"));
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(MessageType(messages[0]), "collect");
    EXPECT_EQ(MessageType(messages[1]), "question");
    EXPECT_EQ(messages[2], R"({"type":"result","status":"unauthorized","message":")"
                           R"(Transa\u00E7\u00E3o TEF n\u00E3o realizada."})");
    EXPECT_EQ(Field(client.ReadUntil().back(), "status"), "canceled");
    // Approved by the library, and undone.
    EXPECT_EQ(Finished(), Lines{"0 " + LastDocument() + " -> 0"});
}

TEST_F(Transactions, ASecondTransactionWhileOneRunsGetsNoReplyAndChangesNothing) {
    DialogueClient first = Connect();
    const std::string uuid = Open(first);
    // The first payment waits at its menu.
    first.socket().SendText(Request(uuid, "transaction",
                                    R"("operation":0,"payer_name":"Ana",)"
                                    R"("sale_id":11,"transaction_value":30)"));
    EXPECT_EQ(MessageType(first.ReadUntil({"menu"}).back()), "menu");

    DialogueClient second = Connect();
    const std::string other = Open(second);
    second.socket().SendText(Request(other, "transaction",
                                     R"("operation":2,"payer_name":"Bia",)"
                                     R"("sale_id":22,"transaction_value":99)"));
    // Nor does a PIN-pad check: its next reply is the answer to what it sends next.
    second.socket().SendText(R"({"route":"/pinpad/status","type":"status","session_uuid":")" +
                             other + R"("})");
    EXPECT_EQ(MessageType(second
                              .Run(R"({"route":"/version","type":"version",)"
                                   R"("category":"service_exe"})",
                                   {"version", "result", "error"})
                              .back()),
              "version");

    const Lines messages = first.Run(MenuAnswer("2:Debito"));
    const std::string entry = FirstEntry(messages.back());
    EXPECT_TRUE(entry.starts_with(R"({"sale_id":11,"operation":"debit",)")) << entry;
    EXPECT_EQ(Field(entry, "payer_name"), "Ana");
    EXPECT_EQ(Field(entry, "transaction_value"), "30");
    EXPECT_EQ(Journal("IniciaFuncaoSiTefInterativo").size(), 1u);
}

// A credit payment with every kind of prompt (menu, field, question, wait), where the amount's
// cents pick a step at which the library fails with a status of its own. The menu reaches the
// client when the payment leaves the choice of card to the library (operation 0).
constexpr const char* kFaultScenario = R"({
 "vars": {"network": "REDE TESTE", "card": "4000123456789010"},
 "functions": {"0": "credit", "3": "credit"},
 "flows": {
  "credit": [
   {"if": "cents=61", "status": -5},
   {"command": 21, "options": [{"code": "1", "text": "Magnetico/Chip"},
                               {"code": "2", "text": "Digitado"}]},
   {"if": "cents=62", "status": -43},
   {"command": 30, "field": 512, "min": 4, "max": 19, "format": "digits",
    "text": "Forneca o numero do cartao"},
   {"if": "cents=63", "status": -6},
   {"command": 20, "text": "Confirma a compra?"},
   {"if": "cents=64", "status": -2},
   {"if": "cents=66", "goto": "approve"},
   {"command": 3, "text": "Aguardando o autorizador..."},
   {"if": "cents=52", "goto": "@endless_wait"},
   {"command": 23, "times": 1},
   {"if": "cents=65", "status": 5},
   {"label": "approve", "command": 0, "field": 100, "text": "0200"},
   {"command": 0, "field": 105, "text": "20251126114841"},
   {"command": 0, "field": 133, "text": "${nsu}"},
   {"command": 0, "field": 134, "text": "${nsu_host}"},
   {"command": 0, "field": 135, "text": "${auth}"},
   {"command": 0, "field": 156, "text": "${network}"},
   {"command": 0, "field": 121, "text": "VIA DO CLIENTE\nVALOR: R$ ${amount_br}"},
   {"status": 0, "record": "payment"}],
  "endless_wait": [{"command": 23}]
 }
})";

// The client goes away at each prompt of a credit payment. Every time the service undoes the
// library's open function (or, past the approval, has confirmed it), is free again and the
// next client's payment goes through.
TEST_F(Transactions, AClientThatLeavesAtAnyPromptEndsItsPaymentAndTheNextClientPays) {
    app_.PutFile("scenario.json", kFaultScenario);
    // The prompts of the payment, each with its answer, in order.
    const std::pair<const char*, std::string> prompts[] = {
        {"menu", MenuAnswer("2:Digitado")},
        {"collect", qvtest::FieldAnswer(true, "4000123456789010")},
        {"question", QuestionAnswer("Sim")},
    };
    struct Case {
        std::string stage;
        std::string amount;
        size_t answered;       // prompts answered before leaving
        const char* leave_at;  // the message read last; null: gone right after the last answer
        std::string end;       // how the library's function ended
    } cases[] = {
        {"menu", "30", 0, "menu", "undone"},
        {"collect", "30", 1, "collect", "undone"},
        // An unanswered question is a "no", which ends this function in the library.
        {"question", "30", 2, "question", "ended -2"},
        {"wait", "10.52", 3, "can_cancel", "undone"},
        // The library approves at once: the payment is confirmed and its result written to a
        // connection that is closing.
        {"result", "10.66", 3, nullptr, "confirmed"},
    };
    const std::string health = R"({"route":"/health","type":"health"})";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stage);
        const size_t started = Journal("IniciaFuncaoSiTefInterativo").size();
        {
            DialogueClient client = Connect();
            const std::string uuid = Open(client);
            client.socket().SendText(Request(uuid, "transaction",
                                             R"("operation":0,"payer_name":"Ana",)"
                                             R"("transaction_value":)" +
                                                 c.amount));
            for (size_t i = 0; i < c.answered; ++i) {
                client.ReadUntil({prompts[i].first});
                client.socket().SendText(prompts[i].second);
            }
            if (c.leave_at) client.ReadUntil({c.leave_at});
        }
        ASSERT_TRUE(qvtest::WaitUntil([&] { return LastFunctionEnd() != "open"; }));
        EXPECT_EQ(Journal("IniciaFuncaoSiTefInterativo").size(), started + 1);
        EXPECT_EQ(LastFunctionEnd(), c.end);
        // The service is free again, and the next client pays.
        DialogueClient next = Connect();
        EXPECT_EQ(Field(next.Run(health, {"health"}).back(), "operation_running"), "false");
        const std::string uuid = Open(next);
        for (const auto& [type, answer] : prompts) next.On(type, answer);
        const Lines paid = next.Run(Request(uuid, "transaction",
                                            R"("operation":0,"payer_name":"Bia",)"
                                            R"("transaction_value":15)"));
        EXPECT_EQ(Field(paid.back(), "status"), "approved") << paid.back();
        EXPECT_EQ(LastFunctionEnd(), "confirmed");
    }
}

// The library fails at each step of a credit payment: the client is shown the reason, gets a
// result that is not an approval, and the next payment on the same connection goes through.
TEST_F(Transactions, ALibraryFailingAtAnyStepEndsThePaymentAndTheNextOnePays) {
    app_.PutFile("scenario.json", kFaultScenario);
    struct Case {
        std::string stage;
        std::string operation, amount;
        std::string shown;  // the confirmation's message as JSON text
    } cases[] = {
        {"start (no such function)", "2", "30", R"(Fornecida uma modalidade inv\u00E1lida)"},
        {"before the menu", "3", "10.61",
         R"(N\u00E3o foi possivel realizar a conex\u00E3o com o servidor SiTef\r\n)"
         R"(Por favor tente mais tarde...)"},
        {"after the menu", "3", "10.62",
         R"(Operadora do cart\u00E3o de cr\u00E9dito off-line (-43))"},
        {"after the field", "3", "10.63", R"(Opera\u00E7\u00E3o cancelada pelo usu\u00E1rio)"},
        {"after the question", "3", "10.64", R"(Opera\u00E7\u00E3o cancelada pelo operador)"},
        {"after the wait", "3", "10.65", R"(Negada pelo autorizador (5))"},
    };
    DialogueClient client = Connect();
    const std::string uuid = Open(client);
    const auto pay = [&](const std::string& operation, const std::string& amount) {
        client.On("menu", MenuAnswer("2:Digitado"))
            .On("collect", qvtest::FieldAnswer(true, "4000123456789010"))
            .On("question", QuestionAnswer("Sim"))
            .On("confirmation", kAcknowledge);
        return client.Run(Request(uuid, "transaction",
                                  R"("operation":)" + operation +
                                      R"(,"payer_name":"Ana","transaction_value":)" + amount));
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stage);
        const size_t finished_before = Finished().size();
        const Lines failed = pay(c.operation, c.amount);
        ASSERT_GE(failed.size(), 2u);
        EXPECT_EQ(failed[failed.size() - 2], R"({"type":"confirmation","message":")" + c.shown +
                                                 R"(","options":[],"can_cancel":false})");
        EXPECT_EQ(Field(failed.back(), "type"), "result");
        EXPECT_NE(Field(failed.back(), "status"), "approved") << failed.back();
        // The library ended the function itself: nothing to confirm or undo.
        EXPECT_EQ(Finished().size(), finished_before);
        const Lines paid = pay("3", "15");
        EXPECT_EQ(Field(paid.back(), "status"), "approved") << paid.back();
        EXPECT_EQ(Finished().back(), "1 " + LastDocument() + " -> 0");
    }
}

TEST_F(Transactions, WithoutAnInstalmentCountCreditIsAtSight) {
    DialogueClient client = Connect();
    const std::string uuid = Open(client);
    const Lines messages = client.Run(Request(uuid, "transaction",
                                              R"("operation":3,)"
                                              R"("payer_name":"Ana",)"
                                              R"("transaction_value":40)"));
    EXPECT_EQ(Field(FirstEntry(messages.back()), "payment_method_code"), "0200");
    const Lines answers = qvtest::JournalAnswers(app_ / "journal.log");
    ASSERT_GE(answers.size(), 4u);
    // The chip menu, then "A Vista" at the plan menu, then the card.
    EXPECT_EQ(Lines(answers.begin(), answers.begin() + 4), (Lines{"0:", "0:1", "0:1", "0:"}));
}

TEST_F(Transactions, RequestsThatAreRefused) {
    DialogueClient client = Connect();
    const std::string uuid = Open(client);
    struct Case {
        std::string type, members;
        std::string reply;  // the error's JSON text; empty: no reply
    } cases[] = {
        {"payment", R"("operation":3)", "O campo type diferente de transaction"},
        {"transaction", R"("payer_name":"Ana")", "Campo operation nao encontrado."},
        {"transaction", R"("operation":"3a","payer_name":"Ana")",
         R"('3a' n\u00E3o \u00E9 um n\u00FAmero inteiro v\u00E1lido.)"},
        {"transaction", R"("operation":3)", "Campo payer_name nao encontrado."},
        {"transaction", R"("operation":3,"payer_name":"A","transaction_value":"1.000,50")",
         R"('1.000,50' n\u00E3o \u00E9 um valor de ponto flutuante v\u00E1lido.)"},
        {"transaction", R"("operation":3,"payer_name":"A","number_of_installments":"x")",
         R"('x' n\u00E3o \u00E9 um n\u00FAmero inteiro v\u00E1lido.)"},
        {"transaction", R"("operation":3,"payer_name":"A","transaction_value":-5)",
         R"(Valor inv\u00E1lido)"},
        {"cancellation", R"("operation":200,"transaction_date":"2025-11-26")",
         "Campo cancellation_nsu nao encontrado."},
        {"cancellation", R"("operation":200,"cancellation_nsu":"  ","transaction_date":"x")",
         R"(O campo \"cancellation_nsu\" n\u00E3o foi preenchido.)"},
        {"cancellation", R"("operation":200,"cancellation_nsu":"1","transaction_date":" ")",
         R"(O campo \"transaction_date\" n\u00E3o foi preenchido.)"},
        {"cancellation",
         R"("operation":200,"cancellation_nsu":"1","transaction_date":"2025-11-26 15:48")",
         R"(O campo \"transaction_date\" n\u00E3o foi preenchido corretamente.)"},
        {"cancellation",
         R"("operation":200,"cancellation_nsu":"1","transaction_date":"26/11/2025")",
         R"(O campo \"transaction_date\" n\u00E3o foi preenchido corretamente.)"},
        {"reprint", R"("payer_name":"Ana")", "Campo operation nao encontrado."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(client.Run(Request(uuid, c.type, c.members)), Lines{Error(c.reply)}) << c.members;
    }
    EXPECT_TRUE(Journal("IniciaFuncaoSiTefInterativo").empty());

    // An acknowledgement no prompt waits for, and a cancellation nothing can take, get no
    // reply; a missing session is refused unless it is an acknowledgement.
    client.socket().SendText(kAcknowledge);
    client.socket().SendText(R"({"route":"/transaction/cancel","type":"cancellation",)"
                             R"("session_uuid":")" +
                             uuid + R"("})");
    EXPECT_EQ(client.Run(R"({"route":"/transaction","type":"transaction","operation":3})"),
              Lines{Error("Campo session_uuid nao encontrado.")});
    EXPECT_EQ(LogCount("Não pode cancelar"), 1u);
}

TEST_F(Transactions, PinPadStatusFollowsTheLibrarysAnswer) {
    DialogueClient client = Connect();
    struct Case {
        int present;
        std::string reply;
    } cases[] = {
        {1, R"({"type":"status","status":"connected","message":"PinPad conectado"})"},
        {0, R"({"type":"status","status":"disconnected","message":"Nenhum PinPad conectado"})"},
        {-1, R"({"type":"status","status":"error","message":"Erro na dll ou arquivo de )"
             R"(configura\u00E7\u00E3o do PinPad"})"},
        {2, R"({"type":"status","status":"","message":""})"},
    };
    int store = 10;
    for (const Case& c : cases) {
        app_.PutFile("scenario.json", R"({"pinpad_present": )" + std::to_string(c.present) +
                                          R"(, "script": [{"status": 0}]})");
        // Another store code configures the library anew, which reads the scenario again.
        const std::string uuid =
            Open(client, Claims().Set("store_code", "\"000000" + std::to_string(++store) + "\""));
        const std::string request =
            R"({"route":"/pinpad/status","type":"status","session_uuid":")" + uuid + R"("})";
        EXPECT_EQ(client.Run(request, {"status", "error"}), Lines{c.reply}) << c.present;
    }
    EXPECT_EQ(Journal("VerificaPresencaPinPad").size(), 4u);

    const std::string uuid = Open(client);
    EXPECT_EQ(
        client.Run(R"({"route":"/pinpad/status","type":"pinpad","session_uuid":")" + uuid + R"("})",
                   {"status", "error"}),
        Lines{Error("Campo type diferente de pinpad.")});
    EXPECT_EQ(client.Run(R"({"route":"/pinpad/status","session_uuid":")" + uuid + R"("})",
                         {"status", "error"}),
              Lines{Error("Campo type nao encontrado.")});
}

}  // namespace
