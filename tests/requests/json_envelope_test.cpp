#include "requests/json_envelope.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "requests/json_writer.h"

namespace requests {
namespace {

TEST(JsonWriter, WritesStringsAsPureAscii) {
    struct Case {
        std::string text;
        const char* json;
    } cases[] = {
        {"Sessão inválida.", R"("Sess\u00E3o inv\u00E1lida.")"},
        {"configuração", R"("configura\u00E7\u00E3o")"},
        {"a/b \"q\" \\", R"("a\/b \"q\" \\")"},
        {"\b\t\n\f\r", R"("\b\t\n\f\r")"},
        {std::string("\x01\x1F\x7F", 3), R"("\u0001\u001F)"
                                         "\x7F"
                                         R"(")"},
        {"€ 😀", R"("\u20AC \uD83D\uDE00")"},
        {"bad \xFF byte", R"("bad \uFFFD byte")"},
        {"\"\xC3\xA9/\xFF", R"("\"\u00E9\/\uFFFD")"},
        {"end \xC3", R"("end \uFFFD")"},
        {std::string("nul\0in", 6), R"("nul\u0000in")"},
    };
    for (const auto& c : cases) {
        std::string out;
        AppendJsonString(out, c.text);
        EXPECT_EQ(out, c.json) << c.text;
    }
}

TEST(JsonWriter, WritesNumbers) {
    struct Case {
        double value;
        const char* json;
    } cases[] = {
        {189.23, "189.23"},           {100.0, "100"},     {0.1 + 0.2, "0.3"}, {-5.5, "-5.5"},
        {1234567.891, "1234567.891"}, {0.0001, "0.0001"},
    };
    for (const auto& c : cases) {
        std::string out;
        AppendJsonNumber(out, c.value);
        EXPECT_EQ(out, c.json);
    }
}

TEST(JsonWriter, KeepsMemberOrderAndNests) {
    std::string text = JsonObject()
                           .Add("type", "menu")
                           .Add("count", 3)
                           .Add("value", 12.5)
                           .Add("big", int64_t{9007199254740993})
                           .Add("ok", false)
                           .Add("options", JsonArray().Add("1:Crédito").Add("2:Débito"))
                           .Add("inner", JsonObject().Add("a", true))
                           .AddNull("none")
                           .ToString();
    EXPECT_EQ(text,
              R"({"type":"menu","count":3,"value":12.5,"big":9007199254740993,"ok":false,)"
              R"("options":["1:Cr\u00E9dito","2:D\u00E9bito"],"inner":{"a":true},"none":null})");
    EXPECT_EQ(JsonObject().ToString(), "{}");
    EXPECT_EQ(JsonArray().ToString(), "[]");
}

TEST(JsonEnvelope, ErrorReply) {
    EXPECT_EQ(ErrorReply("Sessão inválida."),
              R"({"type":"error","message":"Sess\u00E3o inv\u00E1lida."})");
}

TEST(JsonEnvelope, AcceptsExactlyOneValue) {
    struct Case {
        const char* text;
        bool valid;
        bool object;
    } cases[] = {
        {R"({"route":"/version"})", true, true},
        {"  {} \n", true, true},
        {"[1,2]", true, false},
        {"\"text\"", true, false},
        {"42", true, false},
        {"null", true, false},
        {"{} {}", false, false},
        {"{}x", false, false},
        {"plain text", false, false},
        {"{\"a\":", false, false},
        {"", false, false},
    };
    for (const auto& c : cases) {
        JsonDocument doc;
        ASSERT_EQ(doc.Parse(c.text), c.valid) << c.text;
        if (c.valid) {
            EXPECT_EQ(doc.IsObject(), c.object) << c.text;
        }
    }
}

// Parsers go back to a pool when a document ends and serve the next one, on any thread, also
// after the thread that used them has ended (the worker threads of the service come and go).
TEST(JsonEnvelope, DocumentsOnThreadsThatComeAndGo) {
    std::atomic<int> parsed{0};
    for (int round = 0; round < 25; ++round) {
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&, t] {
                for (int i = 0; i < 3; ++i) {
                    JsonDocument doc;
                    const std::string text = R"({"n":)" + std::to_string(t * 10 + i) + "}";
                    if (doc.Parse(text) && doc.Object()["n"].get_int64().value() == t * 10 + i)
                        ++parsed;
                }
            });
        for (std::thread& thread : threads) thread.join();
    }
    EXPECT_EQ(parsed, 25 * 4 * 3);
    JsonDocument doc;
    EXPECT_TRUE(doc.Parse(R"({"route":"/version"})"));
}

TEST(JsonEnvelope, GetterGivesTextViews) {
    JsonDocument doc;
    ASSERT_TRUE(doc.Parse(R"({"s":"ação","i":12,"f":150.00,"neg":-0.5,"t":true,"n":null,)"
                          R"("o":{"x":1},"a":[1],"dup":"first","dup":"second","e":""})"));
    auto obj = doc.Object();
    struct Case {
        const char* key;
        const char* text;
    } cases[] = {
        {"s", "ação"}, {"i", "12"}, {"f", "150.0"}, {"neg", "-0.5"},  {"t", "true"},
        {"n", "null"}, {"o", ""},   {"a", ""},      {"dup", "first"}, {"e", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(GetField(obj, c.key), c.text) << c.key;
    EXPECT_TRUE(HasField(obj, "e"));
    EXPECT_FALSE(HasField(obj, "Route"));
}

TEST(JsonEnvelope, MissingFieldFailsWithItsName) {
    JsonDocument doc;
    ASSERT_TRUE(doc.Parse(R"({"Route":"/version"})"));
    try {
        GetField(doc.Object(), "route");
        FAIL() << "no error";
    } catch (const RequestError& e) {
        EXPECT_STREQ(e.what(), "Campo route nao encontrado.");
    }
}

TEST(JsonEnvelope, ObjectOfNonObjectFails) {
    JsonDocument doc;
    ASSERT_TRUE(doc.Parse("[1,2]"));
    EXPECT_THROW(doc.Object(), NotAnObjectError);
}

}  // namespace
}  // namespace requests
