// The engine base: owner rule, amount checks, backup files, start-up recovery and the
// cancellation of backed-up transactions. Recovery and cancellation run on a small engine that
// records what it was asked to settle and can be told to fail, so that the behaviour around a
// transaction that cannot be settled shows.
#include "tef/class.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>

#include "platform/file_system.h"
#include "support/file_faults.h"
#include "tef/errors.h"
#include "tef/resp_clisitef.h"
#include "tef_host.h"

namespace {

using namespace tef;
using teftest::SimFixture;

class TestEngine : public TKaCliSiTefClass {
public:
    explicit TestEngine(TKaCliSiTef* owner)
        : TKaCliSiTefClass(owner, "Teste", gpCliSiTef,
                           std::make_unique<TKaCliSiTefRespCliSiTef>()) {}

    std::vector<std::string> chamadas;
    std::set<std::string> falhas;  // calls that raise
    bool resultadoCNC = true;

    using TKaCliSiTefClass::CNC;
    using TKaCliSiTefClass::CNF;
    using TKaCliSiTefClass::NCN;

    void Inicializar() override { fpInicializado = true; }
    void AtivarGP() override {}
    void VerificaAtivo() override {}
    void ATV() override {}
    bool ADM() override { return true; }
    bool CRT(Money, const std::string&, const std::string&, const std::string&, const std::string&,
             const std::string&, const std::string&, int) override {
        return true;
    }
    bool CHQ(Money, const std::string&, const std::string&, const std::string&, char,
             const std::string&, platform::TDateTime, const std::string&, const std::string&,
             const std::string&, const std::string&, const std::string&, const std::string&,
             const std::string&, const std::string&) override {
        return true;
    }
    void NCN(const std::string&, const std::string&, const std::string&, Money,
             const std::string& doc) override {
        Chamar("NCN " + doc);
    }
    TFinalizacao CNF(const std::string&, const std::string&, const std::string&,
                     const std::string& doc) override {
        Chamar("CNF " + doc);
        return TFinalizacao::Confirmada;
    }
    bool CNC(const std::string&, const std::string& nsu, platform::TDateTime, Money) override {
        Chamar("CNC " + nsu);
        return resultadoCNC;
    }
    void ProcessarResposta() override {}
    bool ProcessarRespostaPagamento(const std::string&, Money) override { return true; }
    int32_t LerTrilha3(AnsiString&) override { return 0; }
    int32_t LerCartaoSeguro() override { return 0; }

private:
    void Chamar(const std::string& chamada) {
        chamadas.push_back(chamada);
        if (falhas.count(chamada)) throw EKaCliSiTefErro("falha simulada: " + chamada);
    }
};

class EngineBase : public SimFixture {
protected:
    EngineBase() {
        platform::ForceDirectories(component_.PathBackup());
        teste_.SetArqLOG(component_.ArqLOG());
    }

    // A backed-up response as the engine writes it.
    void Backup(const TKaCliSiTefClass& engine, int numero, const std::string& header,
                const std::string& doc, const std::string& nsu, bool confirmada) {
        TKaCliSiTefRespCliSiTef r;
        r.Conteudo.GravaInformacao(899, 100, header);
        r.Conteudo.GravaInformacao(899, 101, doc);
        r.Conteudo.GravaInformacao(899, 102, doc);
        r.Conteudo.GravaInformacao(899, 103, "1000");
        r.GravaInformacao(133, nsu);
        r.SetCNFEnviado(confirmada);
        r.Conteudo.GravarArquivo(engine.NomeArquivoBackup(numero), false);
    }

    bool Existe(const TKaCliSiTefClass& engine, int numero) const {
        return platform::FileExists(engine.NomeArquivoBackup(numero));
    }

    TestEngine teste_{&component_};
};

TEST(EngineOwner, MustBeTheComponent) {
    try {
        TestEngine engine(nullptr);
        FAIL() << "created without an owner";
    } catch (const EKaCliSiTefErro& e) {
        EXPECT_STREQ(e.what(), "TKaCliSiTefClass deve ser criado por TKaCliSiTef");
    }
}

TEST_F(EngineBase, BackupFileNamesAndListing) {
    EXPECT_EQ(engine_.NomeArquivoBackup(1), folder_ / "TEF/KaCliSiTef_CliSiTef_001.tef");
    EXPECT_EQ(engine_.NomeArquivoBackup(999), folder_ / "TEF/KaCliSiTef_CliSiTef_999.tef");
    for (const char* nome : {"KaCliSiTef_CliSiTef_010.tef", "KaCliSiTef_CliSiTef_002.tef",
                             "KaCliSiTef_Teste_001.tef", "KaCliSiTef_CliSiTef_003.bak"}) {
        platform::WriteFile(folder_ / ("TEF/" + std::string(nome)), "899-100 = CRT\r\n");
    }
    EXPECT_EQ(engine_.ArquivosBackup(),
              (std::vector<std::string>{folder_ / "TEF/KaCliSiTef_CliSiTef_002.tef",
                                        folder_ / "TEF/KaCliSiTef_CliSiTef_010.tef"}));
}

TEST_F(EngineBase, CopiarRespostaTakesTheFirstFreeNumber) {
    Backup(engine_, 1, "CRT", "1", "1", false);
    Backup(engine_, 3, "CRT", "3", "3", false);
    TKaCliSiTefResp& resp = engine_.Resp();
    resp.Conteudo.GravaInformacao(899, 100, "CRT");
    resp.Conteudo.GravaInformacao(899, 101, "42521");
    resp.ConteudoToProperty();
    std::string nome;
    engine_.CopiarResposta(nome);
    EXPECT_EQ(nome, engine_.NomeArquivoBackup(2));
    EXPECT_EQ(resp.ArqBackup(), nome);
    EXPECT_EQ(platform::ReadFile(nome).value_or(""), "899-100 = CRT\r\n899-101 = 42521\r\n");
    EXPECT_NE(Trace().find("KaCliSiTef CopiarResposta: CRT - 42521 Arq: " + nome),
              std::string::npos);
}

TEST_F(EngineBase, CopiarRespostaWithEveryNameTakenFailsAndWritesNothing) {
    for (int i = 1; i <= 999; ++i) platform::WriteFile(engine_.NomeArquivoBackup(i), "x");
    std::string nome = "antes";
    EXPECT_THROW(engine_.CopiarResposta(nome), EKaCliSiTefArquivo);
    EXPECT_EQ(nome, "antes");
    EXPECT_EQ(engine_.ArquivosBackup().size(), 999u);
    EXPECT_TRUE(engine_.Resp().ArqBackup().empty());
}

// A backup that cannot be written (a read-only folder, a full disk) raises with the system's
// reason and leaves no file behind: neither the backup nor its temporary file.
TEST_F(EngineBase, ABackupThatCannotBeWrittenSaysWhyAndLeavesNothing) {
    std::vector<std::string> reports;
    component_.OnFalhaLog = [&](const std::string& motivo) { reports.push_back(motivo); };
    const std::string pasta = component_.PathBackup();
    TKaCliSiTefResp& resp = engine_.Resp();
    resp.Conteudo.GravaInformacao(899, 100, "CRT");
    resp.Conteudo.GravaInformacao(899, 101, std::string(200, '7'));
    resp.ConteudoToProperty();
    for (const bool somente_leitura : {true, false}) {
        SCOPED_TRACE(somente_leitura ? "read-only folder" : "full disk");
        std::string nome = "antes";
        std::string erro;
        {
            std::optional<qvtest::WithoutFileOverride> as_a_user;
            std::optional<qvtest::FileSizeLimit> full;
            if (somente_leitura) {
                as_a_user.emplace();
                qvtest::ChangeModes(pasta, 0555, 0444);
            } else {
                full.emplace(100);
            }
            try {
                engine_.CopiarResposta(nome);
            } catch (const EKaCliSiTefArquivo& e) {
                erro = e.what();
            }
            if (somente_leitura) qvtest::ChangeModes(pasta, 0755, 0644);
        }
        const std::string motivo = somente_leitura ? "Permission denied" : "File too large";
        EXPECT_EQ(erro,
                  "Erro ao gravar o arquivo:\r\n" + engine_.NomeArquivoBackup(1) + "\r\n" + motivo);
        EXPECT_EQ(nome, "antes");
        EXPECT_TRUE(resp.ArqBackup().empty());
        EXPECT_TRUE(platform::ListFiles(pasta, "*").empty());
    }
    // The trace, itself beyond the size limit, told why it lost the lines; the read-only
    // folder's failure made it to the trace.
    EXPECT_NE(Trace().find("Erro ao gravar o arquivo:\r\n" + engine_.NomeArquivoBackup(1) +
                           "\r\nPermission denied"),
              std::string::npos);
    ASSERT_FALSE(reports.empty());
    EXPECT_TRUE(reports.back().ends_with(": File too large")) << reports.back();
}

// A backup whose writing never finished (its temporary file) is no transaction: start-up
// recovery removes it and settles only whole backups.
TEST_F(EngineBase, RecoveryDropsBackupsWhoseWritingNeverFinished) {
    Backup(teste_, 1, "CRT", "100", "000011", false);
    platform::WriteFile(teste_.NomeArquivoBackup(2) + ".tmp", "899-100 = CRT\r\n899-1");
    teste_.RecuperarTransacoesPendentes();
    EXPECT_EQ(teste_.chamadas, std::vector<std::string>{"CNF 100"});
    EXPECT_TRUE(platform::ListFiles(component_.PathBackup(), "*").empty());
    EXPECT_NE(Trace().find("Teste RecuperarTransacoesPendentes: grava\xE7\xE3o incompleta "
                           "descartada: " +
                           teste_.NomeArquivoBackup(2) + ".tmp"),
              std::string::npos);
}

TEST_F(EngineBase, VerificaValor) {
    struct Case {
        const char* name;
        Money valor;
        double trocoMaximo;
        bool multiplos;
        int maximoCartoes;
        std::string erro;  // empty: accepted
    } cases[] = {
        {"rounds to zero", 40, 0, false, 0, "Valor inválido"},
        {"one cent", 100, 0, false, 0, ""},
        {"negative", -10000, 0, false, 0, "Valor inválido"},
        // Two pending payments of 10,00 leave 80,00 of the sale's 100,00.
        {"change within the limit", 850000, 5, false, 0, ""},
        {"change above the limit", 850100, 5, false, 0,
         "Operação TEF permite Troco Máximo de R$ 5,00"},
        {"no change limit", 5000000, 0, false, 0, ""},
        {"card limit reached", 100000, 0, true, 2, "Multiplos Cartões Limitado a 2 operações."},
        {"card limit above the count", 100000, 0, true, 3, ""},
        {"card limit without several cards", 100000, 0, false, 2, ""},
        {"no card limit", 100000, 0, true, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TKaCliSiTef component;
        component.SetMultiplosCartoes(c.multiplos);  // before any response is pending
        component.SetNumeroMaximoCartoes(c.maximoCartoes);
        component.TrocoMaximo = c.trocoMaximo;
        TKaCliSiTefRespostasPendentes& pendentes = component.RespostasPendentes();
        pendentes.ValorTotalAPagar = 1000000;
        for (int i = 0; i < 2; ++i) {
            auto r = std::make_unique<TKaCliSiTefResp>();
            r->ValorTotal = 100000;
            pendentes.Add(std::move(r));
        }
        pendentes.SaldoAPagar = 7;
        try {
            component.TEFCliSiTef().VerificaValor(c.valor);
            EXPECT_EQ(c.erro, "");
            EXPECT_EQ(pendentes.SaldoAPagar, RoundToCents(c.valor));
        } catch (const EKaCliSiTef& e) {
            EXPECT_EQ(e.what(), c.erro);
        }
    }
}

TEST_F(EngineBase, RecoveryConfirmsReportsAndDeletesWhatItSettled) {
    Backup(teste_, 1, "CRT", "100", "000011", false);
    Backup(teste_, 2, "CRT", "200", "000022", false);
    Backup(teste_, 3, "CRT", "300", "000033", false);
    teste_.falhas = {"CNF 200"};
    teste_.RecuperarTransacoesPendentes();

    EXPECT_EQ(teste_.chamadas, (std::vector<std::string>{"CNF 100", "CNF 200", "CNF 300"}));
    ASSERT_EQ(host_.confirmadas.size(), 2u);
    EXPECT_EQ(host_.confirmadas[0].DocumentoVinculado, "100");
    EXPECT_EQ(host_.confirmadas[0].NSU, "000011");  // derived from the content
    EXPECT_EQ(host_.confirmadas[0].ValorTotal, 100000);
    EXPECT_TRUE(host_.confirmadas[0].Pendente);
    EXPECT_EQ(host_.confirmadas[1].DocumentoVinculado, "300");
    EXPECT_EQ(host_.Calls("Msg opmOK"),
              (std::vector<std::string>{
                  "Msg opmOK Transação TEF efetuada.\r\nFavor reimprimir último Cupom.\r\n"
                  "NSU: 000011\r\n000033\r\n\r\nNº Documento: 100\r\n300\r\n\r\n"
                  "(Para Cielo utilizar os 6 últimos dígitos.)"}));
    // What could not be confirmed stays for the next start-up.
    EXPECT_FALSE(Existe(teste_, 1));
    EXPECT_TRUE(Existe(teste_, 2));
    EXPECT_FALSE(Existe(teste_, 3));
    EXPECT_TRUE(component_.TransacaoConfirmada);
    EXPECT_TRUE(component_.RespostasPendentes().Empty());
    EXPECT_NE(Trace().find("Teste RecuperarTransacoesPendentes falhou: " +
                           teste_.NomeArquivoBackup(2) + " - falha simulada: CNF 200"),
              std::string::npos);
}

TEST_F(EngineBase, RecoveryWithoutBackupFilesIsSilent) {
    component_.TransacaoConfirmada = true;
    component_.RespostasPendentes().Add(std::make_unique<TKaCliSiTefResp>());
    Backup(engine_, 1, "CRT", "100", "1", false);  // another engine's file
    teste_.RecuperarTransacoesPendentes();
    EXPECT_TRUE(teste_.chamadas.empty());
    EXPECT_TRUE(host_.calls.empty());
    EXPECT_FALSE(component_.TransacaoConfirmada);
    EXPECT_TRUE(component_.RespostasPendentes().Empty());
}

TEST_F(EngineBase, CancellationUndoesOncePerDocumentUnconfirmedFirst) {
    Backup(teste_, 1, "CRT", "100", "11", true);   // confirmed payment: cancelled, last
    Backup(teste_, 2, "CRT", "200", "22", false);  // unconfirmed: undone
    Backup(teste_, 3, "ADM", "300", "33", true);   // administrative: to the front
    Backup(teste_, 4, "CHQ", "200", "44", false);  // same document as 2
    host_.interceptar = "AntesCancelar 300";
    host_.aoInterceptar = [] { throw std::runtime_error("ignored"); };
    teste_.CancelarTransacoesPendentesClass();

    EXPECT_EQ(
        host_.Calls("AntesCancelar"),
        (std::vector<std::string>{"AntesCancelar 200", "AntesCancelar 300", "AntesCancelar 100"}));
    EXPECT_EQ(teste_.chamadas, (std::vector<std::string>{"NCN 200", "CNC 33", "CNC 11"}));
    for (int i = 1; i <= 4; ++i) EXPECT_FALSE(Existe(teste_, i)) << i;
}

TEST_F(EngineBase, CancellationKeepsWhatItCouldNotUndoAndReportsIt) {
    Backup(teste_, 1, "CRT", "100", "11", false);
    Backup(teste_, 2, "CRT", "200", "22", false);
    Backup(teste_, 3, "CRT", "300", "33", true);
    teste_.falhas = {"NCN 200"};
    teste_.resultadoCNC = false;
    try {
        teste_.CancelarTransacoesPendentesClass();
        FAIL() << "no error";
    } catch (const EKaCliSiTefErro& e) {
        EXPECT_STREQ(e.what(), "falha simulada: NCN 200");
    }
    EXPECT_EQ(teste_.chamadas, (std::vector<std::string>{"NCN 200", "NCN 100", "CNC 33"}));
    EXPECT_FALSE(Existe(teste_, 1));
    EXPECT_TRUE(Existe(teste_, 2));
    EXPECT_TRUE(Existe(teste_, 3));  // "CNC nao efetuado"
    EXPECT_NE(Trace().find("CNC nao efetuado"), std::string::npos);
}

}  // namespace
