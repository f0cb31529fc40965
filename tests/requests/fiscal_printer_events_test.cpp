// The fiscal-printer events without a fiscal printer: each receipt copy the component prints
// goes to the client as a "receipt" message (and counts as printed even when it cannot be
// sent), and the printer questions are answered from the running operation.
#include <gtest/gtest.h>

#include "requests/tef_operation.h"
#include "support/sim_journal.h"
#include "tef_module.h"

namespace requests {
namespace {

using Lines = std::vector<std::string>;

class FiscalPrinter : public TefModule {
protected:
    void SetEnvironment(qvtest::ScopedEnv& env) override {
        env.Set("QV_HIGHLIGHT_MS", "1");
        env.Set("QV_HIGHLIGHT_STEP_MS", "1");
        env.Set("QV_RECEIPT_TEXTS_MS", "1");
    }
};

TEST_F(FiscalPrinter, ReceiptCopiesGoToTheClientAndAlwaysCountAsPrinted) {
    // An administrative function with a receipt: the component prints it itself.
    UseScript(R"([{"command": 0, "field": 121, "text": "COMPROVANTE\nVIA DO CLIENTE"},
                  {"command": 0, "field": 122, "text": "VIA DA LOJA"},
                  {"status": 0}])");
    OpenSession();
    ScriptedClient client;
    ASSERT_TRUE(RunFunction(client));
    EXPECT_EQ(
        client.Sent("receipt"),
        (Lines{R"({"type":"receipt","copy_number":1,"data":["COMPROVANTE","VIA DO CLIENTE"]})",
               R"({"type":"receipt","copy_number":2,"data":["VIA DA LOJA"]})"}));
    ASSERT_EQ(Journal("FinalizaFuncaoSiTefInterativo").size(), 1u);

    // A client that is gone loses its receipts, but the printing still succeeds.
    ScriptedClient gone;
    gone.Disconnect();
    EXPECT_TRUE(RunFunction(gone));
    const Lines finished = Journal("FinalizaFuncaoSiTefInterativo");
    ASSERT_EQ(finished.size(), 2u);
    EXPECT_EQ(qvtest::JournalValue(finished[1], "confirma"), "1");
}

TEST_F(FiscalPrinter, PrinterQuestionsAreAnsweredFromTheOperation) {
    tef::TKaCliSiTef& component = module_->KaCliSiTef;
    ScriptedClient client;
    TTefOperation operation(*module_, &client);
    // The payment library's engine before it was started, then started.
    component.SetGPAtual(tef::gpCliSiTef);
    EXPECT_EQ(component.InfoECFAsString(tef::ineEstadoECF), "R");
    component.SetGPAtual(tef::gpTefDial);
    EXPECT_EQ(component.InfoECFAsString(tef::ineEstadoECF), "L");
    module_->fValorTransacao = 1892300;
    EXPECT_EQ(component.InfoECFAsString(tef::ineSubTotal), "189,23");
    EXPECT_EQ(component.InfoECFAsString(tef::ineTotalAPagar), "189,23");
    EXPECT_TRUE(client.Sent().empty());
}

}  // namespace
}  // namespace requests
