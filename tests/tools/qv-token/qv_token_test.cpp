// The token tool, run as a program: what it prints verifies with the service's own check and
// carries the claims it was given.
#include <gtest/gtest.h>

#include <chrono>

#include "platform/file_system.h"
#include "requests/session_token.h"
#include "support/child_process.h"
#include "support/temp_folder.h"

namespace {

struct ToolRun {
    int exit_code;
    std::string output;
};

class TokenTool : public ::testing::Test {
protected:
    ToolRun Tool(const std::vector<std::string>& args) {
        const std::string output = folder_ / ("output" + std::to_string(++runs_) + ".txt");
        qvtest::ChildProcess tool(qvtest::BuildDir() + "tools/qv-token/qv-token", args, {}, output);
        const std::optional<int> code = tool.Wait(std::chrono::seconds(20));
        EXPECT_TRUE(code.has_value());
        return {code.value_or(-1), platform::ReadFile(output).value_or("")};
    }

    // The header and the claims of a printed token, which must verify.
    std::pair<std::string, std::string> Decode(const std::string& output) {
        EXPECT_TRUE(output.ends_with("\n")) << output;
        // Up to the line's end, "\r\n" on Windows.
        const std::string token = output.substr(0, output.find_first_of("\r\n"));
        requests::JsonDocument claims;
        EXPECT_TRUE(requests::VerifySessionToken(token, claims)) << token;
        return {*requests::Base64UrlDecode(token.substr(0, token.find('.'))),
                *requests::Base64UrlDecode(
                    token.substr(token.find('.') + 1, token.rfind('.') - token.find('.') - 1))};
    }

    qvtest::TempFolder folder_;
    int runs_ = 0;
};

TEST_F(TokenTool, SignsClaimsFromOptions) {
    const ToolRun run =
        Tool({"--alg", "HS512", "--ip_address", "10.0.0.1", "--sale_id", "7", "--company_id", "x1",
              "--operator", "Jo\xC3\xA3o", "--claim", "exp=1"});
    ASSERT_EQ(run.exit_code, 0) << run.output;
    const auto [header, claims] = Decode(run.output);
    EXPECT_EQ(header, R"({"alg":"HS512","typ":"JWT"})");
    EXPECT_EQ(claims,
              R"({"ip_address":"10.0.0.1","sale_id":7,"company_id":"x1","operator":"Jo\u00E3o",)"
              R"("exp":"1"})");
    EXPECT_EQ(Decode(Tool({"--store_code", "1"}).output).first, R"({"alg":"HS256","typ":"JWT"})");
}

TEST_F(TokenTool, SignsAClaimsFileAsItStands) {
    const std::string file = R"({ "sale_id": "12a", "nested": {"a": [1, 2]} })";
    ASSERT_TRUE(platform::WriteFile(folder_ / "claims.json", file));
    const ToolRun run = Tool({"--alg", "HS384", "--claims", folder_ / "claims.json"});
    ASSERT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(Decode(run.output).second, file);
}

TEST_F(TokenTool, SignsWithTheShopsKeyAsTheServiceReadsIt) {
    const std::string key = "chave da loja, 32 bytes ou mais!";
    ASSERT_TRUE(platform::WriteFile(folder_ / "token.key", key + "\r\n"));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--key", key}, {"--key-file", folder_ / "token.key"}}) {
        const ToolRun run = Tool([&] {
            std::vector<std::string> all = args;
            all.insert(all.end(), {"--sale_id", "1"});
            return all;
        }());
        ASSERT_EQ(run.exit_code, 0) << run.output;
        const std::string token = run.output.substr(0, run.output.find_first_of("\r\n"));
        requests::JsonDocument claims;
        EXPECT_FALSE(requests::VerifySessionToken(token, claims)) << "not the built-in key";
        EXPECT_TRUE(requests::VerifySessionToken(token, claims, key)) << args[0];
    }
}

TEST_F(TokenTool, WritesAnExpiryAsANumberFromNow) {
    const auto now = [] {
        return std::chrono::duration_cast<std::chrono::seconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    };
    for (const int offset : {3600, -120}) {
        const int64_t before = now();
        const ToolRun run = Tool({"--sale_id", "1", "--expires-in", std::to_string(offset)});
        const int64_t after = now();
        ASSERT_EQ(run.exit_code, 0) << run.output;
        const std::string claims = Decode(run.output).second;
        ASSERT_TRUE(claims.starts_with(R"({"sale_id":1,"exp":)")) << claims;
        const int64_t exp = std::stoll(claims.substr(claims.find(R"("exp":)") + 6));
        EXPECT_GE(exp, before + offset) << claims;
        EXPECT_LE(exp, after + offset) << claims;
    }
}

TEST_F(TokenTool, ExplainsWhatItCannotDo) {
    ASSERT_TRUE(platform::WriteFile(folder_ / "array.json", "[1]"));
    struct Case {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"--bogus", "1"}, "unknown option: --bogus"},
        {{"--alg", "none"}, "--alg must be HS256, HS384 or HS512"},
        {{"--operator"}, "--operator needs a value"},
        {{"--claim", "=x"}, "--claim needs NAME=VALUE"},
        {{"--claims", folder_ / "missing.json"}, "cannot read"},
        {{"--claims", folder_ / "array.json"}, "does not hold a JSON object"},
        {{"--claims", folder_ / "array.json", "--sale_id", "1"}, "cannot be combined"},
        {{"--claims", folder_ / "array.json", "--expires-in", "60"}, "cannot be combined"},
        {{"--expires-in", "1h"}, "--expires-in needs a number of seconds"},
        {{"--key", ""}, "--key needs a key"},
        {{"--key", "a", "--key-file", folder_ / "k"}, "--key cannot be combined with --key-file"},
        {{"--key-file", folder_ / "missing.key"}, "arquivo não encontrado ou ilegível"},
    };
    for (const Case& c : cases) {
        const ToolRun run = Tool(c.args);
        EXPECT_EQ(run.exit_code, 2) << c.message;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
    }
    const ToolRun help = Tool({"--help"});
    EXPECT_EQ(help.exit_code, 0);
    for (const char* claim :
         {"--secctional_code", "--connection_type", "--store_cnpj", "--tef_cnpj",
          "--registration_token", "--ip_address", "--store_code", "--additional_parameters",
          "--operator", "--sale_id", "--company_id", "--callback_url", "--alg", "--claims", "--key",
          "--key-file", "--expires-in"}) {
        EXPECT_NE(help.output.find(claim), std::string::npos) << claim;
    }
}

}  // namespace
