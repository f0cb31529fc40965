#include "tef/money.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace tef;

TEST(Money, FromDoubleRoundsHalfToEven) {
    struct Case {
        double value;
        Money expected;
    } cases[] = {
        {12.34, 123400},   {189.23, 1892300}, {0.0001, 1},       {0.00004, 0},     {0.00005, 0},
        {0.00025, 2},      {0.12345, 1234},   {0.12355, 1236},   {2.00025, 20002}, {-0.00025, -2},
        {-12.34, -123400}, {0.0, 0},          {std::nan(""), 0}, {1e300, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MoneyFromDouble(c.value), c.expected) << c.value;
    }
    // The half-way cases above are exact halves in floating point, so they test the rule.
    EXPECT_EQ(0.00025 * 10000, 2.5);
    EXPECT_EQ(0.12355 * 10000, 1235.5);
    EXPECT_DOUBLE_EQ(MoneyToDouble(1892300), 189.23);
}

TEST(Money, CentsRoundHalfAwayFromZero) {
    struct Case {
        Money money;
        int64_t cents;
    } cases[] = {
        {123400, 1234},   {123450, 1235}, {123449, 1234}, {-123450, -1235},
        {-123449, -1234}, {49, 0},        {50, 1},        {0, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(MoneyToCents(c.money), c.cents) << c.money;
    EXPECT_EQ(MoneyFromCents(1234), 123400);
    EXPECT_EQ(MoneyFromCents(-5), -500);
}

TEST(Money, TextWithEitherSeparator) {
    struct Case {
        const char* text;
        Money expected;
    } cases[] = {
        {"12,34", 123400},      {"12.34", 123400}, {" 7 ", 70000}, {"-0,5", -5000},
        {",5", 5000},           {"12,", 120000},   {"0,00005", 1}, {"0,000049", 0},
        {"1,23456789", 12346},  {"abc", 0},        {"", 0},        {"1.234,56", 0},
        {"12,3a", 0},           {"-", 0},          {",", 0},       {"1e3", 0},
        {"123456789012345", 0},  // beyond the amounts a record can hold
    };
    for (const auto& c : cases) EXPECT_EQ(MoneyFromText(c.text), c.expected) << c.text;
}

TEST(Money, AmountTextHasTwoDecimals) {
    struct Case {
        Money value;
        char separator;
        const char* expected;
    } cases[] = {
        {123400, ',', "12,34"},   {0, ',', "0,00"},
        {-500, ',', "-0,05"},     {123450, ',', "12,35"},
        {49, ',', "0,00"},        {123400, '.', "12.34"},
        {1892300, ',', "189,23"}, {100000000, ',', "10000,00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MoneyToAmountText(c.value, c.separator), c.expected) << c.value;
    }
}

}  // namespace
