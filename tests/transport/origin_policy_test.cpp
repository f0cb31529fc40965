#include "transport/origin_policy.h"

#include <gtest/gtest.h>

namespace {

using transport::OriginPolicy;

std::string Request(const std::string& headers) {
    return "GET / HTTP/1.1\r\nHost: localhost\r\nSec-WebSocket-Key: x\r\n" + headers + "\r\n";
}

TEST(OriginPolicy, TheDefaultRefusesNothing) {
    const OriginPolicy policy;
    EXPECT_FALSE(policy.Active());
    for (const char* headers :
         {"", "Origin: https://evil.test\r\n", "Origin: a\r\nOrigin: b\r\n"}) {
        EXPECT_EQ(policy.Refusal(Request(headers)), std::nullopt) << headers;
    }
}

TEST(OriginPolicy, DecidesByTheOriginHeader) {
    const std::vector<std::string> shop = {"https://pdv.loja.test", "HTTP://localhost:3000/"};
    struct Case {
        const char* name;
        std::vector<std::string> allowed;
        bool require_origin;
        std::string headers;
        std::optional<std::string> refusal;
    } cases[] = {
        {"listed", shop, false, "Origin: https://pdv.loja.test\r\n", std::nullopt},
        {"listed, another spelling", shop, false, "origin:   http://LOCALHOST:3000 \r\n",
         std::nullopt},
        {"default port written out", shop, false, "Origin: https://pdv.loja.test:443\r\n",
         std::nullopt},
        {"not listed", shop, false, "Origin: https://evil.test\r\n",
         "origem \"https://evil.test\" não permitida"},
        {"another port", shop, false, "Origin: https://pdv.loja.test:8443\r\n",
         "origem \"https://pdv.loja.test:8443\" não permitida"},
        {"listed host over another scheme", shop, false, "Origin: http://pdv.loja.test\r\n",
         "origem \"http://pdv.loja.test\" não permitida"},
        {"a sandboxed page", shop, false, "Origin: null\r\n", "origem \"null\" não permitida"},
        {"a prefix of a listed one", shop, false, "Origin: https://pdv.loja.tes\r\n",
         "origem \"https://pdv.loja.tes\" não permitida"},
        {"two origins", shop, false,
         "Origin: https://pdv.loja.test\r\nOrigin: https://pdv.loja.test\r\n",
         "mais de um cabeçalho Origin"},
        {"no origin, allowed", shop, false, "", std::nullopt},
        {"no origin, required", shop, true, "", "requisição sem cabeçalho Origin"},
        {"an empty origin header is one", shop, true, "Origin:\r\n", "origem \"\" não permitida"},
        {"required, any origin", {}, true, "Origin: https://any.test\r\n", std::nullopt},
        {"required, none", {}, true, "", "requisição sem cabeçalho Origin"},
        {"Origin in another header's value", shop, true, "X-Note: Origin: x\r\n",
         "requisição sem cabeçalho Origin"},
        {"control bytes are not logged", shop, false,
         "Origin: a\x01\x7f"
         "b\r\n",
         "origem \"a??b\" não permitida"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(OriginPolicy(c.allowed, c.require_origin).Refusal(Request(c.headers)), c.refusal);
    }
}

TEST(OriginPolicy, ALongOriginIsCutInTheLog) {
    const std::string origin = "https://" + std::string(500, 'a') + ".test";
    const auto refusal = OriginPolicy({"https://pdv.loja.test"}, false)
                             .Refusal(Request("Origin: " + origin + "\r\n"));
    ASSERT_TRUE(refusal.has_value());
    EXPECT_EQ(*refusal, "origem \"" + origin.substr(0, 200) + "...\" não permitida");
}

TEST(OriginPolicy, ListsAreSeparatedByCommasSemicolonsOrBlanks) {
    EXPECT_EQ(OriginPolicy::ParseList(" https://a.test, https://b.test;https://c.test\thttp://d "),
              (std::vector<std::string>{"https://a.test", "https://b.test", "https://c.test",
                                        "http://d"}));
    EXPECT_TRUE(OriginPolicy::ParseList(" , ; ").empty());
    EXPECT_EQ(OriginPolicy({"HTTPS://Loja.Test:443/"}, false).Allowed(),
              std::vector<std::string>{"https://loja.test"});
    EXPECT_EQ(OriginPolicy::Normalize("http://loja.test:80"), "http://loja.test");
    EXPECT_EQ(OriginPolicy::Normalize("https://loja.test:80"), "https://loja.test:80");
}

}  // namespace
