#include "tef/informacao.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/environment.h"

namespace {

using platform::ToDateTime;
using tef::TKaCliSiTefInformacao;

class Informacao : public ::testing::Test {
protected:
    void SetUp() override { platform::SetEnvText("TZ", "America/Sao_Paulo"); }
};

TKaCliSiTefInformacao With(const char* value) {
    TKaCliSiTefInformacao informacao;
    informacao.SetAsString(value);
    return informacao;
}

TEST_F(Informacao, NumberViewsRead) {
    struct Case {
        const char* value;
        double as_float;
        tef::Money as_money;
        int32_t as_integer;
    } cases[] = {
        {"12,34", 12.34, 123400, 0},
        {"12.34", 12.34, 123400, 0},
        {"1234", 12.34, 123400, 1234},
        {" 005 ", 0.05, 500, 5},
        {"-150", -1.5, -15000, -150},
        {"1.234,56", 1234.56, 12345600, 0},
        {"abc", 0, 0, 0},
        {"", 0, 0, 0},
        {"99999999999", 0, 0, 0},  // beyond 32 bits reads as unreadable
    };
    for (const auto& c : cases) {
        TKaCliSiTefInformacao informacao = With(c.value);
        EXPECT_DOUBLE_EQ(informacao.AsFloat(), c.as_float) << c.value;
        EXPECT_EQ(informacao.AsMoney(), c.as_money) << c.value;
        EXPECT_EQ(informacao.AsInteger(), c.as_integer) << c.value;
    }
}

TEST_F(Informacao, DateViewsRead) {
    int year = platform::Now().year;
    struct Case {
        const char* value;
        std::function<platform::TDateTime(const TKaCliSiTefInformacao&)> view;
        platform::TDateTime expected;
    } cases[] = {
        {"25122025", &TKaCliSiTefInformacao::AsDate, ToDateTime({2025, 12, 25})},
        {"25/12/2025", &TKaCliSiTefInformacao::AsDate, ToDateTime({2025, 12, 25})},
        {"31022025", &TKaCliSiTefInformacao::AsDate, 0},
        {"2512", &TKaCliSiTefInformacao::AsDate, 0},
        {"", &TKaCliSiTefInformacao::AsDate, 0},
        {"103000", &TKaCliSiTefInformacao::AsTime, 10.5 / 24},
        {"10:30:00", &TKaCliSiTefInformacao::AsTime, 10.5 / 24},
        {"250000", &TKaCliSiTefInformacao::AsTime, 0},
        {"2512103000", &TKaCliSiTefInformacao::AsTimeStamp, ToDateTime({year, 12, 25, 10, 30, 0})},
        {"20251126114841", &TKaCliSiTefInformacao::AsTimeStampSQL,
         ToDateTime({2025, 11, 26, 11, 48, 41})},
        {"2025-11-26 11:48:41", &TKaCliSiTefInformacao::AsTimeStampSQL,
         ToDateTime({2025, 11, 26, 11, 48, 41})},
        {"20251326114841", &TKaCliSiTefInformacao::AsTimeStampSQL, 0},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(c.view(With(c.value)), c.expected) << c.value;
    }
}

TEST_F(Informacao, ViewsWrite) {
    using Setter = std::function<void(TKaCliSiTefInformacao&)>;
    platform::TDateTime moment = ToDateTime({2025, 11, 26, 11, 48, 41});
    struct Case {
        Setter write;
        const char* expected;
    } cases[] = {
        {[](auto& i) { i.SetAsFloat(12.34); }, "1234"},
        {[](auto& i) { i.SetAsFloat(0.05); }, "005"},
        {[](auto& i) { i.SetAsFloat(0.005); }, "001"},
        {[](auto& i) { i.SetAsFloat(-0.05); }, "-005"},
        {[](auto& i) { i.SetAsFloat(0); }, ""},
        {[](auto& i) { i.SetAsMoney(1892300); }, "18923"},
        {[](auto& i) { i.SetAsMoney(50); }, "001"},
        {[](auto& i) { i.SetAsMoney(49); }, ""},
        {[](auto& i) { i.SetAsInteger(42); }, "42"},
        {[](auto& i) { i.SetAsInteger(-7); }, "-7"},
        {[](auto& i) { i.SetAsInteger(0); }, ""},
        {[=](auto& i) { i.SetAsDate(moment); }, "26112025"},
        {[](auto& i) { i.SetAsDate(0); }, ""},
        {[=](auto& i) { i.SetAsTime(moment); }, "114841"},
        {[=](auto& i) { i.SetAsTimeStamp(moment); }, "2611114841"},
        {[=](auto& i) { i.SetAsTimeStampSQL(moment); }, "20251126114841"},
        {[](auto& i) { i.SetAsTimeStampSQL(0); }, ""},
    };
    for (size_t n = 0; n < std::size(cases); ++n) {
        TKaCliSiTefInformacao informacao = With("previous");
        cases[n].write(informacao);
        EXPECT_EQ(informacao.AsString(), cases[n].expected) << "case " << n;
    }
}

}  // namespace
