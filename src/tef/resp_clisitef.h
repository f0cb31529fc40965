// The response record of the CliSiTef engine. Every value the payment library returns is
// stored escaped, so that receipt images (line feeds, accented letters) fit on one line, and
// the typed properties are derived from the stored fields by ConteudoToProperty.
#pragma once

#include <string_view>

#include "tef/resp.h"

namespace tef {

// Each byte below 32 or from 128 up becomes "\x" and two upper-case hexadecimal digits. A
// backslash that starts "\x" is escaped as well ("\x5C"), so that such text comes back as it
// was.
AnsiString EscapeRecordValue(std::string_view value);

// Every "\x" and the two characters after it become the byte they denote (a pair that is not
// hexadecimal becomes a blank), in one pass from left to right.
AnsiString UnescapeRecordValue(std::string_view value);

class TKaCliSiTefRespCliSiTef : public TKaCliSiTefResp {
public:
    // Stores `Informacao` (Windows-1252) escaped under `Identificacao`, sequence 0, except
    // 141 and 142, which take the first free sequence from 1 upward, so repeated values line
    // up as 141-001, 141-002, ...; 121 and 122 (the receipt copies) set MsgImpressao.
    void GravaInformacao(int Identificacao, const AnsiString& Informacao);

    bool GetTransacaoAprovada() const override { return true; }

    // Resets ValorTotal, the receipt copies, Debito and Credito, then sets the property of
    // every field found; afterwards QtdLinhasComprovante, the instalments (when a 141 field
    // was seen) and ValorTotal = requested amount (899-103) + withdrawal (130) − discount
    // (4029).
    void ConteudoToProperty() override;

private:
    struct Campo;
    struct Leitura;
    void AplicaCampo(const Campo& campo, Leitura& leitura);
    void PreencheParcelas();
};

}  // namespace tef
