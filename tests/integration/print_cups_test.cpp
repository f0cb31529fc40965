// A document sent to "/print" comes out of a real printer: the service with our print
// program, printing on a private CUPS scheduler whose printer writes to a file.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/file_system.h"
#include "printing/print_program.h"
#include "support/app_folder.h"
#include "support/private_cups.h"
#include "support/sample_pdf.h"

namespace {

TEST(PrintOnCups, ADocumentSentToThePrintRouteReachesThePrinter) {
    qvtest::PrivateCups cups;
    qvtest::AppFolder app;
    for (const char* file : {printing::kPrintProgramName, printing::kPrintLibraryName})
        app.CopyFile(qvtest::BuildDir() + "tools/print-pdf/" + file, file);
    std::filesystem::permissions(app / printing::kPrintProgramName, std::filesystem::perms(0755));
    std::filesystem::create_directories(app / "tmp");
    app.WriteIni("[sitef]\r\nserver_port=" + std::to_string(app.port()) +
                 "\r\nprinter=" + qvtest::PrivateCups::kPrinter + "\r\n");
    app.SetEnv("CUPS_SERVER", cups.Socket());
    app.SetEnv("TMPDIR", app / "tmp");
    app.StartAndWaitForPort();

    const std::string document = qvtest::SamplePdf("Comprovante de entrega", 20000);
    auto client = app.Client();
    client.SendText(
        R"({"route":"/print","type":"print","file_type":"pdf","data":"data:application/pdf;base64,)" +
        qvtest::Base64Encode(document) + R"("})");
    ASSERT_TRUE(cups.WaitForCompletedJobs(1)) << app.Log() << app.Output() << cups.ErrorLog();
    EXPECT_EQ(platform::ReadFile(cups.OutputFile()).value_or("<unreadable>"), document);
    // "/print" asks for the document at its own size.
    EXPECT_NE(cups.ErrorLog().find("argv[5]=\"print-scaling=none "), std::string::npos);

    // The queue saw success and cleaned up after the job.
    EXPECT_TRUE(app.WaitForLog("[Impressora] Impressão concluída: "));
    EXPECT_EQ(app.Log().find("Processo encerrado com erro"), std::string::npos) << app.Log();
    EXPECT_TRUE(
        qvtest::WaitUntil([&] { return platform::ListFiles(app.path(), "*_Temp.pdf").empty(); }));
    EXPECT_TRUE(std::filesystem::is_empty(app / "tmp"));
    EXPECT_EQ(app.Stop(), 0) << app.Output();
}

}  // namespace
