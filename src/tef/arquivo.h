// A TEF record: "key = value" lines (Windows-1252), kept sorted and unique, and the record
// file that holds them (Windows-1252, each line ended by CR LF, no byte-order mark). Fields are
// found by key with a linear scan; the order of the lines carries no meaning.
//
// Lines are ordered by their whole text compared without regard to case. The comparison folds
// the letters of the code page to lower case and then compares bytes, instead of following a
// locale's collation, so the order of a record (and of its file) is the same on every machine.
#pragma once

#include <string>
#include <vector>

#include "tef/linha.h"

namespace tef {

class TKaCliSiTefArquivo {
public:
    // The sorted lines.
    const std::vector<AnsiString>& Conteudo() const { return fStringList; }
    int Count() const { return static_cast<int>(fStringList.size()); }

    void Clear() { fStringList.clear(); }

    // Removes the line with that key, then adds key + " = " + value when the value is not
    // empty. A line equal (regardless of case) to one present is not added twice.
    void GravaInformacao(int Identificacao, int Sequencia, const AnsiString& Informacao);
    void GravaInformacao(int Identificacao, int Sequencia, const TKaCliSiTefInformacao& Informacao);
    void GravaInformacao(const AnsiString& Chave, const AnsiString& Informacao);

    // The line with that key in the shared line object, or, when there is none, that key with
    // an empty value. The object is shared: it is valid until the next LeLinha, LeInformacao
    // or Linha on this record, so callers copy what they need first.
    TKaCliSiTefLinha& LeLinha(int Identificacao, int Sequencia);
    TKaCliSiTefInformacao& LeInformacao(int Identificacao, int Sequencia);

    // The line at `index` (0 ≤ index < Count) in the shared line object.
    TKaCliSiTefLinha& Linha(int index);

    // Writes every line to `NomeArquivo`, replacing it. With `DoFlushToDisk` the data is on
    // the disk before the call returns and the file is replaced whole or not at all, also by a
    // power cut (platform::WriteFile's durable replacement). A failed write raises
    // EKaCliSiTefArquivo "Erro ao gravar o arquivo:\r\n<name>\r\n<the system's reason>".
    void GravarArquivo(const std::string& NomeArquivo, bool DoFlushToDisk) const;

    // Empties the record and loads `NomeArquivo` (lines may end in CR LF, LF or CR; empty lines
    // are skipped). A missing file raises EKaCliSiTefArquivo "Arquivo: \r\n<name>\r\nnão
    // encontrado", an unreadable one "Erro ao ler o arquivo:\r\n<name>\r\n<the system's
    // reason>"; the record stays empty.
    void LeArquivo(const std::string& NomeArquivo);

private:
    void Add(AnsiString linha);
    void Remove(std::string_view chave);

    std::vector<AnsiString> fStringList;
    TKaCliSiTefLinha fKaCliSiTefLinha;
};

}  // namespace tef
