// The service process driven by the signals the service manager sends, and its install
// switches.
#include <gtest/gtest.h>
#include <signal.h>

#include "platform/file_system.h"
#include "platform/socket.h"
#include "support/app_folder.h"

namespace {

using Texts = std::vector<std::string>;

const std::string kStarted = "O serviço foi inciado.";
const std::string kStarting = "Iniciando servidor socket.";
const std::string kPrinting = "[Impressora] ";

class ServiceLifecycle : public ::testing::Test {
protected:
    void TearDown() override { app_.Stop(); }

    // Sends `sig` and waits for the log line that shows it was handled.
    void Control(int sig, const std::string& line) {
        const size_t before = Count(line);
        app_.Signal(sig);
        ASSERT_TRUE(qvtest::WaitUntil([&] { return Count(line) > before; })) << app_.Log();
    }

    size_t Count(const std::string& line) const {
        const Texts texts = app_.LogTexts();
        return static_cast<size_t>(std::count(texts.begin(), texts.end(), line));
    }

    // The log without the print queue's lines, which its worker writes at its own pace.
    Texts ServiceTexts() const {
        Texts texts = app_.LogTexts();
        std::erase_if(texts, [](const std::string& text) { return text.starts_with(kPrinting); });
        return texts;
    }

    void StartAndWaitForLog() {
        app_.Start();
        ASSERT_TRUE(app_.WaitForLog(kStarted)) << app_.Output();
    }

    qvtest::AppFolder app_;
};

TEST_F(ServiceLifecycle, StartPauseContinueStop) {
    app_.StartAndWaitForPort();
    auto client = app_.Client();

    Control(SIGUSR1, "O serviço foi pausado.");
    EXPECT_TRUE(client.WaitForClose()) << "pausing ends the connections";
    EXPECT_FALSE(app_.ListensOn());

    Control(SIGUSR2, "O serviço foi retomado.");
    EXPECT_TRUE(app_.WaitForPort(std::chrono::seconds(10)));
    client = app_.Client();

    app_.Signal(SIGTERM);
    EXPECT_TRUE(client.WaitForClose());
    EXPECT_EQ(app_.Stop(), 0);
    EXPECT_EQ(ServiceTexts(), (Texts{kStarting, kStarted, "O serviço foi pausado.", kStarting,
                                     "O serviço foi retomado.", "O serviço foi parado."}));
    // One print queue from start to stop, whatever the pauses; it has ended when the stop
    // is logged.
    EXPECT_EQ(Count(kPrinting + "Thread de impressão iniciada"), 1u);
    const Texts texts = app_.LogTexts();
    const auto ended =
        std::find(texts.begin(), texts.end(), kPrinting + "Thread de impressão finalizada");
    EXPECT_LT(ended - texts.begin(),
              std::find(texts.begin(), texts.end(), "O serviço foi parado.") - texts.begin());
}

TEST_F(ServiceLifecycle, RequestsThatDoNotFitTheStateAreIgnored) {
    app_.StartAndWaitForPort();
    Control(SIGUSR1, "O serviço foi pausado.");
    app_.Signal(SIGUSR1);  // already paused
    Control(SIGUSR2, "O serviço foi retomado.");
    app_.Signal(SIGUSR2);  // already running
    Control(SIGINT, "O serviço foi parado.");
    EXPECT_EQ(app_.Stop(), 0);
    EXPECT_EQ(Count("O serviço foi pausado."), 1u);
    EXPECT_EQ(Count("O serviço foi retomado."), 1u);
}

TEST_F(ServiceLifecycle, ContinueListensOnTheNewlyConfiguredPort) {
    app_.StartAndWaitForPort();
    Control(SIGUSR1, "O serviço foi pausado.");
    const uint16_t new_port = qvtest::FreePort();
    app_.SetPort(new_port);
    Control(SIGUSR2, "O serviço foi retomado.");
    ASSERT_TRUE(app_.WaitForPort(std::chrono::seconds(10), new_port));
    EXPECT_TRUE(app_.ListensOn(new_port));
    EXPECT_FALSE(app_.ListensOn());
}

TEST_F(ServiceLifecycle, ATakenPortLeavesTheServiceRunningWithoutListener) {
    {
        platform::Socket taken = platform::ListenTcp(platform::IpFamily::kIPv4, app_.port(), 1);
        StartAndWaitForLog();
        EXPECT_EQ(ServiceTexts(), (Texts{kStarting, kStarted}));
        // Our own socket holds IPv4; the service took nothing, not even IPv6.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_FALSE(app_.ListensOn());
    }
    // Once the port is free, a pause and continue tries again.
    Control(SIGUSR1, "O serviço foi pausado.");
    Control(SIGUSR2, "O serviço foi retomado.");
    EXPECT_TRUE(app_.WaitForPort(std::chrono::seconds(10)));
    EXPECT_EQ(app_.Stop(), 0);
}

TEST_F(ServiceLifecycle, AMissingCertificateLeavesTheServiceRunningWithoutListener) {
    app_.RemoveFile("Certificado/ca_cert.pem");
    StartAndWaitForLog();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(app_.ListensOn());
    EXPECT_EQ(app_.Stop(), 0);
    EXPECT_EQ(ServiceTexts(), (Texts{kStarting, kStarted, "O serviço foi parado."}));
}

class ServiceInstall : public ::testing::Test {
protected:
    ServiceInstall() { app_.SetEnv("QV_SYSTEMD_UNIT_DIR", units_.path()); }

    std::string Unit() const { return units_ / "QuorvexSiTefService.service"; }
    std::string WantsLink() const {
        return units_ / "multi-user.target.wants/QuorvexSiTefService.service";
    }

    qvtest::TempFolder units_;
    qvtest::AppFolder app_;
};

TEST_F(ServiceInstall, InstallWritesAnEnabledUnitAndUninstallRemovesIt) {
    const std::vector<std::string> install_switches[] = {
        {"INSTALL"}, {"/install", "/silent"}, {"-Install"}, {"--INSTALL", "SILENT"}};
    for (const auto& args : install_switches) {
        SCOPED_TRACE(args[0]);
        ASSERT_EQ(app_.RunToEnd(args), 0) << app_.Output();
        const std::string unit = platform::ReadFile(Unit()).value_or("");
        EXPECT_NE(unit.find("\nDescription=Quorvex TEF Server - Mantenha este serviço iniciado.\n"),
                  std::string::npos)
            << unit;
        EXPECT_NE(unit.find("\nExecStart=" + app_.ExecutablePath() + "\n"), std::string::npos);
        EXPECT_NE(unit.find("\nWantedBy=multi-user.target\n"), std::string::npos);
        EXPECT_TRUE(platform::FileExists(WantsLink()));

        ASSERT_EQ(app_.RunToEnd({"uninstall"}), 0) << app_.Output();
        EXPECT_FALSE(platform::FileExists(Unit()));
        EXPECT_FALSE(platform::FileExists(WantsLink()));
    }
    EXPECT_TRUE(app_.LogTexts().empty()) << "installing does not start the service";
}

TEST_F(ServiceInstall, SilentSuppressesTheConfirmation) {
    ASSERT_EQ(app_.RunToEnd({"install", "silent"}), 0);
    EXPECT_EQ(app_.Output(), "");
    ASSERT_EQ(app_.RunToEnd({"uninstall"}), 0);
    EXPECT_NE(app_.Output().find("removido"), std::string::npos);
}

TEST_F(ServiceInstall, AnUnwritableUnitFolderFails) {
    app_.SetEnv("QV_SYSTEMD_UNIT_DIR", units_ / "missing/deeper");
    ASSERT_TRUE(platform::WriteFile(units_ / "missing", "a file, not a folder"));
    EXPECT_EQ(app_.RunToEnd({"install"}), 1);
    EXPECT_NE(app_.Output().find("Não foi possível gravar"), std::string::npos) << app_.Output();
}

}  // namespace
