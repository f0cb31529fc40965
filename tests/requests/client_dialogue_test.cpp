// The client dialogue driven through whole library functions: the simulated library runs a
// script, the data module's real event handlers turn each command into a prompt for a scripted
// client, and the client's answers go back into the library. Each case is checked at both
// edges: what the client received and what the library was answered (the journal).
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "requests/json_writer.h"
#include "requests/tef_operation.h"
#include "support/app_folder.h"
#include "support/sim_journal.h"
#include "tef_module.h"
#include "transport/transport_errors.h"

namespace requests {
namespace {

using Lines = std::vector<std::string>;

constexpr const char* kCancelQuestion =
    R"({"type":"question","message":"Deseja realmente cancelar esta opera\u00E7\u00E3o?",)"
    R"("options":["Sim","N\u00E3o"],"can_cancel":false})";
constexpr const char* kCancelledByOperator =
    R"({"type":"confirmation","message":"Opera\u00E7\u00E3o cancelada pelo operador",)"
    R"("options":[],"can_cancel":false})";
constexpr const char* kCancellation = R"({"route":"/transaction","type":"cancellation"})";

class Dialogue : public TefModule {
protected:
    void SetEnvironment(qvtest::ScopedEnv& env) override {
        env.Set("QV_HIGHLIGHT_MS", "30");
        env.Set("QV_HIGHLIGHT_STEP_MS", "10");
    }

    // Configures the library with `steps` as its script, through a session start for a store
    // of its own (the library reads its script when it is configured anew).
    void Script(const std::string& steps) {
        UseScript(steps);
        store_.store_code = "0000000" + std::to_string(++scripts_);
        OpenSession(store_);
        seen_ = Answers().size();
    }

    // What the library was answered since the last call.
    Lines NewAnswers() {
        Lines all = Answers();
        Lines fresh(all.begin() + static_cast<std::ptrdiff_t>(seen_), all.end());
        seen_ = all.size();
        return fresh;
    }

    // Shows one message of the component within an operation of `client`; its answer.
    tef::TModalResult Show(ScriptedClient& client, tef::TKaCliSiTefOperacaoMensagem operation,
                           const std::string& text) {
        TTefOperation running(*module_, &client);
        EXPECT_TRUE(running.Acquired());
        return module_->KaCliSiTef.DoExibeMsg(operation, text);
    }

    StoreClaims store_;
    int scripts_ = 0;
    size_t seen_ = 0;
};

TEST_F(Dialogue, MenuChoices) {
    Script(R"([{"command": 4, "text": "Selecione"},)"
           R"( {"command": 21, "text": "1:Magnetico/Chip;2:Digitado;"}, {"status": 0}])");
    const std::string menu =
        R"({"type":"menu","title":"Selecione","options":["1:Magnetico\/Chip","2:Digitado"],)"
        R"("can_cancel":false,"back_menu":false})";
    const std::string cleared =
        R"({"type":"message","message":"","options":[],"can_cancel":false})";
    struct Case {
        const char* name;
        std::function<void(ScriptedClient&)> answers;
        Lines sent;
        Lines library;  // the answer to the menu and what follows
        bool approved;
    } cases[] = {
        {"option in other letter case, with spaces",
         [](ScriptedClient& c) { c.On("menu", MenuAnswer("  1:magnetico/CHIP ")); },
         {menu},
         {"0:1"},
         true},
        {"second option",
         [](ScriptedClient& c) { c.On("menu", MenuAnswer("2:DIGITADO")); },
         {menu},
         {"0:2"},
         true},
        {"no option matches: the function is abandoned, nothing asked",
         [](ScriptedClient& c) {
             c.On("menu", MenuAnswer("3:Outro")).On("confirmation", kAcknowledge);
         },
         {menu, cleared, kCancelledByOperator},
         {"-1:"},
         false},
        {"back, the cancellation withdrawn",
         [](ScriptedClient& c) {
             c.On("menu", MenuAnswer("", true)).On("question", QuestionAnswer("Não"));
         },
         {menu, kCancelQuestion, cleared},
         {"1:"},
         true},
        {"no choice, the cancellation confirmed",
         [](ScriptedClient& c) {
             c.On("menu", MenuAnswer(" ")).On("question", QuestionAnswer("Sim"));
             c.On("confirmation", kAcknowledge);
         },
         {menu, kCancelQuestion, cleared, kCancelledByOperator},
         {"-1:"},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedClient client;
        c.answers(client);
        EXPECT_EQ(RunFunction(client), c.approved);
        EXPECT_EQ(client.Sent(), c.sent);
        Lines library = NewAnswers();
        ASSERT_EQ(library.size(), 3u);
        EXPECT_EQ(Lines(library.begin() + 2, library.end()), c.library);
    }
}

TEST_F(Dialogue, FieldEntries) {
    Script(R"([{"command": 30, "field": 512, "min": 13, "max": 19,)"
           R"(  "text": "Forneca o numero do cartao"},)"
           R"( {"command": 34, "field": 146, "min": 1, "max": 12, "text": "Valor"},)"
           R"( {"command": 23, "times": 1}, {"status": 0}])");
    const std::string card =
        R"({"type":"collect","title":"Forneca o numero do cartao","minimum_size":13,)"
        R"("maximum_size":19,"field_type":512,"field_operation":"string","can_cancel":false,)"
        R"("back_menu":false,"typed":true})";
    // The wait offers cancellation ("can_cancel" true); the first approval's response state
    // withdraws the offer, and the state stays so for the later approvals.
    struct Case {
        const char* name;
        std::function<void(ScriptedClient&)> answers;
        Lines sent_types;
        Lines library;  // answers to the two fields and the wait
        bool approved;
    } cases[] = {
        {"typed",
         [](ScriptedClient& c) {
             c.On("collect", FieldAnswer(true, "4111ção")).On("collect", FieldAnswer(true, "12.5"));
         },
         {"collect", "collect", "can_cancel", "can_cancel"},
         {"0:4111ção", "0:12,50", "0:"},
         true},
        {"back: no question",
         [](ScriptedClient& c) {
             c.On("collect", FieldAnswer(false, "", true)).On("collect", FieldAnswer(true, "1,00"));
         },
         {"collect", "message", "collect", "can_cancel"},
         {"1:", "0:1,00", "0:"},
         true},
        {"given up and confirmed: asked again at the next prompt, the next wait interrupts",
         [](ScriptedClient& c) {
             c.On("collect", FieldAnswer(false, "")).On("question", QuestionAnswer("Sim"));
             c.On("collect", FieldAnswer(true, "1,00")).On("question", QuestionAnswer("Sim"));
             c.On("confirmation", kAcknowledge);
         },
         {"collect", "question", "collect", "question", "can_cancel", "message", "confirmation"},
         {"0:", "0:1,00", "-1:"},
         false},
        {"given up, then not",
         [](ScriptedClient& c) {
             c.On("collect", FieldAnswer(false, "")).On("question", QuestionAnswer("Não"));
             c.On("collect", FieldAnswer(true, "1,00"));
         },
         {"collect", "question", "collect", "can_cancel"},
         {"0:", "0:1,00", "0:"},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedClient client;
        c.answers(client);
        EXPECT_EQ(RunFunction(client), c.approved);
        EXPECT_EQ(client.SentTypes(), c.sent_types);
        EXPECT_EQ(client.Sent().front(), card);
        Lines library = NewAnswers();
        ASSERT_EQ(library.size(), 4u);
        EXPECT_EQ(Lines(library.begin() + 1, library.end()), c.library);
    }
    ScriptedClient client;
    client.On("collect", FieldAnswer(true, "4111")).On("collect", FieldAnswer(true, "2"));
    RunFunction(client);
    EXPECT_NE(client.Sent("collect").back().find(R"("field_operation":"currency")"),
              std::string::npos);
}

TEST_F(Dialogue, LibraryQuestions) {
    Script(R"([{"command": 20, "text": "Confirma?"}, {"status": 0}])");
    for (const auto& [answer, library] : {std::pair{"Sim", "0:0"}, std::pair{"Não", "0:1"}}) {
        ScriptedClient client;
        client.On("question", QuestionAnswer(answer));
        EXPECT_TRUE(RunFunction(client));
        EXPECT_EQ(client.Sent(),
                  Lines{R"({"type":"question","message":"Confirma?","options":["Sim","N\u00E3o"],)"
                        R"("can_cancel":false})"});
        EXPECT_EQ(NewAnswers(), (Lines{"0:", library}));
    }
}

// A prompt as the module writes it (the writer's escapes are checked by the exact prompts in
// the other tests).
std::string Prompt(const std::string& type, const std::string& message,
                   std::initializer_list<const char*> options) {
    JsonArray list;
    for (const char* option : options) list.Add(option);
    return JsonObject()
        .Add("type", type)
        .Add("message", message)
        .Add("options", list)
        .Add("can_cancel", false)
        .ToString();
}

TEST_F(Dialogue, MessagesOfTheComponent) {
    Script(R"([{"status": 0}])");
    const std::string yes_no = Prompt("question", "Imprimir?", {"Sim", "Não"});
    const std::string custom = Prompt("question", "Via?", {"Sim", "Não", "Reimprimir"});
    struct Case {
        tef::TKaCliSiTefOperacaoMensagem operation;
        const char* text;
        std::string answer;  // empty: none
        Lines sent;
        tef::TModalResult result;
        bool cancels = false;
    } cases[] = {
        {tef::opmOK, "Aviso", kAcknowledge, {Prompt("confirmation", "Aviso", {"Ok"})}, 0},
        {tef::opmOK,
         "Sem conexao SiTef",
         kAcknowledge,
         {Prompt("confirmation", "Sem conexao SiTef", {"Ok"})},
         0,
         true},
        {tef::opmYesNo, "Imprimir?", QuestionAnswer("Sim"), {yes_no}, 6},
        {tef::opmYesNo, "Imprimir?", QuestionAnswer("Não"), {yes_no}, 7},
        {tef::opmYesNo, "Imprimir?", QuestionAnswer("sim"), {yes_no}, 0},
        {tef::opmYesNo, "Imprimir?", kAcknowledge, {yes_no}, 0},
        {tef::opmYesNoCustom, "Via?", QuestionAnswer("Reimprimir"), {custom}, 1},
        {tef::opmExibirMsgOperador, "Aguarde", "", {Prompt("message", "Aguarde", {})}, 0},
        {tef::opmExibirMsgCliente, "Insira", "", {Prompt("message", "Insira", {})}, 0},
        {tef::opmRemoverMsgOperador, "", "", {Prompt("message", "", {})}, 0},
        {tef::opmRemoverMsgCliente, "", "", {}, 0},
        {tef::opmQRCode, "QR", "", {Prompt("message", "QR", {})}, 0},
        {tef::opmExcept, "Negada", kAcknowledge, {Prompt("confirmation", "Negada", {})}, 0, true},
        // An answer without the field its reader needs is reported to the client.
        {tef::opmYesNo,
         "Imprimir?",
         R"({"route":"/transaction","response":"Sim"})",
         {yes_no, R"({"type":"error","message":"Campo type nao encontrado."})"},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text + std::string(" ") + std::to_string(c.operation));
        ScriptedClient client;
        if (!c.answer.empty()) client.Queue(c.answer);
        EXPECT_EQ(Show(client, c.operation, c.text), c.result);
        EXPECT_EQ(client.Sent(), c.sent);
        EXPECT_EQ(module_->fCancelado, c.cancels);
    }
    EXPECT_NE(Log().find("opmExcept: Negada"), std::string::npos);
}

TEST_F(Dialogue, QrCodeAndCancellableStates) {
    Script(R"([{"command": 50, "field": 584, "text": "pix:12.50"}, {"status": 0}])");
    ScriptedClient client;
    EXPECT_TRUE(RunFunction(client));
    EXPECT_EQ(client.Sent(), Lines{R"({"type":"qrcode","data":"pix:12.50"})"});

    // The client hears of a change of the response state only when it changes whether the
    // operation can be cancelled.
    ScriptedClient states;
    {
        TTefOperation running(*module_, &states);
        for (tef::TKaCliSiTefRespEstado state :
             {tef::respAguardandoResposta, tef::respNenhum, tef::respAguardandoResposta,
              tef::respProcessando, tef::respConcluida}) {
            module_->KaCliSiTef.SetEstadoResp(state);
        }
    }
    EXPECT_EQ(states.Sent(), (Lines{R"({"type":"can_cancel","can_cancel":true})",
                                    R"({"type":"can_cancel","can_cancel":false})",
                                    R"({"type":"can_cancel","can_cancel":true})",
                                    R"({"type":"can_cancel","can_cancel":false})"}));
}

TEST_F(Dialogue, AnswerSentDuringAWaitServesTheNextPrompt) {
    Script(R"([{"command": 23, "times": 2}, {"command": 21, "text": "1:A;2:B;"},)"
           R"( {"status": 0}])");
    ScriptedClient client;
    // The client answers the menu before it is shown, while the library still waits.
    client.On("can_cancel", MenuAnswer("2:b"));
    EXPECT_TRUE(RunFunction(client));
    EXPECT_EQ(client.SentTypes(), (Lines{"can_cancel", "menu", "can_cancel"}));
    EXPECT_EQ(NewAnswers(), (Lines{"0:", "0:", "0:", "0:2"}));
}

TEST_F(Dialogue, AnAnswerOfAnotherKindIsPassedOverAndThePromptWaitsOn) {
    Script(R"([{"command": 23, "times": 1}, {"command": 21, "text": "1:A;2:B;"},)"
           R"( {"command": 30, "field": 512, "min": 1, "max": 19, "text": "Cartao"},)"
           R"( {"status": 0}])");
    qvtest::RecordingClient client;
    client.SetResponder([&client](const std::string& sent) {
        const std::string type = TypeOf(sent);
        // A notice acknowledged twice: the second tap arrives while the library waits, before
        // the menu. The menu choice is tapped twice too, and its second tap reaches the field.
        if (sent == R"({"type":"can_cancel","can_cancel":true})") client.Queue(kAcknowledge);
        if (type == "menu") {
            client.Queue(MenuAnswer("2:B"));
            client.Queue(MenuAnswer("2:B"));
        }
        if (type == "collect") client.Queue(FieldAnswer(true, "4111"));
    });
    EXPECT_TRUE(RunFunction(client));
    Lines types;
    for (const std::string& message : client.Sent()) types.push_back(TypeOf(message));
    EXPECT_EQ(types, (Lines{"can_cancel", "menu", "collect", "can_cancel"}));
    EXPECT_EQ(NewAnswers(), (Lines{"0:", "0:", "0:2", "0:4111"}));
}

TEST_F(Dialogue, CancellationDuringAWaitOnlyWhileCancellable) {
    Script(R"([{"command": 23, "times": 3}, {"status": 0}])");
    ScriptedClient cancelling;
    cancelling.On("can_cancel", kCancellation).On("confirmation", kAcknowledge);
    EXPECT_FALSE(RunFunction(cancelling));
    // Taken at the first wait: the library is told to stop.
    EXPECT_EQ(NewAnswers(), (Lines{"0:", "-1:"}));
    EXPECT_EQ(cancelling.Sent().back(), kCancelledByOperator);

    // With the card on its way out the wait is not offered for cancellation, and a request
    // that comes anyway is dropped.
    ScriptedClient late;
    late.Queue(kCancellation);
    {
        TTefOperation running(*module_, &late);
        module_->KaCliSiTef.DoExibeMsg(tef::opmDestaqueVia, "Retire o cartao da leitora");
    }
    // The highlighted copy counts down, then stays.
    const Lines shown = late.Sent();
    ASSERT_GE(shown.size(), 2u);
    const std::string plain =
        R"({"type":"message","message":"Retire o cartao da leitora","options":[],)"
        R"("can_cancel":false})";
    EXPECT_EQ(shown.back(), plain);
    // Less than a second to go at every step (the test's countdown is short).
    for (size_t i = 0; i + 1 < shown.size(); ++i) {
        EXPECT_EQ(shown[i], R"({"type":"message","message":"Retire o cartao da leitora 0",)"
                            R"("options":[],"can_cancel":false})");
    }
    EXPECT_TRUE(RunFunction(late));
    EXPECT_EQ(late.Sent().size(), shown.size());  // no cancellation offered, none confirmed
    EXPECT_FALSE(late.WaitForInput(std::chrono::milliseconds(0)));  // the request was read
    EXPECT_EQ(NewAnswers(), (Lines{"0:", "0:", "0:", "0:"}));
}

TEST_F(Dialogue, RequestsOfOtherRoutesDuringAPromptAreConsumedWithoutReply) {
    Script(R"([{"command": 21, "text": "1:A;2:B;"}, {"status": 0}])");
    ScriptedClient client;
    client.Queue(R"({"route":"/pinpad/status","type":"status","session_uuid":"X"})");
    // Not cancellable now: refused, and the prompt goes on waiting.
    client.Queue(R"({"route":"/transaction/cancel","type":"cancellation"})");
    client.Queue(R"({"route":"/transaction/cancel"})");   // no type: told so
    client.Queue(R"({"type":"menu","response":"2:B"})");  // no route: told so
    client.Queue("not JSON at all");
    client.Queue(MenuAnswer("1:A"));
    EXPECT_TRUE(RunFunction(client));
    EXPECT_EQ(
        client.Sent(),
        (Lines{client.Sent().front(), R"({"type":"error","message":"Campo type nao encontrado."})",
               R"({"type":"error","message":"Campo route nao encontrado."})"}));
    EXPECT_EQ(NewAnswers(), (Lines{"0:", "0:1"}));
    const std::string log = Log();
    EXPECT_NE(log.find("Entrou no cancelamento."), std::string::npos) << log;
    EXPECT_NE(log.find("Não pode cancelar"), std::string::npos) << log;
}

TEST_F(Dialogue, CancellationRequestDuringAPromptEndsItWhenCancellable) {
    Script(R"([{"command": 23, "times": 1}, {"command": 21, "text": "1:A;2:B;"},)"
           R"( {"command": 23, "times": 1}, {"status": 0}])");
    ScriptedClient client;
    client.On("menu", R"({"route":"/transaction/cancel","type":"cancellation"})");
    client.On("question", QuestionAnswer("Sim")).On("confirmation", kAcknowledge);
    EXPECT_FALSE(RunFunction(client));
    EXPECT_EQ(client.SentTypes(),
              (Lines{"can_cancel", "menu", "question", "message", "confirmation"}));
    EXPECT_EQ(NewAnswers(), (Lines{"0:", "0:", "-1:"}));
    EXPECT_NE(Log().find("Setou no cancelamento = true"), std::string::npos);
}

TEST_F(Dialogue, WhatIsNotAJsonObjectDuringAWaitIsIgnored) {
    Script(R"([{"command": 23, "times": 4}, {"status": 0}])");
    ScriptedClient client;
    for (const char* frame : {"[1,2]", "\"texto\"", "not JSON", ""}) client.Queue(frame);
    EXPECT_TRUE(RunFunction(client));
    EXPECT_EQ(NewAnswers(), (Lines{"0:", "0:", "0:", "0:", "0:"}));
    EXPECT_FALSE(client.WaitForInput(std::chrono::milliseconds(0)));  // all four were read

    // A JSON object without "type" is a broken request: the operation ends with its error.
    ScriptedClient broken;
    broken.Queue(R"({"route":"/transaction"})");
    try {
        RunFunction(broken);
        ADD_FAILURE() << "the operation went on";
    } catch (const RequestError& e) {
        EXPECT_STREQ(e.what(), "Campo type nao encontrado.");
    }
    EXPECT_FALSE(module_->FProcessandoMsg);
    EXPECT_FALSE(module_->FAguardandoRespCanc);
    EXPECT_FALSE(module_->fProcessando);
}

TEST_F(Dialogue, AClientThatLeavesEndsItsOperation) {
    // An endless wait: without its client the operation interrupts the library instead.
    Script(R"([{"command": 23}, {"status": 0}])");
    qvtest::RecordingClient leaving;
    leaving.SetResponder([&leaving](const std::string&) { leaving.Disconnect(); });
    EXPECT_FALSE(RunFunction(leaving));
    EXPECT_EQ(NewAnswers(), (Lines{"0:", "-1:"}));
    EXPECT_FALSE(module_->fProcessando);

    // Gone while a prompt waits for its answer: the read fails and ends the operation.
    Script(R"([{"command": 21, "text": "1:A;2:B;"}, {"status": 0}])");
    qvtest::RecordingClient gone;
    gone.SetResponder([&gone](const std::string&) { gone.Disconnect(); });
    EXPECT_THROW(RunFunction(gone), transport::ConnectionClosed);
    EXPECT_FALSE(module_->fProcessando);
}

TEST_F(Dialogue, AnotherConnectionCannotReconfigureTheLibraryWhileADialogueRuns) {
    Script(R"([{"command": 21, "text": "1:A;2:B;"}, {"command": 23, "times": 1},)"
           R"( {"status": 0}])");
    const size_t configured = Journal("ConfiguraIntSiTefInterativoEx").size();
    ScriptedClient first;
    bool approved = false;
    std::thread operation([&] { approved = RunFunction(first); });
    ASSERT_TRUE(qvtest::WaitUntil([&] { return !first.Sent("menu").empty(); }));

    StoreClaims other;
    other.store_code = "99999999";
    qvtest::RecordingClient second;
    EXPECT_EQ(StartSession(second, other),
              Lines{R"({"type":"error","message":"H\u00E1 uma opera\u00E7\u00E3o TEF em )"
                    R"(andamento em outra conex\u00E3o; tente novamente quando ela terminar."})"});
    // The same store's settings need nothing done: a session, without touching the library.
    qvtest::RecordingClient third;
    const Lines same = StartSession(third, store_);
    ASSERT_EQ(same.size(), 1u);
    EXPECT_EQ(TypeOf(same[0]), "session");
    JsonDocument created;
    ASSERT_TRUE(created.Parse(same[0]));
    module_->RouteTargeting(R"({"route":"/initialize","type":"initialize","session_uuid":")" +
                                GetField(created.Object(), "session_uuid") + R"("})",
                            third);
    EXPECT_EQ(third.Sent().back(),
              R"({"type":"initialize","message":"Inicializado com sucesso."})");
    // A connection that closes meanwhile leaves the running operation alone.
    qvtest::RecordingClient closing;
    module_->OnDisconnect(closing);

    first.Queue(MenuAnswer("2:B"));
    operation.join();
    EXPECT_TRUE(approved);
    EXPECT_EQ(NewAnswers(), (Lines{"0:", "0:2", "0:"}));
    EXPECT_EQ(Journal("ConfiguraIntSiTefInterativoEx").size(), configured);
    EXPECT_NE(Log().find("Erro ao iniciar sessão: Há uma operação TEF em andamento"),
              std::string::npos);

    // Once the operation is over the other store's session reconfigures the library.
    const Lines retried = StartSession(second, other);
    ASSERT_FALSE(retried.empty());
    EXPECT_EQ(TypeOf(retried.back()), "session");
    EXPECT_EQ(retried.front(), R"({"type":"message","message":"Inicializando TEF...","options":[],)"
                               R"("can_cancel":false})");
    EXPECT_EQ(qvtest::JournalValue(Journal("ConfiguraIntSiTefInterativoEx").back(), "loja"),
              "99999999");
}

class DialogueDeadline : public Dialogue {
protected:
    void SetEnvironment(qvtest::ScopedEnv& env) override {
        Dialogue::SetEnvironment(env);
        env.Set("QV_ANSWER_TIMEOUT_MS", "50");
    }
};

TEST_F(DialogueDeadline, AnUnansweredPromptCancelsTheOperation) {
    Script(R"([{"command": 21, "text": "1:A;2:B;"}, {"status": 0}])");
    ScriptedClient silent;
    EXPECT_FALSE(RunFunction(silent));
    // The menu, the cancel confirmation and the reason go unanswered; the cancellation stays.
    EXPECT_EQ(silent.SentTypes(), (Lines{"menu", "question", "message", "confirmation"}));
    EXPECT_EQ(NewAnswers(), (Lines{"0:", "-1:"}));
    const std::string log = Log();
    size_t timeouts = 0;
    for (size_t at = log.find("GetClientResponse: timeout aguardando resposta do cliente.");
         at != std::string::npos; at = log.find("GetClientResponse: timeout", at + 1)) {
        ++timeouts;
    }
    EXPECT_EQ(timeouts, 3u) << log;
}

TEST_F(DialogueDeadline, ALateAnswerToThePromptDoesNotDecideTheCancelQuestion) {
    Script(R"([{"command": 30, "field": 512, "min": 1, "max": 19, "text": "Cartao"},)"
           R"( {"command": 23, "times": 1}, {"status": 0}])");
    qvtest::RecordingClient client;
    client.SetResponder([&client](const std::string& sent) {
        // The field's answer comes after its deadline, while the cancel question waits; then
        // the question's own answer keeps the operation.
        if (TypeOf(sent) != "question") return;
        client.Queue(FieldAnswer(true, "4111"));
        client.Queue(QuestionAnswer("Não"));
    });
    EXPECT_TRUE(RunFunction(client));
    const Lines sent = client.Sent();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[1], kCancelQuestion);
    // The field went unanswered, and the wait was not interrupted.
    EXPECT_EQ(NewAnswers(), (Lines{"0:", "0:", "0:"}));
}

}  // namespace
}  // namespace requests
