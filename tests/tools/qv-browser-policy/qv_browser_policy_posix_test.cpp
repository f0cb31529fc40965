// qv-browser-policy run as a program below a redirected root: the origins it takes and how it
// writes them, the files it takes back, and allowed_origins filled from the same origins only
// once every browser's file is in place.
#include <gtest/gtest.h>

#include <chrono>

#include "platform/file_system.h"
#include "service/config_file.h"
#include "support/child_process.h"
#include "support/temp_folder.h"

namespace {

struct ToolRun {
    int exit_code;
    std::string output;
};

constexpr const char* kChromiumFile = "etc/chromium/policies/managed/quorvex-tef-server.json";
constexpr const char* kChromeFile = "etc/opt/chrome/policies/managed/quorvex-tef-server.json";
constexpr const char* kEdgeFile = "etc/opt/edge/policies/managed/quorvex-tef-server.json";

std::string PolicyFor(const std::string& origin) {
    return "{\n  \"LocalNetworkAccessAllowedForUrls\": [\n    \"" + origin + "\"\n  ]\n}\n";
}

class BrowserPolicyTool : public ::testing::Test {
protected:
    // Runs the tool with `args` below the test's root.
    ToolRun Tool(std::vector<std::string> args) {
        args.insert(args.end(), {"--root", root_.path()});
        const std::string output = files_ / ("output" + std::to_string(++runs_) + ".txt");
        qvtest::ChildProcess tool(qvtest::BuildDir() + "tools/qv-browser-policy/qv-browser-policy",
                                  args, {}, output);
        const std::optional<int> code = tool.Wait(std::chrono::seconds(20));
        EXPECT_TRUE(code.has_value());
        return {code.value_or(-1), platform::ReadFile(output).value_or("")};
    }

    std::string Read(const std::string& relative) {
        return platform::ReadFile(root_ / relative).value_or("<missing>");
    }

    std::string Ini(const std::string& lines) {
        const std::string path = files_ / "QuorvexSiTefService.ini";
        EXPECT_TRUE(platform::WriteFile(path, lines));
        return path;
    }

    qvtest::TempFolder root_;
    qvtest::TempFolder files_;
    int runs_ = 0;
};

TEST_F(BrowserPolicyTool, WritesEveryBrowsersFileAndTakesThemBack) {
    ToolRun run = Tool({"--origin", "HTTPS://PDV.Loja.Example:443/"});
    ASSERT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(run.output, "Chromium: wrote " + root_ / kChromiumFile + "\n" +
                              "Google Chrome: wrote " + root_ / kChromeFile + "\n" +
                              "Microsoft Edge: wrote " + root_ / kEdgeFile + "\n");
    for (const char* file : {kChromiumFile, kChromeFile, kEdgeFile})
        EXPECT_EQ(Read(file), PolicyFor("https://pdv.loja.example")) << file;

    run = Tool({"--remove"});
    ASSERT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(run.output, "Chromium: removed " + root_ / kChromiumFile + "\n" +
                              "Google Chrome: removed " + root_ / kChromeFile + "\n" +
                              "Microsoft Edge: removed " + root_ / kEdgeFile + "\n");
    for (const char* file : {kChromiumFile, kChromeFile, kEdgeFile})
        EXPECT_FALSE(platform::FileExists(root_ / file)) << file;
    run = Tool({"--remove", "--browser", "edge"});
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.output, "Microsoft Edge: nothing to remove at " + root_ / kEdgeFile + "\n");
}

TEST_F(BrowserPolicyTool, OnlyTheBrowsersAndTheNameAsked) {
    const ToolRun run =
        Tool({"--origin", "https://a.example:8443", "--origin", "https://b.example", "--origin",
              "https://A.example:8443/", "--browser", "chromium", "--name", "teste-1"});
    ASSERT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(Read("etc/chromium/policies/managed/teste-1.json"),
              "{\n  \"LocalNetworkAccessAllowedForUrls\": [\n    \"https://a.example:8443\",\n"
              "    \"https://b.example\"\n  ]\n}\n");
    EXPECT_FALSE(platform::DirectoryExists(root_ / "etc/opt"));
}

TEST_F(BrowserPolicyTool, OriginsAreTakenOnlyAsHttpsSchemeHostAndPort) {
    const struct {
        const char* given;
        const char* written;  // nullptr: refused
    } cases[] = {
        {"https://pdv.loja.example", "https://pdv.loja.example"},
        {"https://pdv.loja.example:8443/", "https://pdv.loja.example:8443"},
        {"https://192.168.0.10:8444", "https://192.168.0.10:8444"},
        {"https://[::1]:8444", "https://[::1]:8444"},
        {"https://caixa-01", "https://caixa-01"},
        {"http://pdv.loja.example", nullptr},
        {"pdv.loja.example", nullptr},
        {"https://", nullptr},
        {"https://pdv.loja.example/caixa", nullptr},
        {"https://pdv.loja.example?x=1", nullptr},
        {"https://*.loja.example", nullptr},
        {"https://operador@pdv.loja.example", nullptr},
        {"https://pdv..example", nullptr},
        {"https://pdv.loja.example:0", nullptr},
        {"https://pdv.loja.example:65536", nullptr},
        {"https://pdv.loja.example:", nullptr},
        {"https://[::1", nullptr},
        {"https://pdv.loja.example\"]}", nullptr},
    };
    for (const auto& c : cases) {
        const ToolRun run = Tool({"--origin", c.given, "--browser", "chromium"});
        if (c.written) {
            EXPECT_EQ(run.exit_code, 0) << c.given << ": " << run.output;
            EXPECT_EQ(Read(kChromiumFile), PolicyFor(c.written)) << c.given;
        } else {
            EXPECT_EQ(run.exit_code, 2) << c.given << ": " << run.output;
            EXPECT_NE(run.output.find(std::string("\"") + c.given + "\""), std::string::npos)
                << run.output;
            EXPECT_FALSE(platform::FileExists(root_ / kChromiumFile)) << c.given;
        }
        ASSERT_EQ(Tool({"--remove"}).exit_code, 0);
    }
    EXPECT_NE(Tool({"--origin", "http://pdv.loja.example"}).output.find("over HTTPS"),
              std::string::npos);
}

TEST_F(BrowserPolicyTool, AllowedOriginsGainsTheOriginsOnce) {
    const std::string ini =
        Ini("[sitef]\r\nserver_port=8443\r\nallowed_origins=https://outra.example, "
            "HTTPS://PDV.loja.example\r\nrequire_origin=1\r\n");
    ToolRun run = Tool({"--origin", "https://pdv.loja.example", "--origin",
                        "https://novo.example:8444", "--ini", ini});
    ASSERT_EQ(run.exit_code, 0) << run.output;
    const std::string expected =
        "https://outra.example,HTTPS://PDV.loja.example,https://novo.example:8444";
    EXPECT_NE(run.output.find("allowed_origins=" + expected + " in " + ini), std::string::npos)
        << run.output;
    service::ConfigFile config(ini);
    EXPECT_EQ(config.ReadString("sitef", "allowed_origins", ""), expected);
    EXPECT_EQ(config.ReadInteger("sitef", "server_port", 0), 8443);
    EXPECT_TRUE(config.ReadBool("sitef", "require_origin", false));

    ASSERT_EQ(Tool({"--origin", "https://novo.example:8444", "--ini", ini}).exit_code, 0);
    EXPECT_EQ(config.ReadString("sitef", "allowed_origins", ""), expected);
}

TEST_F(BrowserPolicyTool, AllowedOriginsIsLeftAsItWasUnlessEveryBrowserGotItsFile) {
    const std::string ini = Ini("[sitef]\r\nallowed_origins=https://outra.example\r\n");
    ASSERT_TRUE(platform::ForceDirectories(root_ / "etc/opt"));
    ASSERT_TRUE(platform::WriteFile(root_ / "etc/opt/chrome", "not a folder"));
    const ToolRun run = Tool({"--origin", "https://pdv.loja.example", "--ini", ini});
    EXPECT_EQ(run.exit_code, 1) << run.output;
    EXPECT_NE(run.output.find("Google Chrome: mkdir " + root_ / "etc/opt/chrome: Not a directory"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("allowed_origins in " + ini + " left as it was"), std::string::npos)
        << run.output;
    EXPECT_EQ(service::ConfigFile(ini).ReadString("sitef", "allowed_origins", ""),
              "https://outra.example");

    // A configuration file that is not there is a mistake in the command: nothing is written.
    const ToolRun missing =
        Tool({"--origin", "https://pdv.loja.example", "--ini", files_ / "nenhum.ini"});
    EXPECT_EQ(missing.exit_code, 2) << missing.output;
    EXPECT_FALSE(platform::FileExists(files_ / "nenhum.ini"));
}

TEST_F(BrowserPolicyTool, WarnsOfAnotherFileSettingTheSamePolicy) {
    const std::string shop = root_ / "etc/chromium/policies/managed/loja.json";
    ASSERT_TRUE(platform::ForceDirectories(root_ / "etc/chromium/policies/managed"));
    ASSERT_TRUE(platform::WriteFile(
        shop, R"({"LocalNetworkAccessAllowedForUrls": ["https://a.example"]})"));
    const ToolRun run = Tool({"--origin", "https://pdv.loja.example", "--browser", "chromium"});
    EXPECT_EQ(run.exit_code, 0) << run.output;
    EXPECT_NE(run.output.find("warning: " + shop +
                              " also sets LocalNetworkAccessAllowedForUrls; "
                              "Chromium takes it from one file only"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(Read("etc/chromium/policies/managed/loja.json"),
              R"({"LocalNetworkAccessAllowedForUrls": ["https://a.example"]})");
}

TEST_F(BrowserPolicyTool, CommandsThatCannotBeMeantAreRefused) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{},
          {"--browser", "chromium"},
          {"--remove", "--origin", "https://a.example"},
          {"--remove", "--ini", "x.ini"},
          {"--origin", "https://a.example", "--browser", "firefox"},
          {"--origin", "https://a.example", "--name", "../x"},
          {"--origin"},
          {"https://a.example"}}) {
        const ToolRun run = Tool(args);
        EXPECT_EQ(run.exit_code, 2) << run.output;
        EXPECT_NE(run.output.find("qv-browser-policy --help"), std::string::npos) << run.output;
    }
    EXPECT_FALSE(platform::DirectoryExists(root_ / "etc"));
    const ToolRun help = Tool({"--help"});
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_NE(help.output.find("LocalNetworkAccessAllowedForUrls"), std::string::npos);
}

}  // namespace
