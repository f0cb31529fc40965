#include "session_support.h"

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "tef/resp_clisitef.h"

namespace qvtest {

std::string SessionClaims(const std::string& sale_id, const std::string& extra) {
    return R"({"secctional_code":"12","ip_address":"127.0.0.1","store_code":"00000000",)"
           R"("additional_parameters":"","operator":"Caixa 1","sale_id":)" +
           sale_id + R"(,"company_id":3,"callback_url":"https://loja.test/retorno")" +
           (extra.empty() ? "" : "," + extra) + "}";
}

std::string OpenSession(DialogueClient& client, const Claims& claims) {
    const std::vector<std::string> reply =
        client.Run(StartRequest(claims.Token()), {"session", "error"});
    EXPECT_EQ(Field(reply.back(), "status"), "created") << reply.back();
    return Field(reply.back(), "session_uuid");
}

void WriteLeftoverTransaction(const std::string& app_folder) {
    tef::TKaCliSiTefRespCliSiTef backup;
    backup.Conteudo.GravaInformacao(899, 100, "CRT");
    backup.Conteudo.GravaInformacao(899, 101, "4242");
    backup.Conteudo.GravaInformacao(899, 102, "4242");
    backup.Conteudo.GravaInformacao(899, 103, "1000");
    backup.GravaInformacao(133, "000777");
    ASSERT_TRUE(platform::ForceDirectories(app_folder + "TEF"));
    backup.Conteudo.GravarArquivo(app_folder + "TEF/KaCliSiTef_CliSiTef_001.tef", false);
}

}  // namespace qvtest
