// "/print" on the real service over TLS, with a stand-in print program in the application
// folder: every refusal and its reply, queued documents that get no reply and reach the
// program, a request that arrives while the service is stopping, and documents sent while a
// payment on the same connection waits for the till or for the payment library. "No reply"
// shows as the next request's reply arriving first.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "platform/file_system.h"
#include "platform/paths.h"
#include "session_support.h"
#include "support/app_folder.h"
#include "support/dialogue_answers.h"
#include "support/dialogue_client.h"
#include "support/print_stand_in.h"
#include "support/sample_pdf.h"
#include "support/simulated_library.h"

namespace {

constexpr const char* kVersionRequest =
    R"({"route":"/version","type":"version","category":"service_exe"})";
constexpr const char* kVersionReply =
    R"({"type":"version","category":"service_exe","version":")" QV_PROJECT_VERSION
    R"(","updating":false})";

// `text` as a JSON string.
std::string Json(const std::string& text) {
    std::string json = "\"";
    for (char c : text) {
        switch (c) {
            case '"':
                json += "\\\"";
                break;
            case '\\':
                json += "\\\\";
                break;
            case '\r':
                json += "\\r";
                break;
            case '\n':
                json += "\\n";
                break;
            case '\t':
                json += "\\t";
                break;
            default:
                json += c;
        }
    }
    return json + "\"";
}

std::string PrintRequest(const std::string& data, const std::string& file_type = "pdf") {
    return R"({"route":"/print","type":"print","file_type":)" + Json(file_type) + R"(,"data":)" +
           Json(data) + "}";
}

std::string Error(const std::string& json_message) {
    return R"({"type":"error","message":")" + json_message + R"("})";
}

// The last name of a path the service wrote: its system's separators (both under Wine).
std::string NameIn(const std::string& path) { return path.substr(path.find_last_of("/\\") + 1); }

class PrintRoute : public ::testing::Test {
protected:
    static constexpr const char* kPrinter = "Caixa 1";

    void SetUp() override {
        std::filesystem::create_directories(app_ / "stand-in");
        std::filesystem::create_directories(app_ / "tmp");
        WriteIni(kPrinter);
        app_.PutFile(qvtest::PrintLibraryName(), "present");
        app_.SetEnv("TMPDIR", app_ / "tmp");
        app_.SetEnv("QV_PRINT_DELETE_PAUSE_MS", "1");
        app_.StartAndWaitForPort();
        client_.emplace(app_.Client());
    }
    void TearDown() override { EXPECT_EQ(app_.Stop(), 0) << app_.Output(); }

    void WriteIni(const std::string& printer) {
        app_.WriteIni("[sitef]\r\nserver_port=" + std::to_string(app_.port()) + "\r\n" +
                      (printer.empty() ? "" : "printer=" + printer + "\r\n"));
    }

    // The replies `message` gets before the reply to a version request sent after it.
    std::vector<std::string> RepliesTo(const std::string& message) {
        client_->SendText(message);
        client_->SendText(kVersionRequest);
        std::vector<std::string> replies;
        for (std::string reply = client_->ReadText(); reply != kVersionReply;
             reply = client_->ReadText())
            replies.push_back(reply);
        return replies;
    }

    std::vector<std::string> TemporaryDocuments() const {
        return platform::ListFiles(app_.path(), "*_Temp.pdf");
    }

    qvtest::AppFolder app_;
    qvtest::PrintStandIn program_{app_ / qvtest::PrintProgramName(), app_ / "stand-in"};
    std::optional<qvtest::TlsWebSocketClient> client_;
};

TEST_F(PrintRoute, EveryRefusalOfTheRequestHasItsReply) {
    const std::string pdf = qvtest::Base64Encode(qvtest::SamplePdf());
    struct Case {
        std::string message;
        std::vector<std::string> replies;
    } cases[] = {
        {R"({"route":"/print","data":"JVBERi0=","file_type":"pdf"})",
         {Error("Campo type nao encontrado.")}},
        {R"({"route":"/print","type":"printing","data":"JVBERi0=","file_type":"pdf"})",
         {Error("Campo type diferente de print.")}},
        {R"({"route":"/print","type":"print","file_type":"pdf"})",
         {Error("Campo data nao encontrado.")}},
        {PrintRequest(" \r\n\t "), {Error(R"(Campo \"data\" n\u00E3o foi preenchido.)")}},
        {R"({"route":"/print","type":"print","data":"JVBERi0="})",
         {Error("Erro ao imprimir: Campo file_type nao encontrado.")}},
        {PrintRequest(pdf, "PDF"),
         {Error("Tipo do arquivo inv\\u00E1lido. Valor permitido [pdf]")}},
        {PrintRequest(pdf, "pdf "),
         {Error("Tipo do arquivo inv\\u00E1lido. Valor permitido [pdf]")}},
        {PrintRequest("JVBER*i0="),
         {Error("Erro na convers\\u00E3o do arquivo: Texto Base64 inv\\u00E1lido: caractere "
                "n\\u00E3o permitido na posi\\u00E7\\u00E3o 6."),
          Error("Arquivo convertido n\\u00E3o localizado.")}},
        {PrintRequest("data:application/pdf;base64,JVBERi0=="),
         {Error("Erro na convers\\u00E3o do arquivo: Texto Base64 inv\\u00E1lido: tamanho "
                "incompleto."),
          Error("Arquivo convertido n\\u00E3o localizado.")}},
    };
    for (const Case& c : cases) EXPECT_EQ(RepliesTo(c.message), c.replies) << c.message;

    EXPECT_TRUE(app_.WaitForLog(
        "Erro na conversão do arquivo: Texto Base64 inválido: caractere não permitido na "
        "posição 6."));
    EXPECT_TRUE(TemporaryDocuments().empty());
    EXPECT_TRUE(program_.Calls().empty());
}

TEST_F(PrintRoute, PrinterAndProgramFilesAreCheckedBeforeTheDocumentIsWritten) {
    const std::string request = PrintRequest(qvtest::Base64Encode(qvtest::SamplePdf()));
    WriteIni("");
    EXPECT_EQ(RepliesTo(request), (std::vector{Error("Impressora n\\u00E3o definida.")}));
    WriteIni(kPrinter);
    app_.RemoveFile(qvtest::PrintProgramName());
    EXPECT_EQ(RepliesTo(request), (std::vector{Error("SumatraPDF n\\u00E3o localizado.")}));
    qvtest::PrintStandIn restored(app_ / qvtest::PrintProgramName(), app_ / "stand-in");
    app_.RemoveFile(qvtest::PrintLibraryName());
    EXPECT_EQ(RepliesTo(request), (std::vector{Error("libmupdf.dll n\\u00E3o localizado.")}));
    EXPECT_TRUE(TemporaryDocuments().empty());
    EXPECT_TRUE(program_.Calls().empty());
}

TEST_F(PrintRoute, AQueuedDocumentGetsNoReplyAndReachesTheProgram) {
    const std::string document = qvtest::SamplePdf("Pedido 42");
    EXPECT_TRUE(RepliesTo(PrintRequest(qvtest::Base64Encode(document))).empty());
    ASSERT_TRUE(program_.WaitForCalls(1));
    EXPECT_EQ(program_.Document(1), document);

    const std::vector<std::string> args = program_.Calls().at(0);
    ASSERT_EQ(args.size(), 9u);
    const std::string data_dir = args[7], file = args[8];
    EXPECT_EQ(args, (std::vector<std::string>{"-print-to", kPrinter, "-print-settings", "noscale",
                                              "-silent", "-exit-when-done", "-data-dir", data_dir,
                                              file}));
    EXPECT_TRUE(data_dir.starts_with(app_.ProgramPath(app_ / "tmp/SumatraPDF_"))) << data_dir;
    const std::string name = NameIn(file);
    EXPECT_EQ(name, std::to_string(std::stoi(name)) + "_Temp.pdf");
    EXPECT_EQ(file, app_.ProgramPath(app_ / name));

    EXPECT_TRUE(app_.WaitForLog("[Impressora] Impressão concluída: " + file));
    EXPECT_TRUE(app_.WaitForLog("[Impressora] Arquivo adicionado na fila: " + file));
    EXPECT_TRUE(qvtest::WaitUntil([&] { return TemporaryDocuments().empty(); }));
    EXPECT_TRUE(qvtest::WaitUntil(
        [&] { return !platform::DirectoryExists(app_ / ("tmp/" + NameIn(data_dir))); }));
}

TEST_F(PrintRoute, ADataUrlPrefixAndLineBreaksPrintTheSameDocument) {
    const std::string document = qvtest::SamplePdf("Nota fiscal", 3000);
    const std::string base64 = qvtest::Base64Encode(document);
    std::string wrapped = "\r\n  ";
    for (size_t at = 0; at < base64.size(); at += 76) wrapped += base64.substr(at, 76) + "\r\n";
    const std::string forms[] = {
        base64,
        "data:application/pdf;base64," + base64,
        wrapped,
        "data:application/pdf;base64,\n" + wrapped + " ",
    };
    for (const std::string& data : forms)
        EXPECT_TRUE(RepliesTo(PrintRequest(data)).empty()) << data.substr(0, 40);
    ASSERT_TRUE(program_.WaitForCalls(4));
    for (int call = 1; call <= 4; ++call) EXPECT_EQ(program_.Document(call), document) << call;
}

TEST_F(PrintRoute, ThePrinterIsTheOneConfiguredWhenTheServiceStarted) {
    WriteIni("Outra impressora");
    EXPECT_TRUE(RepliesTo(PrintRequest(qvtest::Base64Encode(qvtest::SamplePdf()))).empty());
    ASSERT_TRUE(program_.WaitForCalls(1));
    EXPECT_EQ(program_.Calls().at(0).at(1), kPrinter);
}

TEST_F(PrintRoute, ARequestWhileTheServiceStopsIsRefusedAndLeavesNoFile) {
    program_.SetOutcomes({"hang"});
    const std::string request = PrintRequest(qvtest::Base64Encode(qvtest::SamplePdf()));
    EXPECT_TRUE(RepliesTo(request).empty());
    ASSERT_TRUE(program_.WaitForCalls(1));

    // The stop destroys the print queue first, which waits for the job in progress; the
    // listener, and this connection, are still there meanwhile.
    app_.Signal(SIGTERM);
    ASSERT_TRUE(app_.WaitForLog("[Impressora] Finalizando fila de impressão"));
    EXPECT_EQ(
        RepliesTo(request),
        (std::vector{Error("Erro ao imprimir: Fila de impress\\u00E3o indispon\\u00EDvel.")}));
    EXPECT_EQ(TemporaryDocuments().size(), 1u) << "only the document being printed";

    program_.Release();
    EXPECT_EQ(app_.Stop(), 0) << app_.Output();
    EXPECT_TRUE(TemporaryDocuments().empty());
    EXPECT_EQ(program_.Calls().size(), 1u);
    const std::vector<std::string> log = app_.LogTexts();
    const auto finished =
        std::find(log.begin(), log.end(), "[Impressora] Thread de impressão finalizada");
    const auto stopped = std::find(log.begin(), log.end(), "O serviço foi parado.");
    EXPECT_TRUE(finished < stopped && stopped != log.end());
}

// A payment runs on the till's connection while it prints: a menu that waits for the till's
// answer, then a wait of the payment library that lasts until the till cancels it.
class PrintDuringPayment : public PrintRoute {
protected:
    void SetUp() override {
        qvtest::InstallSimulatedLibrary(app_, R"({"script": [
            {"command": 21, "text": "1:Conta corrente;"},
            {"command": 3, "text": "Aguardando o autorizador..."},
            {"command": 23}]})");
        PrintRoute::SetUp();
    }

    // Sends a document and a version request on the payment's connection; the version reply
    // shows the document was taken in the meantime.
    void PrintAndAskVersion(qvtest::DialogueClient& till, const std::string& document) {
        till.socket().SendText(PrintRequest(qvtest::Base64Encode(document)));
        till.socket().SendText(kVersionRequest);
        EXPECT_EQ(till.ReadUntil({"version", "result", "error"}).back(), kVersionReply);
    }
};

TEST_F(PrintDuringPayment, DocumentsSentDuringAPromptOrAWaitArePrinted) {
    qvtest::DialogueClient till(app_.Client());
    const std::string uuid = qvtest::OpenSession(till);
    till.socket().SendText(qvtest::TransactionRequest(
        uuid, "transaction", R"("operation":2,"payer_name":"Ana","transaction_value":"10,00")"));
    ASSERT_EQ(qvtest::MessageType(till.ReadUntil({"menu", "result", "error"}).back()), "menu");

    const std::string at_prompt = qvtest::SamplePdf("Pedido 42");
    PrintAndAskVersion(till, at_prompt);
    ASSERT_TRUE(program_.WaitForCalls(1));
    EXPECT_EQ(program_.Document(1), at_prompt);

    // The menu still waits for its answer; then the library waits.
    till.socket().SendText(qvtest::MenuAnswer("1:Conta corrente"));
    ASSERT_EQ(till.ReadUntil({"can_cancel", "result", "error"}).back(),
              R"({"type":"can_cancel","can_cancel":true})");
    const std::string at_wait = qvtest::SamplePdf("Pedido 43");
    PrintAndAskVersion(till, at_wait);
    ASSERT_TRUE(program_.WaitForCalls(2));
    EXPECT_EQ(program_.Document(2), at_wait);

    till.socket().SendText(R"({"route":"/transaction/cancel","type":"cancellation"})");
    till.On("confirmation", qvtest::kAcknowledge);
    EXPECT_EQ(qvtest::Field(till.ReadUntil().back(), "status"), "canceled");
}

}  // namespace
