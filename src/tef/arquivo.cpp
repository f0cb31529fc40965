#include "tef/arquivo.h"

#include <algorithm>

#include "platform/file_system.h"
#include "tef/ansi_text.h"
#include "tef/errors.h"

namespace tef {
namespace {

constexpr std::string_view kLineBreak = "\r\n";

bool LessText(const AnsiString& a, const AnsiString& b) { return CompareTextAnsi(a, b) < 0; }

// Splits at CR LF, LF or CR; a break at the end adds no empty line, and empty lines, which
// hold no field, are dropped.
std::vector<AnsiString> SplitLines(std::string_view text) {
    std::vector<AnsiString> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        if (end > start) lines.emplace_back(text.substr(start, end - start));
        start = end + (text.substr(end, 2) == kLineBreak ? 2 : 1);
    }
    return lines;
}

}  // namespace

void TKaCliSiTefArquivo::GravaInformacao(int Identificacao, int Sequencia,
                                         const AnsiString& Informacao) {
    GravaInformacao(MakeKey(Identificacao, Sequencia), Informacao);
}

void TKaCliSiTefArquivo::GravaInformacao(int Identificacao, int Sequencia,
                                         const TKaCliSiTefInformacao& Informacao) {
    GravaInformacao(Identificacao, Sequencia, Informacao.AsString());
}

void TKaCliSiTefArquivo::GravaInformacao(const AnsiString& Chave, const AnsiString& Informacao) {
    Remove(Chave);
    if (!Informacao.empty()) Add(Chave + " = " + Informacao);
}

TKaCliSiTefLinha& TKaCliSiTefArquivo::LeLinha(int Identificacao, int Sequencia) {
    AnsiString chave = MakeKey(Identificacao, Sequencia);
    fKaCliSiTefLinha = TKaCliSiTefLinha();
    for (const AnsiString& linha : fStringList) {
        if (KeyOfLine(linha) == chave) {
            fKaCliSiTefLinha.SetLinha(linha);
            return fKaCliSiTefLinha;
        }
    }
    fKaCliSiTefLinha.SetIdentificacao(static_cast<int16_t>(Identificacao));
    fKaCliSiTefLinha.SetSequencia(static_cast<int16_t>(Sequencia));
    return fKaCliSiTefLinha;
}

TKaCliSiTefInformacao& TKaCliSiTefArquivo::LeInformacao(int Identificacao, int Sequencia) {
    return LeLinha(Identificacao, Sequencia).Informacao();
}

TKaCliSiTefLinha& TKaCliSiTefArquivo::Linha(int index) {
    fKaCliSiTefLinha = TKaCliSiTefLinha();
    fKaCliSiTefLinha.SetLinha(fStringList.at(static_cast<size_t>(index)));
    return fKaCliSiTefLinha;
}

void TKaCliSiTefArquivo::GravarArquivo(const std::string& NomeArquivo, bool DoFlushToDisk) const {
    std::string bytes;
    for (const AnsiString& linha : fStringList) {
        bytes += linha;
        bytes += kLineBreak;
    }
    if (platform::FileStatus status = platform::WriteFile(NomeArquivo, bytes, DoFlushToDisk);
        !status) {
        throw EKaCliSiTefArquivo("Erro ao gravar o arquivo:\r\n" + NomeArquivo + "\r\n" +
                                 status.Reason());
    }
}

void TKaCliSiTefArquivo::LeArquivo(const std::string& NomeArquivo) {
    Clear();
    if (!platform::FileExists(NomeArquivo)) {
        throw EKaCliSiTefArquivo("Arquivo: \r\n" + NomeArquivo + "\r\nnão encontrado");
    }
    const platform::FileContents bytes = platform::ReadFile(NomeArquivo);
    if (!bytes) {
        throw EKaCliSiTefArquivo("Erro ao ler o arquivo:\r\n" + NomeArquivo + "\r\n" +
                                 bytes.Status().Reason());
    }
    for (AnsiString& linha : SplitLines(*bytes)) Add(std::move(linha));
}

void TKaCliSiTefArquivo::Add(AnsiString linha) {
    auto at = std::lower_bound(fStringList.begin(), fStringList.end(), linha, LessText);
    if (at != fStringList.end() && CompareTextAnsi(*at, linha) == 0) return;
    fStringList.insert(at, std::move(linha));
}

void TKaCliSiTefArquivo::Remove(std::string_view chave) {
    std::erase_if(fStringList,
                  [chave](const AnsiString& linha) { return KeyOfLine(linha) == chave; });
}

}  // namespace tef
