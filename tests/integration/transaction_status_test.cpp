// Results that survive a lost reply, over TLS with the real service and the simulated payment
// library: a payment whose client is gone before its result arrives, asked for again by status
// and by repeating the request; the service killed at each point of an approval (and during the
// dialogue) and settled after the restart; record files it cannot use; retention; outcomes
// other than approvals; the request_id's refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>

#include "platform/clock.h"
#include "requests/json_envelope.h"
#include "results/result_store.h"
#include "session_support.h"
#include "support/app_folder.h"
#include "support/dialogue_answers.h"
#include "support/dialogue_client.h"
#include "support/sim_journal.h"
#include "support/simulated_library.h"
#include "support/sqlite_file.h"

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using qvtest::DialogueClient;
using qvtest::Field;
using qvtest::MessageType;

// A debit payment behind one menu the client answers. After the answer the library approves
// without another word to the client, so a client that leaves right after answering is gone
// when the result is sent. Function 3 is declined after the same menu.
constexpr const char* kScenario = R"({
 "functions": {"2": "debit", "3": "declined"},
 "flows": {
  "debit": [
   {"command": 21, "options": [{"code": "1", "text": "Conta corrente"},
                               {"code": "2", "text": "Poupanca"}]},
   {"command": 0, "field": 100, "text": "0100"},
   {"command": 0, "field": 102, "text": "Débito"},
   {"command": 0, "field": 105, "text": "20251126114841"},
   {"command": 0, "field": 133, "text": "${nsu}"},
   {"command": 0, "field": 134, "text": "${nsu_host}"},
   {"command": 0, "field": 135, "text": "${auth}"},
   {"command": 0, "field": 156, "text": "REDE TESTE"},
   {"command": 0, "field": 2021, "text": "400012******9010"},
   {"command": 0, "field": 121, "text": "VIA DO CLIENTE\nVALOR: R$ ${amount_br}"},
   {"command": 0, "field": 122, "text": "VIA DO ESTABELECIMENTO\nVALOR: R$ ${amount_br}"},
   {"status": 0, "record": "payment"}],
  "declined": [
   {"command": 21, "options": [{"code": "1", "text": "Conta corrente"}]},
   {"status": 5}]
 }
})";

constexpr const char* kMenuChoice = "1:Conta corrente";
constexpr const char* kReceipt =
    R"("receipt":[{"copy_number":1,"data":["VIA DO CLIENTE","VALOR: R$ 25,50"]},)"
    R"({"copy_number":2,"data":["VIA DO ESTABELECIMENTO","VALOR: R$ 25,50"]}])";
constexpr const char* kUnauthorized = R"({"type":"result","status":"unauthorized","message":")"
                                      R"(Transa\u00E7\u00E3o TEF n\u00E3o realizada."})";
constexpr const char* kNotConfirmed = R"(,"status":"canceled","message":"Ocorreu um erro durante )"
                                      R"(o processo, a transa\u00E7\u00E3o TEF n\u00E3o ser)"
                                      R"(\u00E1 confirmada."})";

std::string StatusReply(const std::string& request_id, const std::string& status) {
    return R"({"type":"status","request_id":")" + request_id + R"(","status":")" + status + R"("})";
}

std::string Error(const std::string& text) { return requests::ErrorReply(text); }

int64_t UnixSecondsNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               platform::SystemNow().time_since_epoch())
        .count();
}

class TransactionStatus : public ::testing::Test {
protected:
    TransactionStatus() {
        qvtest::InstallSimulatedLibrary(app_, kScenario);
        // A forgotten answer fails the test in seconds instead of the product's two minutes.
        app_.SetEnv("QV_ANSWER_TIMEOUT_MS", "8000");
    }

    std::string DatabasePath() const { return app_ / "Resultados/resultados.db"; }
    DialogueClient Connect() { return DialogueClient(app_.Client()); }

    // A debit of 25,50 for sale 4242 with `members` (JSON text) at the end.
    static std::string Payment(const std::string& uuid, const std::string& members) {
        return qvtest::TransactionRequest(
            uuid, "transaction",
            R"("operation":2,"payer_name":"Ana","sale_id":4242,"transaction_value":"25,50",)" +
                members);
    }
    static std::string PaymentWithId(const std::string& uuid, const std::string& request_id) {
        return Payment(uuid, R"("request_id":")" + request_id + R"(")");
    }
    static std::string Status(const std::string& uuid, const std::string& members) {
        return R"({"route":"/transaction/status","type":"status","session_uuid":")" + uuid +
               R"(",)" + members + "}";
    }
    static std::string StatusOf(const std::string& uuid, const std::string& request_id) {
        return Status(uuid, R"("request_id":")" + request_id + R"(")");
    }

    // What a till that comes back does: a new connection, a new session, and the status of
    // `request_id`, asked again (for a bounded time) while it is in progress.
    std::string AskStatus(const std::string& request_id) {
        DialogueClient client = Connect();
        const std::string uuid = qvtest::OpenSession(client);
        std::string reply;
        qvtest::WaitUntil([&] {
            reply = client.Run(StatusOf(uuid, request_id), {"status", "result", "error"}).back();
            return Field(reply, "status") != "in_progress";
        });
        return reply;
    }

    // Pays on `client`, answering the menu; every message read.
    static Lines Pay(DialogueClient& client, const std::string& request) {
        client.On("menu", qvtest::MenuAnswer(kMenuChoice));
        return client.Run(request);
    }

    Lines Journal(const std::string& exportName) const {
        return qvtest::JournalCalls(app_ / "journal.log", exportName);
    }
    size_t Started() const { return Journal("IniciaFuncaoSiTefInterativo").size(); }
    std::string LastDocument() const {
        return qvtest::JournalValue(Journal("IniciaFuncaoSiTefInterativo").back(), "cupomFiscal");
    }
    Lines Finishes() const { return qvtest::JournalFinishes(app_ / "journal.log"); }
    bool Logged(const std::string& text) const {
        const Lines log = app_.LogTexts();
        return std::find(log.begin(), log.end(), text) != log.end();
    }

    qvtest::AppFolder app_;
};

TEST_F(TransactionStatus, AResultLostWithItsClientIsAnsweredLaterAndNeverChargedTwice) {
    app_.StartAndWaitForPort();
    const std::string id = "loja7-pdv3-venda4242-1";
    {
        DialogueClient till = Connect();
        const std::string uuid = qvtest::OpenSession(till);
        till.socket().SendText(PaymentWithId(uuid, id));
        ASSERT_EQ(MessageType(till.ReadUntil({"menu"}).back()), "menu");

        // Asked from another connection while it runs: in progress, and not started again.
        DialogueClient other = Connect();
        const std::string other_uuid = qvtest::OpenSession(other);
        EXPECT_EQ(other.Run(StatusOf(other_uuid, id), {"status", "result", "error"}),
                  Lines{StatusReply(id, "in_progress")});
        EXPECT_EQ(other.Run(PaymentWithId(other_uuid, id)),
                  Lines{Error("A transação com este request_id ainda está em andamento; "
                              "consulte o resultado em /transaction/status.")});

        // The last answer; the till is gone before the library approves.
        till.socket().SendText(qvtest::MenuAnswer(kMenuChoice));
    }

    // The result was kept before it was sent: the till that comes back gets it, receipts and
    // all, byte for byte as the service logged the approval.
    const std::string result = AskStatus(id);
    EXPECT_TRUE(result.starts_with(R"({"type":"result","status":"approved",)")) << result;
    EXPECT_NE(result.find(kReceipt), std::string::npos) << result;
    EXPECT_TRUE(Logged(result)) << result;

    // The same request again is answered with it: one payment started, confirmed once.
    DialogueClient again = Connect();
    const std::string uuid = qvtest::OpenSession(again);
    EXPECT_EQ(again.Run(PaymentWithId(uuid, id)), Lines{result});
    EXPECT_EQ(Started(), 1u);
    EXPECT_EQ(Finishes(), Lines{"1 " + LastDocument() + " -> 0"});

    // An identifier the service never saw.
    EXPECT_EQ(again.Run(StatusOf(uuid, "loja7-pdv3-venda4242-2"), {"status", "result", "error"}),
              Lines{StatusReply("loja7-pdv3-venda4242-2", "unknown")});
    EXPECT_EQ(app_.Stop(), 0) << app_.Output();
}

TEST_F(TransactionStatus, ARequestIdChangesNothingTheClientOrTheLibrarySees) {
    // The same payment in two runs of the service (the simulated authoriser numbers its
    // payments from the start each time): without a request_id, then with one.
    std::vector<Lines> messages, answers;
    for (const std::string members : {R"("number_of_installments":0)", R"("request_id":"A-1")"}) {
        SCOPED_TRACE(members);
        fs::remove(app_ / "journal.log");
        app_.StartAndWaitForPort();
        DialogueClient client = Connect();
        messages.push_back(Pay(client, Payment(qvtest::OpenSession(client), members)));
        answers.push_back(qvtest::JournalAnswers(app_ / "journal.log"));
        EXPECT_EQ(Finishes(), Lines{"1 " + LastDocument() + " -> 0"});
        EXPECT_EQ(app_.Stop(), 0) << app_.Output();
    }
    EXPECT_EQ(Field(messages[0].back(), "status"), "approved");
    EXPECT_EQ(messages[1], messages[0]);
    EXPECT_EQ(answers[1], answers[0]);
}

TEST_F(TransactionStatus, EveryOutcomeIsKeptAsTheClientGotIt) {
    app_.StartAndWaitForPort();
    DialogueClient client = Connect();
    const std::string uuid = qvtest::OpenSession(client);

    const Lines approved = Pay(client, PaymentWithId(uuid, "approved"));
    EXPECT_EQ(Field(approved.back(), "status"), "approved");
    EXPECT_EQ(AskStatus("approved"), approved.back());

    // Declined: the reason, then the result, which is what is kept.
    client.On("confirmation", qvtest::kAcknowledge);
    const Lines declined =
        Pay(client, qvtest::TransactionRequest(uuid, "transaction",
                                               R"("operation":3,"payer_name":"Ana",)"
                                               R"("transaction_value":9,"request_id":"declined")"));
    EXPECT_EQ(Field(declined.back(), "status"), "canceled");
    EXPECT_EQ(AskStatus("declined"), declined.back());

    // Refused before the library was asked: the client hears the reason; the record says that
    // nothing was charged.
    EXPECT_EQ(client.Run(qvtest::TransactionRequest(
                  uuid, "transaction", R"("operation":2,"payer_name":"Ana","request_id":"zero")")),
              Lines{Error("Valor inválido")});
    EXPECT_EQ(AskStatus("zero"), kUnauthorized);
    EXPECT_EQ(Started(), 2u);

    EXPECT_EQ(app_.Stop(), 0) << app_.Output();
}

TEST_F(TransactionStatus, AServiceKilledDuringAPaymentSettlesItAfterTheRestart) {
    struct Case {
        const char* point;  // QV_CRASH_AT; empty: killed by the test at the menu
        const char* status;
    } cases[] = {
        {"", "unauthorized"},         {"approved", "unauthorized"}, {"confirming", "canceled"},
        {"confirmed", "approved"},    {"recorded", "approved"},
    };
    // The library remembers what it holds pending across the restart, as the real one does.
    app_.SetEnv("QV_CLISITEF_STATE", app_ / "clisitef-sim.state");
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.point);
        const std::string id = "crash-" + std::to_string(++n);
        app_.PutFile("scenario.json", kScenario);
        app_.SetEnv("QV_CRASH_AT", c.point);
        app_.StartAndWaitForPort();
        {
            DialogueClient till = Connect();
            const std::string uuid = qvtest::OpenSession(till);
            till.socket().SendText(PaymentWithId(uuid, id));
            ASSERT_EQ(MessageType(till.ReadUntil({"menu"}).back()), "menu");
            if (*c.point == '\0') {
                app_.Signal(SIGKILL);
            } else {
                till.socket().SendText(qvtest::MenuAnswer(kMenuChoice));
                EXPECT_THROW(till.ReadUntil(), std::exception);  // the service is gone
            }
        }
        ASSERT_EQ(app_.Wait(std::chrono::seconds(10)), 128 + SIGKILL);
        const std::string document = LastDocument();
        const std::string started_on =
            qvtest::JournalValue(Journal("IniciaFuncaoSiTefInterativo").back(), "dataFiscal");
        const size_t finishes = Finishes().size();

        app_.SetEnv("QV_CRASH_AT", "");
        app_.StartAndWaitForPort();
        const std::string result = AskStatus(id);
        EXPECT_EQ(MessageType(result), "result") << result;
        EXPECT_EQ(Field(result, "status"), c.status) << result;
        const Lines all = Finishes();
        const Lines settled(all.begin() + static_cast<std::ptrdiff_t>(finishes), all.end());

        if (std::string(c.status) == "unauthorized") {
            EXPECT_EQ(result, kUnauthorized);
            EXPECT_TRUE(Logged("Transação " + id +
                               " interrompida: resultado \"unauthorized\" "
                               "registrado."));
        } else if (std::string(c.status) == "canceled") {
            // Never confirmed: undone after the restart, and told as a refused confirmation.
            // The library is asked about the function, and told to undo it, by its document and
            // the date it was started with.
            EXPECT_TRUE(result.ends_with(kNotConfirmed)) << result;
            EXPECT_NE(result.find(kReceipt), std::string::npos) << result;
            const std::string asked = Journal("ObtemQuantidadeTransacoesPendentes").back();
            EXPECT_EQ(qvtest::JournalValue(asked, "cupomFiscal"), document);
            EXPECT_EQ(qvtest::JournalValue(asked, "data"), started_on);
            EXPECT_EQ(settled, Lines{"0 " + document + " -> 0"});
            EXPECT_EQ(
                qvtest::JournalValue(Journal("FinalizaFuncaoSiTefInterativo").back(), "dataFiscal"),
                started_on);
        } else {
            EXPECT_NE(result.find(kReceipt), std::string::npos) << result;
            EXPECT_TRUE(Logged(result)) << result;
            EXPECT_EQ(Finishes().back(), "1 " + document + " -> 0");
            EXPECT_TRUE(settled.empty());
        }
        EXPECT_EQ(app_.Stop(), 0) << app_.Output();
    }
}

TEST_F(TransactionStatus, ARecordLeftConfirmingIsSettledBeforeTheNextFunctionStarts) {
    app_.SetEnv("QV_CLISITEF_STATE", app_ / "clisitef-sim.state");
    app_.SetEnv("QV_CLOCK_FILE", app_ / "clock.txt");
    app_.PutFile("clock.txt", "2025-11-26 10:00:00");
    app_.SetEnv("QV_CRASH_AT", "confirming");
    app_.StartAndWaitForPort();
    {
        DialogueClient till = Connect();
        till.socket().SendText(PaymentWithId(qvtest::OpenSession(till), "left-confirming"));
        ASSERT_EQ(MessageType(till.ReadUntil({"menu"}).back()), "menu");
        till.socket().SendText(qvtest::MenuAnswer(kMenuChoice));
        EXPECT_THROW(till.ReadUntil(), std::exception);  // the service is gone
    }
    ASSERT_EQ(app_.Wait(std::chrono::seconds(10)), 128 + SIGKILL);
    ASSERT_EQ(LastDocument(), "36000");

    // After the restart the library cannot say at first whether it still holds the function,
    // so the session start leaves the record as it is.
    std::string scenario = kScenario;
    scenario.replace(1, 0, R"("pending_answers": [-1],)");
    app_.PutFile("scenario.json", scenario);
    app_.PutFile("clock.txt", "2025-11-26 11:00:00");
    app_.SetEnv("QV_CRASH_AT", "");
    app_.StartAndWaitForPort();
    DialogueClient till = Connect();
    const std::string uuid = qvtest::OpenSession(till);
    EXPECT_TRUE(Logged("Transação left-confirming interrompida sem resultado: a consulta de "
                       "pendências do TEF retornou -1."));

    // The next sale starts a function, at which the library would undo the old one by itself;
    // the record is settled first, while the library still says it never confirmed it.
    EXPECT_EQ(Field(Pay(till, Payment(uuid, R"("number_of_installments":0)")).back(), "status"),
              "approved");
    EXPECT_EQ(LastDocument(), "39600");
    EXPECT_EQ(Finishes(), (Lines{"0 36000 -> 0", "1 39600 -> 0"}));
    const Lines calls = qvtest::JournalCalls(app_ / "journal.log");
    const auto undone = std::find_if(calls.begin(), calls.end(), [](const std::string& line) {
        return line.starts_with("FinalizaFuncaoSiTefInterativo confirma=0");
    });
    const auto started = std::find_if(calls.begin(), calls.end(), [](const std::string& line) {
        return line.starts_with("IniciaFuncaoSiTefInterativo") &&
               qvtest::JournalValue(line, "cupomFiscal") == "39600";
    });
    EXPECT_LT(undone, started);
    const std::string result = AskStatus("left-confirming");
    EXPECT_TRUE(result.ends_with(kNotConfirmed)) << result;
    EXPECT_NE(result.find(kReceipt), std::string::npos) << result;
    EXPECT_EQ(app_.Stop(), 0) << app_.Output();
}

TEST_F(TransactionStatus, AConfirmationLeftOverMidnightIsUndoneUnderTheMomentItStarted) {
    struct Case {
        const char* what;
        // Turns the database into one of an earlier version (no time kept), or leaves it.
        bool earlier_version;
        const char* undone_at;  // the time the library is given
    } cases[] = {
        {"recorded with its time", false, "235950"},
        {"recorded by an earlier version, without it: the time of the settling", true, "000010"},
    };
    app_.SetEnv("QV_CLISITEF_STATE", app_ / "clisitef-sim.state");
    app_.SetEnv("QV_CLOCK_FILE", app_ / "clock.txt");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(app_ / "Resultados");
        // A payment that ends approved, then one whose service is killed as it confirms.
        app_.PutFile("clock.txt", "2025-11-26 23:59:40");
        app_.StartAndWaitForPort();
        {
            DialogueClient till = Connect();
            const std::string uuid = qvtest::OpenSession(till);
            ASSERT_EQ(Field(Pay(till, PaymentWithId(uuid, "before")).back(), "status"), "approved");
        }
        ASSERT_EQ(app_.Stop(), 0) << app_.Output();
        app_.PutFile("clock.txt", "2025-11-26 23:59:50");
        app_.SetEnv("QV_CRASH_AT", "confirming");
        app_.StartAndWaitForPort();
        {
            DialogueClient till = Connect();
            till.socket().SendText(PaymentWithId(qvtest::OpenSession(till), "left"));
            ASSERT_EQ(MessageType(till.ReadUntil({"menu"}).back()), "menu");
            till.socket().SendText(qvtest::MenuAnswer(kMenuChoice));
            EXPECT_THROW(till.ReadUntil(), std::exception);  // the service is gone
        }
        ASSERT_EQ(app_.Wait(std::chrono::seconds(10)), 128 + SIGKILL);
        const std::string started = Journal("IniciaFuncaoSiTefInterativo").back();
        ASSERT_EQ(qvtest::JournalValue(started, "cupomFiscal"), "86390");
        ASSERT_EQ(qvtest::JournalValue(started, "dataFiscal"), "20251126");
        const char* kBefore =
            "SELECT state, document, fiscal_date, result, started_at, updated_at FROM "
            "transaction_result WHERE request_id = 'before'";
        const Lines before = qvtest::SqliteRows(DatabasePath(), kBefore);
        ASSERT_EQ(before.size(), 1u);
        if (c.earlier_version) {
            qvtest::SqliteRows(DatabasePath(),
                               "ALTER TABLE transaction_result DROP COLUMN fiscal_time; "
                               "PRAGMA user_version = 0");
        }

        // Back after midnight: the library still holds the function, so it never confirmed;
        // it is undone under the day it was started (and its time, when the record kept it).
        app_.PutFile("clock.txt", "2025-11-27 00:00:10");
        app_.SetEnv("QV_CRASH_AT", "");
        app_.StartAndWaitForPort();
        const std::string result = AskStatus("left");
        EXPECT_TRUE(result.ends_with(kNotConfirmed)) << result;
        const std::string undone = Journal("FinalizaFuncaoSiTefInterativo").back();
        EXPECT_EQ(qvtest::JournalValue(undone, "confirma"), "0");
        EXPECT_EQ(qvtest::JournalValue(undone, "cupomFiscal"), "86390");
        EXPECT_EQ(qvtest::JournalValue(undone, "dataFiscal"), "20251126");
        EXPECT_EQ(qvtest::JournalValue(undone, "horario"), c.undone_at);
        EXPECT_TRUE(undone.ends_with(" -> 0")) << undone;
        // Every record kept through the upgrade: the earlier payment's outcome as it was.
        EXPECT_EQ(Field(AskStatus("before"), "status"), "approved");
        EXPECT_EQ(qvtest::SqliteRows(DatabasePath(), kBefore), before);
        EXPECT_EQ(qvtest::SqliteRows(DatabasePath(), "PRAGMA user_version"), Lines{"1"});
        EXPECT_EQ(app_.Stop(), 0) << app_.Output();
    }
}

TEST_F(TransactionStatus, ARecordItCannotUseIsLoggedAndOnlyRequestsWithAnIdAreRefused) {
    struct Case {
        const char* what;
        std::function<void()> spoil;
        const char* reason;
    } cases[] = {
        {"not a database",
         [&] { app_.PutFile("Resultados/resultados.db", std::string(8192, 'x')); },
         "file is not a database"},
        {"read-only",
         [&] {
             fs::create_directories(app_ / "Resultados");
             { results::TResultStore created(DatabasePath()); }
             // A header SQLite may only read (the super-user ignores file permissions).
             std::fstream(DatabasePath(), std::ios::in | std::ios::out | std::ios::binary)
                 .seekp(18)
                 .put('\x03');
             fs::permissions(DatabasePath(), fs::perms::owner_read | fs::perms::group_read);
         },
         "attempt to write a readonly database"},
        {"its folder cannot be made", [&] { app_.PutFile("Resultados", "a file"); },
         "unable to open database file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(app_ / "Resultados");
        c.spoil();
        app_.StartAndWaitForPort();
        EXPECT_TRUE(Logged("Erro ao abrir o registro de resultados " +
                           app_.ProgramPath(DatabasePath()) + ": " +
                           c.reason + ". Transações com request_id serão recusadas."))
            << app_.Log();

        DialogueClient client = Connect();
        const std::string uuid = qvtest::OpenSession(client);
        const size_t started = Started();
        EXPECT_EQ(
            client.Run(PaymentWithId(uuid, "with-id")),
            Lines{Error("Registro de resultados indisponível; a transação não foi iniciada.")});
        EXPECT_EQ(client.Run(StatusOf(uuid, "with-id"), {"status", "result", "error"}),
                  Lines{Error("Registro de resultados indisponível; não é possível consultar a "
                              "transação.")});
        EXPECT_EQ(Started(), started);
        EXPECT_EQ(
            Field(Pay(client, Payment(uuid, R"("number_of_installments":0)")).back(), "status"),
            "approved");
        EXPECT_EQ(app_.Stop(), 0) << app_.Output();
    }
}

TEST_F(TransactionStatus, OutcomesOlderThanTheRetentionGoAtStart) {
    constexpr int64_t kDay = 86400;
    struct Case {
        const char* ini;  // extra line of the configuration
        Lines kept;
    } cases[] = {
        {"", {"1-day", "10-days", "40-days-running"}},
        {"result_retention_days=7\r\n", {"1-day", "40-days-running"}},
        {"result_retention_days=0\r\n", {"1-day", "10-days", "40-days-running"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ini);
        fs::remove_all(app_ / "Resultados");
        fs::create_directories(app_ / "Resultados");
        {
            results::TResultStore store(DatabasePath());
            const int64_t now = UnixSecondsNow();
            for (auto [id, age] : {std::pair{"1-day", 1}, {"10-days", 10}, {"40-days", 40}}) {
                ASSERT_TRUE(store.Begin(id, now - age * kDay));
                ASSERT_TRUE(store.Finish(id, results::TRecordState::kRunning, kUnauthorized,
                                         now - age * kDay));
            }
            // Open records are settled, never dropped.
            ASSERT_TRUE(store.Begin("40-days-running", now - 40 * kDay));
        }
        app_.WriteIni("[sitef]\r\nserver_port=" + std::to_string(app_.port()) + "\r\n" + c.ini);
        app_.StartAndWaitForPort();
        Lines kept;
        for (const char* id : {"1-day", "10-days", "40-days", "40-days-running"}) {
            const std::string reply = AskStatus(id);
            if (reply == kUnauthorized)
                kept.push_back(id);
            else
                EXPECT_EQ(reply, StatusReply(id, "unknown"));
        }
        EXPECT_EQ(kept, c.kept);
        EXPECT_EQ(app_.Stop(), 0) << app_.Output();
    }
}

TEST_F(TransactionStatus, RequestIdsAndStatusRequestsThatAreRefused) {
    app_.StartAndWaitForPort();
    DialogueClient client = Connect();
    const std::string uuid = qvtest::OpenSession(client);
    const std::string blank = Error("O campo \"request_id\" não foi preenchido.");
    const std::string wrong = Error("O campo \"request_id\" não foi preenchido corretamente.");
    struct Case {
        std::string member;  // JSON text of "request_id"
        std::string reply;
    } cases[] = {
        {R"("")", blank},
        {R"("   ")", blank},
        {'"' + std::string(65, 'a') + '"', wrong},
        {R"("venda 1")", wrong},
        {R"("venda-\u00E7")", wrong},
        {R"("a\tb")", wrong},
        {"4242", wrong},
        {"null", wrong},
        {R"({"id":1})", wrong},
    };
    for (const Case& c : cases) {
        const std::string member = R"("request_id":)" + c.member;
        EXPECT_EQ(client.Run(Payment(uuid, member)), Lines{c.reply}) << c.member;
        EXPECT_EQ(client.Run(Status(uuid, member), {"status", "result", "error"}), Lines{c.reply})
            << c.member;
    }
    // The longest identifier, made of every kind of character allowed.
    const std::string longest = std::string(58, 'Z') + R"(!~_-./)";
    EXPECT_EQ(client.Run(StatusOf(uuid, longest), {"status", "result", "error"}),
              Lines{requests::JsonObject()
                        .Add("type", "status")
                        .Add("request_id", longest)
                        .Add("status", "unknown")
                        .ToString()});
    EXPECT_EQ(Started(), 0u);

    EXPECT_EQ(client.Run(Status(uuid, R"("id":"x")"), {"status", "error"}),
              Lines{Error("Campo request_id nao encontrado.")});
    EXPECT_EQ(client.Run(R"({"route":"/transaction/status","type":"pinpad","session_uuid":")" +
                             uuid + R"(","request_id":"x"})",
                         {"status", "error"}),
              Lines{Error("Campo type diferente de status.")});
    EXPECT_EQ(client.Run(R"({"route":"/transaction/status","type":"status","request_id":"x"})",
                         {"status", "error"}),
              Lines{Error("Campo session_uuid nao encontrado.")});
    EXPECT_EQ(app_.Stop(), 0) << app_.Output();
}

}  // namespace
