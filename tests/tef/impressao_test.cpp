// Receipt printing through the fiscal-printer events, as a desktop program drives it: payments
// against the simulated library, a host that plays the fiscal printer and the operator, and at
// both edges what the host was asked to print and what the library was told (confirm or undo).
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/file_system.h"
#include "tef/errors.h"
#include "tef_host.h"

namespace {

using namespace tef;
using teftest::JournalValue;
using teftest::SimFixture;
using Lines = std::vector<std::string>;

Lines operator+(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Lines Sorted(Lines lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

// A payment whose receipt copies name its amount.
constexpr const char* kPagamento = R"([
  {"command": 0, "field": 121, "text": "CLIENTE ${amount_br}\nSEGUNDA LINHA"},
  {"command": 0, "field": 122, "text": "LOJA ${amount_br}"},
  {"command": 0, "field": 133, "text": "${nsu}"},
  {"status": 0, "record": "payment"}])";

const std::string kPergunta = "Msg opmYesNo Impressora não responde\r\nDeseja imprimir novamente ?";

class ReceiptPrinting : public SimFixture {
protected:
    ReceiptPrinting() {
        DesktopMode();
        UseScript(kPagamento);
    }

    bool Pay(double valor, const std::string& indice) {
        return component_.CRT(valor, indice, "", 0, "", "", "", "00");
    }

    // Fiscal document of the n-th function started (0 = first).
    std::string Doc(size_t n) {
        return JournalValue(Journal("IniciaFuncaoSiTefInterativo").at(n), "cupomFiscal");
    }

    // The documents of the functions started, each once, in order. The document is the second
    // of the day the function started, so payments a test makes in one second share one; the
    // library settles a document's functions together, and so is asked once per document.
    Lines Docs() {
        Lines docs;
        for (const auto& line : Journal("IniciaFuncaoSiTefInterativo")) {
            const std::string doc = JournalValue(line, "cupomFiscal");
            if (std::find(docs.begin(), docs.end(), doc) == docs.end()) docs.push_back(doc);
        }
        return docs;
    }

    // `line` once for each document, `@` replaced by the document.
    Lines PerDoc(const std::string& line) {
        Lines lines;
        for (const auto& doc : Docs()) lines.push_back(Replace(line, doc));
        return lines;
    }

    static std::string Replace(std::string line, const std::string& doc) {
        if (auto at = line.find('@'); at != std::string::npos) line.replace(at, 1, doc);
        return line;
    }

    // What the host was asked, without the focus requests that precede every message box and
    // the state changes.
    Lines Host() const {
        Lines lines;
        for (const auto& call : host_.calls) {
            if (call != "Foco" && !call.starts_with("Estado")) lines.push_back(call);
        }
        return lines;
    }

    // Every confirmation or undo the library received: "<export> <confirma> <document> ->
    // <result>".
    Lines Finishes() {
        Lines lines;
        for (const auto& line : Journal()) {
            if (!line.starts_with("Finaliza")) continue;
            lines.push_back(line.substr(0, line.find(' ')) + " " + JournalValue(line, "confirma") +
                            " " + JournalValue(line, "cupomFiscal") + " -> " +
                            line.substr(line.find(" -> ") + 4));
        }
        return lines;
    }

    static std::string Confirmed(const std::string& doc) { return Replace(kConfirmed, doc); }
    static constexpr const char* kConfirmed = "FinalizaTransacaoSiTefInterativo 1 @ -> 0";
    static constexpr const char* kUndone = "FinalizaTransacaoSiTefInterativo 0 @ -> 0";
};

TEST_F(ReceiptPrinting, APaymentIsPrintedConfirmedOnceAndItsBackupRemoved) {
    Start();
    host_.Reset();
    ASSERT_TRUE(Pay(10, "01"));
    const std::string doc = Doc(0);
    EXPECT_EQ(Host(), (Lines{"InfoECF ineEstadoECF", "AbreVinculado " + doc + " 01 10,00",
                             "ImprimeVia trVinculado 1 CLIENTE 10,00",
                             "ImprimeVia trVinculado 2 LOJA 10,00", "ECF opeFechaVinculado",
                             "Impressao venda", "DepoisConfirmar 1"}));
    EXPECT_EQ(Finishes(), Lines{Confirmed(doc)});
    EXPECT_EQ(PendingInLibrary(), 0);
    ASSERT_EQ(host_.confirmadas.size(), 1u);
    EXPECT_TRUE(host_.confirmadas[0].CNFEnviado);
    EXPECT_FALSE(platform::FileExists(host_.confirmadas[0].ArqBackup));
    EXPECT_TRUE(engine_.ArquivosBackup().empty());
    EXPECT_TRUE(component_.RespostasPendentes().Empty());

    // A host that confirms once more after the sale does not reach the library again.
    EXPECT_TRUE(component_.ConfirmarTransacao(true, doc));
    EXPECT_EQ(Finishes(), Lines{Confirmed(doc)});
}

TEST_F(ReceiptPrinting, GroupsInOrderEachInOneReportWithItsTotal) {
    component_.SetAutoFinalizarCupom(false);
    Start();
    struct Item {
        double valor;
        const char* indice;
        int ordem;
    };
    const Item itens[] = {{10, "01", 2}, {20, "02", 1}, {30, "01", 2}, {40, "03", 999}};
    for (const Item& item : itens) ASSERT_TRUE(Pay(item.valor, item.indice));
    // As registering each payment on the printer would have numbered them.
    for (int i = 0; i < 4; ++i)
        component_.RespostasPendentes().Objects(i).SetOrdemPagamento(itens[i].ordem);
    host_.Reset();
    component_.ImprimirTransacoesPendentes();
    EXPECT_EQ(Host(),
              (Lines{
                  "InfoECF ineEstadoECF",
                  // order 1
                  "AbreVinculado " + Doc(1) + " 02 20,00", "ImprimeVia trVinculado 1 CLIENTE 20,00",
                  "ImprimeVia trVinculado 2 LOJA 20,00", "ECF opeFechaVinculado",
                  // order 2, both payments of form 01 under their total
                  "AbreVinculado " + Doc(0) + " 01 40,00", "ImprimeVia trVinculado 1 CLIENTE 10,00",
                  "ImprimeVia trVinculado 2 LOJA 10,00", "ImprimeVia trVinculado 1 CLIENTE 30,00",
                  "ImprimeVia trVinculado 2 LOJA 30,00", "ECF opeFechaVinculado",
                  // order 999 and up: a management report, cut between its copies
                  "ECF opeAbreGerencial", "ImprimeVia trGerencial 1 CLIENTE 40,00",
                  "ECF opePulaLinhas", "Msg opmDestaqueVia Destaque a 1ª Via",
                  "ImprimeVia trGerencial 2 LOJA 40,00", "ECF opeFechaGerencial",
                  // then confirmed, in the list's order
              }) + PerDoc("Impressao venda") +
                  Lines{"DepoisConfirmar 4"});
    EXPECT_EQ(Finishes(), PerDoc(kConfirmed));
    EXPECT_EQ(PendingInLibrary(), 0);
    EXPECT_TRUE(engine_.ArquivosBackup().empty());
}

TEST_F(ReceiptPrinting, TwoFormsNotRegisteredOnThePrinterArePrintedOnceEach) {
    // Paid in two cards of different forms; printed when nothing is left to pay.
    component_.RespostasPendentes().ValorTotalAPagar = MoneyFromCents(3000);
    Start();
    host_.Reset();
    ASSERT_TRUE(Pay(10, "01"));
    EXPECT_TRUE(host_.Calls("ImprimeVia").empty());
    ASSERT_TRUE(Pay(20, "02"));
    EXPECT_EQ(host_.Calls("AbreVinculado"), (Lines{"AbreVinculado " + Doc(0) + " 01 10,00",
                                                   "AbreVinculado " + Doc(1) + " 02 20,00"}));
    EXPECT_EQ(
        host_.Calls("ImprimeVia"),
        (Lines{"ImprimeVia trVinculado 1 CLIENTE 10,00", "ImprimeVia trVinculado 2 LOJA 10,00",
               "ImprimeVia trVinculado 1 CLIENTE 20,00", "ImprimeVia trVinculado 2 LOJA 20,00"}));
    EXPECT_EQ(host_.Calls("ECF"), (Lines{"ECF opeFechaVinculado", "ECF opeFechaVinculado"}));
    EXPECT_EQ(PendingInLibrary(), 0);
}

TEST_F(ReceiptPrinting, ASaleAcrossMidnightSettlesEachPaymentUnderTheDayItStarted) {
    struct Case {
        const char* what;
        std::vector<std::string> falhas;
        std::deque<TModalResult> perguntas;
        const char* confirma;
    } cases[] = {
        {"printed: confirmed", {}, {}, "1"},
        {"printing given up: undone", {"ImprimeVia", "ImprimeVia"}, {mrYes, mrNo}, "0"},
    };
    // Paid in two cards, one each side of midnight; printed when nothing is left to pay.
    component_.RespostasPendentes().ValorTotalAPagar = MoneyFromCents(3000);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        component_.DesInicializar(gpCliSiTef);
        platform::DeleteFile(folder_ / "journal.log");
        SetClock("2025-11-26 23:59:58");
        Start();
        host_.Reset();
        ASSERT_TRUE(Pay(10, "01"));
        SetClock("2025-11-27 00:00:03");
        host_.falharECF = c.falhas;
        host_.perguntas = c.perguntas;
        ASSERT_TRUE(Pay(20, "02"));
        Lines finishes;
        for (const auto& line : Journal()) {
            if (line.starts_with("Finaliza"))
                finishes.push_back(
                    JournalValue(line, "confirma") + " " + JournalValue(line, "cupomFiscal") + " " +
                    JournalValue(line, "dataFiscal") + " " + JournalValue(line, "horario") +
                    " -> " + line.substr(line.find(" -> ") + 4));
        }
        // Each payment named as the library knows it: the first is still the 26th's.
        const std::string primeira = std::string(c.confirma) + " 86398 20251126 235958 -> 0";
        const std::string segunda = std::string(c.confirma) + " 3 20251127 000003 -> 0";
        EXPECT_EQ(Sorted(finishes), Sorted({primeira, segunda}));
        EXPECT_EQ(PendingInLibrary("86398", "20251126"), 0);
        EXPECT_EQ(PendingInLibrary("3", "20251127"), 0);
        EXPECT_TRUE(engine_.ArquivosBackup().empty());
        EXPECT_TRUE(component_.RespostasPendentes().Empty());
    }
}

TEST_F(ReceiptPrinting, AfterAFailedPassTheRetryPrintsEverythingIntoManagementReports) {
    component_.SetAutoFinalizarCupom(false);
    Start();
    ASSERT_TRUE(Pay(10, "01"));
    ASSERT_TRUE(Pay(20, "01"));
    host_.Reset();
    host_.falharECF = {"ImprimeVia trVinculado 2"};
    host_.perguntas = {mrYes};
    // Free before the first pass; the linked report the failure left open is closed.
    host_.estadosECF = {"L", "C", "L"};
    component_.ImprimirTransacoesPendentes();
    EXPECT_EQ(Host(), (Lines{"InfoECF ineEstadoECF",
                             "AbreVinculado " + Doc(0) + " 01 30,00",
                             "ImprimeVia trVinculado 1 CLIENTE 10,00",
                             "ImprimeVia trVinculado 2 LOJA 10,00",
                             kPergunta,
                             "InfoECF ineEstadoECF",
                             "ECF opeFechaVinculado",
                             "InfoECF ineEstadoECF",
                             "ECF opeAbreGerencial",
                             "ImprimeVia trGerencial 1 CLIENTE 10,00",
                             "ECF opePulaLinhas",
                             "Msg opmDestaqueVia Destaque a 1ª Via",
                             "ImprimeVia trGerencial 2 LOJA 10,00",
                             "ECF opePulaLinhas",
                             "Msg opmDestaqueVia Destaque a 2ª Via",
                             "ImprimeVia trGerencial 1 CLIENTE 20,00",
                             "ECF opePulaLinhas",
                             "Msg opmDestaqueVia Destaque a 1ª Via",
                             "ImprimeVia trGerencial 2 LOJA 20,00",
                             "ECF opeFechaGerencial"}) +
                          PerDoc("Impressao venda") + Lines{"DepoisConfirmar 2"});
    EXPECT_EQ(Finishes(), PerDoc(kConfirmed));
    EXPECT_EQ(PendingInLibrary(), 0);
}

TEST_F(ReceiptPrinting, GivingUpCancelsTheCouponAndUndoesTheTransactions) {
    component_.SetAutoFinalizarCupom(false);
    Start();
    ASSERT_TRUE(Pay(10, "01"));
    ASSERT_TRUE(Pay(20, "02"));
    host_.Reset();
    host_.falharECF = {"ImprimeVia", "ImprimeVia"};  // the first copy of each pass
    host_.perguntas = {mrYes, mrNo};
    component_.ImprimirTransacoesPendentes();
    const Lines host = Host();
    const auto desistiu = std::find(host.begin(), host.end(), "ECF opeCancelaCupom");
    ASSERT_NE(desistiu, host.end());
    EXPECT_EQ(*(desistiu - 1), kPergunta);
    EXPECT_EQ(host.back(), "DepoisCancelar 2");
    EXPECT_EQ(host_.Calls("Msg opmYesNo").size(), 2u);
    EXPECT_TRUE(host_.Calls("DepoisConfirmar").empty());
    // Each document undone once, the last backed up first.
    EXPECT_EQ(Sorted(host_.Calls("AntesCancelar")), Sorted(PerDoc("AntesCancelar @")));
    EXPECT_EQ(Sorted(Finishes()), Sorted(PerDoc(kUndone)));
    EXPECT_EQ(PendingInLibrary(), 0);
    EXPECT_TRUE(engine_.ArquivosBackup().empty());
    EXPECT_TRUE(component_.RespostasPendentes().Empty());
}

TEST_F(ReceiptPrinting, APrinterThatCannotBeFreedChangesNothing) {
    component_.SetAutoFinalizarCupom(false);
    Start();
    ASSERT_TRUE(Pay(10, "01"));
    const std::string backup = engine_.NomeArquivoBackup(1);
    struct Case {
        std::deque<std::string> estados;
        Lines comandos;
    } cases[] = {
        {{"V", "V"}, {}},  // a coupon still selling: ending it is not ours to do
        {{"c", "C"}, {"ECF opeFechaVinculado"}},
        {{"G", "R"}, {"ECF opeFechaGerencial"}},
        {{"O", "O"}, {}},  // another state: nothing to send, and still busy when asked again
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.estados.front());
        host_.Reset();
        host_.estadosECF = c.estados;
        try {
            component_.ImprimirTransacoesPendentes();
            ADD_FAILURE() << "no error";
        } catch (const EKaCliSiTefECF& e) {
            EXPECT_STREQ(e.what(), "ECF não está LIVRE");
        }
        EXPECT_EQ(host_.Calls("ECF"), c.comandos);
        EXPECT_TRUE(host_.Calls("ImprimeVia").empty());
        EXPECT_TRUE(host_.estadosECF.empty());
    }
    EXPECT_TRUE(Finishes().empty());
    EXPECT_EQ(component_.RespostasPendentes().Count(), 1);
    EXPECT_TRUE(platform::FileExists(backup));

    // Once the management report is closed it prints.
    host_.Reset();
    host_.estadosECF = {"R", "L"};
    component_.ImprimirTransacoesPendentes();
    EXPECT_EQ(host_.Calls("ImprimeVia").size(), 2u);
    EXPECT_EQ(Finishes(), Lines{Confirmed(Doc(0))});
    EXPECT_FALSE(platform::FileExists(backup));
}

TEST_F(ReceiptPrinting, APrinterInAnotherStateIsAskedAgainBeforeItCountsAsBusy) {
    component_.SetAutoFinalizarCupom(false);
    Start();
    ASSERT_TRUE(Pay(10, "01"));
    host_.Reset();
    // Busy with something this side cannot end, and done with it when asked again.
    host_.estadosECF = {"O", "L"};
    component_.ImprimirTransacoesPendentes();
    EXPECT_TRUE(host_.estadosECF.empty());
    EXPECT_EQ(host_.Calls("ImprimeVia").size(), 2u);
    EXPECT_TRUE(host_.Calls("Msg opmYesNo").empty());
    EXPECT_EQ(Finishes(), Lines{Confirmed(Doc(0))});
}

TEST_F(ReceiptPrinting, AConfirmationUndoneForItsReceiptIsNotReportedConfirmed) {
    component_.SetAutoFinalizarCupom(false);
    Start();
    ASSERT_TRUE(Pay(10, "01"));
    const std::string backup = engine_.NomeArquivoBackup(1);
    host_.Reset();
    // The receipt is printed, but the host cannot print what confirming it needs.
    host_.retornoImpressao = 0;
    component_.ImprimirTransacoesPendentes();
    EXPECT_EQ(Finishes(), Lines{Replace(kUndone, Doc(0))});
    EXPECT_EQ(host_.Calls("DepoisConfirmar"), Lines{"DepoisConfirmar 0"});
    EXPECT_TRUE(host_.confirmadas.empty());
    EXPECT_EQ(host_.Calls("Msg opmOK"), Lines{"Msg opmOK Transação \"TEF\" não efetuada."});
    // Settled: nothing for the next start-up to confirm.
    EXPECT_FALSE(platform::FileExists(backup));
    EXPECT_TRUE(component_.RespostasPendentes().Empty());
}

TEST_F(ReceiptPrinting, OnlyAFunctionThatStoredAReceiptAsksForItsPrinting) {
    Start();
    ASSERT_TRUE(Pay(10, "01"));
    EXPECT_EQ(host_.Calls("Impressao"), Lines{"Impressao venda"});
    // The next payment has no receipt; a host that could not print one is not asked.
    UseScript(R"([{"command": 0, "field": 133, "text": "${nsu}"},
                  {"status": 0, "record": "payment"}])");
    component_.DesInicializar(gpCliSiTef);
    Start();
    platform::DeleteFile(folder_ / "journal.log");
    host_.Reset();
    host_.retornoImpressao = 0;
    ASSERT_TRUE(Pay(20, "01"));
    EXPECT_EQ(host_.Calls("Impressao"), Lines{});
    EXPECT_EQ(Finishes(), Lines{Confirmed(Doc(0))});
}

TEST_F(ReceiptPrinting, CopiesTextsAndTheNoteOfEachResponse) {
    component_.SetAutoFinalizarCupom(false);
    component_.SetEsperaSTS(2000);
    struct Case {
        const char* name;
        std::string campos;  // stored before the approval
        std::string operador, cliente;
        Lines host;
        std::vector<std::chrono::milliseconds> sleeps;
    } cases[] = {
        {"no copies: the texts in one message",
         "",
         "Operador",
         "Cliente",
         {"Msg opmOK Operador\r\n\r\nCliente", "DepoisConfirmar 1"},
         {}},
        {"no copies, customer text only",
         "",
         "",
         "Cliente",
         {"Msg opmOK Cliente", "DepoisConfirmar 1"},
         {}},
        {"first copy only",
         R"({"command": 0, "field": 121, "text": "UNICA"},)",
         "",
         "",
         {"AbreVinculado @ 01 10,00", "ImprimeVia trVinculado 1 UNICA", "ECF opeFechaVinculado",
          "Impressao venda", "DepoisConfirmar 1"},
         {}},
        {"texts shown for five seconds while both copies print",
         R"({"command": 0, "field": 121, "text": "UM"}, {"command": 0, "field": 122, "text": "DOIS"},)",
         "Operador",
         "Cliente",
         {"Msg opmExibirMsgOperador Operador", "Msg opmExibirMsgCliente Cliente",
          "AbreVinculado @ 01 10,00", "ImprimeVia trVinculado 1 UM",
          "ImprimeVia trVinculado 2 DOIS", "Msg opmRemoverMsgOperador ",
          "Msg opmRemoverMsgCliente ", "ECF opeFechaVinculado", "Impressao venda",
          "DepoisConfirmar 1"},
         {std::chrono::milliseconds(2000), std::chrono::milliseconds(2000),
          std::chrono::milliseconds(1000)}},
        {"cheque authentication noted at the end",
         R"({"command": 0, "field": 121, "text": "CHEQUE"}, {"command": 0, "field": 120, "text": "AUT 123"},)",
         "",
         "",
         {"AbreVinculado @ 01 10,00", "ImprimeVia trVinculado 1 CHEQUE", "ECF opeFechaVinculado",
          "Impressao venda", "DepoisConfirmar 1",
          "Msg opmOK Favor anotar no verso do Cheque:\r\nAUT 123"},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        component_.DesInicializar(gpCliSiTef);
        UseScript("[" + c.campos + R"({"status": 0, "record": "payment"}])");
        Start();
        const size_t funcoes = Journal("IniciaFuncaoSiTefInterativo").size();
        ASSERT_TRUE(Pay(10, "01"));
        const std::string doc = Doc(funcoes);
        TKaCliSiTefResp& r = component_.RespostasPendentes().Objects(0);
        r.TextoEspecialOperador = c.operador;
        r.TextoEspecialCliente = c.cliente;
        host_.Reset();
        sleeps_.clear();
        component_.ImprimirTransacoesPendentes();
        Lines esperado{"InfoECF ineEstadoECF"};
        for (std::string linha : c.host) {
            if (auto arroba = linha.find('@'); arroba != std::string::npos)
                linha.replace(arroba, 1, doc);
            esperado.push_back(linha);
        }
        EXPECT_EQ(Host(), esperado);
        EXPECT_EQ(sleeps_, c.sleeps);
        // Confirmed with the library, receipt or not.
        EXPECT_EQ(Finishes().back(), Confirmed(doc));
        EXPECT_EQ(PendingInLibrary(), 0);
    }
}

TEST_F(ReceiptPrinting, AnAdministrativeReceiptIsSettledOnceWhicheverWayItEnds) {
    UseScript(R"([{"command": 0, "field": 121, "text": "ADM 1\nlinha"},
                  {"command": 0, "field": 122, "text": "ADM 2"},
                  {"status": 0, "record": "payment"}])");
    Start();
    const Lines impresso{"ECF opeAbreGerencial",
                         "ImprimeVia trGerencial 1 ADM 1",
                         "ECF opePulaLinhas",
                         "Msg opmDestaqueVia Destaque a 2ª Via",
                         "ImprimeVia trGerencial 2 ADM 2",
                         "ECF opeFechaGerencial"};
    const Lines confirmado{"Impressao venda", "DepoisConfirmar 1"};
    const Lines desfeito{"Impressao venda", "Msg opmOK Transação \"TEF\" não efetuada."};
    struct Case {
        const char* name;
        bool servico;
        std::vector<std::string> falhas;
        std::deque<TModalResult> perguntas;
        std::deque<std::string> estados;
        std::string erro;  // what ADM raises; empty: it returns true
        Lines host;
    } cases[] = {
        {"printed", false, {}, {}, {}, "", Lines{"InfoECF ineEstadoECF"} + impresso + confirmado},
        {"printed in service mode, and the host confirms too",
         true,
         {},
         {},
         {},
         "",
         Lines{"InfoECF ineEstadoECF"} + impresso + Lines{"DepoisConfirmar 1"}},
        {"a coupon still open is cancelled first",
         false,
         {},
         {},
         {"V", "L"},
         "",
         Lines{"InfoECF ineEstadoECF", "ECF opeCancelaCupom", "InfoECF ineEstadoECF"} + impresso +
             confirmado},
        {"printed on the retry",
         false,
         {"ImprimeVia trGerencial 2"},
         {mrYes},
         {},
         "",
         Lines{"InfoECF ineEstadoECF", "ECF opeAbreGerencial", "ImprimeVia trGerencial 1 ADM 1",
               "ECF opePulaLinhas", "Msg opmDestaqueVia Destaque a 2ª Via",
               "ImprimeVia trGerencial 2 ADM 2", kPergunta, "InfoECF ineEstadoECF"} +
             impresso + confirmado},
        {"a printer never free, given up",
         false,
         {},
         {mrNo},
         {"O", "O"},
         "Impressão de Relatório Falhou",
         Lines{"InfoECF ineEstadoECF", "InfoECF ineEstadoECF", kPergunta} + desfeito},
        {"given up in service mode",
         true,
         {"ECF opeAbreGerencial"},
         {mrNo},
         {},
         "Impressão de Relatório Falhou",
         Lines{"InfoECF ineEstadoECF", "ECF opeAbreGerencial", kPergunta,
               "Msg opmOK Transação \"TEF\" não efetuada."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        engine_.ModoServico = component_.ModoServico = c.servico;
        platform::DeleteFile(folder_ / "journal.log");
        host_.Reset();
        host_.falharECF = c.falhas;
        host_.perguntas = c.perguntas;
        host_.estadosECF = c.estados;
        // As the service's result handler does.
        bool confirmou = false;
        host_.aoConfirmar = [&](TKaCliSiTefRespostasPendentes&) {
            confirmou = component_.ConfirmarTransacao(true, component_.Resp().DocumentoVinculado);
        };
        try {
            EXPECT_TRUE(component_.ADM(gpCliSiTef));
            EXPECT_EQ(c.erro, "");
        } catch (const EKaCliSiTefECF& e) {
            EXPECT_EQ(e.what(), c.erro);
        }
        EXPECT_EQ(Host(), c.host);
        EXPECT_EQ(confirmou, c.erro.empty());
        // Settled with the library exactly once, and nothing left behind.
        const std::string exportado =
            c.servico ? "FinalizaFuncaoSiTefInterativo " : "FinalizaTransacaoSiTefInterativo ";
        EXPECT_EQ(Finishes(), Lines{exportado + (c.erro.empty() ? "1 " : "0 ") + Doc(0) + " -> 0"});
        EXPECT_EQ(PendingInLibrary(), 0);
        EXPECT_TRUE(engine_.ArquivosBackup().empty());
        EXPECT_TRUE(component_.RespostasPendentes().Empty());
    }
}

TEST_F(ReceiptPrinting, AdministrativeReceiptTextsAndAnErrorOtherThanThePrinters) {
    UseScript(
        R"([{"command": 0, "field": 121, "text": "ADM"}, {"status": 0, "record": "payment"}])");
    Start();
    host_.Reset();
    // The library's response carries no texts; they are put in as the printing starts.
    host_.interceptar = "InfoECF";
    host_.aoInterceptar = [&] { component_.Resp().TextoEspecialCliente = "Retire o cartão"; };
    EXPECT_TRUE(component_.ADM(gpCliSiTef));
    EXPECT_EQ(Host(), (Lines{"InfoECF ineEstadoECF", "Msg opmExibirMsgCliente Retire o cartão",
                             "ECF opeAbreGerencial", "ImprimeVia trGerencial 1 ADM",
                             "ECF opeFechaGerencial", "Msg opmRemoverMsgOperador ",
                             "Msg opmRemoverMsgCliente ", "Impressao venda", "DepoisConfirmar 1"}));
    // Polled every EsperaSleep milliseconds.
    EXPECT_EQ(sleeps_, std::vector<std::chrono::milliseconds>(20, std::chrono::milliseconds(250)));

    // After a failed pass the texts go at once.
    host_.Reset();
    sleeps_.clear();
    host_.falharECF = {"ImprimeVia"};
    host_.perguntas = {mrNo};
    EXPECT_THROW(component_.ADM(gpCliSiTef), EKaCliSiTefECF);
    EXPECT_EQ(host_.Calls("Msg opmRemover"),
              (Lines{"Msg opmRemoverMsgOperador ", "Msg opmRemoverMsgCliente "}));
    EXPECT_TRUE(sleeps_.empty());

    // An error other than the printer's (here the operator's answer never comes) undoes the
    // function too, and is passed on.
    platform::DeleteFile(folder_ / "journal.log");
    host_.Reset();
    host_.falharECF = {"ImprimeVia"};
    host_.interceptar = "Msg opmYesNo";
    host_.aoInterceptar = [] { throw std::runtime_error("cliente desconectado"); };
    try {
        component_.ADM(gpCliSiTef);
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "cliente desconectado");
    }
    EXPECT_EQ(Finishes(), Lines{Replace(kUndone, Doc(0))});
    EXPECT_EQ(PendingInLibrary(), 0);
    EXPECT_TRUE(engine_.ArquivosBackup().empty());
}

}  // namespace
