// Sessions over TLS with the real service and the simulated payment library: tokens minted with
// the service's own signing code, the TEF set-up a session start makes (progress messages, the
// library's configuration in its journal, the TLS gateway file), every refusal, expiry and
// finishing.
#include <gtest/gtest.h>
#include <time.h>

#include <chrono>

#include "client_messages.h"
#include "platform/file_system.h"
#include "session_support.h"
#include "support/app_folder.h"
#include "support/sim_journal.h"
#include "support/simulated_library.h"

namespace {

using Lines = std::vector<std::string>;
using qvtest::Claims;
using qvtest::Error;
using qvtest::Field;
using qvtest::StartRequest;
using requests::TokenAlgorithm;

constexpr const char* kInitializing =
    R"({"type":"message","message":"Inicializando TEF...","options":[],"can_cancel":false})";
constexpr const char* kInitialized =
    R"({"type":"message","message":"","options":[],"can_cancel":false})";

// "2024-05-10T17:30:00.000Z" as a moment.
std::chrono::system_clock::time_point ParseUtc(const std::string& text) {
    std::tm tm{};
    int ms = 0;
    EXPECT_EQ(std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%3dZ", &tm.tm_year, &tm.tm_mon,
                          &tm.tm_mday, &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &ms),
              7)
        << text;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    return std::chrono::system_clock::from_time_t(timegm(&tm)) + std::chrono::milliseconds(ms);
}

class Sessions : public ::testing::Test {
protected:
    Sessions() { qvtest::InstallSimulatedLibrary(app_, R"({"script": [{"status": 0}]})"); }

    void StartService(const std::string& ini_lines = "") {
        WriteIni(ini_lines);
        app_.StartAndWaitForPort();
    }
    void TearDown() override { EXPECT_EQ(app_.Stop(), 0) << app_.Output(); }

    void WriteIni(const std::string& lines) {
        app_.WriteIni("[sitef]\r\nserver_port=" + std::to_string(app_.port()) +
                      "\r\npdv_number=3\r\n" + lines);
    }

    // Sends `request` and reads up to its answer (the first message not a prompt).
    static Lines Exchange(qvtest::TlsWebSocketClient& client, const std::string& request) {
        client.SendText(request);
        return ReadUpToAnswer(client);
    }
    static Lines ReadUpToAnswer(qvtest::TlsWebSocketClient& client) {
        Lines messages;
        do {
            messages.push_back(client.ReadText());
        } while (Field(messages.back(), "type") == "message");
        return messages;
    }
    static Lines Start(qvtest::TlsWebSocketClient& client, const std::string& token) {
        return Exchange(client, StartRequest(token));
    }

    // Opens a session; its identifier.
    std::string Open(qvtest::TlsWebSocketClient& client, const Claims& claims = {}) {
        const Lines messages = Start(client, claims.Token());
        EXPECT_EQ(Field(messages.back(), "status"), "created") << messages.back();
        return Field(messages.back(), "session_uuid");
    }

    static std::string Request(const std::string& route, const std::string& type,
                               const std::string& uuid) {
        return requests::JsonObject()
            .Add("route", route)
            .Add("type", type)
            .Add("session_uuid", uuid)
            .ToString();
    }

    Lines Configurations() const {
        return qvtest::JournalCalls(app_ / "journal.log", "ConfiguraIntSiTefInterativoEx");
    }
    std::string TlsFile() const {
        return platform::ReadFile(app_ / "dll/CONFITLS.INI").value_or("<missing>");
    }
    size_t LogCount(const std::string& text) const {
        size_t count = 0;
        for (const std::string& line : app_.LogTexts()) count += line == text ? 1 : 0;
        return count;
    }

    qvtest::AppFolder app_;
};

TEST_F(Sessions, OpenWithHs256AndHs512TokensAndSetUpTheLibraryOnce) {
    StartService();
    auto client = app_.Client();
    const auto before = std::chrono::system_clock::now();
    // Registered claims such as an expiry long past are not examined.
    const Lines first = Start(client, Claims().Set("exp", "946684800").Token());
    const auto after = std::chrono::system_clock::now();
    ASSERT_EQ(first.size(), 3u);
    EXPECT_EQ(first[0], kInitializing);
    EXPECT_EQ(first[1], kInitialized);
    const std::string& reply = first[2];
    EXPECT_TRUE(reply.starts_with(R"({"type":"session","status":"created","message":")"
                                  R"(Sess\u00E3o criada com sucesso.","expiration":")"))
        << reply;
    EXPECT_TRUE(reply.ends_with(R"(","store_code":"00000000","terminal_number":"AG001203"})"))
        << reply;
    const std::string uuid = Field(reply, "session_uuid");
    EXPECT_EQ(uuid.size(), 36u);
    EXPECT_EQ(uuid.find_first_not_of("0123456789ABCDEF-"), std::string::npos) << uuid;
    for (size_t hyphen : {8, 13, 18, 23}) EXPECT_EQ(uuid[hyphen], '-') << uuid;
    const auto expiration = ParseUtc(Field(reply, "expiration"));
    EXPECT_GE(expiration, before + std::chrono::minutes(30) - std::chrono::milliseconds(1));
    EXPECT_LE(expiration, after + std::chrono::minutes(30));

    const Lines configured = Configurations();
    ASSERT_FALSE(configured.empty());
    EXPECT_EQ(configured.back(),
              R"(ConfiguraIntSiTefInterativoEx ip="127.0.0.1" loja="00000000" )"
              R"(terminal="AG001203" reservado=0 parametrosAdicionais=)"
              R"("[PortaPinPad=AUTO_USB;TipoPinPad=1];{ValorIncluiTaxa=0;};" -> 0)");
    EXPECT_EQ(LogCount("Inicializando CliSiTef..."), 1u);
    EXPECT_EQ(LogCount("CliSiTef inicializado."), 1u);

    // The same parameters again, signed with HS512: nothing to set up, no progress messages.
    const Lines second = Start(client, Claims().Token(TokenAlgorithm::kHS512));
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(Field(second[0], "terminal_number"), "AG001203");
    EXPECT_NE(Field(second[0], "session_uuid"), uuid);
    EXPECT_EQ(Configurations().size(), configured.size());
    EXPECT_EQ(LogCount("Inicializando CliSiTef..."), 1u);

    // "/initialize" finds the library ready.
    EXPECT_EQ(Exchange(client, Request("/initialize", "initialize", uuid)),
              Lines{R"({"type":"initialize","message":"Inicializado com sucesso."})"});
    EXPECT_EQ(Exchange(client, Request("/initialize", "init", uuid)),
              Lines{Error("Campo type diferente de initialize.")});
    EXPECT_EQ(Configurations().size(), configured.size());

    // Another store code (or terminal) sets it up anew.
    const Lines other = Start(client, Claims().Set("store_code", R"("00000042")").Token());
    EXPECT_EQ(other, (Lines{kInitializing, kInitialized, other.back()}));
    EXPECT_EQ(Field(other.back(), "store_code"), "00000042");
    EXPECT_EQ(qvtest::JournalValue(Configurations().back(), "loja"), "00000042");
}

TEST_F(Sessions, TlsModeWritesTheGatewayFileAndDirectModeRemovesIt) {
    StartService("tls_gateway_host=gw.loja.test\r\n");
    app_.PutFile("dll/CONFITLS.INI", "[Outra]\r\nChave=1\r\n");
    auto client = app_.Client();
    EXPECT_EQ(Start(client, Claims().Tls("tok-1").Token()).size(), 3u);
    std::string file = TlsFile();
    for (const char* line :
         {"[ConfiguracaoTLS]", "TipoComunicacaoExterna = TLSGWP", "URLTLS = gw.loja.test",
          "TokenRegistro = tok-1", "[Outra]", "Chave = 1"}) {
        EXPECT_NE(file.find(line), std::string::npos) << line << " in\n" << file;
    }
    EXPECT_TRUE(qvtest::JournalValue(Configurations().back(), "parametrosAdicionais")
                    .ends_with("[ParmsClient=1=12345678000190;2=98765432000110];"))
        << Configurations().back();

    // The same registration token: the file is written again, the library left as it is.
    app_.PutFile("dll/CONFITLS.INI", "[ConfiguracaoTLS]\r\nTokenRegistro=tok-1\r\nURLTLS=x\r\n");
    WriteIni("");  // the built-in gateway from now on
    const size_t configured = Configurations().size();
    EXPECT_EQ(Start(client, Claims().Tls("tok-1").Token()).size(), 1u);
    EXPECT_EQ(Configurations().size(), configured);
    EXPECT_NE(TlsFile().find("URLTLS = tls-gateway.sitef.com.br"), std::string::npos) << TlsFile();

    // A new registration token sets the library up anew.
    EXPECT_EQ(Start(client, Claims().Tls("tok-2").Token()).size(), 3u);
    EXPECT_NE(TlsFile().find("TokenRegistro = tok-2"), std::string::npos) << TlsFile();

    // Direct mode removes the file.
    EXPECT_EQ(Field(Start(client, Claims().Token()).back(), "status"), "created");
    EXPECT_EQ(TlsFile(), "<missing>");
}

TEST_F(Sessions, RefusalsAnswerWithTheirTextsAndLogWhatFollowsTheSignature) {
    StartService();
    const std::string claims = Claims().Json();
    const std::string header = requests::Base64UrlEncode(R"({"alg":"none"})");
    struct Case {
        std::string request;
        std::string reply;  // the error's JSON text
        bool logged;
    } cases[] = {
        {StartRequest(requests::SignSessionToken(claims, TokenAlgorithm::kHS256, "outra")),
         R"(Acesso n\u00E3o autorizado.)", false},
        {StartRequest(header + "." + requests::Base64UrlEncode(claims) + "."),
         R"(Dados de sess\u00E3o inv\u00E1lidos.)", false},
        {StartRequest(requests::SignSessionToken("[1]", TokenAlgorithm::kHS256)),
         R"(Dados de sess\u00E3o inv\u00E1lidos.)", false},
        {StartRequest("abc.def"), "Malformed Compact Serialization", false},
        {StartRequest("a.b.c.d.e"),
         "Compact Serialization appears to be a JWE Token wich is not (yet) supported", false},
        {R"({"route":"/session/start","type":"sessao","token":"a.b.c"})",
         R"(Configura\u00E7\u00E3o de entrada inv\u00E1lida: type diferente de \"session\".)",
         false},
        {R"({"route":"/session/start","type":"session"})", "Campo token nao encontrado.", false},
        {R"({"route":"/session/start","token":"a.b.c"})", "Campo type nao encontrado.", false},
        {StartRequest(Claims().Drop("operator").Token()), "Campo operator nao encontrado.", true},
        {StartRequest(Claims().Drop("secctional_code").Token()),
         "Campo secctional_code nao encontrado.", true},
        {StartRequest(Claims().Set("sale_id", R"("12a")").Token()),
         R"('12a' n\u00E3o \u00E9 um n\u00FAmero inteiro v\u00E1lido.)", true},
        {StartRequest(Claims().Set("company_id", "1.5").Token()),
         R"('1.5' n\u00E3o \u00E9 um n\u00FAmero inteiro v\u00E1lido.)", true},
        {StartRequest(Claims().Set("sale_id", "{}").Token()),
         R"('' n\u00E3o \u00E9 um n\u00FAmero inteiro v\u00E1lido.)", true},
        {StartRequest(Claims().Set("sale_id", R"("0")").Token()),
         R"(ID de venda n\u00E3o informado.)", false},
        {StartRequest(Claims().Set("callback_url", R"("   ")").Token()),
         R"(URL de callback n\u00E3o informada.)", false},
        // A registration token must not add lines to the payment library's TLS file.
        {StartRequest(Claims().Tls(R"(abc\r\n[ConfiguracaoTLS]\r\nURLTLS=evil)").Token()),
         R"(Valor inv\u00E1lido para TokenRegistro: quebra de linha ou caractere nulo.)", true},
    };
    auto client = app_.Client();
    for (const Case& c : cases) {
        EXPECT_EQ(Exchange(client, c.request).back(), Error(c.reply)) << c.request;
    }
    const Lines log = app_.LogTexts();
    for (const char* logged : {"Erro ao iniciar sessão: Campo operator nao encontrado.",
                               "Erro ao iniciar sessão: Campo secctional_code nao encontrado.",
                               "Erro ao iniciar sessão: '12a' não é um número inteiro válido.",
                               "Erro ao iniciar sessão: '1.5' não é um número inteiro válido.",
                               "Erro ao iniciar sessão: '' não é um número inteiro válido.",
                               "Erro ao iniciar sessão: Valor inválido para TokenRegistro: "
                               "quebra de linha ou caractere nulo."}) {
        EXPECT_EQ(std::count(log.begin(), log.end(), logged), 1) << logged;
    }
    for (const std::string& line : log) {
        EXPECT_EQ(line.find("Erro ao iniciar sessão: ID de venda"), std::string::npos);
        EXPECT_EQ(line.find("Erro ao iniciar sessão: URL"), std::string::npos);
    }
    EXPECT_EQ(TlsFile(), "<missing>");
}

TEST_F(Sessions, TheLibraryVersionIsThatOfTheLibraryASessionStartPointedAt) {
    StartService();
    auto client = app_.Client();
    const std::string request =
        R"({"route":"/version","type":"version","category":"clisitef_dll"})";
    // Before a session start the library is looked for beside the executable: none there.
    EXPECT_EQ(Field(Exchange(client, request).back(), "version"), "Versão não encontrada");
    Open(client);
    EXPECT_EQ(Field(Exchange(client, request).back(), "version"), QV_PROJECT_VERSION);
}

TEST_F(Sessions, FinishThenFinishAgain) {
    StartService();
    auto client = app_.Client();
    const std::string uuid = Open(client);
    EXPECT_EQ(Exchange(client, Request("/session/finish", "sessao", uuid)),
              Lines{Error("Campo type diferente de session.")});
    EXPECT_EQ(Exchange(client, Request("/session/finish", "session", uuid)),
              Lines{R"({"type":"session","status":"finished","message":")"
                    R"(Sess\u00E3o finalizada com sucesso."})"});
    EXPECT_EQ(Exchange(client, Request("/session/finish", "session", uuid)),
              Lines{Error(R"(Sess\u00E3o inv\u00E1lida.)")});
}

class ShortSessions : public Sessions {
protected:
    ShortSessions() { app_.SetEnv("QV_SESSION_LIFETIME_MS", "1500"); }
};

TEST_F(ShortSessions, ExpiredOnceThenUnknown) {
    StartService();
    auto client = app_.Client();
    const Lines reply = Start(client, Claims().Token());
    const std::string uuid = Field(reply.back(), "session_uuid");
    const auto expiration = ParseUtc(Field(reply.back(), "expiration"));
    EXPECT_LE(expiration, std::chrono::system_clock::now() + std::chrono::milliseconds(1500));

    // Identifiers are compared exactly.
    std::string lower = uuid;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(Exchange(client, Request("/initialize", "initialize", lower)),
              Lines{Error(R"(Sess\u00E3o inv\u00E1lida.)")});

    ASSERT_TRUE(qvtest::WaitUntil([&] {
        return std::chrono::system_clock::now() > expiration + std::chrono::milliseconds(5);
    }));
    EXPECT_EQ(Exchange(client, Request("/initialize", "initialize", uuid)),
              Lines{Error(R"(Sess\u00E3o expirada.)")});
    EXPECT_EQ(Exchange(client, Request("/initialize", "initialize", uuid)),
              Lines{Error(R"(Sess\u00E3o inv\u00E1lida.)")});
}

TEST_F(Sessions, ASecondStoreWaitsWhileTheFirstSessionStartsDialogueRuns) {
    // A transaction left from an earlier run: the first set-up recovers it and tells its client,
    // which must acknowledge.
    qvtest::WriteLeftoverTransaction(app_.path());
    StartService();

    auto first = app_.Client();
    first.SendText(StartRequest(Claims().Token()));
    const std::string recovered = first.ReadText();
    EXPECT_EQ(Field(recovered, "type"), "confirmation") << recovered;
    EXPECT_NE(recovered.find("NSU: 000777"), std::string::npos) << recovered;

    auto second = app_.Client();
    const Claims other = Claims().Set("store_code", R"("00000099")");
    EXPECT_EQ(Start(second, other.Token()),
              Lines{Error(R"(H\u00E1 uma opera\u00E7\u00E3o TEF em andamento em outra )"
                          R"(conex\u00E3o; tente novamente quando ela terminar.)")});

    first.SendText(R"({"route":"/transaction","type":"confirmation"})");
    const Lines rest = ReadUpToAnswer(first);
    EXPECT_EQ(rest, (Lines{kInitializing, kInitialized, rest.back()}));
    EXPECT_EQ(Field(rest.back(), "store_code"), "00000000");
    for (const std::string& line : Configurations()) {
        EXPECT_EQ(qvtest::JournalValue(line, "loja"), "00000000");
    }
    const Lines finished =
        qvtest::JournalCalls(app_ / "journal.log", "FinalizaFuncaoSiTefInterativo");
    ASSERT_EQ(finished.size(), 1u);
    EXPECT_EQ(qvtest::JournalValue(finished[0], "confirma"), "1");
    EXPECT_EQ(qvtest::JournalValue(finished[0], "cupomFiscal"), "4242");
    EXPECT_TRUE(app_.WaitForLog("Erro ao iniciar sessão: Há uma operação TEF em andamento"));

    // Afterwards the second store's start goes through.
    EXPECT_EQ(Field(Start(second, other.Token()).back(), "store_code"), "00000099");
}

}  // namespace
