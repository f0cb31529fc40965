// The card-data rule: answers masked by their field type, and the scan that finds card
// numbers wherever they stand while leaving the numbers of an ordinary payment alone.
#include "card_data/card_mask.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "card_data/wipe.h"

namespace {

using card_data::MaskAnswer;
using card_data::MaskCardNumbers;
using card_data::MaskedCardNumbers;

TEST(CardMask, AnswersAreMaskedByTheirFieldType) {
    struct Case {
        int field;
        const char* prompt;
        const char* answer;
        const char* written;
    } cases[] = {
        {512, "Forneca o numero do cartao", "4111111111111111", "411111******1111"},
        {512, "", "4111 1111 1111 1111", "4111 11** **** 1111"},
        {512, "", "378282246310005", "378282*****0005"},
        // Too short to show anything of it (a typo, or a number cut short).
        {512, "", "411111111117", "************"},
        {513, "Forneca a data de vencimento do cartao (MMAA)", "1230", "***"},
        {514, "Forneca o codigo de seguranca", "123", "***"},
        {514, "", "1234", "***"},
        {500, "", "8642", "***"},
        {530, "Forneca a senha do supervisor", "8642", "***"},
        {0, "SENHA:", "abc", "***"},
        {600, "Forneca o numero de parcelas", "03", "03"},
        {146, "Valor do saque", "12,50", "12,50"},
        {516, "Forneca o NSU", "000777", "000777"},
        {513, "", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MaskAnswer(c.field, c.prompt, c.answer), c.written)
            << c.field << " " << c.prompt << " " << c.answer;
    }
}

TEST(CardMask, CardNumbersAreFoundAndMaskedWhereverTheyStand) {
    struct Case {
        const char* text;
        const char* masked;
    } cases[] = {
        {"4111111111111111", "411111******1111"},
        {"Buffer = 5555555555554444 Tam.Min = 0", "Buffer = 555555******4444 Tam.Min = 0"},
        {"2021-000 = 4111111111111111\r\n", "2021-000 = 411111******1111\r\n"},
        // Separators stay where they were.
        {"CARTAO 4111 1111 1111 1111 VISA", "CARTAO 4111 11** **** 1111 VISA"},
        {"5555-5555-5555-4444.", "5555-55**-****-4444."},
        {"3782 822463 10005", "3782 82**** *0005"},
        {"4111-1111 1111-1111", "4111-11** ****-1111"},
        // 13 and 19 digits are card numbers too.
        {"4222222222222", "422222***2222"},
        {"4000000000000000006", "400000*********0006"},
        // Inside longer text: a receipt's escaped line feeds, JSON, letters around it.
        {R"(VIA\x0A4111 1111 1111 1111\x0AVALOR)", R"(VIA\x0A4111 11** **** 1111\x0AVALOR)"},
        {R"({"card_number":"4111111111111111"})", R"({"card_number":"411111******1111"})"},
        {"ABC4111111111111111x", "ABC411111******1111x"},
        {"4111111111111111 e 5555555555554444", "411111******1111 e 555555******4444"},
        // Not card numbers: the Luhn check fails, too few or too many digits.
        {"4111111111111112", "4111111111111112"},
        {"4000123456789010", "4000123456789010"},
        {"411111111117", "411111111117"},
        {"41111111111111110000", "41111111111111110000"},
        {"4111  1111 1111 1111", "4111  1111 1111 1111"},
        {"4111 - 1111 - 1111 - 1111", "4111 - 1111 - 1111 - 1111"},
        // What an ordinary payment writes passes unchanged.
        {"*** IniciaFuncaoSiTefInterativo. Modalidade: 3 Valor: 189,23 Documento: 56921 "
         "Data: 20251126 Hora: 154841 Operador:  Restricoes: {DevolveStringQRCode=1}",
         "*** IniciaFuncaoSiTefInterativo. Modalidade: 3 Valor: 189,23 Documento: 56921 "
         "Data: 20251126 Hora: 154841 Operador:  Restricoes: {DevolveStringQRCode=1}"},
        {"133-000 = 000001\r\n134-000 = 100000001\r\n135-000 = 123456\r\n",
         "133-000 = 000001\r\n134-000 = 100000001\r\n135-000 = 123456\r\n"},
        {"VALOR: R$ 1.234.567,89  NSU: 000001   AUTORIZAÇÃO: 123456",
         "VALOR: R$ 1.234.567,89  NSU: 000001   AUTORIZAÇÃO: 123456"},
        {"LOJA: 00000000   TERMINAL: AG001203 CNPJ: 12.345.678/0001-95",
         "LOJA: 00000000   TERMINAL: AG001203 CNPJ: 12.345.678/0001-95"},
        {"CPF 12345678909 CNPJ 11222333000181 FONE (11) 99999-8888",
         "CPF 12345678909 CNPJ 11222333000181 FONE (11) 99999-8888"},
        {"2025-11-26 15:48:41 26/11/2025", "2025-11-26 15:48:41 26/11/2025"},
        // The library's time stamps, even those that pass the check.
        {"105-000 = 20251126154841", "105-000 = 20251126154841"},
        {"105-000 = 20251126150007", "105-000 = 20251126150007"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(MaskedCardNumbers(c.text), c.masked) << c.text;
}

TEST(CardMask, MaskingInPlaceSaysWhetherItFoundACardNumber) {
    std::string line = "Retornos: STS = 0 Buffer = 6011111111111117";
    EXPECT_TRUE(MaskCardNumbers(line));
    EXPECT_EQ(line, "Retornos: STS = 0 Buffer = 601111******1117");
    EXPECT_FALSE(MaskCardNumbers(line));  // masked text is left as it is
    std::string amounts = "Valor: 189,23 Documento: 56921";
    EXPECT_FALSE(MaskCardNumbers(amounts));
    EXPECT_EQ(amounts, "Valor: 189,23 Documento: 56921");
}

// Random lines of digits, blanks, hyphens and letters: masking only ever turns digits into
// stars, and leaves nothing the scan would mask again.
TEST(CardMask, MaskingChangesOnlyDigitsAndLeavesNoCardNumberBehind) {
    std::mt19937 random(23);
    constexpr std::string_view kAlphabet = "0123456789012345678901234567890123456789 -- aZ*\r\n";
    std::uniform_int_distribution<size_t> pick(0, kAlphabet.size() - 1), length(0, 120);
    int masked_lines = 0;
    for (int n = 0; n < 20000; ++n) {
        std::string line(length(random), ' ');
        for (char& c : line) c = kAlphabet[pick(random)];
        std::string masked = line;
        masked_lines += MaskCardNumbers(masked) ? 1 : 0;
        ASSERT_EQ(masked.size(), line.size()) << line;
        for (size_t i = 0; i < line.size(); ++i) {
            if (masked[i] != line[i]) {
                ASSERT_TRUE(line[i] >= '0' && line[i] <= '9' && masked[i] == '*') << line;
            }
        }
        ASSERT_FALSE(MaskCardNumbers(masked)) << line;
    }
    EXPECT_GT(masked_lines, 100);  // the lines did hold card numbers to mask
}

TEST(CardMask, LuhnCheck) {
    for (const char* valid : {"4111111111111111", "378282246310005", "0", "18"})
        EXPECT_TRUE(card_data::LuhnValid(valid)) << valid;
    for (const char* invalid : {"4111111111111112", "1", "19", ""})
        EXPECT_FALSE(card_data::LuhnValid(invalid)) << invalid;
}

TEST(Wipe, LeavesNothingOfTheSecretInTheStorageItKeeps) {
    std::string text(64, '7');
    text.resize(3);  // an earlier, longer content is still in the storage
    const char* storage = text.data();
    const size_t capacity = text.capacity();
    card_data::Wipe(text);
    EXPECT_TRUE(text.empty());
    ASSERT_EQ(text.data(), storage);
    EXPECT_EQ(std::string(storage, capacity), std::string(capacity, '\0'));

    std::vector<char> buffer(20001, '4');
    card_data::Wipe(buffer);
    EXPECT_EQ(buffer, std::vector<char>(20001, '\0'));
}

}  // namespace
