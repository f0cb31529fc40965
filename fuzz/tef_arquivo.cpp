// TEF record files as the start-up recovery reads them from the backup folder: any bytes as a
// file, loaded into a CliSiTef response (lines, typed properties, instalments, receipt
// copies), written back and read again.
#include <algorithm>
#include <cstdint>
#include <string>

#include "platform/file_system.h"
#include "support/require.h"
#include "support/temp_folder.h"
#include "tef/ansi_text.h"
#include "tef/resp_clisitef.h"

namespace {

using qvfuzz::Require;
using tef::TKaCliSiTefRespCliSiTef;

bool SameProperties(const TKaCliSiTefRespCliSiTef& a, const TKaCliSiTefRespCliSiTef& b) {
    return a.ValorTotal == b.ValorTotal && a.Saque == b.Saque && a.Desconto == b.Desconto &&
           a.NSU == b.NSU && a.Header == b.Header && a.ID == b.ID &&
           a.DocumentoVinculado == b.DocumentoVinculado && a.CNFEnviado() == b.CNFEnviado() &&
           a.QtdParcelas == b.QtdParcelas && a.Parcelas.size() == b.Parcelas.size() &&
           a.ImagemComprovante1aVia == b.ImagemComprovante1aVia &&
           a.ImagemComprovante2aVia == b.ImagemComprovante2aVia &&
           a.DataHoraTransacaoComprovante == b.DataHoraTransacaoComprovante;
}

void CheckRecord(TKaCliSiTefRespCliSiTef& resp) {
    const std::vector<tef::AnsiString>& lines = resp.Conteudo.Conteudo();
    Require(std::adjacent_find(lines.begin(), lines.end(),
                               [](const auto& a, const auto& b) {
                                   return tef::CompareTextAnsi(a, b) >= 0;
                               }) == lines.end(),
            "lines are sorted and unique");
    for (int i = 0; i < resp.Conteudo.Count(); ++i) {
        const tef::TKaCliSiTefLinha& linha = resp.Conteudo.Linha(i);
        Require(!linha.GetLinha().empty(), "no empty line is kept");
    }
    Require(resp.QtdLinhasComprovante ==
                static_cast<int32_t>(std::max(resp.ImagemComprovante1aVia.size(),
                                              resp.ImagemComprovante2aVia.size())),
            "receipt line count");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static qvtest::TempFolder folder;
    const std::string original = folder / "TEF-original.tmp";
    const std::string copy = folder / "TEF-copia.tmp";
    Require(bool(platform::WriteFile(original, qvfuzz::AsText(data, size))), "the file is written");

    TKaCliSiTefRespCliSiTef resp;
    resp.LeArquivo(original);
    CheckRecord(resp);

    // A backup written from the record reads back as the same record.
    resp.Conteudo.GravarArquivo(copy, false);
    TKaCliSiTefRespCliSiTef again;
    again.LeArquivo(copy);
    Require(again.Conteudo.Conteudo() == resp.Conteudo.Conteudo(), "a written record reads back");
    Require(SameProperties(again, resp), "properties of a record read back");

    // The pending list keeps copies made this way.
    TKaCliSiTefRespCliSiTef assigned;
    assigned.Assign(resp);
    Require(SameProperties(assigned, resp), "an assigned copy has the same properties");
    return 0;
}
