// One line of a TEF record: "key = value", where the key is the field's identifier (at least
// three digits), a dash and its sequence number (three digits): "899-100 = CRT".
#pragma once

#include <cstdint>
#include <string_view>

#include "tef/informacao.h"

namespace tef {

// The key of a field: identifier left-filled with zeros to at least three digits, "-", the
// sequence left-filled to three digits, of which a longer number keeps its first three
// characters (4128, 1000 → "4128-100").
AnsiString MakeKey(int identificacao, int sequencia);

// The text before the first " = " of a record line, or empty when the line has none. A line
// that ends in " =" counts as having an empty value.
std::string_view KeyOfLine(std::string_view linha);

class TKaCliSiTefLinha {
public:
    TKaCliSiTefLinha() = default;
    TKaCliSiTefLinha(const TKaCliSiTefLinha&) = default;
    TKaCliSiTefLinha& operator=(const TKaCliSiTefLinha&) = default;
    virtual ~TKaCliSiTefLinha() = default;

    // The line; when none was set, rebuilt as key + " = " + value from the fields.
    virtual AnsiString GetLinha() const;
    // Parses `value` into identifier, sequence and value; setting the current line is a no-op.
    virtual void SetLinha(const AnsiString& value);

    int16_t Identificacao() const { return fIdentificacao; }
    void SetIdentificacao(int16_t value) { fIdentificacao = value; }
    int16_t Sequencia() const { return fSequencia; }
    void SetSequencia(int16_t value) { fSequencia = value; }

    TKaCliSiTefInformacao& Informacao() { return fKaCliSiTefLinhaInformacao; }
    const TKaCliSiTefInformacao& Informacao() const { return fKaCliSiTefLinhaInformacao; }

    // The key text of the line; with no line, the key of the fields (empty for identifier 0).
    AnsiString Chave() const;

private:
    int16_t fIdentificacao = 0;
    TKaCliSiTefInformacao fKaCliSiTefLinhaInformacao;
    AnsiString fLinha;
    int16_t fSequencia = 0;
};

}  // namespace tef
