// The result message built from the library's responses: the entry of each kind of operation,
// the receipt copies, the UTC date-time, and the three forms of the result.
#include "requests/transaction_result.h"

#include <gtest/gtest.h>

#include "support/scoped_env.h"
#include "tef/resp_clisitef.h"

namespace requests {
namespace {

// A response as the library leaves it: field 100 (modality), 899-002 (payment form), two
// receipt copies, and what every entry reports.
std::unique_ptr<tef::TKaCliSiTefRespCliSiTef> Response(const std::string& modality,
                                                       const std::string& payment_form,
                                                       const std::string& second_copy = "VIA 2") {
    auto r = std::make_unique<tef::TKaCliSiTefRespCliSiTef>();
    if (!modality.empty()) r->GravaInformacao(100, modality);
    r->GravaInformacao(102,
                       "Cr\xE9"
                       "dito");
    r->GravaInformacao(105, "20251126114841");
    r->GravaInformacao(121, "VIA 1\nLINHA");
    if (!second_copy.empty()) r->GravaInformacao(122, second_copy);
    r->GravaInformacao(131, "00125");
    r->GravaInformacao(134, "100000001");
    r->GravaInformacao(135, "112648");
    r->GravaInformacao(156, "REDE");
    r->GravaInformacao(505, "3");
    r->GravaInformacao(800, "ABCD");
    r->GravaInformacao(2021, "400012******9010");
    r->Conteudo.GravaInformacao(899, 2, payment_form);
    r->Conteudo.GravaInformacao(899, 103, "18923");
    r->ConteudoToProperty();
    return r;
}

const TResultContext kContext{4242, "Jos\u00E9", "000042", false};

constexpr const char* kCommon =
    R"("payer_name":"Jos\u00E9","institution":"00125","payment_method_code":"%s",)"
    R"("payment_method_description":"Cr\u00E9dito","hash":"ABCD","nsu_code":"100000001",)"
    R"("authorization_code":"112648","establishment_code":"112648",)"
    R"("number_of_installments":3,"transaction_value":189.23,)"
    R"("transaction_date_time":"2025-11-26T14:48:41Z","gateway":"Software Express",)";
constexpr const char* kReceipt =
    R"("receipt":[{"copy_number":1,"data":["VIA 1","LINHA"]},{"copy_number":2,"data":["VIA 2"]}]})";

std::string Common(const std::string& modality) {
    std::string common = kCommon;
    return common.replace(common.find("%s"), 2, modality);
}

TEST(TransactionResult, EntryOfEachOperation) {
    // UTC−3, the zone the Windows tests run in too (a Windows process cannot pick its own).
    qvtest::ScopedEnv tz("TZ", "America/Sao_Paulo");
    struct Case {
        const char* name;
        std::string modality, payment_form;
        bool cancelling;
        std::string entry;
    } cases[] = {
        {"credit", "0202", "02", false,
         R"({"sale_id":4242,"operation":"credit","card_number":"400012******9010",)"
         R"("operator":"REDE",)" +
             Common("0202") + kReceipt},
        {"debit", "0100", "02", false,
         R"({"sale_id":4242,"operation":"debit","card_number":"400012******9010",)"
         R"("operator":"REDE",)" +
             Common("0100") + kReceipt},
        {"pix", "0500", "02", false,
         R"({"sale_id":4242,"operation":"pix","operator":"REDE",)" + Common("0500") + kReceipt},
        {"cancellation of a credit payment", "0200", "02", true,
         R"({"sale_id":4242,"operation":"cancellation","operator":"REDE",)"
         R"("canceled_nsu":"000042",)" +
             Common("0200") + kReceipt},
        {"reprint 113", "0200", "113", false,
         std::string(R"({"sale_id":4242,"operation":"reprint",)") + kReceipt},
        {"reprint 114, even while cancelling", "", "114", true,
         std::string(R"({"sale_id":4242,"operation":"reprint",)") + kReceipt},
    };
    for (const Case& c : cases) {
        TResultContext context = kContext;
        context.cancelling = c.cancelling;
        EXPECT_EQ(TransactionEntry(*Response(c.modality, c.payment_form), context).ToString(),
                  c.entry)
            << c.name;
    }
}

TEST(TransactionResult, OnlyCopiesWithLinesAreReported) {
    const std::string entry = TransactionEntry(*Response("0200", "114", ""), kContext).ToString();
    EXPECT_EQ(entry, R"({"sale_id":4242,"operation":"reprint","receipt":[{"copy_number":1,)"
                     R"("data":["VIA 1","LINHA"]}]})");
}

TEST(TransactionResult, HostTimeInUtcWithTheOffsetInEffectThen) {
    qvtest::ScopedEnv tz("TZ", "America/Sao_Paulo");
    // Summer time (UTC−2) was still kept in 2018.
    EXPECT_EQ(UtcDateTimeText(platform::ToDateTime({2018, 11, 26, 11, 48, 41, 0})),
              "2018-11-26T13:48:41Z");
    EXPECT_EQ(UtcDateTimeText(platform::ToDateTime({2018, 5, 26, 11, 48, 41, 0})),
              "2018-05-26T14:48:41Z");
    EXPECT_EQ(UtcDateTimeText(platform::ToDateTime({2025, 12, 31, 22, 0, 0, 0})),
              "2026-01-01T01:00:00Z");
}

TEST(TransactionResult, TheThreeResults) {
    JsonArray entries;
    entries.Add(JsonObject().Add("sale_id", 1));
    EXPECT_EQ(ApprovedResult(entries),
              R"({"type":"result","status":"approved","message":"Transa\u00E7\u00E3o TEF )"
              R"(conclu\u00EDda com sucesso.","transaction_data":[{"sale_id":1}]})");
    EXPECT_EQ(UnconfirmedResult(entries),
              R"({"type":"result","transaction_data":[{"sale_id":1}],"status":"canceled",)"
              R"("message":"Ocorreu um erro durante o processo, a transa\u00E7\u00E3o TEF )"
              R"(n\u00E3o ser\u00E1 confirmada."})");
    EXPECT_TRUE(UnconfirmedResult(JsonArray())
                    .starts_with(R"({"type":"result","transaction_data":[],"status":"canceled",)"));
    EXPECT_EQ(NegativeResult(true), R"({"type":"result","status":"canceled","message":")"
                                    R"(Transa\u00E7\u00E3o TEF n\u00E3o realizada."})");
    EXPECT_EQ(NegativeResult(false), R"({"type":"result","status":"unauthorized","message":")"
                                     R"(Transa\u00E7\u00E3o TEF n\u00E3o realizada."})");
    EXPECT_EQ(ReceiptMessage(2, {"A", "B\u00C7"}),
              R"({"type":"receipt","copy_number":2,"data":["A","B\u00C7"]})");
}

}  // namespace
}  // namespace requests
