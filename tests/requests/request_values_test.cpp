// Numbers, amounts and dates of client requests, with the texts a client is answered.
#include "requests/request_values.h"

#include <gtest/gtest.h>

#include "requests/json_envelope.h"

namespace requests {
namespace {

std::string ErrorOf(const std::function<void()>& read) {
    try {
        read();
    } catch (const RequestError& e) {
        return e.what();
    }
    return "no error";
}

TEST(RequestValues, Integers) {
    EXPECT_EQ(IntegerValue("114"), 114);
    EXPECT_EQ(IntegerValue("-3"), -3);
    for (const char* text : {"", "3a", "1.0", "99999999999", " 3"}) {
        EXPECT_EQ(ErrorOf([&] { IntegerValue(text); }),
                  "'" + std::string(text) + "' não é um número inteiro válido.")
            << text;
    }
}

TEST(RequestValues, AmountsTakeEitherSeparatorAndNoGrouping) {
    const std::pair<const char*, tef::Money> read[] = {
        {"189,23", 1892300}, {"189.23", 1892300}, {"7", 70000},   {" 12,5 ", 125000}, {"0", 0},
        {"-0,5", -5000},     {",5", 5000},        {"0,00005", 1},
    };
    for (const auto& [text, money] : read) EXPECT_EQ(AmountValue(text), money) << text;
    for (const char* text :
         {"1e3", "1.000,50", "1,000.50", "12,3,4", "", "abc", "12 34", "999999999999999"}) {
        EXPECT_EQ(ErrorOf([&] { AmountValue(text); }),
                  "'" + std::string(text) + "' não é um valor de ponto flutuante válido.")
            << text;
    }
}

TEST(RequestValues, TransactionDates) {
    struct Case {
        const char* text;
        const char* turned;
        std::optional<platform::LocalDateTime> moment;
    } cases[] = {
        {"2025-11-26 15:48:41", "26/11/2025 15:48:41", {{2025, 11, 26, 15, 48, 41, 0}}},
        {"2025-11-26", "26/11/2025", {{2025, 11, 26, 0, 0, 0, 0}}},
        {"2025-11-26 15:48:41 UTC", "26/11/2025 15:48:41", {{2025, 11, 26, 15, 48, 41, 0}}},
        {"2025/11/26 15.48.41", "26/11/2025 15:48:41", {{2025, 11, 26, 15, 48, 41, 0}}},
        {"2025-11-26 15:48", "26/11/2025 Formato de hora inválido", std::nullopt},
        {"2025-11-26  15:48:41", "26/11/2025 Formato de hora inválido", std::nullopt},
        {"26/11/2025", "25//2/26/1", std::nullopt},
        {"2025-11-6", "Formato de data inválido", std::nullopt},
        {" 2025-11-26", "Formato de data inválido", std::nullopt},
        {"", "Formato inválido", std::nullopt},
        {"2025-02-30", "30/02/2025", std::nullopt},
        {"2025-11-26 24:00:00", "26/11/2025 24:00:00", std::nullopt},
        {"2025-11-26 1a:00:00", "26/11/2025 1a:00:00", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseTransactionDate(c.text), c.turned) << c.text;
        const std::optional<platform::TDateTime> value =
            DateTimeValue(ParseTransactionDate(c.text));
        ASSERT_EQ(value.has_value(), c.moment.has_value()) << c.text;
        if (value) {
            EXPECT_EQ(platform::FromDateTime(*value), *c.moment) << c.text;
        }
    }
}

TEST(RequestValues, DateTimesOfTheBrazilianForm) {
    EXPECT_EQ(platform::FromDateTime(*DateTimeValue("6/1/2024 7:05")),
              (platform::LocalDateTime{2024, 1, 6, 7, 5, 0, 0}));
    EXPECT_EQ(platform::FromDateTime(*DateTimeValue("29/02/2024 23:59:59")),
              (platform::LocalDateTime{2024, 2, 29, 23, 59, 59, 0}));
    for (const char* text :
         {"29/02/2025", "26/11/25", "26/11/2025 ", "26/11/2025 15", "126/11/2025", "26-11-2025",
          "26/11/2025 15:48:41:00", "26/11/20250"}) {
        EXPECT_FALSE(DateTimeValue(text).has_value()) << text;
    }
}

}  // namespace
}  // namespace requests
